// make: a party folder made into the data of its invitation, the kit's one
// entry for the command line and the studio page.
//
// The base is what every party shares, as files (see files.h):
//   fonts/DejaVuSans.ttf, fonts/DejaVuSans-Bold.ttf   the lettering's faces
//   layers/*.png       the pictures' party-independent art (the base layers)
//   data/*             the invitation's party-independent data files (glyph
//                      sheet, font, camera path, lit buttons, pointer, chrome
//                      map) and its own soundtrack, data/qtn.mp3
// The data made holds every file the program reads (pak.pak's entries and
// qtn.mp3) and web/party.txt (the web page's facts, not packed). A party's
// archive also names its window: title.txt (unless "title: default") and
// icon.png (unless "icon: default"), cut from its logo or made from an
// icon.png of its folder.
#pragma once

#include <map>
#include <string>

#include "kit/files.h"
#include "kit/icons.h"
#include "kit/party.h"
#include "kit/problems.h"

namespace kit {

// Where the base's files lie, and the data files that stay the invitation's
// own whatever the party.
constexpr char kBaseData[] = "data/";
constexpr char kMusicFile[] = "qtn.mp3";
constexpr char kPakFile[] = "pak.pak";
constexpr char kWebFactsFile[] = "web/party.txt";
// The web site's index.html template, in the base.
constexpr char kWebTemplate[] = "web/index.html";

// The party's facts and every problem of its folder (facts, pages, pictures,
// music's name, the lettering's fit), as an organiser sees them while typing.
Party make_check(const Files& folder, const Files& base, Problems& problems);

// The party's facts with those derived for it filled in: title (the
// window's, unless given, once there is a name), music_file (the music's
// file in the folder, "" for the invitation's own soundtrack) and slug (the
// release files' name).
std::map<std::string, std::string> make_facts(const Party& party, const Files& folder);

// Every data file of the party's invitation into data. music is the party's
// music already converted to the program's MP3 (null: the folder keeps the
// invitation's own, or the caller adds it later). False, with the problems,
// when the folder has one; warnings do not stop it.
bool make_data(const Files& folder, const Files& base, const Bytes* music, Problems& problems,
               Files& data);

// pak.pak of the data: every file but the music and the web page's facts, in
// name order. False and a message when the archive would be refused.
bool make_pak(const Files& data, Bytes& pak, std::string& error);

// The party's icons from its folder's icon.png or its logo (data's
// logo.png); false (icons left empty) when the party keeps the invitation's
// own ("icon: default") or a picture cannot be used (a message in error).
bool make_icons(const Party& party, const Files& folder, const Files& data, IconSet& icons,
                std::string& error);

// A square picture as PNG bytes (opaque: the alpha is left out).
Bytes make_icon_png(const IconPicture& icon);

// True when base holds every file the kit needs; otherwise false and the
// first missing file's name.
bool make_base_complete(const Files& base, std::string& missing);

}  // namespace kit
