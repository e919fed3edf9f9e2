// paint: image arithmetic of the lettered pictures (see paint.h).
#include "kit/paint.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kit {

namespace {

// exp's range reduction: x = k ln 2 + r, |r| <= ln 2 / 2, with ln 2 split so
// that k x kLn2High is exact for every k that matters.
constexpr double kLog2E = 1.4426950408889634;
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kExpUnderflow = -745.2;
constexpr double kExpOverflow = 709.8;
// Taylor terms of e^r kept: the 14th is below 1e-17 for |r| <= 0.35.
constexpr int kExpTerms = 14;

// The light of bevel_light comes from the top left.
constexpr double kLightX = -0.6;
constexpr double kLightY = -0.8;
constexpr double kBevelFlat = 1e-4;
constexpr double kBevelSteepness = 1.5;

// canvas_lettering's proportions.
constexpr double kGlowGain = 2.2;
constexpr double kOutlineGain = 3.0;
constexpr double kOutlineOpacity = 0.9;
constexpr double kBevelDarkening = 0.55;

// A glint: a small bright core, a soft halo and two rays; it is computed
// within kGlintReach sizes of its centre (beyond, it adds well under a
// hundredth of a level).
constexpr double kGlintCore = 0.12;
constexpr double kGlintHalo = 0.45;
constexpr double kGlintHaloAmount = 0.35;
constexpr double kGlintRayWidth = 1.2;
constexpr double kGlintRayLength = 0.5;
constexpr double kGlintRayAmount = 0.8;
constexpr double kGlintMax = 1.5;
constexpr double kGlintReach = 5.5;
constexpr int kGlintMargin = 4;

// Cubic resampling kernel (Catmull-Rom).
constexpr double kCubicA = -0.5;
constexpr double kCubicSupport = 2.0;

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

double cubic(double x) {
  x = std::fabs(x);
  if (x < 1) return ((kCubicA + 2) * x - (kCubicA + 3)) * x * x + 1;
  if (x < 2) return (((x - 5) * x + 8) * x - 4) * kCubicA;
  return 0;
}

// One box pass of radius r along rows (across) or columns (down); cells
// outside the layer count as 0.
void box_pass(Layer& layer, int r, bool across) {
  const int n = across ? layer.width : layer.height;
  const int lines = across ? layer.height : layer.width;
  const size_t step = across ? 1 : static_cast<size_t>(layer.width);
  const size_t line_step = across ? static_cast<size_t>(layer.width) : 1;
  const double norm = 1.0 / (2 * r + 1);
  std::vector<double> line(static_cast<size_t>(n));
  for (int l = 0; l < lines; ++l) {
    double* v = layer.value.data() + l * line_step;
    for (int i = 0; i < n; ++i) line[i] = v[i * step];
    double sum = 0;
    for (int i = 0; i < std::min(r, n); ++i) sum += line[i];
    for (int i = 0; i < n; ++i) {
      if (i + r < n) sum += line[i + r];
      if (i - r - 1 >= 0) sum -= line[i - r - 1];
      v[i * step] = sum * norm;
    }
  }
}

int box_radius(double radius) {
  return std::max(1, static_cast<int>(round_half_even(radius / 1.7)));
}

}  // namespace

double paint_exp(double x) {
  if (x < kExpUnderflow) return 0;
  if (x > kExpOverflow) return std::numeric_limits<double>::infinity();
  const double k = std::floor(x * kLog2E + 0.5);
  const double r = (x - k * kLn2High) - k * kLn2Low;
  double sum = 1;
  for (int i = kExpTerms; i >= 1; --i) sum = 1 + sum * r / i;
  return std::ldexp(sum, static_cast<int>(k));
}

