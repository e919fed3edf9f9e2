// velmora2k-capture: the invitation over the headless backend.
//
// Runs the same program as velmora2k with a virtual clock and scripted
// input, saves chosen frames as PNG, and reports how the run ended:
//   ended: exit code C after N frames     (the program ended; exit code C)
//   stopped: after N frames               (--frames stopped it; exit code 0)
// With --video FILE the presented frames are also encoded with the music by
// ffmpeg into a video made for upload (see Video).
// When stderr is a terminal, the run's progress is shown there, rewritten in
// place a few times a second; on a pipe or file nothing is added.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/menu.h"
#include "gfx2d/pixel.h"
#include "platform/headless.h"
#include "platform/hostfs.h"
#include "platform/process.h"
#include "resources/log.h"
#include "resources/pngwrite.h"
#include "velmora_version.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kEscKey = 27;
// How often the progress line is rewritten, in milliseconds of real time.
constexpr int64_t kProgressEveryMs = 250;
constexpr size_t kProgressLineBytes = 160;
// Times shown on the progress line are held below this many milliseconds
// (about 30000 years), so that any --fps and --frames print as whole numbers.
constexpr double kMaxShownMs = 1e15;

struct FrameRange {
  uint64_t first;
  uint64_t last;
};

struct Options {
  std::string data_dir;
  std::string out_dir = ".";
  std::string log_file;
  std::string input_file;
  std::string video_file;
  bool save_all = false;
  std::vector<FrameRange> save;
  platform::HeadlessConfig config;
};

constexpr const char* kUsage =
    "usage: velmora2k-capture [--data DIR] [--fps F] [--frames N] [--input FILE]\n"
    "                         [--save all|LIST] [--out DIR] [--log FILE] [--fail WHAT]\n"
    "                         [--video FILE]\n"
    "  --data DIR     folder with pak.pak and qtn.mp3 (default: found from the executable)\n"
    "  --fps F        frames per second of the virtual clock (default 60)\n"
    "  --frames N     stop after N frames (default: run until the invitation ends)\n"
    "  --input FILE   scripted input, one event a line: FRAME move DX DY,\n"
    "                 FRAME down|up left|right, FRAME key CODE, FRAME close\n"
    "  --save LIST    frames to save as PNG: all, or a list like 0-23,100,300-316\n"
    "  --out DIR      folder for frame_NNNNNN.png (default .)\n"
    "  --log FILE     write the diagnostic log to FILE\n"
    "  --fail WHAT    inject a fault: mouse, sound, display@N, or stall@A[-B] (the\n"
    "                 audio device stops playing at A ms, and plays again at B)\n"
    "  --video FILE   also make a video for upload, with the music (needs ffmpeg):\n"
    "                 MP4, 1920 x 1080 at the --fps rate, the picture at 2x on\n"
    "                 black, H.264 High and AAC, the music fading out with the\n"
    "                 picture's closing fade\n"
    "  -h, --help     show this help\n"
    "  --version      show the version\n";

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr, "velmora2k-capture: %s\n%s", message, kUsage);
  std::exit(kUsageError);
}

bool parse_u64(const std::string& text, uint64_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool parse_save_list(const std::string& text, std::vector<FrameRange>& ranges) {
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const size_t dash = item.find('-');
    FrameRange r{};
    if (dash == std::string::npos) {
      if (!parse_u64(item, r.first)) return false;
      r.last = r.first;
    } else if (!parse_u64(item.substr(0, dash), r.first) || !parse_u64(item.substr(dash + 1), r.last) ||
               r.last < r.first) {
      return false;
    }
    ranges.push_back(r);
  }
  return !ranges.empty();
}

