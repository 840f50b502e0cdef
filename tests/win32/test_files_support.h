// File and environment helpers the Windows tests share: ctest's Unix paths through Z:, whole-file reads.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "install/WinHandle.h"
#include "ui/Unicode.h"

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

// Removes a file or a folder tree; read-only and hidden entries too.
// The entry names of a folder (given with its trailing backslash), sorted; empty when it cannot be listed.
inline std::vector<std::wstring> NamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

inline void RemoveTree(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW d{};
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring n = d.cFileName;
            if (n != L"." && n != L"..") RemoveTree(path + L"\\" + n);
        } while (FindNextFileW(h, &d));
        FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
}

// A file of exactly size bytes; sizes beyond a few MB stay sparse (end of file moved, nothing written).
inline void MakeFile(const std::wstring& path, std::int64_t size, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << Narrow(path);
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    ASSERT_TRUE(ok) << Narrow(path) << " size " << size;
}

inline std::int64_t SizeOnWindowsSide(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow);
}

inline void MakeFolder(const std::wstring& path)
{
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << Narrow(path);
}

// Files and folders made under a root for one test, removed again in reverse when it ends, however it ends.
class Tree {
public:
    explicit Tree(std::wstring root) : FRoot(std::move(root)) {}
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    ~Tree()
    {
        for (auto it = FMade.rbegin(); it != FMade.rend(); ++it) RemoveTree(*it);
    }
    std::wstring Path(const std::wstring& relative) const { return FRoot + relative; }
    void File(const std::wstring& relative, std::int64_t size, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
    {
        FMade.push_back(Path(relative));
        MakeFile(Path(relative), size, attributes);
    }
    void Folder(const std::wstring& relative)
    {
        FMade.push_back(Path(relative));
        MakeFolder(Path(relative));
    }
    // A path that the code under test may create; removed at the end as well.
    std::wstring Adopt(const std::wstring& relative)
    {
        FMade.push_back(Path(relative));
        RemoveTree(Path(relative));
        return Path(relative);
    }

private:
    std::wstring FRoot;
    std::vector<std::wstring> FMade;
};

// The batch file the relaunch leaves in the copy's folder for these names in it: it deletes the copy a second
// apart, 60 times at most, then itself.
inline std::string ExpectedDeletingBatch(const std::string& copy, const std::string& batch)
{
    return "set /a werbtries=0\r\n:repeat\r\ndel \"" + copy + "\"\r\nif exist \"" + copy +
           "\" if %werbtries% lss 60 (set /a werbtries+=1 >nul & ping -n 2 127.0.0.1 >nul & goto repeat)\r\n"
           "del \"" + batch + "\"\r\n";
}
