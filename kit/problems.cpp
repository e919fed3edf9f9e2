// problems: a party folder's problems, collected (see problems.h).
#include "kit/problems.h"

namespace kit {

void Problems::add(const std::string& file, const std::string& message, int line, int column) {
  items_.push_back(Problem{file, line, column, message, false});
}

void Problems::warn(const std::string& file, const std::string& message, int line, int column) {
  items_.push_back(Problem{file, line, column, message, true});
}

size_t Problems::errors() const {
  size_t n = 0;
  for (const Problem& p : items_) n += p.warning ? 0 : 1;
  return n;
}

std::string problem_text(const Problem& problem, const std::string& folder) {
  std::string text = folder + problem.file;
  if (problem.line > 0) {
    text += ":" + std::to_string(problem.line);
    if (problem.column > 0) text += ":" + std::to_string(problem.column);
  }
  text += problem.warning ? ": warning: " : ": ";
  return text + problem.message;
}

}  // namespace kit
