// statics: the process-wide objects made before the entry routine runs, in
// their required order (one translation unit fixes the order): the 3D ball
// set, the display format, the console, the button list, the memory pool and
// the log. At exit they are destroyed in reverse order.
#include "gfx2d/buttons.h"
#include "platform/display.h"
#include "render3d/balls.h"
#include "resources/log.h"
#include "resources/mempool.h"

cballs balls;
ptc::Format pixfmt(32, 0xFF0000, 0xFF00, 0xFF, 0);
ptc::Console console;
buttonset buttonlist;
mempool* g_pool = mempool_create();
logfile* g_log = log_create();
