// loading: the loading sequence.
#include "app/stages.h"

void loading_open_archive() {}

bool loading_sequence() {
  return true;
}
