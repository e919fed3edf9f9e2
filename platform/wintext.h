// wintext: UTF-8 text, as the rest of the program holds it, to and from the
// UTF-16 text of the Windows calls (the "W" functions), so that paths outside
// ASCII work whatever the system's code page. Windows builds only
// (wintext_win.cpp).
#pragma once

#include <string>

namespace platform {

std::wstring wide_from_utf8(const std::string& text);
std::string utf8_from_wide(const std::wstring& text);

}  // namespace platform
