// velmora2k-kit: the party kit on the command line. It reads a party folder
// and makes the data of its invitation, the same bytes on every system.
//
//   velmora2k-kit check PARTY_DIR           every problem of the folder
//   velmora2k-kit facts PARTY_DIR           the facts, derived ones filled in
//   velmora2k-kit data PARTY_DIR OUT_DIR [--music FILE.mp3] [--base DIR]
//                     [--windows ZIP] [--web ZIP] [--time T]
//                                           OUT_DIR/pak.pak, OUT_DIR/data/;
//                                           with --windows and --web the party's
//                                           release files: OUT_DIR/SLUG-win64.zip,
//                                           OUT_DIR/SLUG-web.zip, OUT_DIR/slug.txt
//   velmora2k-kit index SITE_DIR DATA_DIR --downloads LIST [--site URL] [--base DIR]
//                                           the web site's index.html, from the
//                                           data's facts and pages (the web build)
//   velmora2k-kit visit --fps F [--frames]  the visit of every page, as a
//                                           capture tool script (--frames: the
//                                           preview sheet's frames)
//   velmora2k-kit zip FOLDER ZIP [--time T] FOLDER's files into ZIP, no top
//                                           folder, the same bytes every time
//   velmora2k-kit --help | --version
//
// Problems go to stderr as "FOLDER/FILE:LINE:COLUMN: what is wrong; what to
// do". Exit codes: 0 done, 1 problems in the folder, 2 bad arguments (an
// unknown option or command, a missing value, a folder that does not
// exist), 3 the kit's own base files missing or a file that cannot be
// written.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/make.h"
#include "kit/party.h"
#include "kit/problems.h"
#include "kit/release.h"
#include "kit/pages.h"
#include "kit/visit.h"
#include "kit/webindex.h"
#include "kit/zip.h"
#include "platform/host.h"
#include "velmora_version.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitProblems = 1;
constexpr int kExitUsage = 2;
constexpr int kExitMissing = 3;

// Beside the program, the folder of the kit's base files.
constexpr char kBaseFolder[] = "kit-base";

constexpr char kUsage[] =
    "usage: velmora2k-kit check PARTY_DIR\n"
    "       velmora2k-kit facts PARTY_DIR\n"
    "       velmora2k-kit data PARTY_DIR OUT_DIR [--music FILE.mp3] [--base DIR]\n"
    "                          [--windows ZIP] [--web ZIP] [--time T]\n"
    "       velmora2k-kit index SITE_DIR DATA_DIR --downloads LIST [--site URL] [--base DIR]\n"
    "       velmora2k-kit visit --fps F [--frames]\n"
    "       velmora2k-kit zip FOLDER ZIP [--time T]";

constexpr char kHelp[] =
    "\n"
    "Makes a party's own invitation data from its party folder (party.txt,\n"
    "pages/, music, pictures), the same bytes on every system.\n"
    "\n"
    "Commands:\n"
    "  check PARTY_DIR        list every problem of the folder\n"
    "  facts PARTY_DIR        print the facts, derived ones filled in, and\n"
    "                         music_file (the music's file, empty for the\n"
    "                         invitation's own) and slug (the release files'\n"
    "                         name)\n"
    "  data PARTY_DIR OUT_DIR write OUT_DIR/pak.pak and every data file into\n"
    "                         OUT_DIR/data/\n"
    "  index SITE_DIR DATA_DIR\n"
    "                         write SITE_DIR/index.html from the page's template, with\n"
    "                         DATA_DIR's facts (web/party.txt) and pages, and the\n"
    "                         sizes and stamps of the site's files\n"
    "  visit --fps F          the capture tool's script of a visit of every page\n"
    "  zip FOLDER ZIP         pack FOLDER's files (hidden ones aside) into ZIP, dated\n"
    "                         --time (default 1980-01-01), the same bytes every time\n"
    "\n"
    "Options:\n"
    "  --music FILE.mp3       the party's music, converted to the program's MP3\n"
    "  --base DIR             the kit's base files (default: kit-base beside the\n"
    "                         program)\n"
    "  --windows ZIP          the invitation's Windows zip, repacked for the party\n"
    "                         into OUT_DIR/SLUG-win64.zip (SLUG in OUT_DIR/slug.txt)\n"
    "  --web ZIP|DIR          the invitation's web site (its zip or its folder),\n"
    "                         repacked for the party into OUT_DIR/SLUG-web.zip\n"
    "  --time T               the release files' (or the zip's) date, in seconds since\n"
    "                         1970\n"
    "  --downloads LIST       with index: what the page fetches, comma-separated, in order\n"
    "  --site URL             with index: the site's address, for the preview tags\n"
    "  --frames               with visit: the preview sheet's frames, comma-separated\n"
    "  -h, --help             show this help\n"
    "  --version              show the version\n";

