// pages: a party's page sources (pages/info.txt, compo, contact, credits)
// made into the program's page files.
//
// A source is plain UTF-8 text in the glyph font's characters (printable
// ASCII without '_' and '`'), with two layout marks:
//   * a line starting with '^' is centred on the page width (the '^' is not
//     shown);
//   * a line with " ... " (a space, three or more dots, a space) between
//     text on both sides becomes "left ..... right", dot leaders filling
//     the line to kLeaderWidth columns.
// A '%' is written as "%%" (the program prints each line as a printf
// format). Every line ends with CR LF and the page closes with an "END"
// line. A line holds at most kPageWidth characters, may not start with END,
// and a page holds at most kPageLines lines, at least one with text.
#pragma once

#include <string>
#include <string_view>

#include "kit/files.h"
#include "kit/problems.h"
#include "velmora_layout.h"

namespace kit {

inline constexpr const auto& kPageNames = layout::kPageNames;
inline constexpr int kPageWidth = 38;    // columns the text area holds
inline constexpr int kLeaderWidth = 36;  // a dot-leader line's width
inline constexpr int kPageLines = 1000;  // lines the program keeps of a page (END aside)
inline constexpr char kCentreMark = '^';
inline constexpr int kLeaderMinDots = 3;   // " ... " in the source
inline constexpr int kLeaderRoomDots = 2;  // the fewest dots a leader line shows

// "pages/info.txt" for "info".
std::string page_source_path(const std::string& page);

// {"info.txt": bytes, ...}: the page files of the folder's pages, each made
// whole or left out, and the problems of every page (a page missing, empty,
// not UTF-8, or a line the program cannot show), all of them.
Files pages_make(const Files& folder, Problems& problems);

// A page file's text as the program shows it: CRs dropped, the closing "END"
// line dropped, each "%%" read as the "%" shown; every line ends with '\n'.
std::string page_shown(const Bytes& page);

// One page file from its source bytes; problems are named by file (the
// source's path). False, and out left empty, when the page cannot be made.
bool page_make(const Bytes& source, const std::string& file, Bytes& out, Problems& problems);

}  // namespace kit
