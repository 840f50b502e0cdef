// Unattended installation with the real instalator.exe as a separate process: from the CD with its relaunch,
// without any window, with the progress window only and its cancel, and every exit code a script acts on.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "install/Instalacja.h"
#include "install/untInstalFunkcje.h"
#include "install/WinHandle.h"
#include "test_files_support.h"
#include "test_process_support.h"
#include "ui/Unicode.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zorvane\\Werbtron";
constexpr wchar_t kProgramKey[] = L"SOFTWARE\\Zorvane\\Werbix\\Trans";
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
constexpr wchar_t kGroup[] = L"Werbvoltan";
constexpr wchar_t kCdProgram[] = L"D:\\instalator.exe";
constexpr wchar_t kSource[] = L"C:\\werb-zrodlo";
constexpr int kRunMs = 300000;

std::optional<std::wstring> RegString(const wchar_t* key, const wchar_t* name)
{
    wchar_t buf[2048] = {};
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buf);
}

std::optional<DWORD> RegDword(const wchar_t* key, const wchar_t* name)
{
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// The names in a folder, given with or without its trailing backslash.
std::vector<std::wstring> Names(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return NamesIn(folder);
}

std::wstring Group()
{
    return Widen(FolderProgramy(false)) + L"\\" + kGroup;
}

// The relaunch's private folders and the journals of runs: what an ended run must not leave.
std::vector<std::wstring> Leftovers()
{
    std::vector<std::wstring> found;
    for (const std::wstring& name : Names(TempFolder()))
        if (name.rfind(L"werb-", 0) == 0 || name == L"instal.exe" || name == L"delme.bat") found.push_back(name);
    for (const std::wstring& name : Names(KatalogDziennikow()))
        if (name.find(L".dziennik") != std::wstring::npos) found.push_back(name);
    return found;
}

struct Started {
    UniqueHandle Process;
    DWORD Id = 0;
};

Started Start(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    Started run;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return run;
    CloseHandle(pi.hThread);
    run.Process.Reset(pi.hProcess);
    run.Id = pi.dwProcessId;
    return run;
}

DWORD Finish(const Started& run)
{
    if (!run.Process) return 1000;
    if (WaitForSingleObject(run.Process.Get(), kRunMs) != WAIT_OBJECT_0) {
        TerminateProcess(run.Process.Get(), 1001);
        return 1001;
    }
    DWORD code = 1002;
    GetExitCodeProcess(run.Process.Get(), &code);
    return code;
}

DWORD RunToEnd(const std::wstring& program, const std::wstring& arguments)
{
    return Finish(Start(program, arguments));
}

// Whether a process is one of the installer's (the CD's instance or its copy) by its file's name.
bool IsInstaller(DWORD pid)
{
    UniqueHandle p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!p) return false;
    std::wstring image = ImageOf(p.Get());
    CharLowerBuffW(image.data(), static_cast<DWORD>(image.size()));
    const std::wstring name = image.substr(image.find_last_of(L'\\') + 1);
    return name == L"instalator.exe" || name == L"instal.exe" || name == L"deinstalka.exe";
}

BOOL CALLBACK NoteInstallerWindow(HWND w, LPARAM data)
{
    if (IsWindowVisible(w) && IsInstaller(ProcessOf(w)))
        reinterpret_cast<std::set<std::wstring>*>(data)->insert(TextOf(w));
    return TRUE;
}

// Looks at the top-level windows as long as it lives and keeps the caption of every visible one of the installer.
class WindowWatcher {
public:
    WindowWatcher()
        : FThread([this] {
              while (!FStop) {
                  std::set<std::wstring> seen;
                  EnumWindows(NoteInstallerWindow, reinterpret_cast<LPARAM>(&seen));
                  FSeen.insert(seen.begin(), seen.end());
                  Sleep(5);
              }
          })
    {
    }
    ~WindowWatcher() { Stop(); }
    const std::set<std::wstring>& Stop()
    {
        FStop = true;
        if (FThread.joinable()) FThread.join();
        return FSeen;
    }

private:
    std::atomic<bool> FStop{false};
    std::set<std::wstring> FSeen;
    std::thread FThread;
};

struct ButtonSearch {
    std::vector<HWND> Visible;
};

