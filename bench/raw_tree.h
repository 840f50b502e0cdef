// The bare file loops the benchmarks hold the installer's runs against: a tree copied and a tree deleted
// with nothing but the Win32 file calls, the floor Wine's file layer sets for the same work.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

// Copies the tree below from into the existing folder to, each file through buffer; counts bytes and files.
inline bool RawCopy(const std::wstring& from, const std::wstring& to, std::vector<char>& buffer, long long& bytes,
                    int& files)
{
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &f);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring a = from + L"\\" + name, b = to + L"\\" + name;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = CreateDirectoryW(b.c_str(), nullptr) && RawCopy(a, b, buffer, bytes, files);
            continue;
        }
        HANDLE in = CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        HANDLE out = CreateFileW(b.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD n = 0, w = 0;
        ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE;
        while (ok && ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) && n > 0) {
            ok = WriteFile(out, buffer.data(), n, &w, nullptr) && w == n;
            bytes += n;
        }
        if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
        if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
        ++files;
    } while (ok && FindNextFileW(find, &f));
    FindClose(find);
    return ok;
}

// Deletes the folder and everything below it; counts the files.
inline bool RawDelete(const std::wstring& folder, int& files)
{
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &f);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = RawDelete(path, files);
        } else {
            ok = DeleteFileW(path.c_str()) != FALSE;
            ++files;
        }
    } while (ok && FindNextFileW(find, &f));
    FindClose(find);
    return ok && RemoveDirectoryW(folder.c_str());
}

inline double Seconds(const LARGE_INTEGER& t0, const LARGE_INTEGER& t1)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
}

} // namespace bench