// "A" or "A-B" (milliseconds of the virtual clock, B above A).
bool parse_stall(const std::string& text, platform::HeadlessConfig& config) {
  constexpr uint64_t kLimit = UINT32_MAX;
  uint64_t from = 0, until = 0;
  const size_t dash = text.find('-');
  if (dash == std::string::npos) {
    if (!parse_u64(text, from) || from > kLimit) return false;
    config.stall_from_ms = static_cast<int64_t>(from);
    return true;
  }
  if (!parse_u64(text.substr(0, dash), from) || !parse_u64(text.substr(dash + 1), until)) return false;
  if (until <= from || until > kLimit) return false;
  config.stall_from_ms = static_cast<int64_t>(from);
  config.stall_until_ms = static_cast<int64_t>(until);
  return true;
}

// Every option but --help and --version takes a value.
constexpr const char* kValueOptions[] = {"--data", "--fps",  "--frames", "--input", "--save",
                                         "--out",  "--log",  "--video",  "--fail"};

// A word that is no option: an option the tool does not know, or an
// argument where an option belongs.
[[noreturn]] void refuse_word(const std::string& word) {
  if (word.size() > 1 && word[0] == '-') usage(("unknown option " + word).c_str());
  usage(("unexpected argument '" + word + "': every setting is an option with its value").c_str());
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    if (opt == "--help" || opt == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (opt == "--version") {
      std::puts("velmora2k-capture " VELMORA_VERSION);
      std::exit(0);
    }
    if (std::find(std::begin(kValueOptions), std::end(kValueOptions), opt) == std::end(kValueOptions)) {
      refuse_word(opt);
    }
    if (i + 1 >= argc) usage(("missing value after " + opt).c_str());
    const std::string value = argv[++i];
    uint64_t n = 0;
    if (opt == "--data") {
      o.data_dir = value;
    } else if (opt == "--fps") {
      char* end = nullptr;
      o.config.fps = std::strtod(value.c_str(), &end);
      if (*end != '\0' || !(o.config.fps > 0.0 && o.config.fps <= 10000.0)) usage("--fps needs a number above 0");
    } else if (opt == "--frames") {
      if (!parse_u64(value, n)) usage("--frames needs a count");
      o.config.max_frames = static_cast<int64_t>(n);
    } else if (opt == "--input") {
      o.input_file = value;
    } else if (opt == "--save") {
      if (value == "all") {
        o.save_all = true;
      } else if (!parse_save_list(value, o.save)) {
        usage("--save needs all or a list like 0-23,100,300-316");
      }
    } else if (opt == "--out") {
      o.out_dir = value;
    } else if (opt == "--log") {
      o.log_file = value;
    } else if (opt == "--video") {
      o.video_file = value;
    } else if (opt == "--fail") {
      if (value == "mouse") {
        o.config.fail_mouse = true;
      } else if (value == "sound") {
        o.config.fail_sound = true;
      } else if (value.rfind("display@", 0) == 0 && parse_u64(value.substr(8), n) && n > 0) {
        o.config.fail_display_at = static_cast<int64_t>(n);
      } else if (value.rfind("stall@", 0) == 0) {
        if (!parse_stall(value.substr(6), o.config)) usage("--fail stall@A[-B] needs milliseconds, B above A");
      } else {
        usage("--fail needs mouse, sound, display@N (N from 1) or stall@MS[-MS]");
      }
    }
  }
  return o;
}

// The video made for upload: kVideoWidth x kVideoHeight at the run's frame
// rate, the 640 x 480 picture enlarged kPictureScale times by whole pixels
// (no smoothing) and centred on black; H.264 High profile in yuv420p
// (BT.709, limited range), AAC sound, and the index at the start of the file
// (faststart) so that it plays while it downloads.
//
// ffmpeg runs twice. While the invitation runs, the frames are piped to it
// (bytes blue, green, red, unused per pixel, as they lie in memory) and
// encoded into FILE.picture.mp4 beside FILE. When the run has ended, the
// music (qtn.mp3 of the run's folder, looped from its start) is cut to the
// picture's exact length, faded out over the picture's last fade (the menu's
// fade to black, which ends the run; none when the run ends without one) and
// put with the picture, copied as it is, into FILE. The sound is never cut
// short of the picture nor the picture of the sound.
constexpr int kVideoWidth = 1920;
constexpr int kVideoHeight = 1080;
constexpr int kPictureScale = 2;
constexpr const char* kPicturePart = ".picture.mp4";
constexpr const char* kMusicFile = "qtn.mp3";
constexpr const char* kAudioBitrate = "192k";

