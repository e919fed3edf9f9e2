// party: a party folder's facts, read from party.txt, derived and checked,
// with the checks of the rest of the folder (the pages, the pictures, the
// music's naming) that need nothing decoded.
//
//   party.txt          one "key: value" a line, '#' starts a comment
//   pages/info.txt     the four text pages (compo, contact, credits)
//   music.EXT          mp3, ogg, oga, flac, wav, m4a or opus; or
//                      "music: FILE"; or "music: default" for the
//                      invitation's own soundtrack
//   logo.png|.jpg|.jpeg, loading.png|.jpg|.jpeg   optional pictures
//
// Every problem goes into a Problems as "what is wrong; what to do", with
// the file (a path inside the folder), line and column where they help.
// Not checked here: the music's length and decoding (the command line runs
// the decoder) and whether the lettering fits its boxes (the lettering).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kit/files.h"
#include "kit/problems.h"
#include "velmora_layout.h"

namespace kit {

inline constexpr const char* kPartyFile = "party.txt";
// The facts a party must give, and those derived when it does not.
inline constexpr const char* kRequiredKeys[] = {"name", "edition", "dates", "place", "summary"};
inline constexpr const char* kOptionalKeys[] = {"year",      "short_dates", "town",  "country", "captions",
                                                "caption_x", "site",        "music", "title",   "icon"};

// The longest values, in characters (README.md, "Make your own
// invitation"), and the shortest name.
inline constexpr size_t kNameMax = 24;
inline constexpr size_t kNameMin = 3;
inline constexpr size_t kEditionMax = 28;
inline constexpr size_t kDatesMax = 60;
inline constexpr size_t kPlaceMax = 90;
inline constexpr size_t kSummaryMax = 300;
inline constexpr size_t kYearMax = 4;
inline constexpr size_t kShortDatesMax = 16;
inline constexpr size_t kTownMax = 16;
inline constexpr size_t kCountryMax = 16;
inline constexpr size_t kSiteMax = 200;
// The window's title ("title:", by default the name and " invitation").
inline constexpr size_t kTitleMax = 60;
inline constexpr size_t kMusicNameMax = 100;
// The limit of a key (0: none).
size_t party_max_length(const std::string& key);

// What a missing fact could look like, for the message that asks for it.
const char* party_example(const std::string& key);

// The opening's captions: three lines in the caption strip (x 293 .. 605)
// of the glyph font, 11 pixels a glyph, ending at x 590 unless caption_x
// says.
inline constexpr int kCaptionLines = 3;
inline constexpr int kCaptionLeft = layout::kCaptionX0;
inline constexpr int kCaptionRight = layout::kCaptionX1;
inline constexpr int kGlyphAdvance = layout::kCaptionGlyphAdvance;
inline constexpr int kCaptionAlignRight = layout::kCaptionAlignRight;
inline constexpr int kCaptionMax = (kCaptionRight - kCaptionLeft) / kGlyphAdvance;  // 28

// The site's address must be a whole https:// address (the link-preview
// image is fetched from it).
inline constexpr std::string_view kSitePrefix = "https://";

// Music: the file's extensions; "music: default" keeps the invitation's own
// soundtrack. The converted MP3 should load within kMusicWaitSeconds on a
// link of kVisitorBitsPerSecond.
inline constexpr const char* kMusicExtensions[] = {"mp3", "ogg", "oga", "flac", "wav", "m4a", "opus"};
inline constexpr std::string_view kMusicDefault = "default";
inline constexpr uint64_t kVisitorBitsPerSecond = 10'000'000;
inline constexpr double kMusicWaitSeconds = 10.0;
inline constexpr uint64_t kMusicBitsPerSecond = 192'000;  // the converted MP3's rate

// "title: default" and "icon: default" keep the invitation's own window
// title and icons; an icon.png (or .jpg, .jpeg) in the folder, square, is the
// party's icon, which is otherwise cut from its logo.
inline constexpr std::string_view kIdentityDefault = "default";
inline constexpr const char* kIconNames[] = {"icon.png", "icon.jpg", "icon.jpeg"};

// Pictures: the names each may have (one of each at most); the extensions
// that make another file a picture the invitation does not use.
inline constexpr const char* kLogoNames[] = {"logo.png", "logo.jpg", "logo.jpeg"};
inline constexpr const char* kLoadingNames[] = {"loading.png", "loading.jpg", "loading.jpeg"};
inline constexpr const char* kPictureExtensions[] = {"png", "jpg", "jpeg", "gif", "bmp", "webp", "tif", "tiff"};
inline constexpr int kScreenWidth = layout::kScreenWidth;
inline constexpr int kScreenHeight = layout::kScreenHeight;

struct Party {
  // Every key of kRequiredKeys and kOptionalKeys: as given, or derived, or
  // "" (absent and not derived).
  std::map<std::string, std::string> facts;
  // The keys given in party.txt, in their order, with their line and the
  // column (1-based, in characters) where their value starts.
  std::vector<std::string> given;
  std::map<std::string, int> lines;
  std::map<std::string, int> columns;
  // Keys written without a value.
  std::set<std::string> empty;
  // party.txt was read as text (else its keys are not asked for one by one).
  bool read = false;
  // The pictures' file names in the folder ("" when the folder has none,
  // and the generated picture is used), and the music's ("" for the
  // invitation's own soundtrack).
  std::string logo;
  std::string loading;
  std::string music;

