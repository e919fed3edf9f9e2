// velmora2k-studio: the party kit for the studio page, a WebAssembly module
// run in a worker (web/studio/kitworker.js) that holds the kit's base and
// the party folder in memory, as the command line holds them after reading
// its folders, and runs the same kit calls on them.
//
// The worker hands the inputs in one by one (studio_put), runs one command
// and reads back its answer: a JSON text (studio_json) and named byte
// buffers (studio_output_*), kept until the next command. A command returns
// 0 when done and 1 when refused; the JSON is then {"error": MESSAGE}, the
// kit's "what is wrong; what to do".
//
// Inputs (studio_put's slot and name):
//   folder PATH   a file of the party folder
//   input zip     a zip to read (studio_read_zip, studio_base)
//   input music   the party's music as the program's MP3
//   input windows our Windows zip; input web: our web site's zip
#include <exception>
#include <new>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "kit/files.h"
#include "kit/make.h"
#include "kit/party.h"
#include "kit/problems.h"
#include "kit/release.h"
#include "kit/visit.h"
#include "kit/zip.h"
#include "platform/exported.h"

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;

// The inputs' names in the "input" slot.
constexpr char kZipInput[] = "zip";
constexpr char kMusicInput[] = "music";
constexpr char kWindowsInput[] = "windows";
constexpr char kWebInput[] = "web";
constexpr char kBadTime[] =
    "the date is not one a zip can hold (1980 to 2107); give it in seconds since 1970";
// The output of studio_write_zip.
constexpr char kZipOutput[] = "zip";

kit::Files base;
kit::Files folder;
kit::Files inputs;
// Every input together, bounded as a folder read from disk is.
uint64_t input_bytes = 0;

std::string json;
std::vector<std::pair<std::string, kit::Bytes>> outputs;

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out += c;  // UTF-8 as it is: the page decodes the text as UTF-8
    }
  }
  return out + "\"";
}

int refuse(const std::string& message) {
  json = "{\"error\":" + quoted(message) + "}";
  return kRefused;
}

void add_output(const std::string& name, kit::Bytes bytes) { outputs.emplace_back(name, std::move(bytes)); }

void begin() {
  json = "{}";
  outputs.clear();
}

const kit::Bytes* input(const char* name) {
  const auto it = inputs.find(name);
  return it == inputs.end() ? nullptr : &it->second;
}

// {"facts": {...}, "problems": [...], "made": MADE}, problems with their
// text as the command line prints them (no folder before the file).
std::string report(const kit::Party& party, const kit::Problems& problems, bool made) {
  std::string facts;
  for (const auto& [key, value] : kit::make_facts(party, folder)) {
    facts += (facts.empty() ? "" : ",") + quoted(key) + ":" + quoted(value);
  }
  std::string list;
  for (const kit::Problem& p : problems.items()) {
    list += std::string(list.empty() ? "" : ",") + "{\"file\":" + quoted(p.file) +
            ",\"line\":" + std::to_string(p.line) + ",\"column\":" + std::to_string(p.column) +
            ",\"message\":" + quoted(p.message) + ",\"warning\":" + (p.warning ? "true" : "false") +
            ",\"text\":" + quoted(kit::problem_text(p, "")) + "}";
  }
  return "{\"facts\":{" + facts + "},\"problems\":[" + list + "],\"made\":" + (made ? "true" : "false") + "}";
}

// The party's data and pak.pak; false (with the problems) when the folder
// has a problem that stops it.
bool make(kit::Problems& problems, kit::Files& data, kit::Bytes& pak) {
  if (!kit::make_data(folder, base, input(kMusicInput), problems, data)) return false;
  std::string error;
  if (kit::make_pak(data, pak, error)) return true;
  problems.add(kit::kPakFile, error);
  return false;
}

// A command, with what the kit throws (memory running out, above all)
// refused as any other failure rather than stopping the module.
template <typename Command>
int guarded(Command command) {
  begin();
  try {
    return command();
  } catch (const std::bad_alloc&) {
    return refuse("the files do not fit in the page's memory; give smaller files");
  } catch (const std::exception& e) {
    return refuse(std::string("the kit failed (") + e.what() + "); reload the page");
  }
}

// Seconds since 1970 from the page's number, which may be anything.
bool whole_seconds(double time, int64_t& seconds) {
  if (!(time >= kit::kZipTimeMin && time <= kit::kZipTimeMax)) return false;  // NaN too
  seconds = static_cast<int64_t>(time);
  return true;
}

}  // namespace

