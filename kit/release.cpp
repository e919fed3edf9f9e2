// release: a party's release files, named and labelled for it (see
// release.h).
#include "kit/release.h"

#include <string_view>
#include <vector>

#include "kit/exeicon.h"
#include "kit/make.h"
#include "kit/pages.h"
#include "kit/sha256.h"
#include "kit/text.h"
#include "kit/webindex.h"
#include "kit/zip.h"
#include "resources/jpegwrite.h"
#include "resources/memdecode.h"

namespace kit {

namespace {

constexpr char kTitleSuffix[] = " invitation";
constexpr char kWindowsSuffix[] = "-win64";
constexpr char kProgram[] = "velmora2k.exe";
// The zip's own README starts with a title and its underline; the party's
// keeps what follows from this heading on.
constexpr std::string_view kStartHeading = "Starting it";
constexpr int kReadmeColumns = 76;
constexpr int kInfoIndent = 2;
constexpr char kIndexFile[] = "index.html";
constexpr char kTitlePicture[] = "title.jpg";
constexpr char kFavicon[] = "icon-32.png";
constexpr char kTouchIcon[] = "icon-256.png";

std::string crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Words of text (split at spaces) in lines of at most width columns; a word
// longer than a line is cut.
std::vector<std::string> wrap(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  std::string line;
  for (std::string word : text_split(text)) {
    while (utf8_length(word) > width) {
      if (!line.empty()) lines.push_back(line), line.clear();
      lines.push_back(word.substr(0, width));
      word = word.substr(width);
    }
    if (!line.empty() && utf8_length(line) + 1 + utf8_length(word) > width) lines.push_back(line), line.clear();
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Printable ASCII only: accents dropped, what has no ASCII form left out.
std::string plain_ascii(const std::string& text) {
  std::string out;
  for (char c : text_fold_ascii(text)) {
    if (c >= 0x20 && c < 0x7f) out += c;
  }
  return out;
}

std::string centred(const std::string& text, int width) {
  const int pad = (width - static_cast<int>(text.size())) / 2;
  return std::string(pad > 0 ? pad : 0, ' ') + text;
}

// The lines of a page file as the program shows them, without blank lines
// after the last.
std::vector<std::string> page_lines(const Bytes& page) {
  std::vector<std::string> lines;
  const std::string shown = page_shown(page);
  for (size_t at = 0, end; (end = shown.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(shown.substr(at, end - at));
  }
  while (!lines.empty() && text_strip(lines.back()).empty()) lines.pop_back();
  return lines;
}

// The facts' lines that lead README.txt and the info file.
std::vector<std::string> fact_lines(const Party& party) {
  std::vector<std::string> lines = {party.fact("edition"), party.fact("dates"), party.fact("place")};
  if (!party.fact("site").empty()) lines.push_back(party.fact("site"));
  return lines;
}

std::string underline(const std::string& text, char c) { return std::string(utf8_length(text), c); }

// The top folder of our Windows zip ("velmora2k-1.0.0-win64/"), or "".
std::string top_folder(const Files& files) {
  for (const auto& [name, bytes] : files) {
    const size_t slash = name.find('/');
    if (slash != std::string::npos && name.compare(slash + 1, std::string::npos, kProgram) == 0) {
      return name.substr(0, slash + 1);
    }
  }
  return "";
}

}  // namespace

std::string release_title(const Party& party) {
  const std::string& title = party.fact("title");
  return title.empty() || title == kIdentityDefault ? party.fact("name") + kTitleSuffix : title;
}

std::string release_slug(const Party& party) {
  std::string slug;
  for (char c : plain_ascii(release_title(party))) {
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    const bool keep = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9');
    if (keep) {
      slug += lower;
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  if (slug.size() > kSlugMax) slug.resize(kSlugMax);
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug.empty() ? "invitation" : slug;
}

std::string release_info_name(const Party& party) { return release_slug(party) + ".nfo"; }

Bytes release_readme(const Party& party, const Bytes& our_readme, const Bytes& contact_page) {
  const std::string title = release_title(party) + " for Windows";
  std::vector<std::string> lines = {title, underline(title, '=')};
  for (const std::string& fact : fact_lines(party)) lines.push_back(fact);
  lines.push_back("");
  for (const std::string& line : wrap(party.fact("summary"), kReadmeColumns)) lines.push_back(line);
  lines.push_back("");
  // How to start it and what to do when something goes wrong: ours's words.
  std::string ours = files_text(our_readme);
  const size_t start = ours.find(kStartHeading);
  std::string body = start == std::string::npos ? "" : ours.substr(start);
  std::string line;
  for (char c : body) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  lines.push_back("");
  lines.push_back("Contact");
  lines.push_back("-------");
  for (const std::string& page_line : page_lines(contact_page)) lines.push_back(text_strip(page_line));
  return files_bytes(crlf(lines));
}

Bytes release_info(const Party& party, const Files& data) {
  const std::string rule(kInfoColumns - 2, '=');
  const std::string indent(kInfoIndent, ' ');
  std::vector<std::string> lines = {"", centred(plain_ascii(text_upper(release_title(party))), kInfoColumns),
                                    centred(plain_ascii(party.fact("edition")), kInfoColumns), "", " " + rule};
  const std::pair<const char*, std::string> facts[] = {
      {"When", party.fact("dates")}, {"Where", party.fact("place")}, {"Web", party.fact("site")}};
  for (const auto& [label, value] : facts) {
    if (value.empty()) continue;
    std::string head = indent + label + std::string(7 - std::string_view(label).size(), ' ');
    bool first = true;
    for (const std::string& part : wrap(plain_ascii(value), kInfoColumns - head.size())) {
      lines.push_back((first ? head : std::string(head.size(), ' ')) + part);
      first = false;
    }
  }
  lines.push_back("");
  for (const std::string& line : wrap(plain_ascii(party.fact("summary")), kInfoColumns - 2 * kInfoIndent)) {
    lines.push_back(indent + line);
  }
  for (const char* page : kPageNames) {
    const std::string heading = text_upper(page);
    lines.push_back("");
    lines.push_back(" ==[ " + heading + " ]" + std::string(rule.size() - heading.size() - 5, '='));
    lines.push_back("");
    const auto it = data.find(std::string(page) + ".txt");
    if (it == data.end()) continue;
    for (const std::string& line : page_lines(it->second)) lines.push_back(indent + plain_ascii(line));
  }
  lines.push_back("");
  lines.push_back(" " + rule);
  lines.push_back(indent + "velmora2k.exe: the invitation for Windows; the web site plays it in a browser.");
  lines.push_back("");
  for (std::string& line : lines) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.size() > static_cast<size_t>(kInfoColumns)) line.resize(kInfoColumns);
  }
  return files_bytes(crlf(lines));
}

Bytes release_diz(const Party& party) {
  std::vector<std::string> lines;
  const std::string facts[] = {text_upper(release_title(party)), party.fact("edition"), party.fact("dates"),
                               party.fact("place"), party.fact("site")};
  for (const std::string& fact : facts) {
    for (const std::string& line : wrap(plain_ascii(fact), kDizColumns)) lines.push_back(line);
  }
  if (lines.size() > static_cast<size_t>(kDizLines)) lines.resize(kDizLines);
  return files_bytes(crlf(lines));
}

bool release_windows_zip(const Party& party, const Files& data, const Bytes& pak, const Bytes& music,
                         const Bytes& our_zip, const IconSet* icons, int64_t time, Bytes& zip,
                         std::string& error) {
  Files ours;
  if (!zip_read(our_zip, ours, error)) {
    error = "the Windows zip: " + error;
    return false;
  }
  const std::string top = top_folder(ours);
  if (top.empty()) {
    error = std::string("the Windows zip holds no ") + kProgram + " in a folder; make it again with ./release.sh windows";
    return false;
  }
  Files files;
  for (auto& [name, bytes] : ours) {
    if (name.compare(0, top.size(), top) == 0) files[name.substr(top.size())] = std::move(bytes);
  }
  files["pak.pak"] = pak;
  files["qtn.mp3"] = music;
  const auto contact = data.find("contact.txt");
  files[kReadmeFile] = release_readme(party, files[kReadmeFile], contact == data.end() ? Bytes() : contact->second);
  files[release_info_name(party)] = release_info(party, data);
  files[kDizFile] = release_diz(party);
  if (icons && !exe_icons_write(files[kProgram], icons->exe, error)) return false;
  return zip_write(files, release_slug(party) + kWindowsSuffix, time, zip, error);
}

namespace {

// The title picture (and link preview) of the web page: the logo as a JPEG.
bool title_picture(const Files& data, Bytes& jpeg, std::string& error) {
  const auto logo = data.find("logo.png");
  MemPicture picture;
  if (logo == data.end() || !memdecode_rgb(logo->second.data(), logo->second.size(), picture, error)) {
    if (error.empty()) error = "the logo was not made";
    return false;
  }
  return jpeg_encode_rgb(picture.rgb.data(), picture.width, picture.height, kJpegWriteQuality, jpeg, error);
}

}  // namespace

bool release_web_zip(const Party& party, const Files& data, const Bytes& pak, const Bytes& music, Files site,
                     const Bytes& html_template, const IconSet* icons, int64_t time, Bytes& zip,
                     std::string& error) {
  if (!site.count(kIndexFile)) {
    error = "the web zip holds no index.html at its top; make it again with ./release.sh web";
    return false;
  }
  site[kPakFile] = pak;
  site[kMusicFile] = music;
  if (!title_picture(data, site[kTitlePicture], error)) return false;
  if (icons) {
    site[kFavicon] = make_icon_png(icons->favicon);
    site[kTouchIcon] = make_icon_png(icons->exe.back());
  }
  site[release_info_name(party)] = release_info(party, data);
  site[kDizFile] = release_diz(party);
  WebIndexInput input;
  for (const char* key : kRequiredKeys) input.facts[key] = party.fact(key);
  for (const char* page : kPageNames) {
    const auto it = data.find(std::string(page) + ".txt");
    if (it != data.end()) input.pages[it->first] = it->second;
  }
  input.downloads = webindex_downloads(site[kIndexFile]);
  input.site_url = party.fact("site");
  input.site = site;
  if (!webindex_fill(html_template, input, site[kIndexFile], error)) return false;
  return zip_write(site, "", time, zip, error);
}

bool release_files(const Files& folder, const Files& base, const Files& data, const Bytes& pak,
                   const ReleaseOurs& ours, Files& release, std::string& error) {
  Problems ignored;  // reported when the data was made
  const Party party = party_read(folder, ignored);
  IconSet icons;
  const bool own_icons = make_icons(party, folder, data, icons, error);
  const IconSet* party_icons = own_icons ? &icons : nullptr;
  error.clear();  // a party whose icon cannot be made keeps ours, as its data does
  const std::string slug = release_slug(party);
  const auto music = data.find(kMusicFile);
  const auto html = base.find(kWebTemplate);
  if (music == data.end()) {
    error = "the data holds no music; make the data again";
    return false;
  }
  if (ours.windows_zip) {
    Bytes zip;
    if (!release_windows_zip(party, data, pak, music->second, *ours.windows_zip, party_icons, ours.time, zip,
                             error)) {
      return false;
    }
    release[slug + "-win64.zip"] = std::move(zip);
  }
  if (ours.site) {
    if (html == base.end()) {
      error = std::string("the kit's base file ") + kWebTemplate + " is missing; reinstall the kit";
      return false;
    }
    Bytes zip;
    if (!release_web_zip(party, data, pak, music->second, *ours.site, html->second, party_icons, ours.time, zip,
                         error)) {
      return false;
    }
    release[slug + "-web.zip"] = std::move(zip);
  }
  return true;
}

Bytes release_sums(const Files& files) {
  std::string sums;
  for (const auto& [name, bytes] : files) sums += sha256_hex(bytes) + "  " + name + "\n";
  return files_bytes(sums);
}

}  // namespace kit
