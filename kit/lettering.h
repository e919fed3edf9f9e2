// lettering: lines of text made into coverage layers with FreeType, and
// fitted into boxes.
//
// A line is drawn four times too large, letter by letter (advances from the
// font without hinting, plus tracking), optionally widened, then averaged
// down 4 x 4 and cropped to its ink with a margin of one pixel. Faces are
// read from bytes in memory (the kit never opens font files itself).
//
// Fitting: a piece of lettering is placed by a function of the type size
// that returns its items (coverage layer, ink box, halo: how far its glow or
// outline reaches past the ink). lettering_fit tries the layouts it is given
// in turn (say one line, then two lines), each from its largest size down to
// its smallest, shrinking at least by kShrinkStep a try, and returns the
// items of the first that keeps every item, halo included, inside the box:
// lettering is made smaller or broken into lines, never clipped. Lettering
// whose extent is small enough for the box but placed past its edge (a J or
// a cedilla below the baseline) is moved into it by whole pixels.
//
// Limits: text is UTF-8; a byte sequence that is not UTF-8 draws as U+FFFD.
// Type sizes run from kTypeMinSize to kTypeMaxSize pixels (em) and widening
// from kStretchMin to kStretchMax (others are clamped), lines up to
// kLineMaxCodepoints letters (the rest is not drawn; every fact the
// pictures letter is shorter): that bounds the memory of a line's large
// drawing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/paint.h"

namespace kit {

constexpr double kShrinkStep = 0.97;
constexpr double kTypeMinSize = 2.0;
constexpr double kTypeMaxSize = 100.0;
constexpr double kStretchMin = 0.5;
constexpr double kStretchMax = 2.0;
constexpr size_t kLineMaxCodepoints = 100;
// Lines are drawn this many times larger, then averaged down.
constexpr int kSupersample = 4;

// One typeface read from memory; the bytes are kept as long as the face.
class Typeface {
 public:
  Typeface();
  ~Typeface();
  Typeface(const Typeface&) = delete;
  Typeface& operator=(const Typeface&) = delete;
  // False and a message when FreeType cannot read the bytes as a face.
  bool load(const Bytes& bytes, std::string& error);
  bool loaded() const;

 private:
  friend struct TextRender;
  struct State;
  std::unique_ptr<State> state_;
};

// A line of lettering: coverage cropped to the ink (plus one pixel), the
// row of the baseline inside it, and the column where the crop starts.
struct TextMask {
  Layer mask;  // x and y 0
  double baseline = 0;
  int left = 0;
};

struct TextStyle {
  double size = 12;      // em in pixels
  double tracking = 0;   // pixels added between letters
  double stretch = 1.0;  // horizontal widening of the letters
};

TextMask text_mask(Typeface& face, const std::string& text, const TextStyle& style);

// Where a line goes: its left edge x, centre cx or right edge right (the
// first given), and its baseline row.
struct TextPlace {
  enum class Anchor { kLeft, kCentre, kRight } anchor = Anchor::kLeft;
  double x = 0;
  double baseline = 0;
};

struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1 and y1 exclusive
};

struct Item {
  Layer mask;  // placed on the canvas; its rectangle is the ink box
  int halo = 0;
};
using Items = std::vector<Item>;

// A line placed on the canvas as one item.
Item text_item(Typeface& face, const std::string& text, const TextStyle& style,
               const TextPlace& place, int halo);

// Pixels a blur of this radius reaches past a mask (three box passes).
int lettering_halo(double radius);

struct Layout {
  std::function<Items(double size)> place;
  double largest = 12;
  double smallest = 12;
};

// Items of the first layout that fits the box, or nothing when none does
// at any size down to its smallest.
std::optional<Items> lettering_fit(const Box& box, const std::vector<Layout>& layouts);

// Two lines of about the same length broken at a space, or nothing for a
// single word.
std::optional<std::pair<std::string, std::string>> split_words(const std::string& text);

}  // namespace kit