BOOL CALLBACK NoteVisibleButton(HWND w, LPARAM data)
{
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    if (lstrcmpiW(cls, L"Button") == 0 && IsWindowVisible(w))
        reinterpret_cast<ButtonSearch*>(data)->Visible.push_back(w);
    return TRUE;
}

std::vector<HWND> VisibleButtons(HWND top)
{
    ButtonSearch s;
    EnumChildWindows(top, NoteVisibleButton, reinterpret_cast<LPARAM>(&s));
    return s.Visible;
}

struct WindowSearch {
    DWORD Pid;
    std::wstring Caption;
    HWND Found = nullptr;
};

BOOL CALLBACK NoteWindowOf(HWND w, LPARAM data)
{
    auto* s = reinterpret_cast<WindowSearch*>(data);
    if (!IsWindowVisible(w) || ProcessOf(w) != s->Pid || TextOf(w) != s->Caption) return TRUE;
    s->Found = w;
    return FALSE;
}

HWND WaitForWindow(DWORD pid, const std::wstring& caption)
{
    WindowSearch s{pid, caption};
    WaitFor([&] {
        EnumWindows(NoteWindowOf, reinterpret_cast<LPARAM>(&s));
        return s.Found != nullptr;
    }, 60000);
    return s.Found;
}

void Press(HWND button)
{
    EXPECT_TRUE(PostMessageW(button, BM_CLICK, 0, 0));
}

// The files below a folder, as paths.
void FilesBelow(const std::wstring& folder, std::vector<std::wstring>& files)
{
    for (const std::wstring& name : Names(folder)) {
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            FilesBelow(path, files);
        else
            files.push_back(path);
    }
}

class Silent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The product CD on D:, with the installer of this build; whatever this test adds goes again after it.
        const std::wstring cd = ThroughZ(Env(L"WERB_CD"));
        const std::wstring cdrom = ThroughZ(Env(L"WERB_CDROM"));
        if (cd.empty() || cdrom.empty()) return;
        for (const std::wstring& name : Names(cd))
            if (!Exists(cdrom + L"\\" + name)) Added().push_back(name);
        Copy(cd, cdrom);
        ForceDelete(cdrom + L"\\instalator.exe");
        CopyFileW(ThroughZ(Env(L"WERB_INSTALATOR")).c_str(), (cdrom + L"\\instalator.exe").c_str(), FALSE);
        if (std::find(Added().begin(), Added().end(), L"instalator.exe") == Added().end())
            Added().push_back(L"instalator.exe");
        Cdrom() = cdrom;
    }

    static void TearDownTestSuite()
    {
        for (const std::wstring& name : Added()) {
            const std::wstring path = Cdrom() + L"\\" + name;
            if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                ForceDelete(path);
        }
    }

    static void Copy(const std::wstring& from, const std::wstring& to)
    {
        CreateDirectoryW(to.c_str(), nullptr);
        for (const std::wstring& name : Names(from)) {
            const std::wstring a = from + L"\\" + name, b = to + L"\\" + name;
            if (GetFileAttributesW(a.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                Copy(a, b);
            else if (!Exists(b))
                CopyFileW(a.c_str(), b.c_str(), TRUE);
        }
    }

    static std::wstring& Cdrom()
    {
        static std::wstring path;
        return path;
    }
    static std::vector<std::wstring>& Added()
    {
        static std::vector<std::wstring> names;
        return names;
    }

    void SetUp() override
    {
        ASSERT_FALSE(Cdrom().empty()) << "WERB_CD, WERB_CDROM or WERB_INSTALATOR is not set";
        ASSERT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM));
        ASSERT_TRUE(Exists(L"D:\\Werbilo.exe")) << "the product CD did not reach D:";
        // Earlier test programs of this prefix leave an entry of their own runs: this test's start is clean.
        RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"Katalog");
        FInstaller = ThroughZ(Env(L"WERB_INSTALATOR"));
    }

    void TearDown() override
    {
        RemoveTree(kSource);
        for (const std::wstring& folder : FTargets) RemoveTree(folder);
    }

    // A source folder that is the product CD to the installer: its two marker files and files to copy.
    void MakeSource(int files)
    {
        MakeFolder(kSource);
        WriteBytes(std::wstring(kSource) + L"\\Werbilo.exe", "stand-in");
        WriteBytes(std::wstring(kSource) + L"\\UmowaPol.txt", "Umowa");
        MakeFolder(std::wstring(kSource) + L"\\Dane");
        for (int i = 0; i < files; ++i)
            WriteBytes(std::wstring(kSource) + L"\\Dane\\plik" + std::to_wstring(i) + L".txt", std::string(100, 'x'));
    }

    // A run that changed nothing: no folder, no settings, no uninstall entry, no journal or copy left.
    void ExpectNothingLeft(const std::wstring& target)
    {
        EXPECT_FALSE(Exists(target)) << Narrow(target);
        EXPECT_FALSE(RegString(kSettingsKey, L"Katalog"));
        EXPECT_FALSE(RegString(kUninstallKey, L"UninstallString"));
        EXPECT_FALSE(Exists(Group()));
        std::vector<std::wstring> left;
        WaitFor([&] { return (left = Leftovers()).empty(); }, 20000);
        for (const std::wstring& name : left) ADD_FAILURE() << "left behind: " << Narrow(name);
    }

    std::wstring FInstaller;
    std::vector<std::wstring> FTargets;
};

