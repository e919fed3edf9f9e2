// mpegdecode: see mpegdecode.h.
#include "platform/mpegdecode.h"

#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <new>

#include "platform/arrival.h"
#include "platform/hostfs.h"

namespace platform {

namespace {

constexpr size_t kChunkValues = 16384;  // samples per read: 4096 stereo frames
constexpr int kFrameBytes = kPcmChannels * static_cast<int>(sizeof(int16_t));

// The file descriptor libmpg123 reads from; closed when decoding ends.
class FileHandle {
 public:
  explicit FileHandle(const char* path) : fd_(host_open_for_reading(path)) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int fd() const { return fd_; }
  bool regular() const {
    struct stat st;
    return fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
  }

 private:
  int fd_;
};

struct DecoderDelete {
  void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};
using Decoder = std::unique_ptr<mpg123_handle, DecoderDelete>;

// A decoder that yields only 44.1 kHz signed 16-bit stereo, gapless, silent
// on stderr; null when the library cannot make one.
Decoder make_decoder(MpegResult& result) {
  static const int init = mpg123_init();
  if (init != MPG123_OK) {
    result = MpegResult::NoMemory;
    return nullptr;
  }
  int error = MPG123_OK;
  Decoder mh(mpg123_new(nullptr, &error));
  if (!mh) {
    result = MpegResult::NoMemory;
    return nullptr;
  }
  if (mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0) != MPG123_OK ||
      mpg123_format_none(mh.get()) != MPG123_OK ||
      mpg123_format(mh.get(), kPcmRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) {
    result = MpegResult::BadFormat;
    return nullptr;
  }
  return mh;
}

bool is_format_error(int code) {
  return code == MPG123_BAD_OUTFORMAT || code == MPG123_BAD_CHANNEL || code == MPG123_BAD_RATE;
}

// The format libmpg123 announces must be the one asked for.
bool format_is_ours(mpg123_handle* mh) {
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  return mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK && rate == kPcmRate &&
         channels == MPG123_STEREO && encoding == MPG123_ENC_SIGNED_16;
}

// Reads every frame into samples.
MpegResult decode_all(mpg123_handle* mh, std::vector<int16_t>& samples) {
  // The info tag usually states the exact length: one allocation then.
  const off_t expected = mpg123_length(mh);
  if (expected > 0 && static_cast<uint64_t>(expected) <= kMpegMaxFrames) {
    samples.reserve(static_cast<size_t>(expected) * kPcmChannels);
  }
  std::array<int16_t, kChunkValues> chunk;
  for (;;) {
    size_t done = 0;
    const int rc = mpg123_read(mh, reinterpret_cast<unsigned char*>(chunk.data()), sizeof chunk, &done);
    if (rc == MPG123_NEW_FORMAT && !format_is_ours(mh)) return MpegResult::BadFormat;
    const size_t values = done / kFrameBytes * kPcmChannels;
    if (samples.size() + values > kMpegMaxFrames * kPcmChannels) return MpegResult::TooLong;
    samples.insert(samples.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(values));
    if (rc == MPG123_DONE) break;
    if (rc == MPG123_ERR) {
      // Nothing decodable at all is a foreign format; a stream that breaks
      // off after good audio is a file that could not be read whole.
      if (samples.empty() || is_format_error(mpg123_errcode(mh))) return MpegResult::BadFormat;
      return MpegResult::ReadError;
    }
    if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) return MpegResult::ReadError;
  }
  return samples.empty() ? MpegResult::BadFormat : MpegResult::Ok;
}

}  // namespace

MpegResult mpeg_decode_file(const char* path, std::vector<int16_t>& samples) {
  samples.clear();
  file_arrival_wait(path);
  FileHandle file(path);
  if (file.fd() < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? MpegResult::NotFound : MpegResult::ReadError;
  }
  if (!file.regular()) return MpegResult::ReadError;
  MpegResult result = MpegResult::Ok;
  Decoder mh = make_decoder(result);
  if (!mh) return result;
  if (mpg123_open_fd(mh.get(), file.fd()) != MPG123_OK) return MpegResult::ReadError;
  try {
    result = decode_all(mh.get(), samples);
  } catch (const std::bad_alloc&) {
    result = MpegResult::NoMemory;
  }
  mpg123_close(mh.get());
  if (result != MpegResult::Ok) std::vector<int16_t>().swap(samples);
  return result;
}

}  // namespace platform
