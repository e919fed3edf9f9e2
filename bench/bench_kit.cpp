// The party kit's speed: what an organiser waits for while editing.
//
// KitLettering: every lettering of the four pictures fitted for a new name
// (no drawing), the check that runs on each keystroke.
// KitNamePictures: the four lettered pictures drawn and encoded for a new
// name, what a changed name remakes.
// KitPages: the four pages made again, what a changed page remakes.
// KitWholeParty: a party folder read from disk and made into every data
// file and pak.pak, from nothing.
// PngEncodeBound: only the PNG encoding of four 640 x 480 pictures, the
// floor under KitNamePictures (the ratio of the two says how much of a
// redrawn name is the drawing).
// The example party (examples/skargard) on the kit's base beside the
// programs (kit-base/, made by the build).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/make.h"
#include "kit/pages.h"
#include "kit/party.h"
#include "kit/pictures.h"
#include "kit/text.h"
#include "resources/pngwrite.h"

namespace {

const std::string kParty = std::string(VELMORA_SOURCE_DIR) + "/examples/skargard";
const std::string kBase = std::string(VELMORA_BIN_DIR) + "/kit-base";

struct Loaded {
  kit::Files party;
  kit::Files base;
  kit::KitBase kit_base;
  bool ok = false;
};

Loaded& loaded() {
  static Loaded l;
  static bool once = false;
  if (!once) {
    once = true;
    std::string error;
    l.ok = kit::files_read_folder(kParty, l.party, error) && kit::files_read_folder(kBase, l.base, error) &&
           kit::kit_base_load(l.base, l.kit_base, error);
  }
  return l;
}

// A name for each iteration, so no result can be reused.
kit::LetteredFacts facts_for(int64_t n) {
  kit::LetteredFacts facts;
  facts.title = "NORDLICHT PIXELFEST " + std::to_string(n % 7);
  facts.gold = std::to_string(2027 + n % 5);
  facts.edition = "MIDSOMMAR ÉDITION";
  facts.edition_spaced = "M I D S O M M A R   É D I T I O N";
  facts.header_lines = {"19 - 21 JUNE 2031  /  SJÖBY-NÄS  /  NORDMARK", "19 - 21 JUNE 2031  /  SJÖBY-NÄS",
                        "19 - 21 JUNE 2031"};
  facts.short_dates = "19 - 21 JUNE";
  facts.town = "SJÖBY-NÄS";
  facts.country = "NORDMARK";
  return facts;
}

void KitLettering(benchmark::State& state) {
  Loaded& l = loaded();
  if (!l.ok) return state.SkipWithError("the example party or the kit's base is missing");
  int64_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(kit::pictures_check(l.kit_base, facts_for(n++)));
}

void KitNamePictures(benchmark::State& state) {
  Loaded& l = loaded();
  if (!l.ok) return state.SkipWithError("the example party or the kit's base is missing");
  const std::vector<std::string> names(kit::kLetteredPictures.begin(), kit::kLetteredPictures.end());
  int64_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(kit::pictures_make(l.kit_base, facts_for(n++), names));
}

void KitPages(benchmark::State& state) {
  Loaded& l = loaded();
  if (!l.ok) return state.SkipWithError("the example party is missing");
  for (auto _ : state) {
    kit::Problems problems;
    benchmark::DoNotOptimize(kit::pages_make(l.party, problems));
  }
}

void KitWholeParty(benchmark::State& state) {
  for (auto _ : state) {
    kit::Files party;
    kit::Files base;
    std::string error;
    if (!kit::files_read_folder(kParty, party, error) || !kit::files_read_folder(kBase, base, error)) {
      return state.SkipWithError("the example party or the kit's base is missing");
    }
    kit::Problems problems;
    kit::Files data;
    kit::Bytes pak;
    if (!kit::make_data(party, base, nullptr, problems, data) || !kit::make_pak(data, pak, error)) {
      return state.SkipWithError("the example party could not be made");
    }
    benchmark::DoNotOptimize(pak.data());
  }
}

void PngEncodeBound(benchmark::State& state) {
  Loaded& l = loaded();
  if (!l.ok) return state.SkipWithError("the kit's base is missing");
  for (auto _ : state) {
    for (const char* name : kit::kLetteredPictures) {
      const MemPicture& layer = l.kit_base.layers.at(name);
      std::vector<uint8_t> png;
      std::string error;
      png_encode_rgb(layer.rgb.data(), layer.width, layer.height, png, error);
      benchmark::DoNotOptimize(png.data());
    }
  }
}

BENCHMARK(KitLettering)->Unit(benchmark::kMillisecond);
BENCHMARK(KitNamePictures)->Unit(benchmark::kMillisecond);
BENCHMARK(PngEncodeBound)->Unit(benchmark::kMillisecond);
BENCHMARK(KitPages)->Unit(benchmark::kMicrosecond);
BENCHMARK(KitWholeParty)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
