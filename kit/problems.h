// problems: what is wrong with a party folder, collected so that an
// organiser sees every problem at once. Each names its file (a path inside
// the party folder), the line and column where they help (1-based; 0 when
// not given), and says what is wrong and what to do, in that order, joined
// by "; ".
#pragma once

#include <string>
#include <vector>

namespace kit {

struct Problem {
  std::string file;
  int line = 0;
  int column = 0;
  std::string message;
  // A warning is shown but does not stop the files being made.
  bool warning = false;
};

class Problems {
 public:
  void add(const std::string& file, const std::string& message, int line = 0, int column = 0);
  void warn(const std::string& file, const std::string& message, int line = 0, int column = 0);
  // Problems that stop the files being made (warnings aside).
  size_t errors() const;
  const std::vector<Problem>& items() const { return items_; }

 private:
  std::vector<Problem> items_;
};

// "FILE:LINE:COLUMN: message" (line and column only when given), the file
// name prefixed by folder ("" or a path ending in '/'); a warning reads
// "FILE: warning: message".
std::string problem_text(const Problem& problem, const std::string& folder);

}  // namespace kit
