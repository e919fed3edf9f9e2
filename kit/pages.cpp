// pages: page sources made into page files (see pages.h).
#include "kit/pages.h"

#include <algorithm>

#include "kit/party.h"
#include "kit/text.h"

namespace kit {

namespace {

// A line the program cannot show: what is wrong and what to do, and the
// column (1-based; 0 when none helps).
struct LineProblem {
  std::string message;
  int column = 0;
};

std::u32string strip(std::u32string_view text) {
  size_t begin = 0;
  while (begin < text.size() && text_is_space(text[begin])) ++begin;
  return text_rstrip(text.substr(begin));
}

bool has_text(std::u32string_view line) {
  if (!line.empty() && line[0] == static_cast<char32_t>(kCentreMark)) line.remove_prefix(1);
  return !strip(line).empty();
}

// Where the dot-leader mark " ... " joins text on both sides, as (start of
// the space before the dots, the position after the space after them);
// {npos, npos} when the line has none.
std::pair<size_t, size_t> leader_mark(const std::u32string& src) {
  for (size_t p = 0; p < src.size(); ++p) {
    if (src[p] != U' ') continue;
    size_t k = p + 1;
    while (k < src.size() && src[k] == U'.') ++k;
    if (k - p - 1 < static_cast<size_t>(kLeaderMinDots) || k >= src.size() || src[k] != U' ') continue;
    if (!strip(std::u32string_view(src).substr(0, p)).empty() &&
        !strip(std::u32string_view(src).substr(k + 1)).empty()) {
      return {p, k + 1};
    }
  }
  return {std::u32string::npos, std::u32string::npos};
}

// The source line with its layout marks applied (no escaping yet).
std::u32string layout_line(const std::u32string& src, LineProblem& problem) {
  if (!src.empty() && src[0] == static_cast<char32_t>(kCentreMark)) {
    const std::u32string text = strip(std::u32string_view(src).substr(1));
    const long pad = (kPageWidth - static_cast<long>(text.size())) / 2;
    return std::u32string(static_cast<size_t>(std::max(pad, 0L)), U' ') + text;
  }
  const auto [dots_start, right_start] = leader_mark(src);
  if (dots_start != std::u32string::npos) {
    const std::u32string left = text_rstrip(std::u32string_view(src).substr(0, dots_start)) + U" ";
    const std::u32string right = U" " + strip(std::u32string_view(src).substr(right_start));
    const long dots = kLeaderWidth - static_cast<long>(left.size() + right.size());
    if (dots < kLeaderRoomDots) {
      problem.message = "no room for the dot leaders (" + std::to_string(left.size() + right.size()) +
                        " characters on both sides, at most " + std::to_string(kLeaderWidth - kLeaderRoomDots) +
                        "); shorten a side";
      return U"";
    }
    return left + std::u32string(static_cast<size_t>(dots), U'.') + right;
  }
  return text_rstrip(src);
}

// What is wrong with a source line, or an empty message; the line as the
// page file holds it in *out.
LineProblem page_line(const std::u32string& src, std::string* out) {
  LineProblem problem;
  const size_t underscore = src.find(U'_');
  if (underscore != std::u32string::npos) {
    problem.message =
        "the page font has no \"_\"; for dot leaders write \"left ... right\", to centre a line start it with "
        "\"^\"; elsewhere reword without it (an e-mail address with \"_\" cannot be shown: give another one, or "
        "another way to reach you)";
    problem.column = static_cast<int>(underscore) + 1;
    return problem;
  }
  const std::u32string line = layout_line(src, problem);
  if (!problem.message.empty()) return problem;
  if (line.size() > static_cast<size_t>(kPageWidth)) {
    problem.message = std::to_string(line.size()) + " characters, at most " + std::to_string(kPageWidth) +
                      " fit a page line; break the line";
    problem.column = kPageWidth + 1;
    return problem;
  }
  const auto bad = std::find_if(line.begin(), line.end(), [](char32_t c) { return !text_is_glyph_char(c); });
  if (bad != line.end()) {
    problem.message = "the page font has no " + text_repr(*bad) + " (" + text_code_point(*bad) +
                      "); use printable ASCII without ` and _";
    const auto in_src = std::find_if(src.begin(), src.end(), [](char32_t c) { return !text_is_glyph_char(c); });
    problem.column = in_src == src.end() ? 0 : static_cast<int>(in_src - src.begin()) + 1;
    return problem;
  }
  if (line.compare(0, 3, U"END") == 0) {
    problem.message = "a text line may not start with END; reword it";
    problem.column = 1;
    return problem;
  }
  out->clear();
  for (char32_t c : line) {
    out->push_back(static_cast<char>(c));
    if (c == U'%') out->push_back('%');
  }
  return problem;
}

std::string page_name(const std::string& file) {
  const size_t slash = file.rfind('/');
  const size_t dot = file.rfind('.');
  const size_t begin = slash == std::string::npos ? 0 : slash + 1;
  return file.substr(begin, dot == std::string::npos || dot < begin ? std::string::npos : dot - begin);
}

}  // namespace

std::string page_source_path(const std::string& page) { return "pages/" + page + ".txt"; }

bool page_make(const Bytes& source, const std::string& file, Bytes& out, Problems& problems) {
  out.clear();
  const std::string_view raw =
      utf8_without_bom(std::string_view(reinterpret_cast<const char*>(source.data()), source.size()));
  std::u32string text;
  size_t bad = 0;
  if (!utf8_decode(raw, text, &bad)) {
    problems.add(file, "not UTF-8 text; save it as UTF-8",
                 1 + static_cast<int>(std::count(raw.begin(), raw.begin() + bad, '\n')));
    return false;
  }
  std::vector<std::u32string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(U'\n', start);
    if (end == std::u32string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    while (!lines.back().empty() && lines.back().back() == U'\r') lines.back().pop_back();
    start = end + 1;
  }
  while (!lines.empty() && strip(lines.back()).empty()) lines.pop_back();
  if (std::none_of(lines.begin(), lines.end(), [](const std::u32string& l) { return has_text(l); })) {
    problems.add(file, "no text in it; write the " + page_name(file) + " page as plain text");
    return false;
  }
  const size_t before = problems.errors();
  std::string page;
  page.reserve(text.size() + lines.size() * 2 + 8);
  std::string line;
  for (size_t n = 0; n < lines.size(); ++n) {
    const LineProblem problem = page_line(lines[n], &line);
    if (!problem.message.empty()) {
      problems.add(file, problem.message, static_cast<int>(n) + 1, problem.column);
      continue;
    }
    page += line;
    page += "\r\n";
  }
  if (lines.size() > static_cast<size_t>(kPageLines)) {
    problems.add(file,
                 std::to_string(lines.size()) + " lines, the program shows at most " + std::to_string(kPageLines) +
                     "; shorten the page",
                 kPageLines + 1);
  }
  if (problems.errors() != before) return false;
  page += "END\r\n";
  out.assign(page.begin(), page.end());
  return true;
}

Files pages_make(const Files& folder, Problems& problems) {
  Files pages;
  for (const char* name : kPageNames) {
    const std::string path = page_source_path(name);
    const auto it = folder.find(path);
    if (it == folder.end()) {
      const std::string there = party_lookalike(folder, path);
      problems.add(path, there.empty() ? "missing; write the " + std::string(name) + " page as plain text"
                                       : "missing, but " + there + " is there; rename " + there + " to " + path);
      continue;
    }
    Bytes out;
    if (page_make(it->second, path, out, problems)) pages[std::string(name) + ".txt"] = std::move(out);
  }
  return pages;
}

std::string page_shown(const Bytes& page) {
  std::string text;
  for (uint8_t b : page) {
    if (b != '\r') text += static_cast<char>(b);
  }
  for (const std::string end : {"\nEND\n", "\nEND"}) {
    if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0) {
      text.resize(text.size() - end.size());
      text += "\n";
      break;
    }
  }
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    shown += text[i];
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
  }
  return shown;
}

}  // namespace kit