  const std::string& fact(const std::string& key) const;
  // The line of a key given, or of the fact it is derived from; 0 when
  // neither was given.
  int line_of(const std::string& key) const;
};

// Reads, derives and checks the party folder: the facts, the pages'
// presence and contents (pages_make's problems), the pictures' kind and size,
// the music's naming. The facts are derived as far as they can be even when
// there are problems.
Party party_read(const Files& folder, Problems& problems);

// The facts of party.txt's text (bytes), read, derived and checked alone.
Party party_read_facts(const Bytes& party_txt, Problems& problems);

// The name as lettered: a chrome part and a gold part (the last word when it
// is a number, else the year), upper-cased.
std::pair<std::string, std::string> party_title_parts(const Party& party);
// The edition upper-cased with its letters set apart: "A B   C D".
std::string party_spaced_edition(const Party& party);
// The first parts of: short dates and year, town, country; joined by
// "  /  ", upper-cased.
std::string party_header_line(const Party& party, int parts = 3);
// Short dates, town and country, those given, upper-cased.
std::vector<std::string> party_date_block(const Party& party);

// The opening's three captions as (x, text) in the glyph font.
std::vector<std::pair<int, std::string>> party_caption_lines(const Party& party);

// The file in the folder that looks like path but is not it (in other case,
// with ".txt" twice, or a page at the top of the folder), or "".
std::string party_lookalike(const Files& folder, const std::string& path);

// The party's music file in the folder (a path inside it), "" for the
// invitation's own soundtrack (or when the folder has no music).
std::string party_music_file(const Party& party, const Files& folder);

// A warning when the converted MP3 (mp3_bytes) would keep a visitor on a
// 10 Mbit/s link waiting more than 10 s; music_file names the party's file.
void party_music_size_check(const std::string& music_file, uint64_t mp3_bytes, Problems& problems);

// A picture's kind and size from its header (PNG IHDR, JPEG SOF); kind is
// "PNG", "JPEG", another format's name, or "" with a reason when the file is
// no picture that can be read.
struct PictureHeader {
  std::string kind;
  int width = 0;
  int height = 0;
  std::string reason;
};
PictureHeader picture_header(const Bytes& bytes);
// What is wrong with the picture named name (logo.* is scaled when it has the
// screen's shape), or "".
std::string picture_problem(const Bytes& bytes, const std::string& name);

}  // namespace kit
