// The administrator's installation: D:\instalator.exe with /VERYSILENT into a folder of its own, watched for any
// window of the installer, its exit code and log read; the report then reads back what it installed.
#include <windows.h>

#include <string>
#include <thread>

#include "Checks.h"
#include "Desktop.h"
#include "Stages.h"
#include "install/WinHandle.h"
#include "ui/Unicode.h"

namespace {

// Whether a process is the installer's (the CD's instance or its copy) or the uninstaller's.
bool OfTheProduct(DWORD pid)
{
    const std::wstring image = ImageOfProcess(pid);
    const std::wstring name = image.substr(image.find_last_of(L'\\') + 1);
    return SamePath(name, L"instalator.exe") || SamePath(name, L"instal.exe") || SamePath(name, L"DeInstalka.exe");
}

BOOL CALLBACK NoteProductWindow(HWND w, LPARAM data)
{
    if (IsWindowVisible(w) && OfTheProduct(ProcessOf(w))) *reinterpret_cast<std::string*>(data) = TextOf(w);
    return TRUE;
}

} // namespace

bool RunUnattended(const std::wstring& commandLine, const char* feature, TChecks& checks, unsigned long& exitCode,
                   bool windowless)
{
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!checks.Check(feature, CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                                              nullptr, nullptr, &si, &pi),
                      "started: " + Narrow(commandLine)))
        return false;
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    // Every few milliseconds until it ends: a window that flashes up for a moment counts too.
    std::string shown;
    while (WaitForSingleObject(process.Get(), 5) == WAIT_TIMEOUT) {
        std::string now;
        EnumWindows(NoteProductWindow, reinterpret_cast<LPARAM>(&now));
        if (!now.empty() && shown.empty()) shown = now;
    }
    exitCode = 1000;
    GetExitCodeProcess(process.Get(), &exitCode);
    if (windowless)
        checks.Check(feature, shown.empty(),
                     shown.empty() ? "no window of ours was ever visible" : "a window was shown: \"" + shown + "\"");
    else
        checks.Note(shown.empty() ? "it showed no window" : "its window: \"" + shown + "\"");
    return true;
}

int Silent(const TDemoArgs& args)
{
    TChecks checks(args.Expect);
    // The system files as they were before the wizard's pass, when it noted them: the report compares with that.
    TState state = ReadState(args.State);
    if (state.empty()) state = StateBefore(args.Jezyk);
    // Another folder than the wizard's, with letters of both languages.
    const std::string target = "C:\\Gry\\W\xC3\xA9rb \xC5\x81\xC3\xB3" "d\xC5\xBA 2";
    const std::string log = "C:\\werb-demo\\instalacja.log";
    state["target"] = target;
    WriteState(args.State, state);

    const std::string lang = args.Jezyk == jzFrancuski ? "fr" : "pl";
    const std::wstring command = L"D:\\instalator.exe /VERYSILENT /DIR=\"" + Widen(target) + L"\" /LANG=" +
                                 Widen(lang) + L" /LOG=\"" + Widen(log) + L"\"";
    Print("== " + Narrow(command));
    DWORD code = 0;
    if (RunUnattended(command, "silent", checks, code, true)) {
        checks.Check("silent", code == 0, "exit code " + std::to_string(code) + " once its copy has ended");
        const std::optional<std::string> text = ReadWholeFile(Widen(log));
        int copied = 0;
        for (std::size_t at = 0; text && (at = text->find("File copied: ", at)) != std::string::npos; ++at) ++copied;
        checks.Check("silent", text && copied > 10, "the log " + log + " names " + std::to_string(copied) +
                                                        " copied files");
        const std::string end = "Outcome: exit code 0 (installed)\r\n";
        checks.Check("silent", text && text->ends_with(end), "the log ends with \"" + end.substr(0, end.size() - 2) + "\"");
    }
    return checks.Finish("silent");
}