double round_half_even(double x) {
  const double down = std::floor(x);
  const double diff = x - down;
  if (diff > 0.5) return down + 1;
  if (diff < 0.5) return down;
  return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

double Layer::at(int px, int py) const {
  if (px < x || py < y || px >= x + width || py >= y + height) return 0;
  return value[static_cast<size_t>(py - y) * width + (px - x)];
}

Layer layer_make(int x, int y, int width, int height) {
  Layer layer;
  layer.x = x;
  layer.y = y;
  layer.width = std::max(width, 0);
  layer.height = std::max(height, 0);
  layer.value.assign(static_cast<size_t>(layer.width) * layer.height, 0.0);
  return layer;
}

Layer layer_grown(const Layer& layer, int margin) {
  Layer out = layer_make(layer.x - margin, layer.y - margin, layer.width + 2 * margin,
                         layer.height + 2 * margin);
  for (int r = 0; r < layer.height; ++r)
    std::copy_n(&layer.value[static_cast<size_t>(r) * layer.width], layer.width,
                &out.value[static_cast<size_t>(r + margin) * out.width + margin]);
  return out;
}

Rgb ramp_at(const Ramp& ramp, double t) {
  if (t <= ramp.front().first) return ramp.front().second;
  if (t >= ramp.back().first) return ramp.back().second;
  size_t i = 1;
  while (ramp[i].first < t) ++i;
  const auto& [p0, c0] = ramp[i - 1];
  const auto& [p1, c1] = ramp[i];
  const double f = (t - p0) / (p1 - p0);
  return {c0[0] + (c1[0] - c0[0]) * f, c0[1] + (c1[1] - c0[1]) * f, c0[2] + (c1[2] - c0[2]) * f};
}

int blur_reach(double radius) { return radius <= 0 ? 0 : 3 * box_radius(radius); }

Layer blur(const Layer& layer, double radius) {
  if (radius <= 0) return layer;
  const int r = box_radius(radius);
  Layer out = layer_grown(layer, 3 * r);
  for (int pass = 0; pass < 3; ++pass) {
    box_pass(out, r, false);
    box_pass(out, r, true);
  }
  return out;
}

Layer bevel_light(const Layer& layer, double radius) {
  // One more cell round the height field, so its slopes at the edges are
  // taken against the zeros there.
  const Layer hgt = blur(layer_grown(layer, 1), radius);
  Layer out = layer_make(hgt.x, hgt.y, hgt.width, hgt.height);
  const int w = hgt.width, h = hgt.height;
  auto v = [&](int x, int y) { return hgt.value[static_cast<size_t>(y) * w + x]; };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Central differences inside, one-sided at the borders.
      const double gx = w < 2        ? 0
                        : x == 0     ? v(1, y) - v(0, y)
                        : x == w - 1 ? v(x, y) - v(x - 1, y)
                                     : (v(x + 1, y) - v(x - 1, y)) / 2;
      const double gy = h < 2        ? 0
                        : y == 0     ? v(x, 1) - v(x, 0)
                        : y == h - 1 ? v(x, y) - v(x, y - 1)
                                     : (v(x, y + 1) - v(x, y - 1)) / 2;
      const double n = std::sqrt(gx * gx + gy * gy + kBevelFlat);
      const double slope = clamp01(n * radius * kBevelSteepness);
      out.value[static_cast<size_t>(y) * w + x] = -(gx * kLightX + gy * kLightY) / n * slope;
    }
  }
  return out;
}

Canvas canvas_from_bytes(const uint8_t* rgb, int width, int height) {
  Canvas c;
  c.width = width;
  c.height = height;
  c.rgb.assign(rgb, rgb + static_cast<size_t>(width) * height * 3);
  return c;
}

