// Where a 32-bit program looks: the product is one, whatever the build of the program that installs it.
#pragma once

#include <windows.h>

#include <string>

// Added to every registry access of the product's keys: on 64-bit Windows the 32-bit view of HKEY_LOCAL_MACHINE
// (Wow6432Node), where the product reads its settings; 32-bit Windows ignores it.
inline constexpr REGSAM kProductView = KEY_WOW64_32KEY;

// The system folder of 32-bit programs: SysWOW64 on 64-bit Windows, the system folder on 32-bit Windows.
// Without a trailing backslash; empty when the system names none.
std::wstring ProductSystemFolder();

// "ProgramFilesDir" as a 32-bit program reads it ("C:\Program Files (x86)" on 64-bit Windows), unexpanded;
// empty when missing.
std::wstring ProductProgramFiles();

// RegGetValueW of a value in the product's view.
LSTATUS GetProductValue(HKEY root, const wchar_t* key, const wchar_t* value, DWORD flags, DWORD* type, void* data,
                        DWORD* size);

// Deletes an empty key of the product's view (RegDeleteKeyW would always take the caller's own view).
LSTATUS DeleteProductKey(HKEY root, const wchar_t* key);
