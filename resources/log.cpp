// log: see log.h.
#include "resources/log.h"

#include "platform/message_box.h"
#include "platform/process.h"

namespace {
int report_returns = 0;
}

void error_report(const char* text) {
  platform::message_box("KORAL ERROR !", text);
  LOGW("KORALerror->incoming error message:\n");
  LOGW("%s\n", text);
  LOGW("KORALerror->end of error message:\n");
  if (report_returns != 0) return;
  platform::process_exit(platform::kExitFatal);
}

int report_returns_get() {
  return report_returns;
}

int report_returns_set(int value) {
  report_returns = value;
  return report_returns;
}