TEST_F(Silent, VerySilentFromTheCdInstallsInFrenchShowsNoWindowLogsEveryFileAndReturnsAfterItsCopy)
{
    const std::wstring target = L"C:\\Gry\\Wérb Łódź 2";
    const std::wstring log = L"C:\\log\\werb.log";
    FTargets = {L"C:\\Gry", L"C:\\log"};
    DWORD code = 0;
    std::set<std::wstring> windows;
    {
        WindowWatcher watcher;
        const Started run = Start(kCdProgram, L"/VERYSILENT /DIR=\"" + target + L"\" /LANG=fr /LOG=\"" + log + L"\"");
        ASSERT_TRUE(run.Process);
        code = Finish(run);
        // The instance started from the CD ends only after its copy, which ran from the temporary folder.
        EXPECT_TRUE(ChildrenOf(run.Id, L"instal.exe").empty());
        windows = watcher.Stop();
    }
    EXPECT_EQ(code, 0u) << "the log:\n" << ReadBytes(log).value_or("(none)");
    for (const std::wstring& w : windows) ADD_FAILURE() << "a window was shown: " << Narrow(w);

    for (const wchar_t* program : {L"Werbika.exe", L"Werbilo.exe", L"SlZewFr.exe", L"SlZewPl.exe", L"DeInstalka.exe"})
        EXPECT_TRUE(Exists(target + L"\\" + program)) << Narrow(program);
    EXPECT_TRUE(Exists(target + L"\\frpol.sz")) << "the dictionaries are installed unless /NODICTIONARIES";
    EXPECT_TRUE(Exists(Group() + L"\\Deinstalator.lnk"));
    EXPECT_EQ(RegDword(kProgramKey, L"JezykInterfejsu"), 2u) << "French";
    EXPECT_EQ(RegString(kUninstallKey, L"DisplayName"), L"Werbfranko");
    EXPECT_EQ(RegString(kUninstallKey, L"QuietUninstallString"),
              L"\"" + target + L"\\DeInstalka.exe\" /SILENT");

    const std::optional<std::string> text = ReadBytes(log);
    ASSERT_TRUE(text) << "no log";
    std::vector<std::wstring> installed;
    FilesBelow(target, installed);
    ASSERT_GT(installed.size(), 10u);
    for (const std::wstring& file : installed) {
        if (file.ends_with(L"DeInstalka.dat")) continue;
        EXPECT_NE(text->find(": " + Narrow(file) + "\r\n"), std::string::npos) << "not in the log: " << Narrow(file);
    }
    EXPECT_NE(text->find("JezykInterfejsu\" = 2"), std::string::npos);
    EXPECT_NE(text->find("Deinstalator.lnk"), std::string::npos);
    EXPECT_TRUE(text->ends_with("Outcome: exit code 0 (installed)\r\n")) << text->substr(text->size() - 200);

    std::vector<std::wstring> left;
    WaitFor([&] { return (left = Leftovers()).empty(); }, 20000);
    for (const std::wstring& name : left) ADD_FAILURE() << "left in the temporary folder: " << Narrow(name);

    // The uninstaller takes it all away again, as quietly.
    EXPECT_EQ(RunToEnd(target + L"\\DeInstalka.exe", L"/VERYSILENT"), 0u);
    WaitFor([&] { return !Exists(target); }, 20000);
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(Exists(Group()));
    EXPECT_FALSE(RegString(kUninstallKey, L"UninstallString"));
}