extern "C" {

// Forgets the party folder, the inputs and the last answer (not the base).
VELMORA_EXPORTED void studio_clear() {
  folder.clear();
  inputs.clear();
  input_bytes = 0;
  begin();
}

// A file into a slot ("folder" or "input", see above); 1 when the inputs
// would pass the limits of a party folder.
VELMORA_EXPORTED int studio_put(const char* slot, const char* name, const uint8_t* bytes, size_t size) {
  return guarded([&] {
    kit::Files& files = std::string(slot) == "folder" ? folder : inputs;
    if (files.size() >= kit::kFilesMaxCount || input_bytes + size > kit::kFilesMaxBytes) {
      return refuse("the files are too many or too big (at most " + std::to_string(kit::kFilesMaxCount) +
                    " files of " + std::to_string(kit::kFilesMaxBytes >> 20) + " MB together); leave some out");
    }
    input_bytes += size;
    files[name] = kit::Bytes(bytes, bytes + size);
    return kDone;
  });
}

// The base from the input zip.
VELMORA_EXPORTED int studio_base() {
  return guarded([&] {
    const kit::Bytes* zip = input(kZipInput);
    kit::Files files;
    std::string error;
    std::string missing;
    if (!zip || !kit::zip_read(*zip, files, error)) return refuse("the kit's base files: " + error + "; reload the page");
    if (!kit::make_base_complete(files, missing)) {
      return refuse("the kit's base file " + missing + " is missing; reload the page");
    }
    base = std::move(files);
    return kDone;
  });
}

// The files of the input zip, as outputs.
VELMORA_EXPORTED int studio_read_zip() {
  return guarded([&] {
    const kit::Bytes* zip = input(kZipInput);
    kit::Files files;
    std::string error;
    if (!zip || !kit::zip_read(*zip, files, error)) return refuse(error);
    for (auto& [path, bytes] : files) add_output(path, std::move(bytes));
    return kDone;
  });
}

VELMORA_EXPORTED int studio_check() {
  return guarded([&] {
    kit::Problems problems;
    const kit::Party party = kit::make_check(folder, base, problems);
    json = report(party, problems, false);
    return kDone;
  });
}

// The data: outputs pak.pak and qtn.mp3 when made.
VELMORA_EXPORTED int studio_make() {
  return guarded([&] {
    kit::Problems problems;
    kit::Files data;
    kit::Bytes pak;
    const bool made = make(problems, data, pak);
    kit::Problems ignored;  // make_data reported them
    json = report(kit::party_read(folder, ignored), problems, made);
    if (made) {
      add_output(kit::kPakFile, std::move(pak));
      add_output(kit::kMusicFile, std::move(data[kit::kMusicFile]));
    }
    return kDone;
  });
}

// The release files, when the data can be made: SLUG-win64.zip and
// SLUG-web.zip from the inputs given, and SHA256SUMS of them.
VELMORA_EXPORTED int studio_release(double time) {
  return guarded([&] {
    kit::ReleaseOurs ours;
    if (!whole_seconds(time, ours.time)) return refuse(kBadTime);
    ours.windows_zip = input(kWindowsInput);
    kit::Files site;
    std::string error;
    if (const kit::Bytes* web = input(kWebInput)) {
      if (!kit::zip_read(*web, site, error)) return refuse("the web site's zip: " + error);
      ours.site = &site;
    }
    kit::Problems problems;
    kit::Files data;
    kit::Bytes pak;
    kit::Files release;
    const bool made = make(problems, data, pak);
    if (made && !kit::release_files(folder, base, data, pak, ours, release, error)) return refuse(error);
    if (made) release[kit::kSumsFile] = kit::release_sums(release);
    kit::Problems ignored;
    json = report(kit::party_read(folder, ignored), problems, made);
    for (auto& [name, bytes] : release) add_output(name, std::move(bytes));
    return kDone;
  });
}

// The party folder as a zip (under top/ unless top is ""), output "zip".
VELMORA_EXPORTED int studio_write_zip(const char* top, double time) {
  return guarded([&] {
    int64_t seconds = 0;
    if (!whole_seconds(time, seconds)) return refuse(kBadTime);
    kit::Bytes zip;
    std::string error;
    if (!kit::zip_write(folder, top, seconds, zip, error)) return refuse(error);
    add_output(kZipOutput, std::move(zip));
    return kDone;
  });
}

// {"script": the capture tool's script, "frames": the preview sheet's}.
VELMORA_EXPORTED int studio_visit(int fps) {
  return guarded([&] {
    if (!kit::visit_fps_valid(fps)) {
      return refuse("the visit is played at " + std::to_string(fps) + " frames a second; give a whole multiple of " +
                    std::to_string(kit::kVisitBaseFps) + " up to " + std::to_string(kit::kVisitMaxFps));
    }
    std::string frames;
    for (const int frame : kit::visit_sheet_frames(fps)) frames += (frames.empty() ? "" : ",") + std::to_string(frame);
    json = "{\"script\":" + quoted(kit::visit_script(fps)) + ",\"frames\":[" + frames + "]}";
    return kDone;
  });
}

VELMORA_EXPORTED const char* studio_json() { return json.c_str(); }
VELMORA_EXPORTED int studio_output_count() { return static_cast<int>(outputs.size()); }
VELMORA_EXPORTED const char* studio_output_name(int i) { return outputs.at(i).first.c_str(); }
VELMORA_EXPORTED const uint8_t* studio_output_data(int i) { return outputs.at(i).second.data(); }
VELMORA_EXPORTED size_t studio_output_size(int i) { return outputs.at(i).second.size(); }

}  // extern "C"
