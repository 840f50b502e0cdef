// Loading a DLL from the system folder and from nowhere else.
#include "ui/SystemLibrary.h"

#include <string>

std::wstring SystemFolderFile(const wchar_t* name)
{
    wchar_t dir[MAX_PATH];
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::wstring(dir, n) + L"\\" + name;
}

HMODULE LoadSystemLibrary(const wchar_t* name, TLoadLibraryEx loadEx)
{
    HMODULE m = loadEx(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (m || GetLastError() != ERROR_INVALID_PARAMETER) return m;
    // The process's own system folder: the DLL must be of the process's own kind.
    const std::wstring path = SystemFolderFile(name);
    return path.empty() ? nullptr : loadEx(path.c_str(), nullptr, 0);
}
