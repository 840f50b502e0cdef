// The uninstallation as the system's list of programs starts it: the uninstall entry's command line, the
// uninstaller's question and closing message answered, then what is left of the product read back.
#include <windows.h>

#include <optional>

#include "Checks.h"
#include "Desktop.h"
#include "ReadBack.h"
#include "Stages.h"
#include "install/ProductView.h"
#include "install/Produkt.h"
#include "install/WinHandle.h"
#include "texts/Format.h"
#include "ui/Unicode.h"
#include "uninstall/TekstyDeinstalki.h"

namespace {

const wchar_t kForm[] = L"WerbForm";

class TDeinstalacja {
public:
    explicit TDeinstalacja(const TDemoArgs& args) : FArgs(args), FChecks(args.Expect), FState(ReadState(args.State))
    {
    }
    int Run();
    int RunSilent();

private:
    std::string U(TTekstDeinstalki n) const { return std::string(TekstDeinstalki(FArgs.Jezyk, n)); }
    std::string Tytul() const { return OpisProduktu(1)->Tytul; }
    // The uninstaller's dialog whose first button has this caption; its label's text in tekst.
    HWND Dialog(const std::string& button, std::string& tekst, DWORD pid);
    bool Start();
    bool Answer();
    void Gone();

    const TDemoArgs& FArgs;
    TChecks FChecks;
    TState FState;
    DWORD FCopy = 0;
};

HWND TDeinstalacja::Dialog(const std::string& button, std::string& tekst, DWORD pid)
{
    const std::string caption = PobierzTekst(FArgs.Jezyk, txtAttention);
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND f : TopLevel(kForm, &caption))
            if ((!pid || ProcessOf(f) == pid) && VisibleChild(f, L"Button", button)) found = f;
        return found != nullptr;
    });
    tekst.clear();
    if (found)
        for (HWND l : VisibleChildren(found, L"WerbLabel")) tekst += TextOf(l);
    return found;
}

bool TDeinstalacja::Start()
{
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
    const std::optional<RegString> command = ReadRegString(HKEY_CURRENT_USER, key, L"UninstallString");
    if (!FChecks.Check("uninstall", command.has_value(),
                       "the uninstall entry's command line: " + (command ? Narrow(command->Text) : "missing")))
        return false;
    // As the list of programs starts it: a new process of the command line, without this console.
    std::wstring line = command->Text;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const bool started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi);
    if (!FChecks.Check("uninstall", started, "started it")) return false;
    UniqueHandle process(pi.hProcess), thread(pi.hThread);

    std::string asked;
    HWND question = Dialog(PobierzTekst(FArgs.Jezyk, txtYes), asked, 0);
    if (!FChecks.Check("uninstall", question != nullptr, "the uninstaller asks: \"" + asked + "\"")) return false;
    FCopy = ProcessOf(question);
    const std::wstring image = ImageOfProcess(FCopy);
    std::wstring name;
    FChecks.Check("uninstall", FCopy != pi.dwProcessId && InRelaunchFolder(image, &name) && SamePath(name, L"DeInstalka.exe"),
                  "it asks from its copy in a folder of its own in the temporary folder: " + Narrow(image));
    FChecks.Check("uninstall", asked == Format(U(tdPytanie), {Tytul()}), "in the interface language of the installation");
    FChecks.Check("uninstall", WaitForProcessEnd(pi.dwProcessId), "the instance started from the target folder has ended");
    // The uninstaller's own window lies under the question: the picture shows both.
    const std::string window = Format(U(tdTytul), {Tytul()});
    RECT area{};
    GetWindowRect(question, &area);
    for (HWND under : TopLevel(kForm, &window)) {
        RECT w{};
        GetWindowRect(under, &w);
        UnionRect(&area, &area, &w);
    }
    Screenshot(FArgs.Shots, "uninstall-question", area);
    Click(VisibleChild(question, L"Button", PobierzTekst(FArgs.Jezyk, txtYes)));
    return true;
}