std::vector<uint8_t> canvas_bytes(const Canvas& canvas) {
  std::vector<uint8_t> out(canvas.rgb.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const double v = std::nearbyint(canvas.rgb[i]);
    out[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  return out;
}

namespace {

// Calls f(x, y, value) for every cell of the layer that lies on the canvas.
template <typename F>
void each_on_canvas(const Canvas& canvas, const Layer& layer, F f) {
  const int x0 = std::max(layer.x, 0), x1 = std::min(layer.x + layer.width, canvas.width);
  const int y0 = std::max(layer.y, 0), y1 = std::min(layer.y + layer.height, canvas.height);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      f(x, y, layer.value[static_cast<size_t>(y - layer.y) * layer.width + (x - layer.x)]);
}

void blend_pixel(double* px, const Rgb& colour, double a) {
  for (int c = 0; c < 3; ++c) px[c] = px[c] * (1.0 - a) + colour[c] * a;
}

}  // namespace

void canvas_add(Canvas& canvas, const Rgb& colour, const Layer& layer, double amount) {
  each_on_canvas(canvas, layer, [&](int x, int y, double v) {
    double* px = canvas.at(x, y);
    for (int c = 0; c < 3; ++c) px[c] += colour[c] * (v * amount);
  });
}

void canvas_glow(Canvas& canvas, const Rgb& colour, const Layer& layer, double radius, double gain,
                 double amount) {
  each_on_canvas(canvas, blur(layer, radius), [&](int x, int y, double v) {
    const double a = clamp01(v * gain) * amount;
    double* px = canvas.at(x, y);
    for (int c = 0; c < 3; ++c) px[c] += colour[c] * a;
  });
}

void canvas_glint(Canvas& canvas, double cx, double cy, double size, double strength) {
  const double reach = size * kGlintReach + kGlintMargin;
  const int x0 = std::max(0, static_cast<int>(std::floor(cx - reach)));
  const int x1 = std::min(canvas.width, static_cast<int>(std::ceil(cx + reach)) + 1);
  const int y0 = std::max(0, static_cast<int>(std::floor(cy - reach)));
  const int y1 = std::min(canvas.height, static_cast<int>(std::ceil(cy + reach)) + 1);
  if (x1 <= x0 || y1 <= y0) return;
  const double core = 2.0 * (size * kGlintCore) * (size * kGlintCore);
  const double halo = 2.0 * (size * kGlintHalo) * (size * kGlintHalo);
  const double ray = size * kGlintRayLength;
  // Every term is a product of a function of x and one of y: tabulated
  // once for the columns and once for the rows.
  struct Terms {
    std::vector<double> core, halo, ray_across, ray_along;
  };
  auto terms = [&](int from, int to, double centre) {
    Terms t;
    for (int i = from; i < to; ++i) {
      const double d = i - centre;
      t.core.push_back(paint_exp(-(d * d) / core));
      t.halo.push_back(paint_exp(-(d * d) / halo));
      t.ray_across.push_back(paint_exp(-(d * d) / kGlintRayWidth));
      t.ray_along.push_back(paint_exp(-std::fabs(d) / ray));
    }
    return t;
  };
  const Terms tx = terms(x0, x1, cx), ty = terms(y0, y1, cy);
  for (int y = y0; y < y1; ++y) {
    const size_t j = static_cast<size_t>(y - y0);
    for (int x = x0; x < x1; ++x) {
      const size_t i = static_cast<size_t>(x - x0);
      const double ray_h = ty.ray_across[j] * tx.ray_along[i];
      const double ray_v = tx.ray_across[i] * ty.ray_along[j];
      double light = (tx.core[i] * ty.core[j] + kGlintHaloAmount * tx.halo[i] * ty.halo[j] +
                      kGlintRayAmount * (ray_h + ray_v)) *
                     strength;
      light = std::min(std::min(std::max(light, 0.0), kGlintMax) * 255.0, 255.0);
      double* px = canvas.at(x, y);
      for (int c = 0; c < 3; ++c) px[c] = 255.0 - (255.0 - px[c]) * (255.0 - light) / 255.0;
    }
  }
}

void canvas_lettering(Canvas& canvas, const Layer& mask, const LetteringStyle& style) {
  if (style.glow)
    canvas_glow(canvas, style.glow_colour, mask, style.glow_radius, kGlowGain, style.glow_amount);
  if (style.outline_px > 0) {
    const Layer ring = blur(mask, style.outline_px);
    each_on_canvas(canvas, ring, [&](int x, int y, double v) {
      const double a = std::max(clamp01(v * kOutlineGain), mask.at(x, y));
      blend_pixel(canvas.at(x, y), style.outline, a * kOutlineOpacity);
    });
  }
  const Layer shade = bevel_light(mask, style.bevel_radius);
  const double span = std::max(style.fill_bottom - style.fill_top, 1.0);
  each_on_canvas(canvas, mask, [&](int x, int y, double a) {
    const Rgb fill = ramp_at(style.fill, (y - style.fill_top) / span);
    const double s = shade.at(x, y);
    const double lift = clamp01(s), dark = clamp01(-s);
    Rgb col;
    for (int c = 0; c < 3; ++c) {
      col[c] = fill[c] + (255.0 - fill[c]) * lift * style.shine;
      col[c] = col[c] * (1.0 - dark * kBevelDarkening);
    }
    blend_pixel(canvas.at(x, y), col, a);
  });
}

namespace {

// Weights of a 1D resampling from n to m cells: for each target cell, its
// first source cell and the normalised weights of the cells from there.
struct Taps {
  std::vector<int> first;
  std::vector<std::vector<double>> weights;
};

Taps taps(int n, int m) {
  Taps t;
  const double scale = static_cast<double>(n) / m;
  const double widen = std::max(scale, 1.0);
  const double support = kCubicSupport * widen;
  for (int i = 0; i < m; ++i) {
    const double centre = (i + 0.5) * scale;
    const int lo = std::max(0, static_cast<int>(std::floor(centre - support)));
    const int hi = std::min(n, static_cast<int>(std::ceil(centre + support)));
    std::vector<double> w;
    double sum = 0;
    for (int j = lo; j < hi; ++j) {
      w.push_back(cubic((j + 0.5 - centre) / widen));
      sum += w.back();
    }
    for (double& v : w) v /= sum;
    t.first.push_back(lo);
    t.weights.push_back(std::move(w));
  }
  return t;
}

}  // namespace

std::vector<uint8_t> resample_rgb(const std::vector<uint8_t>& rgb, int width, int height,
                                  int to_width, int to_height) {
  const Taps across = taps(width, to_width), down = taps(height, to_height);
  std::vector<double> rows(static_cast<size_t>(to_width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < to_width; ++x)
      for (int c = 0; c < 3; ++c) {
        double v = 0;
        const auto& w = across.weights[x];
        for (size_t k = 0; k < w.size(); ++k)
          v += w[k] * rgb[(static_cast<size_t>(y) * width + across.first[x] + k) * 3 + c];
        rows[(static_cast<size_t>(y) * to_width + x) * 3 + c] = v;
      }
  Canvas out;
  out.width = to_width;
  out.height = to_height;
  out.rgb.assign(static_cast<size_t>(to_width) * to_height * 3, 0.0);
  for (int y = 0; y < to_height; ++y) {
    const auto& w = down.weights[y];
    for (size_t k = 0; k < w.size(); ++k) {
      const double* src = &rows[static_cast<size_t>(down.first[y] + k) * to_width * 3];
      double* dst = &out.rgb[static_cast<size_t>(y) * to_width * 3];
      for (int i = 0; i < to_width * 3; ++i) dst[i] += w[k] * src[i];
    }
  }
  return canvas_bytes(out);
}

}  // namespace kit
