// facts: captions.txt and web/party.txt (see facts.h).
#include "kit/facts.h"

namespace kit {

namespace {

constexpr const char* kWebHeader =
    "# The party's facts for the web page's text and its link preview (read by\n"
    "# velmora2k-kit index at build time; this folder is not packed into pak.pak).\n"
    "# One \"key: value\" a line; lines starting with # are comments.\n";

}  // namespace

Bytes facts_captions(const Party& party) {
  std::string text;
  for (const auto& [x, caption] : party_caption_lines(party)) text += std::to_string(x) + " " + caption + "\r\n";
  text += "END\r\n";
  return files_bytes(text);
}

Bytes facts_web(const Party& party) {
  std::string text = kWebHeader;
  for (const char* key : kRequiredKeys) text += std::string(key) + ": " + party.fact(key) + "\n";
  return files_bytes(text);
}

}  // namespace kit