int usage_error(const std::string& why) {
  std::fprintf(stderr, "velmora2k-kit: %s\n%s\n", why.c_str(), kUsage);
  return kExitUsage;
}

// The folder's name as the problems' prefix: "party/" for "party" or "party/".
std::string folder_prefix(const std::string& folder) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder;
  return folder + "/";
}

bool read_folder(const std::string& folder, kit::Files& files) {
  std::string error;
  if (kit::files_read_folder(folder, files, error)) return true;
  std::fprintf(stderr, "%s; give the party folder\n", error.c_str());
  return false;
}

bool read_base(const std::string& folder, kit::Files& base) {
  std::string error;
  std::string missing;
  if (!kit::files_read_folder(folder, base, error)) {
    std::fprintf(stderr, "velmora2k-kit: the kit's base files: %s\n", error.c_str());
    return false;
  }
  if (!kit::make_base_complete(base, missing)) {
    std::fprintf(stderr, "velmora2k-kit: the kit's base file %s%s is missing; reinstall the kit\n",
                 folder_prefix(folder).c_str(), missing.c_str());
    return false;
  }
  return true;
}

std::string default_base() {
  return folder_prefix(platform::host_program_folder()) + kBaseFolder;
}

// Prints the problems and, when there are any that stop the run, how many.
int report(const kit::Problems& problems, const std::string& folder) {
  for (const kit::Problem& p : problems.items()) {
    std::fprintf(stderr, "%s\n", kit::problem_text(p, folder_prefix(folder)).c_str());
  }
  return problems.errors() > 0 ? kExitProblems : kExitDone;
}

int count_line(const kit::Problems& problems, const std::string& folder) {
  const size_t n = problems.errors();
  if (n > 0) std::fprintf(stderr, "%zu problem%s in %s\n", n, n == 1 ? "" : "s", folder.c_str());
  return n > 0 ? kExitProblems : kExitDone;
}

// Options after the positional arguments: --name VALUE pairs and flags.
struct Options {
  std::vector<std::string> positional;
  std::string music;
  std::string base;
  std::string fps;
  std::string windows;
  std::string web;
  std::string time;
  std::string downloads;
  std::string site;
  bool frames = false;
};

bool parse(const std::vector<std::string>& args, Options& options, std::string& why) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* value = nullptr;
    if (a == "--music") value = &options.music;
    if (a == "--base") value = &options.base;
    if (a == "--fps") value = &options.fps;
    if (a == "--windows") value = &options.windows;
    if (a == "--web") value = &options.web;
    if (a == "--downloads") value = &options.downloads;
    if (a == "--site") value = &options.site;
    if (a == "--time") value = &options.time;
    if (value) {
      if (i + 1 == args.size()) {
        why = a + " needs a value";
        return false;
      }
      *value = args[++i];
    } else if (a == "--frames") {
      options.frames = true;
    } else if (a.size() > 1 && a[0] == '-') {
      why = "unknown option " + a;
      return false;
    } else {
      options.positional.push_back(a);
    }
  }
  return true;
}

// The party folder (the first positional argument) and the kit's base;
// kExitDone, or the code to end with.
int read_inputs(const Options& options, kit::Files& files, kit::Files& base) {
  if (!read_folder(options.positional[0], files)) return kExitUsage;
  if (!read_base(options.base.empty() ? default_base() : options.base, base)) return kExitMissing;
  return kExitDone;
}

