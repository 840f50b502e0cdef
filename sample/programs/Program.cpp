// A sample product program: it shows its own name and, for the main program, the settings it finds.
#include <windows.h>

#include <cwchar>

#ifndef WERB_PROGRAM_NAME
#error "WERB_PROGRAM_NAME names the program"
#endif
#define WERB_WIDE2(x) L##x
#define WERB_WIDE(x) WERB_WIDE2(x)

namespace {

constexpr wchar_t kProgram[] = WERB_WIDE(WERB_PROGRAM_NAME);
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zorvane\\Werbtron";

#ifdef WERB_SHOWS_SETTINGS
// Appends "name = value" lines of the string and number values of one key; bounded by the text's size.
void AppendValues(HKEY root, const wchar_t* rootName, wchar_t* text, size_t size)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
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
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            n = std::swprintf(text + used, size - used, L"  %ls = %ls\n", name, reinterpret_cast<wchar_t*>(data));
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
