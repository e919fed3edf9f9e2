// png: see png.h.
#include "resources/png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "resources/log.h"
#include "resources/mempool.h"
#include "resources/pak.h"

namespace {

constexpr char kReadError[] = "cimage->png: libpng read error\n";

// Everything one decode holds. It lives in load_png's frame; the jump back
// from a libpng error lands in decode_guarded, which only holds a reference
// to it, so every field keeps its value across the jump.
struct png_job {
  FILE* stream = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  uint8_t* block = nullptr;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int depth = 0;
  int channels = 0;
  uint32_t size = 0;
};

// Reads header and rows into a new pool block; libpng errors jump out.
void decode(png_job& job) {
  png_init_io(job.png, job.stream);
  png_set_read_status_fn(job.png, nullptr);
  png_set_user_limits(job.png, kPngMaxSide, kPngMaxSide);
  png_read_info(job.png, job.info);
  int colour = 0, interlace = 0;
  png_get_IHDR(job.png, job.info, &job.width, &job.height, &job.depth, &colour, &interlace, nullptr,
               nullptr);
  job.channels = png_get_channels(job.png, job.info);
  LOGW("x:%d ", static_cast<int>(job.width));
  LOGW("y:%d ", static_cast<int>(job.height));
  LOGW("bpch:%d ", job.depth);
  LOGW("channels:%d - ", job.channels);

  const int passes = png_set_interlace_handling(job.png);
  const size_t rowbytes = png_get_rowbytes(job.png, job.info);
  const uint64_t bytes = static_cast<uint64_t>(rowbytes) * job.height;
  if (bytes > kPngMaxBytes) png_error(job.png, "picture larger than the decoder accepts");
  job.size = static_cast<uint32_t>(bytes);
  job.block = static_cast<uint8_t*>(mempool_alloc(job.size));
  if (!job.block) png_error(job.png, "no memory for the picture");
  // The pool clears whole 32-bit words only; the padding bits at the end of
  // the last row of a depth below 8 are kept by libpng, so clear the tail too.
  std::memset(job.block + (job.size & ~3u), 0, job.size & 3u);

  // Each pass writes only its own pixels into the rows it is given, so
  // handing it the picture's rows builds the full picture pass by pass.
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 r = 0; r < job.height; ++r) {
      png_bytep row = job.block + static_cast<size_t>(r) * rowbytes;
      png_read_rows(job.png, &row, nullptr, 1);
    }
  }
  png_read_end(job.png, nullptr);
}

// False when libpng raised an error during decode.
bool decode_guarded(png_job& job) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  decode(job);
  return true;
}

bool fail(png_job& job) {
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  if (job.block) mempool_free(job.block);
  pak_fclose(job.stream);
  LOGW("Libpng read error\n");
  error_report(kReadError);
  return false;
}

}  // namespace

bool load_png(const char* name, cimage& out) {
  LOGW("cimage->png: Loading a png picture - ");
  png_job job;
  job.stream = pak_fopen(name, "rb");
  if (!job.stream) return false;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (job.png) job.info = png_create_info_struct(job.png);
  if (!job.info || !decode_guarded(job)) return fail(job);

  png_destroy_read_struct(&job.png, &job.info, nullptr);
  pak_fclose(job.stream);
  LOGW("OK.\n");
  out.width = static_cast<int32_t>(job.width);
  out.height = static_cast<int32_t>(job.height);
  out.bpp = job.depth * job.channels;
  out.kind = kImagePng;
  out.size = job.size;
  out.pixels = job.block;
  return true;
}