std::string decimal(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

class Video {
 public:
  Video(std::string file, double fps) : file_(std::move(file)), picture_(file_ + kPicturePart), fps_(fps) {}

  // Starts the first pass; ends the tool with 1 when ffmpeg cannot run.
  void start(int width, int height) {
    if (!platform::host_program_on_path("ffmpeg")) {
      std::fprintf(stderr,
                   "velmora2k-capture: --video needs ffmpeg, which is not installed "
                   "(on Debian: apt-get install ffmpeg)\n");
      std::exit(1);
    }
    const int scaled_w = width * kPictureScale;
    const int scaled_h = height * kPictureScale;
    char filter[256];
    std::snprintf(filter, sizeof filter,
                  "scale=%d:%d:flags=neighbor:out_color_matrix=bt709:out_range=tv,format=yuv420p,"
                  "pad=%d:%d:%d:%d:black",
                  scaled_w, scaled_h, kVideoWidth, kVideoHeight, (kVideoWidth - scaled_w) / 2,
                  (kVideoHeight - scaled_h) / 2);
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", width, height);
    pipe_ = platform::host_pipe_open(
        "ffmpeg", {"-y", "-loglevel", "error", "-f", "rawvideo", "-pixel_format", "bgr0", "-video_size", size,
                   "-framerate", decimal(fps_), "-i", "-", "-vf", filter, "-c:v", "libx264", "-profile:v", "high",
                   "-preset", "veryfast", "-crf", "18", "-colorspace", "bt709", "-color_primaries", "bt709",
                   "-color_trc", "bt709", "-color_range", "tv", "-an", picture_});
    if (!pipe_) {
      std::fprintf(stderr, "velmora2k-capture: cannot start ffmpeg\n");
      std::exit(1);
    }
  }

  // One presented frame; fading tells that it belongs to the picture's
  // closing fade.
  void frame(const uint32_t* px, int width, int height, bool fading) {
    if (failed_ || !pipe_) return;
    if (std::fwrite(px, sizeof(uint32_t) * static_cast<size_t>(width), static_cast<size_t>(height), pipe_) !=
        static_cast<size_t>(height)) {
      std::fprintf(stderr, "velmora2k-capture: ffmpeg stopped taking frames\n");
      fail();
      return;
    }
    if (!fading) {
      fade_from_ = -1;
    } else if (fade_from_ < 0) {
      fade_from_ = static_cast<int64_t>(frames_);
    }
    ++frames_;
  }

  // Ends the first pass and makes FILE; false (said on stderr) when it
  // could not be made.
  bool finish() {
    if (failed_) return false;
    if (!pipe_ || frames_ == 0) {
      std::fprintf(stderr, "velmora2k-capture: no frame was shown, so no video was made\n");
      return false;
    }
    const bool encoded = platform::host_pipe_close(pipe_);
    pipe_ = nullptr;
    const bool made = encoded && add_music();
    platform::host_remove_file(picture_);
    if (!made) std::fprintf(stderr, "velmora2k-capture: ffmpeg failed\n");
    return made;
  }

 private:
  void fail() {
    failed_ = true;
    platform::host_pipe_close(pipe_);
    pipe_ = nullptr;
    platform::host_remove_file(picture_);
  }

  // Seconds of frames at the run's rate, rounded up to the microsecond, so
  // that a cut there keeps the whole last frame.
  std::string seconds(uint64_t frames) const {
    return decimal(std::ceil(static_cast<double>(frames) / fps_ * 1e6) / 1e6);
  }

  bool add_music() {
    std::string sound_filter = "anull";
    if (fade_from_ >= 0) {
      sound_filter = "afade=t=out:st=" + decimal(static_cast<double>(fade_from_) / fps_) +
                     ":d=" + decimal(static_cast<double>(frames_ - static_cast<uint64_t>(fade_from_)) / fps_);
    }
    FILE* pipe = platform::host_pipe_open(
        "ffmpeg", {"-nostdin", "-y", "-loglevel", "error", "-i", picture_, "-stream_loop", "-1", "-i", kMusicFile,
                   "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-af", sound_filter, "-c:a", "aac", "-b:a",
                   kAudioBitrate, "-t", seconds(frames_), "-movflags", "+faststart", file_});
    return pipe && platform::host_pipe_close(pipe);
  }

  std::string file_;
  std::string picture_;
  double fps_;
  FILE* pipe_ = nullptr;
  bool failed_ = false;
  uint64_t frames_ = 0;
  int64_t fade_from_ = -1;  // the first frame of the fade that runs to the end
};

bool wanted(const Options& o, uint64_t frame) {
  if (o.save_all) return true;
  for (const FrameRange& r : o.save) {
    if (frame >= r.first && frame <= r.last) return true;
  }
  return false;
}

// A line built by printf-style pieces; what does not fit is cut off.
struct Line {
  char text[kProgressLineBytes] = "";
  size_t used = 0;

  __attribute__((format(printf, 2, 3))) void add(const char* format, ...) {
    if (used + 1 >= sizeof text) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text + used, sizeof text - used, format, args);
    va_end(args);
    if (n > 0) used = std::min(sizeof text - 1, used + static_cast<size_t>(n));
  }
};

