// log: the diagnostic log as the layers above the platform use it
// (platform/log.h), and the fatal error report.
//
// error_report shows a message box captioned "KORAL ERROR !" (and writes the
// text to stderr), copies the text into the log and ends the process with
// status 1, unless report_returns is set, in which case it returns.
#pragma once

#include "platform/log.h"

void error_report(const char* text);
int report_returns_get();
int report_returns_set(int value);
