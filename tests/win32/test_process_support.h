// What the tests that start the real installer share: waiting for a condition, the windows and images of
// other processes, files a run left read-only.
#pragma once

#include <windows.h>

#include <tlhelp32.h>
#include <winternl.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

// The command line another process was started with, from its process parameters.
inline std::optional<std::wstring> CommandLineOf(HANDLE process)
{
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                             GetProcAddress(ntdll, "NtQueryInformationProcess")))
                       : nullptr;
    if (!query) return std::nullopt;
    PROCESS_BASIC_INFORMATION pbi{};
    if (query(process, ProcessBasicInformation, &pbi, sizeof pbi, nullptr) != 0 || !pbi.PebBaseAddress)
        return std::nullopt;
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS params{};
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, pbi.PebBaseAddress, &peb, sizeof peb, &got) || !peb.ProcessParameters ||
        !ReadProcessMemory(process, peb.ProcessParameters, &params, sizeof params, &got))
        return std::nullopt;
    std::wstring line(params.CommandLine.Length / sizeof(wchar_t), L'\0');
    if (!line.empty() &&
        !ReadProcessMemory(process, params.CommandLine.Buffer, line.data(), params.CommandLine.Length, &got))
        return std::nullopt;
    return line;
}

// The processes running this image (a name, any case) that the parent started; it may have ended.
inline std::vector<DWORD> ChildrenOf(DWORD parent, const std::wstring& image)
{
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return children;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snapshot, &e); more; more = Process32NextW(snapshot, &e))
        if (e.th32ParentProcessID == parent && lstrcmpiW(e.szExeFile, image.c_str()) == 0)
            children.push_back(e.th32ProcessID);
    CloseHandle(snapshot);
    return children;
}
