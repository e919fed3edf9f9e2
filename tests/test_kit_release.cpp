// A party's release files as the kit makes them: named by the slug of its
// title, README.txt leading with its facts, the scene's info file and
// file_id.diz within their classic limits, the zips repacked with its data,
// and index.html written from the template with escaped facts, the pages
// as text and SHA-256 stamps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/party.h"
#include "kit/release.h"
#include "kit/sha256.h"
#include "kit/webindex.h"
#include "kit/zip.h"

namespace {

using kit::Bytes;
using kit::Files;

kit::Party party_of(const std::string& facts) {
  kit::Problems problems;
  return kit::party_read_facts(kit::files_bytes(facts), problems);
}

const std::string kFacts =
    "name: Skärgårdsfest Żerań 2031\n"
    "edition: Midsommar Édition\n"
    "dates: Friday 19 - Sunday 21 June 2031\n"
    "place: Ångström hall, Strandvägen 3, Sjöby-Näs, Nordmark\n"
    "summary: Three light nights of demos, chiptunes and pixel art by the sea, with a sauna, a pier and the "
    "longest sunset of the year, & <more>.\n"
    "site: https://skargard.example.org/2031\n";

std::vector<std::string> crlf_lines(const Bytes& bytes) {
  std::vector<std::string> lines;
  std::string text = kit::files_text(bytes);
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "a line without CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

TEST(KitRelease, SlugsNameTheFilesByTheTitle) {
  const struct {
    const char* facts;
    const char* slug;
  } cases[] = {
      {"name: Nordlicht Pixelfest 2027\n", "nordlicht-pixelfest-2027-invitation"},
      {"name: Skärgårdsfest Żerań 2031\n", "skargardsfest-zeran-2031-invitation"},
      {"name: A & B -- C!\n", "a-b-c-invitation"},
      {"name: Velmora 2000\ntitle: Velmora2K invitation\n", "velmora2k-invitation"},
      {"name: Velmora 2000\ntitle: default\n", "velmora-2000-invitation"},
  };
  for (const auto& c : cases) EXPECT_EQ(kit::release_slug(party_of(c.facts)), c.slug) << c.facts;
}

TEST(KitRelease, TextsLeadWithTheFactsWithinTheirLimits) {
  const kit::Party party = party_of(kFacts);
  const Bytes page = kit::files_bytes("^CONTACT\r\nmail ........ orgas@example.org\r\n100%% sure\r\nEND\r\n");
  Files data = {{"info.txt", page}, {"compo.txt", page}, {"contact.txt", page}, {"credits.txt", page}};

  const Bytes ours = kit::files_bytes("Velmora2K invitation 1.0.0 for Windows\r\n=====\r\n\r\nStarting it\r\n"
                                      "-----------\r\nDouble-click velmora2k.exe.\r\n");
  const std::vector<std::string> readme = crlf_lines(kit::release_readme(party, ours, page));
  ASSERT_GE(readme.size(), 12u);
  EXPECT_EQ(readme[0], "Skärgårdsfest Żerań 2031 invitation for Windows");
  EXPECT_EQ(readme[2], "Midsommar Édition");
  EXPECT_EQ(readme[3], "Friday 19 - Sunday 21 June 2031");
  EXPECT_EQ(readme[5], "https://skargard.example.org/2031");
  EXPECT_NE(std::find(readme.begin(), readme.end(), "Double-click velmora2k.exe."), readme.end());
  EXPECT_EQ(readme.back(), "100% sure");

  const std::vector<std::string> info = crlf_lines(kit::release_info(party, data));
  bool has_contact = false;
  for (const std::string& line : info) {
    EXPECT_LE(line.size(), static_cast<size_t>(kit::kInfoColumns)) << line;
    for (char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7f) << line;
    has_contact |= line.find("mail ........ orgas@example.org") != std::string::npos;
  }
  EXPECT_TRUE(has_contact);

  const std::vector<std::string> diz = crlf_lines(kit::release_diz(party));
  EXPECT_LE(diz.size(), static_cast<size_t>(kit::kDizLines));
  EXPECT_EQ(diz[0], "SKARGARDSFEST ZERAN 2031 INVITATION");
  for (const std::string& line : diz) EXPECT_LE(line.size(), static_cast<size_t>(kit::kDizColumns)) << line;
}

TEST(KitRelease, TheWindowsZipIsRepackedUnderThePartysName) {
  const kit::Party party = party_of(kFacts);
  Bytes ours;
  std::string error;
  ASSERT_TRUE(kit::zip_write({{"velmora2k.exe", kit::files_bytes("MZ")},
                              {"pak.pak", kit::files_bytes("our data")},
                              {"README.txt", kit::files_bytes("Ours\r\n====\r\nStarting it\r\n")}},
                             "velmora2k-1.0.0-win64", 1700000000, ours, error))
      << error;
  Bytes zip;
  ASSERT_TRUE(kit::release_windows_zip(party, {}, kit::files_bytes("their data"), kit::files_bytes("mp3"), ours,
                                       nullptr, 1700000000, zip, error))
      << error;
  Files files;
  ASSERT_TRUE(kit::zip_read(zip, files, error)) << error;
  const std::string top = "skargardsfest-zeran-2031-invitation-win64/";
  EXPECT_EQ(kit::files_text(files[top + "pak.pak"]), "their data");
  EXPECT_EQ(kit::files_text(files[top + "velmora2k.exe"]), "MZ");
  for (const char* name : {"qtn.mp3", "README.txt", "file_id.diz", "skargardsfest-zeran-2031-invitation.nfo"}) {
    EXPECT_EQ(files.count(top + name), 1u) << name;
  }
  EXPECT_EQ(files.size(), 6u);

  Bytes not_ours;
  ASSERT_TRUE(kit::zip_write({{"a.txt", kit::files_bytes("a")}}, "", 1700000000, not_ours, error));
  EXPECT_FALSE(kit::release_windows_zip(party, {}, {}, {}, not_ours, nullptr, 1700000000, zip, error));
  EXPECT_NE(error.find("no velmora2k.exe"), std::string::npos) << error;
}

TEST(KitRelease, Sha256OfKnownTexts) {
  EXPECT_EQ(kit::sha256_hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(kit::sha256_hex(kit::files_bytes("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits the first block's tail.
  EXPECT_EQ(kit::sha256_hex(kit::files_bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(kit::sha256_hex(Bytes(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(KitRelease, IndexHtmlFromTheTemplate) {
  const Bytes html_template = kit::files_bytes(
      "<title>@party_name@ invitation</title>\n@PREVIEW_TAGS@\n{@SITE_FILES@}\n{@IMPORT_MAP@}\n"
      "css @STAMP_PAGE_CSS@ js @STAMP_PAGE_JS@ title @STAMP_TITLE@ mail me@example.org @unknown@\n@TEXT_PAGES@");
  kit::WebIndexInput input;
  input.facts = {{"name", "Rock & <Roll> \"2031\""}};
  input.pages = {{"info.txt", kit::files_bytes("\r\n100%% <sure>\r\nEND\r\n")}};
  input.site = {{"page.css", kit::files_bytes("css")}, {"page.js", kit::files_bytes("js")},
                {"loader.js", kit::files_bytes("loader")}, {"title.jpg", kit::files_bytes("jpg")},
                {"pak.pak", kit::files_bytes("abc")}};
  input.downloads = kit::webindex_downloads(kit::files_bytes("{\"pak.pak\": {\"size\": 1, \"stamp\": \"x\"}}"));
  input.site_url = "https://example.org/a";
  Bytes html;
  std::string error;
  ASSERT_TRUE(kit::webindex_fill(html_template, input, html, error)) << error;
  const std::string text = kit::files_text(html);
  const std::string abc = kit::sha256_hex(kit::files_bytes("abc")).substr(0, kit::kStampDigits);
  EXPECT_NE(text.find("<title>Rock &amp; &lt;Roll&gt; &quot;2031&quot; invitation</title>"), std::string::npos);
  EXPECT_NE(text.find("{\"pak.pak\": {\"size\": 3, \"stamp\": \"" + abc + "\"}}"), std::string::npos) << text;
  EXPECT_NE(text.find("\"./loader.js\": \"./loader.js?v="), std::string::npos) << text;
  EXPECT_NE(text.find("<meta property=\"og:image\" content=\"https://example.org/a/title.jpg?v="), std::string::npos);
  EXPECT_NE(text.find("mail me@example.org \n"), std::string::npos) << text;
  EXPECT_NE(text.find("<pre>100% &lt;sure&gt;\n</pre>"), std::string::npos) << text;

  input.site.erase("page.js");
  EXPECT_FALSE(kit::webindex_fill(html_template, input, html, error));
  EXPECT_NE(error.find("page.js"), std::string::npos) << error;
}

}  // namespace
