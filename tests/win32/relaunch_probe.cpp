// Test helper: relaunches itself through UruchomKopie, or, started with "/doit", reports how it was started.
//
// Without "/doit": UruchomKopie(own path, "instal.exe", "/doit"); the exit code is 0 for true, 1 for false.
// With "/doit": writes copy.txt into %WERB_PROBE_OUT% (UTF-8 lines: own path, current folder, command line,
// then one line per argument), then waits until a file "release" appears there (30 s at most) and exits.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "install/WinHandle.h"
#include "install/untInstalFunkcje.h"
#include "ui/Unicode.h"

namespace {

std::wstring OutFolder()
{
    wchar_t buf[1024] = {};
    const DWORD n = GetEnvironmentVariableW(L"WERB_PROBE_OUT", buf, 1024);
    if (n == 0 || n >= 1024) return {};
    std::wstring folder(buf, n);
    if (folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring CurrentFolder()
{
    wchar_t buf[1024] = {};
    const DWORD n = GetCurrentDirectoryW(1024, buf);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

bool WriteReport(const std::wstring& folder, int argc, wchar_t** argv)
{
    std::string text = SciezkaAplikacji() + "\n" + Narrow(CurrentFolder()) + "\n" + Narrow(GetCommandLineW()) + "\n";
    for (int i = 1; i < argc; ++i) text += Narrow(argv[i]) + "\n";
    // Written under another name and renamed, so that the test never reads half a report.
    const std::wstring part = folder + L"copy.part";
    {
        UniqueHandle file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file) return false;
        DWORD written = 0;
        if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size())
            return false;
    }
    return MoveFileExW(part.c_str(), (folder + L"copy.txt").c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

int RunAsCopy(int argc, wchar_t** argv)
{
    const std::wstring folder = OutFolder();
    if (folder.empty() || !WriteReport(folder, argc, argv)) return 3;
    const std::wstring release = folder + L"release";
    for (int i = 0; i < 300; ++i) {
        if (GetFileAttributesW(release.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
        Sleep(100);
    }
    return 4;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    const bool copy = argc > 1 && std::wstring(argv[1]) == L"/doit";
    const int result = copy ? RunAsCopy(argc, argv) : (UruchomKopie(SciezkaAplikacji(), "instal.exe", "/doit") ? 0 : 1);
    LocalFree(argv);
    return result;
}
