// statics: the process-wide objects made before the entry routine runs, in
// their required order (one translation unit fixes the order): the display
// format, the console, the memory pool and the log. At exit they are
// destroyed in reverse order.
#include "app/driver.h"
#include "platform/display.h"
#include "resources/log.h"
#include "resources/mempool.h"

ptc::Format pixfmt(32, 0xFF0000, 0xFF00, 0xFF, 0);
ptc::Console console;
mempool* g_pool = mempool_create();
logfile* g_log = log_create();
