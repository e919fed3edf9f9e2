// webindex: a party's index.html from the site's template (see webindex.h).
#include "kit/webindex.h"

#include <algorithm>

#include "kit/pages.h"
#include "kit/sha256.h"

namespace kit {

namespace {

constexpr char kDownloadMark[] = "\": {\"size\"";
constexpr char kPageStyle[] = "page.css";
constexpr char kPageScript[] = "page.js";
constexpr char kTitlePicture[] = "title.jpg";
constexpr char kPreviewSide[] = "<meta property=\"og:image:width\" content=\"640\">\n"
                                "<meta property=\"og:image:height\" content=\"480\">";

std::string html_escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string stamp(const Bytes& bytes) { return sha256_hex(bytes).substr(0, kStampDigits); }

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A page's text as the program shows it, without blank lines before the
// first.
std::string page_text(const Bytes& page) {
  const std::string shown = page_shown(page);
  const size_t first = shown.find_first_not_of('\n');
  return first == std::string::npos ? "" : shown.substr(first);
}

std::string text_pages(const Files& pages) {
  std::string out;
  for (const char* page : kPageNames) {
    const auto it = pages.find(std::string(page) + ".txt");
    const std::string text = it == pages.end() ? "" : page_text(it->second);
    out += std::string("<section id=\"text-") + page + "\" aria-label=\"" + page + "\"><pre>" + html_escape(text) +
           "</pre></section>\n";
  }
  return out;
}

std::string preview_tags(const std::string& site_url, const std::string& title_stamp) {
  if (site_url.empty()) return "";
  std::string url = site_url;
  if (url.back() != '/') url += '/';
  url = html_escape(url);
  return "<meta property=\"og:url\" content=\"" + url + "\">\n<meta property=\"og:image\" content=\"" + url +
         kTitlePicture + "?v=" + title_stamp + "\">\n" + kPreviewSide;
}

// The template with every @NAME@ replaced by its value ("" for a name not
// given); an '@' that opens no placeholder stays.
std::string substitute(const std::string& text, const std::map<std::string, std::string>& values) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('@', at);
    if (open == std::string::npos) break;
    const size_t close = text.find('@', open + 1);
    const std::string name = close == std::string::npos ? "" : text.substr(open + 1, close - open - 1);
    const bool placeholder = !name.empty() && name.find_first_not_of(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos;
    out += text.substr(at, open - at);
    if (!placeholder) {
      out += '@';
      at = open + 1;
      continue;
    }
    const auto it = values.find(name);
    if (it != values.end()) out += it->second;
    at = close + 1;
  }
  return out + text.substr(at);
}

}  // namespace

std::vector<std::string> webindex_downloads(const Bytes& html) {
  const std::string text = files_text(html);
  std::vector<std::string> names;
  size_t at = 0;
  while ((at = text.find(kDownloadMark, at)) != std::string::npos) {
    const size_t open = text.rfind('"', at - 1);
    if (open != std::string::npos) names.push_back(text.substr(open + 1, at - open - 1));
    at += std::string(kDownloadMark).size();
  }
  return names;
}

bool webindex_fill(const Bytes& html_template, const WebIndexInput& input, Bytes& html, std::string& error) {
  std::map<std::string, std::string> values;
  for (const auto& [key, value] : input.facts) values["party_" + key] = html_escape(value);
  values["TEXT_PAGES"] = text_pages(input.pages);
  std::map<std::string, std::string> stamps;
  for (const auto& [name, bytes] : input.site) stamps[name] = stamp(bytes);
  for (const std::string& name : {std::string(kPageStyle), std::string(kPageScript), std::string(kTitlePicture)}) {
    if (!stamps.count(name)) {
      error = "the web site has no " + name + "; make it again with ./release.sh web";
      return false;
    }
  }
  std::string files;
  for (const std::string& name : input.downloads) {
    const auto it = input.site.find(name);
    if (it == input.site.end()) {
      error = "the web site has no " + name + "; make it again with ./release.sh web";
      return false;
    }
    files += (files.empty() ? "" : ", ") + ("\"" + name + "\": {\"size\": " + std::to_string(it->second.size()) +
                                            ", \"stamp\": \"" + stamps[name] + "\"}");
  }
  values["SITE_FILES"] = files;
  std::string imports;
  for (const auto& [name, bytes] : input.site) {
    const bool download = std::find(input.downloads.begin(), input.downloads.end(), name) != input.downloads.end();
    if (download || name.find('/') != std::string::npos || !ends_with(name, ".js")) continue;
    imports += (imports.empty() ? "" : ", ") + ("\"./" + name + "\": \"./" + name + "?v=" + stamps[name] + "\"");
  }
  values["IMPORT_MAP"] = imports;
  values["STAMP_PAGE_CSS"] = stamps[kPageStyle];
  values["STAMP_PAGE_JS"] = stamps[kPageScript];
  values["STAMP_TITLE"] = stamps[kTitlePicture];
  values["PREVIEW_TAGS"] = preview_tags(input.site_url, stamps[kTitlePicture]);
  html = files_bytes(substitute(files_text(html_template), values));
  return true;
}

}  // namespace kit
