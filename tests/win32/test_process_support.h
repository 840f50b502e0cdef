// What the tests that start the real installer share: waiting for a condition, the windows and images of
// other processes, files a run left read-only.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

// Polls until the condition holds; false when the bound of a hang passed first.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

inline void ForceDelete(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

inline std::wstring TextOf(HWND w)
{
    wchar_t buf[256] = {};
    const int n = GetWindowTextW(w, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

inline DWORD ProcessOf(HWND w)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid;
}

inline std::wstring ImageOf(HANDLE process)
{
    wchar_t buf[1024] = {};
    DWORD n = 1024;
    return QueryFullProcessImageNameW(process, 0, buf, &n) ? std::wstring(buf, n) : std::wstring();
}
