// icons: see icons.h.
#include "kit/icons.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kRgb = 0x00FFFFFFu;
constexpr double kChannelMax = 255.0;
// Channels of a pixel while it is filtered: alpha, then red, green and blue
// weighted by alpha.
constexpr int kChannels = 4;

// One output position's share of the source: the weights of source pixels
// first, first + 1, ...
struct Taps {
  int first = 0;
  std::vector<double> weights;
};

// The tent filter's taps for every output position of an axis reduced or
// enlarged from from_size to to_size. Source pixels past the edge are left
// out and the rest weighed up, so the edges keep their colour.
std::vector<Taps> axis_taps(int from_size, int to_size) {
  const double scale = static_cast<double>(from_size) / to_size;
  const double support = std::max(scale, 1.0);
  std::vector<Taps> taps(static_cast<size_t>(to_size));
  for (int i = 0; i < to_size; ++i) {
    const double centre = (i + 0.5) * scale;
    const int first = std::max(0, static_cast<int>(std::floor(centre - support)));
    const int last = std::min(from_size - 1, static_cast<int>(std::ceil(centre + support)));
    Taps& t = taps[static_cast<size_t>(i)];
    t.first = first;
    double total = 0.0;
    for (int j = first; j <= last; ++j) {
      const double w = std::max(0.0, 1.0 - std::fabs(j + 0.5 - centre) / support);
      t.weights.push_back(w);
      total += w;
    }
    for (double& w : t.weights) w /= total;
  }
  return taps;
}

std::vector<double> premultiplied(const IconPicture& picture) {
  std::vector<double> out(picture.pixels.size() * kChannels);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t p = picture.pixels[i];
    const double alpha = static_cast<double>(p >> 24);
    out[i * kChannels] = alpha;
    out[i * kChannels + 1] = static_cast<double>((p >> 16) & 0xFF) * alpha;
    out[i * kChannels + 2] = static_cast<double>((p >> 8) & 0xFF) * alpha;
    out[i * kChannels + 3] = static_cast<double>(p & 0xFF) * alpha;
  }
  return out;
}

uint32_t channel_byte(double value) {
  return static_cast<uint32_t>(std::clamp(std::floor(value + 0.5), 0.0, kChannelMax));
}

uint32_t pixel_from(const double* c) {
  const uint32_t alpha = channel_byte(c[0]);
  if (alpha == 0) return 0;
  return alpha << 24 | channel_byte(c[1] / c[0]) << 16 | channel_byte(c[2] / c[0]) << 8 | channel_byte(c[3] / c[0]);
}

// Filters width x height pixels of channels along rows (stride 1 pixel) or
// columns, into a block of the new length along that axis.
std::vector<double> filter_rows(const std::vector<double>& in, int width, int height, const std::vector<Taps>& taps) {
  const int out_width = static_cast<int>(taps.size());
  std::vector<double> out(static_cast<size_t>(out_width) * height * kChannels, 0.0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < out_width; ++x) {
      const Taps& t = taps[static_cast<size_t>(x)];
      double* dst = &out[(static_cast<size_t>(y) * out_width + x) * kChannels];
      for (size_t k = 0; k < t.weights.size(); ++k) {
        const double* src = &in[(static_cast<size_t>(y) * width + t.first + static_cast<int>(k)) * kChannels];
        for (int c = 0; c < kChannels; ++c) dst[c] += src[c] * t.weights[k];
      }
    }
  }
  return out;
}

std::vector<double> filter_columns(const std::vector<double>& in, int width, const std::vector<Taps>& taps) {
  const int out_height = static_cast<int>(taps.size());
  std::vector<double> out(static_cast<size_t>(width) * out_height * kChannels, 0.0);
  for (int y = 0; y < out_height; ++y) {
    const Taps& t = taps[static_cast<size_t>(y)];
    for (int x = 0; x < width; ++x) {
      double* dst = &out[(static_cast<size_t>(y) * width + x) * kChannels];
      for (size_t k = 0; k < t.weights.size(); ++k) {
        const double* src = &in[((static_cast<size_t>(t.first) + k) * width + x) * kChannels];
        for (int c = 0; c < kChannels; ++c) dst[c] += src[c] * t.weights[k];
      }
    }
  }
  return out;
}

std::string side_text(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

bool icon_from_logo(const std::vector<uint32_t>& logo, int width, int height, IconSquare square,
                    IconPicture& picture, std::string& error) {
  if (width != kLogoWidth || height != kLogoHeight || logo.size() != static_cast<size_t>(width) * height) {
    error = "the logo is " + side_text(width, height) + " pixels; icons are cut from a logo of " +
            side_text(kLogoWidth, kLogoHeight);
    return false;
  }
  if (square.side < kIconSourceMinSide || square.x < 0 || square.y < 0 || square.x > width - square.side ||
      square.y > height - square.side) {
    error = "the icon's square (" + std::to_string(square.x) + ", " + std::to_string(square.y) + ") of side " +
            std::to_string(square.side) + " must lie inside the logo and be at least " +
            std::to_string(kIconSourceMinSide) + " pixels a side";
    return false;
  }
  picture.side = square.side;
  picture.pixels.clear();
  picture.pixels.reserve(static_cast<size_t>(square.side) * square.side);
  for (int y = square.y; y < square.y + square.side; ++y) {
    for (int x = square.x; x < square.x + square.side; ++x) {
      picture.pixels.push_back((logo[static_cast<size_t>(y) * width + x] & kRgb) | kOpaque);
    }
  }
  return true;
}

bool icon_from_picture(const std::vector<uint32_t>& pixels, int width, int height, IconPicture& picture,
                       std::string& error) {
  if (width != height || width < kIconSourceMinSide || width > kIconSourceMaxSide ||
      pixels.size() != static_cast<size_t>(width) * height) {
    error = "the icon picture is " + side_text(width, height) + " pixels; it must be square, " +
            std::to_string(kIconSourceMinSide) + " to " + std::to_string(kIconSourceMaxSide) +
            " pixels a side (256 x 256 or more looks best)";
    return false;
  }
  picture.side = width;
  picture.pixels = pixels;
  return true;
}

IconPicture icon_resample(const IconPicture& source, int side) {
  if (side < 1 || side > kIconSourceMaxSide || source.side < 1 ||
      source.pixels.size() != static_cast<size_t>(source.side) * source.side) {
    return IconPicture{};
  }
  const std::vector<Taps> taps = axis_taps(source.side, side);
  const std::vector<double> rows = filter_rows(premultiplied(source), source.side, source.side, taps);
  const std::vector<double> both = filter_columns(rows, side, taps);
  IconPicture out;
  out.side = side;
  out.pixels.resize(static_cast<size_t>(side) * side);
  for (size_t i = 0; i < out.pixels.size(); ++i) out.pixels[i] = pixel_from(&both[i * kChannels]);
  return out;
}

IconSet icons_make(const IconPicture& source) {
  IconSet set;
  set.window = icon_resample(source, kWindowIconSide);
  for (const int side : kExeIconSides) set.exe.push_back(icon_resample(source, side));
  set.favicon = icon_resample(source, kFaviconSide);
  set.touch = icon_resample(source, kTouchIconSide);
  return set;
}

}  // namespace kit