TEST_F(Silent, SilentShowsOnlyTheProgressWindowWhoseCancelAsksAndYesRollsBackWithCode2)
{
    MakeSource(3000);
    const std::wstring target = L"C:\\Silent\\Werb";
    FTargets = {L"C:\\Silent"};
    const Started run = Start(FInstaller, L"/SILENT /SOURCE=C:\\werb-zrodlo /DIR=" + target);
    ASSERT_TRUE(run.Process);
    const HWND window = WaitForWindow(run.Id, L"Werbfranko - Instalator");
    ASSERT_TRUE(window);
    // The cancel button and nothing of the wizard's pages.
    const std::vector<HWND> buttons = VisibleButtons(window);
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(TextOf(buttons.front()), L"Przerwij");
    Press(buttons.front());
    const HWND question = WaitForWindow(run.Id, L"Uwaga");
    ASSERT_TRUE(question) << "Cancel did not ask";
    HWND yes = nullptr;
    for (HWND b : VisibleButtons(question))
        if (TextOf(b) == L"Tak") yes = b;
    ASSERT_TRUE(yes);
    Press(yes);
    EXPECT_EQ(Finish(run), 2u);
    ExpectNothingLeft(target);
}

TEST_F(Silent, EachOutcomeHasItsExitCodeAndLeavesNothingBehind)
{
    const std::wstring target = L"C:\\Werb-kody\\Werbfranko";
    FTargets = {L"C:\\Werb-kody"};
    const std::wstring quiet = L"/VERYSILENT /DIR=" + target + L" ";

    // A mistake is told before the relaunch: no copy is made for it.
    EXPECT_EQ(RunToEnd(kCdProgram, L"/SUPPRESSMSGBOXES /LOG=C:\\werb-kody.log /FOO"), 1u);
    const std::optional<std::string> log = ReadBytes(L"C:\\werb-kody.log");
    ForceDelete(L"C:\\werb-kody.log");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("/FOO"), std::string::npos);
    EXPECT_EQ(RunToEnd(FInstaller, L"/VERYSILENT /DIR"), 1u);
    EXPECT_EQ(RunToEnd(FInstaller, quiet + L"/LANG=de"), 1u);
    ExpectNothingLeft(target);

    // A source without the product's marker files.
    MakeFolder(kSource);
    EXPECT_EQ(RunToEnd(kCdProgram, quiet + L"/SOURCE=C:\\werb-zrodlo"), 5u);
    ExpectNothingLeft(target);

    // Another installation holds the product.
    MakeSource(20);
    ASSERT_TRUE(ZajmijInstalacje());
    EXPECT_EQ(RunToEnd(FInstaller, quiet + L"/SOURCE=C:\\werb-zrodlo"), 6u);
    ZwolnijInstalacje();
    ExpectNothingLeft(target);

    // A CD file that cannot be read fails the copy, which is rolled back.
    const UniqueHandle locked(CreateFileW(L"C:\\werb-zrodlo\\Dane\\plik7.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          0, nullptr));
    ASSERT_TRUE(locked);
    EXPECT_EQ(RunToEnd(FInstaller, quiet + L"/SOURCE=C:\\werb-zrodlo"), 3u);
    ExpectNothingLeft(target);
}

// Drive T: of 1 MB (scripts/with-small-disk): the space check refuses before anything is copied.
TEST_F(Silent, TooLittleSpaceIsCode4)
{
    const std::wstring disk = Env(L"WERB_SMALL_DISK");
    if (disk.empty()) GTEST_SKIP() << "no small disk here (mounting needs root)";
    MakeSource(20);
    const std::wstring target = disk + L"\\Werbfranko";
    EXPECT_EQ(RunToEnd(FInstaller, L"/VERYSILENT /SOURCE=C:\\werb-zrodlo /DIR=" + target), 4u);
    ExpectNothingLeft(target);
}

} // namespace