bool TDeinstalacja::Answer()
{
    std::string said;
    HWND closing = Dialog("OK", said, FCopy);
    if (!FChecks.Check("uninstall", closing != nullptr, "the uninstaller ends with a message")) return false;
    Print("== the uninstaller's closing message");
    for (std::size_t od = 0; od <= said.size();) {
        const std::size_t koniec = std::min(said.find("\r\n", od), said.size());
        Print("  | " + said.substr(od, koniec - od));
        od = koniec + 2;
    }
    FChecks.Check("uninstall", said.rfind(Format(U(tdUsunietoWszystko), {Tytul()}), 0) == 0,
                  "it says that everything was removed");
    Screenshot(FArgs.Shots, "uninstall-result", closing);
    Click(VisibleChild(closing, L"Button", "OK"));
    FChecks.Check("uninstall", WaitForProcessEnd(FCopy), "the uninstaller has ended");
    return true;
}

void TDeinstalacja::Gone()
{
    Print("== what is left of the product");
    const std::wstring target = Widen(FState["target"]);
    // A quiet uninstallation's last copy removes the uninstaller and its folder once the first instance has ended.
    WaitUntil([&] { return !target.empty() && !FolderExists(target); }, 30000);
    FChecks.Check("uninstall", !target.empty() && !FolderExists(target), "the target folder " + Narrow(target) + " is gone");
    const std::wstring shellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const std::optional<RegString> programs = ReadRegString(HKEY_CURRENT_USER, shellFolders, L"Programs");
    const std::wstring group = programs ? Join(programs->Text, L"Werbvoltan") : L"";
    FChecks.Check("uninstall", programs && !FolderExists(group), "the Start-menu group " + Narrow(group) + " is gone");
    for (auto [root, name, key] : {std::tuple{HKEY_CURRENT_USER, "HKCU", L"SOFTWARE\\Zorvane"},
                                   std::tuple{HKEY_LOCAL_MACHINE, "HKLM", L"SOFTWARE\\Zorvane"},
                                   std::tuple{HKEY_CURRENT_USER, "HKCU",
                                              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron"}})
        FChecks.Check("uninstall", !KeyExists(root, key), std::string(name) + "\\" + Narrow(key) + " is gone");
    // The batch file deletes the copy once it has ended, then itself, then their folder.
    std::string left;
    const std::wstring folders = RelaunchFolders();
    WaitUntil([&] { return (left = InTemp({L"*DeInstalka.exe", L"*delme.bat", folders.c_str()})).empty(); });
    FChecks.Check("uninstall", left.empty(),
                  left.empty() ? "%TEMP% holds no copy of the uninstaller, no batch file and no folder of a copy"
                               : "left in %TEMP%:" + left);
    // Shared system files are the system's from now on: other programs may use them.
    const std::wstring system = ProductSystemFolder();
    for (const TSystemFile& s : kSystemFiles)
        FChecks.Note(Narrow(Join(system, s.Name)) + (FileExists(Join(system, s.Name)) ? ": stays (shared)" : ": absent"));
}

int TDeinstalacja::Run()
{
    if (Start() && Answer()) Gone();
    return FChecks.Finish("uninstall");
}

int TDeinstalacja::RunSilent()
{
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
    const std::optional<RegString> quiet = ReadRegString(HKEY_CURRENT_USER, key, L"QuietUninstallString");
    const std::optional<RegString> normal = ReadRegString(HKEY_CURRENT_USER, key, L"UninstallString");
    DWORD code = 0;
    if (FChecks.Check("silent", quiet && normal && quiet->Text == normal->Text + L" /SILENT",
                      "the uninstall entry's quiet command line: " + (quiet ? Narrow(quiet->Text) : "missing")) &&
        RunUnattended(quiet->Text + L" /SUPPRESSMSGBOXES", "silent", FChecks, code, false)) {
        FChecks.Check("silent", code == 0, "exit code " + std::to_string(code) + " once its copy has ended");
        Gone();
    }
    return FChecks.Finish("silent uninstall");
}

} // namespace

int UninstallSilently(const TDemoArgs& args)
{
    TDeinstalacja deinstalacja(args);
    return deinstalacja.RunSilent();
}

int Uninstall(const TDemoArgs& args)
{
    TDeinstalacja deinstalacja(args);
    return deinstalacja.Run();
}
