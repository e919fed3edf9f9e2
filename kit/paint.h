// paint: the image arithmetic of the lettered pictures, in plain double
// arithmetic so that every build (Linux, Windows, WebAssembly) makes the same
// bytes: colour ramps, blurs made of box passes, a bevel's lighting, glints,
// blending, a resampler and our own exponential (the C libraries' exp differ
// in their last bits).
//
// A Canvas holds RGB values 0..255 as doubles (values may leave that range
// while drawing; canvas_bytes clips and rounds). A Layer is a coverage map
// (0..1) over a rectangle of the canvas; everything outside it is 0, so the
// effects work on a layer's rectangle, grown by their reach, never on the
// whole canvas.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kit {

using Rgb = std::array<double, 3>;
// A colour ramp: (position, colour) stops in rising position order.
using Ramp = std::vector<std::pair<double, Rgb>>;

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<double> rgb;  // width x height x 3, rows top to bottom

  double* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

struct Layer {
  int x = 0;  // top left corner on the canvas
  int y = 0;
  int width = 0;
  int height = 0;
  std::vector<double> value;  // width x height, rows top to bottom

  double at(int px, int py) const;  // 0 outside the rectangle
};

// e^x to within a few units in the last place, from range reduction and a
// polynomial; 0 below the smallest double's reach.
double paint_exp(double x);
// Rounding with halves to the even neighbour, as the data generators round
// where the pictures were designed.
double round_half_even(double x);

Layer layer_make(int x, int y, int width, int height);
// The same coverage on a rectangle grown by margin on every side.
Layer layer_grown(const Layer& layer, int margin);

// Colour of the ramp at t (clamped to the first and last stop).
Rgb ramp_at(const Ramp& ramp, double t);
// Approximate gaussian blur: three box passes of radius round(radius / 1.7)
// across and down, on the layer grown by their reach (blur_reach).
Layer blur(const Layer& layer, double radius);
int blur_reach(double radius);
// Lighting of the soft height field blur(layer, radius), lit from the top
// left: -1..1, positive where the slope faces the light.
Layer bevel_light(const Layer& layer, double radius);

Canvas canvas_from_bytes(const uint8_t* rgb, int width, int height);
std::vector<uint8_t> canvas_bytes(const Canvas& canvas);
// canvas += colour x amount x layer.
void canvas_add(Canvas& canvas, const Rgb& colour, const Layer& layer, double amount);
// canvas += colour x amount x clip(gain x blur(layer, radius), 0, 1).
void canvas_glow(Canvas& canvas, const Rgb& colour, const Layer& layer, double radius, double gain,
                 double amount);
// Four-pointed glint centred on (cx, cy), screened onto the canvas.
void canvas_glint(Canvas& canvas, double cx, double cy, double size, double strength);

// Lettering drawn over the canvas: a glow, a dark outline, a fill whose
// colour is given per canvas row, and a bevel lit from the top left.
struct LetteringStyle {
  Ramp fill;
  double fill_top = 0;  // rows the fill ramp spans
  double fill_bottom = 1;
  Rgb outline{6, 6, 20};
  double outline_px = 2.0;
  bool glow = false;
  Rgb glow_colour{0, 0, 0};
  double glow_radius = 10;
  double glow_amount = 0.9;
  double bevel_radius = 2.5;
  double shine = 0.55;
};
void canvas_lettering(Canvas& canvas, const Layer& mask, const LetteringStyle& style);

// RGB bytes resampled to another size with a cubic filter widened by the
// shrink factor (every source pixel counts when shrinking).
std::vector<uint8_t> resample_rgb(const std::vector<uint8_t>& rgb, int width, int height,
                                  int to_width, int to_height);

}  // namespace kit
