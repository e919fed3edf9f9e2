// jpeg: see jpeg.h.
#include "resources/jpeg.h"

#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <csetjmp>

#include "platform/process.h"
#include "resources/cfile.h"
#include "resources/decodekit.h"
#include "resources/log.h"
#include "resources/mempool.h"

namespace {

constexpr int kJpegColourChannels = 3;
constexpr int kJpegCmykChannels = 4;
constexpr uint32_t kMaxSample = 255;

// The library's error manager with the way back into load_jpg: error_exit
// formats the library's text into text and jumps instead of ending the
// process.
struct jpeg_guard {
  jpeg_error_mgr manager;  // first, so the library's pointer to it is one to the guard
  jmp_buf jump;
  char text[JMSG_LENGTH_MAX];
};

// Everything one decode holds. It lives in load_jpg's frame; the jump back
// lands in a guarded function that only holds a reference to it, so every
// field keeps its value across the jump.
struct jpeg_job {
  jpeg_decompress_struct info{};
  jpeg_guard guard{};
  jpeg_progress_mgr progress{};
  uint8_t* input = nullptr;
  uint32_t input_size = 0;
  uint8_t* pixels = nullptr;
  uint8_t* cmyk_row = nullptr;  // one library row when the file has four components
  uint32_t width = 0;
  uint32_t height = 0;
};

jpeg_guard& guard_of(j_common_ptr cinfo) {
  return *reinterpret_cast<jpeg_guard*>(cinfo->err);
}

[[noreturn]] void on_error(j_common_ptr cinfo) {
  jpeg_guard& g = guard_of(cinfo);
  (*cinfo->err->format_message)(cinfo, g.text);
  std::longjmp(g.jump, 1);
}

// A failure of our own (a limit), reported like one of the library's.
[[noreturn]] void refuse(j_common_ptr cinfo, const char* text) {
  jpeg_guard& g = guard_of(cinfo);
  std::snprintf(g.text, sizeof g.text, "%s", text);
  std::longjmp(g.jump, 1);
}

// Library warnings (the library passes on only the first of a decode).
void on_message(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  LOGW("cimage->jpg: %s\n", text);
}

// Each scan of a progressive file costs a pass over the whole picture: a
// small file with thousands of scans would take minutes.
void on_progress(j_common_ptr cinfo) {
  const auto* info = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (info->input_scan_number > kJpegMaxScans) refuse(cinfo, "JPEG file has more scans than the loader accepts");
}

// Header: size and components; the output colour space is chosen here.
void read_header(jpeg_job& job) {
  jpeg_create_decompress(&job.info);
  job.info.mem->max_memory_to_use = kJpegLibraryMemory;
  job.info.progress = &job.progress;
  jpeg_mem_src(&job.info, job.input, job.input_size);
  jpeg_read_header(&job.info, TRUE);
  job.width = job.info.image_width;
  job.height = job.info.image_height;
  if (picture_size(job.width, job.height, 8 * kJpegColourChannels) == 0) {
    refuse(reinterpret_cast<j_common_ptr>(&job.info), "JPEG picture is larger than the loader accepts");
  }
  switch (job.info.num_components) {
    case 1:
    case kJpegColourChannels:
      job.info.out_color_space = JCS_EXT_BGR;
      break;
    case kJpegCmykChannels:
      job.info.out_color_space = JCS_CMYK;
      break;
    default:
      refuse(reinterpret_cast<j_common_ptr>(&job.info), "JPEG files with this many components cannot be loaded");
  }
}

// One CMYK row into blue, green, red. Without an Adobe marker a sample is
// the ink's amount; with one it is stored inverted (255 = no ink).
void cmyk_to_bgr(const uint8_t* cmyk, uint8_t* bgr, uint32_t width, bool inverted) {
  for (uint32_t x = 0; x < width; ++x, cmyk += kJpegCmykChannels, bgr += kJpegColourChannels) {
    const uint32_t k = inverted ? cmyk[3] : kMaxSample - cmyk[3];
    for (int c = 0; c < kJpegColourChannels; ++c) {
      const uint32_t ink = inverted ? cmyk[c] : kMaxSample - cmyk[c];
      // Rounded: the product over 255 never falls exactly on a half.
      bgr[kJpegColourChannels - 1 - c] = static_cast<uint8_t>((ink * k + kMaxSample / 2) / kMaxSample);
    }
  }
}

// The pixels, into the output block (and through the CMYK row when needed).
void read_pixels(jpeg_job& job) {
  jpeg_start_decompress(&job.info);
  const size_t row_bytes = static_cast<size_t>(job.width) * kJpegColourChannels;
  while (job.info.output_scanline < job.info.output_height) {
    const JDIMENSION y = job.info.output_scanline;
    JSAMPROW row = job.cmyk_row ? job.cmyk_row : job.pixels + y * row_bytes;
    if (jpeg_read_scanlines(&job.info, &row, 1) != 1) {
      refuse(reinterpret_cast<j_common_ptr>(&job.info), "JPEG data stopped before the picture was complete");
    }
    if (job.cmyk_row) cmyk_to_bgr(job.cmyk_row, job.pixels + y * row_bytes, job.width, job.info.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&job.info);
}

// False when the library (or a limit) raised an error during the step.
bool guarded(jpeg_job& job, void (*step)(jpeg_job&)) {
  if (setjmp(job.guard.jump)) return false;
  step(job);
  return true;
}

void release(uint8_t*& block) {
  if (block) mempool_free(block);
  block = nullptr;
}

// The failure path: the text, the dashes and the name (cut to fit the
// message), shown with reports returning so that the library and every
// block are released before the run ends.
bool fail(jpeg_job& job, const char* name) {
  const int returns = report_returns_get();
  report_returns_set(1);
  char message[kJpegMessageBytes];
  const int length = std::snprintf(message, sizeof message, "%s   --  %s\n", job.guard.text, name);
  // A cut message still ends its line.
  if (length >= kJpegMessageBytes) message[kJpegMessageBytes - 2] = '\n';
  LOGW("%s", message);
  error_report(message);
  jpeg_destroy_decompress(&job.info);
  release(job.input);
  release(job.pixels);
  release(job.cmyk_row);
  report_returns_set(returns);
  if (returns == 0) platform::process_exit(platform::kExitFatal);
  return false;
}

}  // namespace

bool load_jpg(const char* name, cimage& out) {
  jpeg_job job;
  job.info.err = jpeg_std_error(&job.guard.manager);
  job.guard.manager.error_exit = on_error;
  job.guard.manager.output_message = on_message;
  job.progress.progress_monitor = on_progress;

  cfile file;
  file.open(name, "rb");
  if (!file.stream) return false;
  const long size = file.size();
  LOGW("fname: %s  -- %d\n", name, static_cast<int>(size));
  if (size < 0 || size > static_cast<long>(kPictureMaxBytes)) {
    file.close();
    std::snprintf(job.guard.text, sizeof job.guard.text, "JPEG file is larger than the loader accepts");
    return fail(job, name);
  }
  job.input_size = static_cast<uint32_t>(size);
  job.input = picture_read(file, job.input_size);
  file.close();
  if (!job.input) return false;

  if (!guarded(job, read_header)) return fail(job, name);
  job.pixels = picture_block(job.width * job.height * kJpegColourChannels);
  if (job.info.out_color_space == JCS_CMYK) job.cmyk_row = picture_block(job.width * kJpegCmykChannels);
  if (!job.pixels || (job.info.out_color_space == JCS_CMYK && !job.cmyk_row)) {
    jpeg_destroy_decompress(&job.info);
    release(job.input);
    release(job.pixels);
    release(job.cmyk_row);
    return false;
  }
  if (!guarded(job, read_pixels)) return fail(job, name);

  jpeg_destroy_decompress(&job.info);
  release(job.input);
  release(job.cmyk_row);
  out.width = static_cast<int32_t>(job.width);
  out.height = static_cast<int32_t>(job.height);
  out.bpp = 24;
  out.kind = kImageJpeg;
  out.size = job.width * job.height * kJpegColourChannels;
  out.pixels = job.pixels;
  return true;
}
