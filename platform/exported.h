// exported: marks a C function that the page's JavaScript calls in a
// WebAssembly program (the studio's kit and MP3 encoder), so that the linker
// keeps it and exports it by its own name. Elsewhere it is a plain C
// function.
#pragma once

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#define VELMORA_EXPORTED EMSCRIPTEN_KEEPALIVE
#else
#define VELMORA_EXPORTED
#endif
