// File and environment helpers the Windows tests share: ctest's Unix paths through Z:, whole-file reads.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "install/WinHandle.h"

inline std::wstring Env(const wchar_t* name)
{
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    const DWORD m = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(m < n ? m : 0);
    return value;
}

// A Unix path from ctest as Wine sees it through Z:.
inline std::wstring ThroughZ(const std::wstring& unix)
{
    if (unix.empty()) return {};
    std::wstring p = L"Z:";
    for (wchar_t c : unix) p += (c == L'/') ? L'\\' : c;
    return p;
}

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::optional<std::string> ReadBytes(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string data;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
    return data;
}

inline bool WriteBytes(const std::wstring& path, const std::string& data)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    DWORD written = 0;
    return file && WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
}

// %TEMP% with its trailing backslash; empty when the system gives none.
inline std::wstring TempFolder()
{
    wchar_t buf[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) return {};
    std::wstring p(buf, n);
    if (p.back() != L'\\') p += L'\\';
    return p;
}
