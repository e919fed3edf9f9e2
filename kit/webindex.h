// webindex: the web site's index.html, written from its template
// (web/index.html) as the web build writes it, for a party's site:
//   the party's facts as the start screen's text, the description and the
//     preview tags (@party_name@, @party_edition@, @party_dates@,
//     @party_place@, @party_summary@, HTML-escaped);
//   the four pages as real text (@TEXT_PAGES@), without the program's
//     closing "END" line and with each "%%" read as the "%" shown;
//   every file the page fetches with its size and a version stamp, the first
//     kStampDigits hex digits of its SHA-256 (@SITE_FILES@), and the page's
//     modules through an import map of stamped names (@IMPORT_MAP@,
//     @STAMP_PAGE_CSS@, @STAMP_PAGE_JS@, @STAMP_TITLE@);
//   the absolute preview tags when the site's address is known
//     (@PREVIEW_TAGS@; og:image and og:url need one).
// A placeholder the template names that is not one of these is left empty.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "kit/files.h"

namespace kit {

constexpr size_t kStampDigits = 16;

struct WebIndexInput {
  // name, edition, dates, place, summary.
  std::map<std::string, std::string> facts;
  // The page files as the data holds them ("info.txt", ...).
  Files pages;
  // Every file of the site by name: the downloads, the page's .js and .css,
  // title.jpg.
  Files site;
  // What the page fetches, in its order (velmora.js, velmora.wasm, pak.pak,
  // qtn.mp3).
  std::vector<std::string> downloads;
  // The site's address ("" when unknown).
  std::string site_url;
};

// The downloads an index.html lists ("NAME": {"size": ...}), in its order.
std::vector<std::string> webindex_downloads(const Bytes& html);

// index.html from the template; false and a message when a file it must
// stamp is missing from the site.
bool webindex_fill(const Bytes& html_template, const WebIndexInput& input, Bytes& html, std::string& error);

}  // namespace kit