// The progress line on a terminal: frames done, the music time they stand
// for, the speed against real time and, when the run has a frame limit, the
// share done and the real time left at the speed so far. The line is
// rewritten in place where the terminal takes escape sequences; elsewhere
// each state is a line of its own.
class Progress {
 public:
  Progress(double fps, int64_t max_frames, bool in_place)
      : fps_(fps), max_frames_(max_frames), in_place_(in_place), start_(Clock::now()), last_(start_) {}

  void frame_done(uint64_t frames) {
    const Clock::time_point now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(kProgressEveryMs)) return;
    last_ = now;
    show(frames, now);
  }

  // The final state on its own line, so that what follows starts a new one.
  void finish(uint64_t frames) {
    show(frames, Clock::now());
    if (in_place_) std::fputc('\n', stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;

  static long long whole(double ms_or_count) {
    return static_cast<long long>(std::fmin(std::fmax(ms_or_count, 0.0), kMaxShownMs));
  }

  void show(uint64_t frames, Clock::time_point now) const {
    const double real_ms = std::chrono::duration<double, std::milli>(now - start_).count();
    const double music_ms = std::floor(static_cast<double>(frames) * 1000.0 / fps_);
    Line line;
    line.add("frame %llu", static_cast<unsigned long long>(frames));
    if (max_frames_ > 0) {
      line.add(" of %lld (%d%%)", static_cast<long long>(max_frames_),
                         static_cast<int>(static_cast<double>(frames) * 100.0 / max_frames_));
    }
    const long long music_tenths = whole(music_ms) / 100;
    line.add("  music %lld:%02lld.%lld", music_tenths / 600, music_tenths / 10 % 60, music_tenths % 10);
    if (real_ms >= 1.0) {
      line.add("  %.1fx real time", music_ms / real_ms);
    }
    if (max_frames_ > 0 && frames > 0) {
      const double left_ms = real_ms / static_cast<double>(frames) *
                             static_cast<double>(static_cast<uint64_t>(max_frames_) - frames);
      const long long left_s = (whole(left_ms) + 999) / 1000;
      line.add("  %lld:%02lld left", left_s / 60, left_s % 60);
    }
    // In place: back to the line's start, and clear what a longer earlier
    // line left behind.
    if (in_place_) {
      std::fprintf(stderr, "\r%s\033[K", line.text);
    } else {
      std::fprintf(stderr, "%s\n", line.text);
    }
  }

  double fps_;
  int64_t max_frames_;
  bool in_place_;
  Clock::time_point start_;
  Clock::time_point last_;
};

// Whether the input script ends the run: Esc (or the close button) ends the
// invitation from every state.
bool script_ends_run(const std::vector<platform::ScriptEvent>& script) {
  for (const platform::ScriptEvent& ev : script) {
    if (ev.kind == platform::ScriptEvent::Kind::Key && ev.code == kEscKey) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = parse(argc, argv);
  // Paths given on the command line are taken from where the tool started.
  o.out_dir = platform::host_absolute_path(o.out_dir);
  if (!o.log_file.empty()) o.log_file = platform::host_absolute_path(o.log_file);
  if (!o.video_file.empty()) o.video_file = platform::host_absolute_path(o.video_file);
  if (!o.input_file.empty()) {
    std::ifstream in(o.input_file);
    if (!in) usage(("cannot read input script " + o.input_file).c_str());
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!platform::script_parse(text.str(), o.config.script, error)) usage(error.c_str());
  }
  if ((o.save_all || !o.save.empty()) && !platform::host_make_folder(o.out_dir)) {
    usage(("cannot create output folder " + o.out_dir).c_str());
  }
  if (o.data_dir.empty()) {
    if (!platform::chdir_to_executable()) usage("cannot enter the executable's folder");
  } else if (!platform::host_change_folder(o.data_dir)) {
    usage(("cannot enter data folder " + o.data_dir).c_str());
  }
  if (!o.log_file.empty()) log_enable(g_log, o.log_file.c_str());
  if (o.config.max_frames < 0 && !script_ends_run(o.config.script)) {
    std::fprintf(stderr,
                 "velmora2k-capture: runs until the invitation is ended or interrupted "
                 "(no --frames, and no Esc or close in an input script)\n");
  }
  static std::optional<Video> video;
  static std::optional<Progress> progress;
  if (platform::stderr_is_terminal()) {
    progress.emplace(o.config.fps, o.config.max_frames, platform::stderr_takes_escapes());
  }
  if (!o.video_file.empty()) {
    video.emplace(o.video_file, o.config.fps);
    video->start(kScreenWidth, kScreenHeight);
  }

  auto* backend = new platform::HeadlessBackend(o.config);
  backend->frame_hook = [&o](uint64_t index, const uint32_t* px, int w, int h) {
    if (progress) progress->frame_done(index + 1);
    if (video) video->frame(px, w, h, main_state == kStateFadeOut || main_state == kStateExit);
    if (!wanted(o, index)) return;
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06llu.png", static_cast<unsigned long long>(index));
    std::string error;
    if (!png_write_rgb((o.out_dir + name).c_str(), px, w, h, error)) {
      std::fprintf(stderr, "velmora2k-capture: %s\n", error.c_str());
    }
  };
  backend->exit_hook = [backend](int code, bool stopped) {
    if (progress) progress->finish(backend->frames());
    const bool video_made = !video || video->finish();
    if (stopped) {
      std::printf("stopped: after %llu frames\n", static_cast<unsigned long long>(backend->frames()));
    } else {
      std::printf("ended: exit code %d after %llu frames\n", code & 0xFF,
                  static_cast<unsigned long long>(backend->frames()));
    }
    std::fflush(stdout);
    // A video asked for and not made is a failed run, whatever the
    // invitation's own end.
    if (!video_made) std::exit(1);
  };
  platform::backend_install(backend);
  platform::process_exit(entry_routine());
}
