// A sample product program: it shows its own name and, for the main program, the settings it finds.
#include <windows.h>

#include <cwchar>
#include <string>

#ifdef WERB_SHOWS_SETTINGS
#include "install/TKod.h"
#endif

#ifndef WERB_PROGRAM_NAME
#error "WERB_PROGRAM_NAME names the program"
#endif
#define WERB_WIDE2(x) L##x
#define WERB_WIDE(x) WERB_WIDE2(x)

namespace {

constexpr wchar_t kProgram[] = WERB_WIDE(WERB_PROGRAM_NAME);
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zorvane\\Werbtron";

#ifdef WERB_SHOWS_SETTINGS
// A value in the settings code, decoded; empty when it is not coded (or codes an empty text).
std::wstring Decoded(const wchar_t* value)
{
    char utf8[2048];
    const int n = WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (n <= 1) return {};
    const TOdkodowane d = DekodujWartosc(std::string_view(utf8, static_cast<size_t>(n - 1)), 1, kFlagaUstawien,
                                          kPoziomUstawien);
    if (d.Wynik != TWynikKodu::wkDobrze || d.Tekst.empty()) return {};
    wchar_t wide[2048];
    const int m = MultiByteToWideChar(CP_UTF8, 0, d.Tekst.data(), static_cast<int>(d.Tekst.size()), wide, 2047);
    return std::wstring(wide, m > 0 ? static_cast<size_t>(m) : 0);
}

// Appends "name = value" lines of the string and number values of one key; bounded by the text's size.
void AppendValues(HKEY root, const wchar_t* rootName, wchar_t* text, size_t size)
{
    HKEY key = nullptr;
    // The 32-bit view: the product is a 32-bit program, whatever this sample was built as.
    if (RegOpenKeyExW(root, kSettingsKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) return;
    size_t used = wcslen(text);
    used += static_cast<size_t>(std::swprintf(text + used, size - used, L"\n%ls\\%ls:\n", rootName, kSettingsKey));
    for (DWORD i = 0; used + 1 < size; ++i) {
        wchar_t name[256];
        BYTE data[1024];
        DWORD nameLength = 256, type = 0, dataSize = sizeof data - sizeof(wchar_t);
        const LONG r = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) continue;
        data[dataSize] = data[dataSize + 1] = 0;
        int n = 0;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            const wchar_t* value = reinterpret_cast<wchar_t*>(data);
            const std::wstring decoded = Decoded(value);
            n = decoded.empty()
                    ? std::swprintf(text + used, size - used, L"  %ls = %ls\n", name, value)
                    : std::swprintf(text + used, size - used, L"  %ls = %ls (%ls)\n", name, decoded.c_str(), value);
        }
        else if (type == REG_DWORD && dataSize >= 4)
            n = std::swprintf(text + used, size - used, L"  %ls = %lu\n", name, *reinterpret_cast<DWORD*>(data));
        if (n > 0) used += static_cast<size_t>(n);
    }
    RegCloseKey(key);
}
#endif

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    static wchar_t text[8192];
    std::swprintf(text, sizeof text / sizeof text[0], L"%ls: a sample program of the Werbfranko CD.\n", kProgram);
#ifdef WERB_SHOWS_SETTINGS
    AppendValues(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", text, sizeof text / sizeof text[0]);
    AppendValues(HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", text, sizeof text / sizeof text[0]);
#endif
    MessageBoxW(nullptr, text, kProgram, MB_OK | MB_ICONINFORMATION);
    return 0;
}
