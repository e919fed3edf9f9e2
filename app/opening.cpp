// opening: the music-clocked opening sequence.
#include "app/stages.h"

bool opening_sequence() {
  return true;
}
