// What the demo's user sees and touches: windows found by class and caption, their texts, clicks, processes.
#include "Desktop.h"

#include <tlhelp32.h>

#include <cstdlib>

#include "install/untInstalFunkcje.h"
#include "ui/Unicode.h"

void Print(const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring ClassOf(HWND w)
{
    wchar_t buf[64] = {};
    const int n = GetClassNameW(w, buf, 64);
    return std::wstring(buf, n > 0 ? n : 0);
}

std::string TextOf(HWND w)
{
    wchar_t buf[1024] = {};
    const int n = GetWindowTextW(w, buf, 1024);
    return Narrow(std::wstring_view(buf, n > 0 ? n : 0));
}

std::string ControlText(HWND w)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length)) return {};
    std::wstring buf(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                             10000, &got))
        return {};
    buf.resize(got < buf.size() ? got : buf.size() - 1);
    return Narrow(buf);
}

DWORD ProcessOf(HWND w)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid;
}

namespace {

struct Search {
    const wchar_t* Class;
    const std::string* Text;
    std::vector<HWND> Found;
};

BOOL CALLBACK Note(HWND w, LPARAM data)
{
    auto* s = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(w)) return TRUE;
    if (s->Class && lstrcmpiW(ClassOf(w).c_str(), s->Class) != 0) return TRUE;
    if (s->Text && TextOf(w) != *s->Text) return TRUE;
    s->Found.push_back(w);
    return TRUE;
}

} // namespace

std::vector<HWND> TopLevel(const wchar_t* windowClass, const std::string* caption)
{
    Search s{windowClass, caption, {}};
    EnumWindows(Note, reinterpret_cast<LPARAM>(&s));
    return s.Found;
}

HWND VisibleChild(HWND top, const wchar_t* windowClass, const std::string& text)
{
    Search s{windowClass, &text, {}};
    EnumChildWindows(top, Note, reinterpret_cast<LPARAM>(&s));
    return s.Found.empty() ? nullptr : s.Found.front();
}

std::vector<HWND> VisibleChildren(HWND top, const wchar_t* windowClass)
{
    Search s{windowClass, nullptr, {}};
    EnumChildWindows(top, Note, reinterpret_cast<LPARAM>(&s));
    return s.Found;
}

// WERB_WAIT_SCALE stretches every limit: a program under emulation starts in a minute, not in a second.
ULONGLONG Scaled(DWORD limitMs)
{
    static const ULONGLONG scale = [] {
        wchar_t buf[16] = {};
        const DWORD n = GetEnvironmentVariableW(L"WERB_WAIT_SCALE", buf, 16);
        const long v = n > 0 && n < 16 ? wcstol(buf, nullptr, 10) : 1;
        return static_cast<ULONGLONG>(v >= 1 && v <= 100 ? v : 1);
    }();
    return limitMs * scale;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs)
{
    const ULONGLONG end = GetTickCount64() + Scaled(limitMs);
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > end) return false;
        Sleep(100);
    }
}

void Screenshot(bool shots, const char* name, HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    Screenshot(shots, name, r);
}

void Screenshot(bool shots, const char* name, RECT r)
{
    if (!shots) return;
    Print(std::string("@shot ") + name + " " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
          std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top));
    char c = 0;
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) && got == 1 && c != '\n') {
    }
}

void Click(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool Checked(HWND button)
{
    DWORD_PTR state = 0;
    return SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 10000, &state) &&
           state == BST_CHECKED;
}

std::wstring ImageOfProcess(DWORD pid)
{
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) return {};
    wchar_t buf[MAX_PATH * 2] = {};
    DWORD n = MAX_PATH * 2;
    const bool ok = QueryFullProcessImageNameW(h, 0, buf, &n);
    CloseHandle(h);
    return ok ? std::wstring(buf, n) : std::wstring();
}

std::vector<DWORD> ProcessesNamed(const wchar_t* exeName)
{
    std::vector<DWORD> found;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e))
        if (lstrcmpiW(e.szExeFile, exeName) == 0) found.push_back(e.th32ProcessID);
    CloseHandle(snap);
    return found;
}

bool WaitForProcessEnd(DWORD pid, DWORD limitMs)
{
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return true;
    const ULONGLONG limit = Scaled(limitMs);
    const bool ended = WaitForSingleObject(h, limit >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(limit)) ==
                       WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring LongPath(const std::wstring& path)
{
    wchar_t buf[MAX_PATH * 2] = {};
    const DWORD n = GetLongPathNameW(path.c_str(), buf, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buf, n) : path;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty()) return name;
    return folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

bool FileExists(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> ReadWholeFile(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string data;
    char buf[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr)) && got > 0) data.append(buf, got);
    CloseHandle(h);
    if (!ok) return std::nullopt;
    return data;
}

std::string InTemp(std::initializer_list<const wchar_t*> patterns)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::string names;
    for (const wchar_t* pattern : patterns) {
        WIN32_FIND_DATAW f{};
        HANDLE h = FindFirstFileW(Join(temp, pattern).c_str(), &f);
        if (h == INVALID_HANDLE_VALUE) continue;
        do names += " " + Narrow(f.cFileName);
        while (FindNextFileW(h, &f));
        FindClose(h);
    }
    return names;
}

std::wstring RelaunchFolders()
{
    return Widen(kRelaunchFolderPrefix) + L"*" + Widen(kRelaunchFolderSuffix);
}

bool InRelaunchFolder(const std::wstring& path, std::wstring* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring full = LongPath(path);
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash == 0) return false;
    const size_t parentSlash = full.find_last_of(L'\\', slash - 1);
    if (parentSlash == std::wstring::npos) return false;
    const std::wstring folder = full.substr(parentSlash + 1, slash - parentSlash - 1);
    const std::wstring prefix = Widen(kRelaunchFolderPrefix), suffix = Widen(kRelaunchFolderSuffix);
    if (name) *name = full.substr(slash + 1);
    return SamePath(full.substr(0, parentSlash + 1), LongPath(temp)) && folder.size() > prefix.size() + suffix.size() &&
           SamePath(folder.substr(0, prefix.size()), prefix) &&
           SamePath(folder.substr(folder.size() - suffix.size()), suffix);
}

std::string FileVersionOf(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::string block(size, '\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
    struct Translation {
        WORD Language, CodePage;
    };
    Translation* t = nullptr;
    UINT n = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&t), &n) ||
        n < sizeof *t)
        return {};
    wchar_t key[64];
    wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileVersion", t->Language, t->CodePage);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&value), &n) || !value) return {};
    return Narrow(value);
}

std::pair<int, int> MajorMinor(const std::string& version)
{
    auto field = [&](size_t from, size_t to) {
        const std::string s = version.substr(from, to == std::string::npos ? std::string::npos : to - from);
        char* end = nullptr;
        const long v = std::strtol(s.c_str(), &end, 10);
        return end && *end == '\0' && !s.empty() && v >= 0 ? static_cast<int>(v) : 0;
    };
    const size_t dot = version.find('.');
    if (dot == std::string::npos) return {field(0, std::string::npos), 0};
    const size_t next = version.find('.', dot + 1);
    return {field(0, dot), field(dot + 1, next)};
}
