// release: a party's release files, named and labelled for the party: the
// Windows zip repacked with its data, README.txt written for it, the
// scene's info file and file_id.diz beside it, and the party's icon in the
// .exe; the names of every file from one slug of the window's title.
//
//   title     the window's title: party.txt's "title:", else "NAME invitation"
//   slug      the title in lower-case ASCII letters and digits joined by '-'
//             ("Nordlicht Pixelfest 2027 invitation" ->
//             "nordlicht-pixelfest-2027-invitation"), at most kSlugMax long
//   SLUG-win64.zip, SLUG-web.zip, SLUG.nfo, file_id.diz
//
// The info file is in the scene's classic form: at most kInfoColumns
// columns, CR LF line ends, printable ASCII only (every viewer shows it,
// whatever its code page); file_id.diz holds at most kDizLines lines of
// kDizColumns columns. README.txt is UTF-8 with CR LF line ends.
#pragma once

#include <cstdint>
#include <string>

#include "kit/files.h"
#include "kit/icons.h"
#include "kit/party.h"

namespace kit {

constexpr int kInfoColumns = 80;
constexpr int kDizLines = 10;
constexpr int kDizColumns = 45;
constexpr size_t kSlugMax = 64;
constexpr char kDizFile[] = "file_id.diz";
constexpr char kReadmeFile[] = "README.txt";
constexpr char kSumsFile[] = "SHA256SUMS";

std::string release_title(const Party& party);
std::string release_slug(const Party& party);
std::string release_info_name(const Party& party);

// README.txt of the party's Windows zip: the party's facts first, then how
// to start the invitation (ours's text from "Starting it" on: ours is the
// README of the zip being repacked), then the contact page.
Bytes release_readme(const Party& party, const Bytes& our_readme, const Bytes& contact_page);

// The info file: the facts, the summary, the four pages (page files as the
// data holds them: "info.txt" ...), and what the release holds.
Bytes release_info(const Party& party, const Files& data);
Bytes release_diz(const Party& party);

// The party's Windows zip from ours (a top folder velmora2k-VERSION-win64/
// with the programs): the same programs under SLUG-win64/, with the party's
// pak.pak and qtn.mp3, README.txt, the info file and file_id.diz, and
// velmora2k.exe's icon replaced by icon (null: ours kept). Entries dated
// time. False and a message when our zip is not one.
bool release_windows_zip(const Party& party, const Files& data, const Bytes& pak, const Bytes& music,
                         const Bytes& our_zip, const IconSet* icons, int64_t time, Bytes& zip,
                         std::string& error);

// The party's web site zip from ours (site: the files of our site, as its
// folder or its zip holds them): the party's pak.pak and qtn.mp3, its title picture (a JPEG of its logo), its
// icons (null: ours kept), the info file and file_id.diz, and index.html
// written again from html_template with its facts, pages and stamps.
bool release_web_zip(const Party& party, const Files& data, const Bytes& pak, const Bytes& music,
                     Files site, const Bytes& html_template, const IconSet* icons, int64_t time,
                     Bytes& zip, std::string& error);

// Our release files that a party's are made from: our Windows zip and our
// web site's files (null: that release file is not made), and the date of
// the entries (seconds since 1970).
struct ReleaseOurs {
  const Bytes* windows_zip = nullptr;
  const Files* site = nullptr;
  int64_t time = 0;
};

// The party's release files from its folder, the base (the page's
// template), the data made for it and its pak.pak: SLUG-win64.zip and
// SLUG-web.zip, as ours gives them, with the party's icons. False and a
// message when one cannot be made.
bool release_files(const Files& folder, const Files& base, const Files& data, const Bytes& pak,
                   const ReleaseOurs& ours, Files& release, std::string& error);

// SHA256SUMS of the release files, as sha256sum writes it: one "HASH  NAME"
// line a file, in name order, so that `sha256sum -c` checks them.
Bytes release_sums(const Files& files);

}  // namespace kit