int check_or_facts(const Options& options, bool facts) {
  if (options.positional.size() != 1) return usage_error("give one PARTY_DIR");
  const std::string& folder = options.positional[0];
  kit::Files files;
  kit::Files base;
  if (const int code = read_inputs(options, files, base); code != kExitDone) return code;
  kit::Problems problems;
  const kit::Party party = kit::make_check(files, base, problems);
  if (facts) {
    for (const auto& [key, value] : kit::make_facts(party, files)) std::printf("%s: %s\n", key.c_str(), value.c_str());
    return report(problems, folder);
  }
  report(problems, folder);
  return count_line(problems, folder);
}

// --time T as seconds since 1970; false when it is not a whole number.
bool parse_time(const std::string& text, int64_t& time) {
  try {
    size_t used = 0;
    time = std::stoll(text, &used);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

bool read_bytes(const std::string& path, kit::Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char chunk[1 << 16];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// The party's release files beside its data: the Windows zip and the web
// site zip repacked, named by the party's slug.
bool release(const Options& options, const kit::Files& folder, const kit::Files& base, const kit::Files& data,
             const kit::Bytes& pak, kit::Files& written, std::string& error) {
  kit::ReleaseOurs ours;
  if (!parse_time(options.time, ours.time)) {
    error = "--time needs seconds since 1970";
    return false;
  }
  kit::Bytes windows_zip;
  if (!options.windows.empty()) {
    if (!read_bytes(options.windows, windows_zip)) {
      error = options.windows + " cannot be read";
      return false;
    }
    ours.windows_zip = &windows_zip;
  }
  // Our site, as its folder or its zip.
  kit::Files site;
  if (!options.web.empty()) {
    std::string ignored_error;
    if (!kit::files_read_folder(options.web, site, ignored_error)) {
      kit::Bytes web_zip;
      if (!read_bytes(options.web, web_zip)) {
        error = options.web + " cannot be read";
        return false;
      }
      if (!kit::zip_read(web_zip, site, error)) return false;
    }
    ours.site = &site;
  }
  kit::Problems ignored;  // reported when the data was made
  written["slug.txt"] = kit::files_bytes(kit::release_slug(kit::party_read(folder, ignored)) + "\n");
  return kit::release_files(folder, base, data, pak, ours, written, error);
}

int data(const Options& options) {
  if (options.positional.size() != 2) return usage_error("give PARTY_DIR and OUT_DIR");
  const bool releasing = !options.windows.empty() || !options.web.empty();
  if (releasing && options.time.empty()) return usage_error("--windows and --web need --time");
  const std::string& folder = options.positional[0];
  const std::string& out = options.positional[1];
  kit::Files files;
  kit::Files base;
  if (const int code = read_inputs(options, files, base); code != kExitDone) return code;
  kit::Bytes music;
  if (!options.music.empty() && !read_bytes(options.music, music)) {
    std::fprintf(stderr, "velmora2k-kit: %s cannot be read\n", options.music.c_str());
    return kExitUsage;
  }
  kit::Problems problems;
  kit::Files made;
  const bool ok = kit::make_data(files, base, options.music.empty() ? nullptr : &music, problems, made);
  report(problems, folder);
  if (!ok) return count_line(problems, folder);
  kit::Bytes pak;
  std::string error;
  if (!kit::make_pak(made, pak, error)) {
    std::fprintf(stderr, "velmora2k-kit: %s\n", error.c_str());
    return kExitProblems;
  }
  kit::Files written;
  if (releasing && !release(options, files, base, made, pak, written, error)) {
    std::fprintf(stderr, "velmora2k-kit: %s\n", error.c_str());
    return kExitMissing;
  }
  for (auto& [name, bytes] : made) written["data/" + name] = std::move(bytes);
  written[kit::kPakFile] = std::move(pak);
  if (!kit::files_write_folder(written, out, error)) {
    std::fprintf(stderr, "velmora2k-kit: %s\n", error.c_str());
    return kExitMissing;
  }
  return kExitDone;
}

// The facts of a data folder's web/party.txt ("key: value" lines, '#'
// comments), as the kit wrote them.
std::map<std::string, std::string> web_facts(const kit::Bytes& text) {
  std::map<std::string, std::string> facts;
  std::string line;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\n') {
      line += static_cast<char>(text[i]);
      continue;
    }
    const size_t colon = line.find(": ");
    if (!line.empty() && line[0] != '#' && colon != std::string::npos) facts[line.substr(0, colon)] = line.substr(colon + 2);
    line.clear();
  }
  return facts;
}

int index(const Options& options) {
  if (options.positional.size() != 2 || options.downloads.empty()) {
    return usage_error("index needs SITE_DIR, DATA_DIR and --downloads");
  }
  const std::string& site_dir = options.positional[0];
  const std::string& data_dir = options.positional[1];
  kit::Files base;
  kit::Files site;
  kit::Files data;
  std::string error;
  if (!read_base(options.base.empty() ? default_base() : options.base, base)) return kExitMissing;
  const auto html = base.find(kit::kWebTemplate);
  if (html == base.end() || !kit::files_read_folder(site_dir, site, error) ||
      !kit::files_read_folder(data_dir, data, error)) {
    std::fprintf(stderr, "velmora2k-kit: %s\n", html == base.end() ? "the page's template is missing" : error.c_str());
    return kExitMissing;
  }
  kit::WebIndexInput input;
  input.facts = web_facts(data[kit::kWebFactsFile]);
  for (const char* page : kit::kPageNames) input.pages[std::string(page) + ".txt"] = data[std::string(page) + ".txt"];
  input.site = site;
  for (size_t at = 0; at <= options.downloads.size();) {
    const size_t comma = std::min(options.downloads.find(',', at), options.downloads.size());
    input.downloads.push_back(options.downloads.substr(at, comma - at));
    at = comma + 1;
  }
  input.site_url = options.site;
  kit::Bytes page;
  if (!kit::webindex_fill(html->second, input, page, error) ||
      !kit::files_write_folder({{"index.html", page}}, site_dir, error)) {
    std::fprintf(stderr, "velmora2k-kit: %s\n", error.c_str());
    return kExitMissing;
  }
  return kExitDone;
}

int visit(const Options& options) {
  int fps = 0;
  try {
    fps = std::stoi(options.fps);
  } catch (...) {
    return usage_error("visit needs --fps F, F a whole multiple of 10 up to 60");
  }
  if (!options.positional.empty() || !kit::visit_fps_valid(fps)) {
    return usage_error("visit needs --fps F, F a whole multiple of 10 up to 60");
  }
  if (!options.frames) {
    std::fputs(kit::visit_script(fps).c_str(), stdout);
    return kExitDone;
  }
  std::string list;
  for (int frame : kit::visit_sheet_frames(fps)) list += (list.empty() ? "" : ",") + std::to_string(frame);
  std::puts(list.c_str());
  return kExitDone;
}

int zip(const Options& options) {
  if (options.positional.size() != 2) return usage_error("zip needs FOLDER and ZIP");
  int64_t time = kit::kZipTimeMin;
  if (!options.time.empty() && !parse_time(options.time, time)) return usage_error("--time needs seconds since 1970");
  kit::Files files;
  kit::Bytes zip;
  std::string error;
  if (!kit::files_read_folder(options.positional[0], files, error)) {
    std::fprintf(stderr, "velmora2k-kit: %s; give the folder to pack\n", error.c_str());
    return kExitUsage;
  }
  // ZIP written as a file of the current folder ("." joined with an
  // absolute path is that path).
  if (!kit::zip_write(files, "", time, zip, error) ||
      !kit::files_write_folder({{options.positional[1], zip}}, ".", error)) {
    std::fprintf(stderr, "velmora2k-kit: %s\n", error.c_str());
    return kExitMissing;
  }
  return kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s\n%s", kUsage, kHelp);
    return kExitDone;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::puts("velmora2k-kit " VELMORA_VERSION);
    return kExitDone;
  }
  if (args.empty()) return usage_error("give a command");
  const std::string command = args[0];
  args.erase(args.begin());
  Options options;
  std::string why;
  if (!parse(args, options, why)) return usage_error(why);
  if (command == "check") return check_or_facts(options, false);
  if (command == "facts") return check_or_facts(options, true);
  if (command == "data") return data(options);
  if (command == "index") return index(options);
  if (command == "visit") return visit(options);
  if (command == "zip") return zip(options);
  return usage_error("unknown command " + command);
}
