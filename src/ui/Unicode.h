// UTF-8 inside the program, UTF-16 at the Win32 boundary: the two conversions.
#pragma once

#include <string>
#include <string_view>

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

struct HWND__;  // a window handle, as <windows.h> declares it
// The whole text of a window, however long.
std::wstring WindowTextOf(HWND__* window);
