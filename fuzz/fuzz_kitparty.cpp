// Fuzz target: bytes as an organiser's party.txt and as each of the four
// pages of a party folder. Reading and checking never fails silently: a
// folder whose facts cannot be derived has problems, each named by its file;
// the pages made are closed by "END" with CR LF line ends.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kit/files.h"
#include "kit/pages.h"
#include "kit/party.h"
#include "kit/problems.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kit::Bytes bytes(data, data + size);
  kit::Files folder = {{kit::kPartyFile, bytes}};
  for (const char* page : kit::kPageNames) folder[kit::page_source_path(page)] = bytes;
  kit::Problems problems;
  const kit::Party party = kit::party_read(folder, problems);
  for (const kit::Problem& p : problems.items()) {
    if (p.file.empty() || p.message.empty()) std::abort();
  }
  kit::Problems again;
  for (const auto& [name, page] : kit::pages_make(folder, again)) {
    const std::string text = kit::files_text(page);
    if (text.size() < 5 || text.compare(text.size() - 5, 5, "END\r\n") != 0) std::abort();
  }
  (void)kit::party_title_parts(party);
  (void)kit::party_header_line(party, 3);
  return 0;
}
