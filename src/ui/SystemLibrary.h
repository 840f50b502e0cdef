// Loading a DLL from the system folder and from nowhere else: DLLs that are not known DLLs, taken by bare name,
// would be searched next to the program first (the CD's folder, the temporary folder) before the system.
#pragma once

#include <windows.h>

#include <string>

// The full path of a file in the process's own system folder; empty when the system names none.
std::wstring SystemFolderFile(const wchar_t* name);

using TLoadLibraryEx = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);

// LOAD_LIBRARY_SEARCH_SYSTEM32; where the loader refuses that flag (Windows 7 without the loader update), the
// full path in the system folder. loadEx stands in for LoadLibraryExW in the tests.
HMODULE LoadSystemLibrary(const wchar_t* name, TLoadLibraryEx loadEx = LoadLibraryExW);
