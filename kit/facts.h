// facts: the files that carry a party's facts as text, byte for byte as
// tools/gen_facts.py writes them:
//
//   captions.txt    the opening's three caption lines, "X TEXT" (X: the left
//                   edge on screen), CR LF lines closed by "END" as a page is
//   web/party.txt   the five facts for the web page's text and its link
//                   preview (read by velmora2k-kit index; not packed)
#pragma once

#include "kit/files.h"
#include "kit/party.h"

namespace kit {

Bytes facts_captions(const Party& party);
Bytes facts_web(const Party& party);

}  // namespace kit
