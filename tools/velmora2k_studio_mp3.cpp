// velmora2k-mp3: the studio's MP3 encoder, a WebAssembly module over
// libmp3lame that a page's worker (web/studio/mp3worker.js) drives.
//
// It encodes the music as invitation.sh does with
// `lame --quiet -b 192 --resample 44.1 -q 2`: 44.1 kHz stereo in and out,
// constant 192 kbit/s, quality 2, and the first frame an "Info" frame (the
// Xing/LAME tag of a constant-rate file) that players read the exact length
// and the encoder delay from, as the lame program writes it: with the
// ReplayGain the program measures by default (its --replaygain-fast) in the
// tag's radio gain field. No ID3 tag is written, as the lame program writes
// none when given no tag fields.
//
// The caller feeds float samples (full scale -1..1, clipped there) a chunk at
// a time, so that it can show progress between chunks:
//   velmora_mp3_begin()                  a new file; 0, or -1 when lame refused
//   velmora_mp3_input(frames)            room for that many samples of each
//                                        channel: left, then right, in one
//                                        block of 2 x frames floats
//   velmora_mp3_encode(frames)           encodes the block; the bytes made
//   velmora_mp3_finish()                 flushes and writes the Info frame
//                                        over the first frame; the bytes made
//   velmora_mp3_file()                   after finish: the whole file, whose
//                                        first frame now carries the tag
//   velmora_mp3_file_size()              its size in bytes
// Encoded bytes are also kept whole inside (a few MB for a piece of music),
// because the Info frame is only known at the end and goes at the start.
// A negative result is lame's error code; the caller reports it and stops.
#include <lame/lame.h>

#include "platform/exported.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kKilobitsPerSecond = 192;
// lame's -q 2: the slower, better of its algorithm choices (0 best, 9 worst).
constexpr int kQuality = 2;
// The most samples of each channel one encode call takes.
constexpr int kMaxChunkFrames = 1 << 20;
// lame's own bound on the bytes a call can make: 1.25 x samples + 7200.
constexpr size_t output_bound(size_t frames) { return frames + frames / 4 + 7200; }

struct Encoder {
  lame_t lame = nullptr;
  std::vector<float> input;           // left then right, kMaxChunkFrames at most
  std::vector<unsigned char> chunk;   // lame's output of one call
  std::vector<unsigned char> file;    // every byte so far
  bool finished = false;
};

Encoder encoder;

// A sample as invitation.sh's 16-bit step leaves it: beyond full scale
// clipped (decoders overshoot a little), and what is no number (a fault
// upstream, which lame's analysis must never see) silent.
float full_scale(float sample) {
  if (!(sample == sample)) return 0.0f;
  return std::fmin(1.0f, std::fmax(-1.0f, sample));
}

void end_lame() {
  if (encoder.lame) lame_close(encoder.lame);
  encoder.lame = nullptr;
}

int keep(int made) {
  if (made > 0) encoder.file.insert(encoder.file.end(), encoder.chunk.begin(), encoder.chunk.begin() + made);
  return made;
}

}  // namespace

extern "C" {

VELMORA_EXPORTED int velmora_mp3_begin() {
  end_lame();
  encoder.file.clear();
  encoder.finished = false;
  encoder.lame = lame_init();
  if (!encoder.lame) return -1;
  lame_set_in_samplerate(encoder.lame, kSampleRate);
  lame_set_out_samplerate(encoder.lame, kSampleRate);
  lame_set_num_channels(encoder.lame, kChannels);
  lame_set_brate(encoder.lame, kKilobitsPerSecond);
  lame_set_VBR(encoder.lame, vbr_off);
  lame_set_quality(encoder.lame, kQuality);
  lame_set_bWriteVbrTag(encoder.lame, 1);
  lame_set_findReplayGain(encoder.lame, 1);
  lame_set_write_id3tag_automatic(encoder.lame, 0);
  if (lame_init_params(encoder.lame) < 0) {
    end_lame();
    return -1;
  }
  return 0;
}

VELMORA_EXPORTED float* velmora_mp3_input(int frames) {
  if (frames <= 0 || frames > kMaxChunkFrames) return nullptr;
  encoder.input.resize(static_cast<size_t>(frames) * kChannels);
  return encoder.input.data();
}

VELMORA_EXPORTED int velmora_mp3_encode(int frames) {
  if (!encoder.lame || encoder.finished) return -1;
  if (frames <= 0 || static_cast<size_t>(frames) * kChannels > encoder.input.size()) return -1;
  for (size_t i = 0; i < static_cast<size_t>(frames) * kChannels; ++i) encoder.input[i] = full_scale(encoder.input[i]);
  encoder.chunk.resize(output_bound(frames));
  const float* left = encoder.input.data();
  return keep(lame_encode_buffer_ieee_float(encoder.lame, left, left + frames, frames, encoder.chunk.data(),
                                            static_cast<int>(encoder.chunk.size())));
}

VELMORA_EXPORTED int velmora_mp3_finish() {
  if (!encoder.lame || encoder.finished) return -1;
  encoder.chunk.resize(output_bound(0));
  const int made = keep(lame_encode_flush(encoder.lame, encoder.chunk.data(), static_cast<int>(encoder.chunk.size())));
  if (made < 0) return made;
  // The Info frame takes the place of the empty first frame lame reserved.
  std::vector<unsigned char> tag(output_bound(0));
  const size_t tag_size = lame_get_lametag_frame(encoder.lame, tag.data(), tag.size());
  if (tag_size == 0 || tag_size > tag.size() || tag_size > encoder.file.size()) return -1;
  std::copy(tag.begin(), tag.begin() + tag_size, encoder.file.begin());
  encoder.finished = true;
  end_lame();
  return made;
}

VELMORA_EXPORTED const unsigned char* velmora_mp3_file() {
  return encoder.finished ? encoder.file.data() : nullptr;
}

VELMORA_EXPORTED int velmora_mp3_file_size() {
  return encoder.finished ? static_cast<int>(encoder.file.size()) : 0;
}

}  // extern "C"
