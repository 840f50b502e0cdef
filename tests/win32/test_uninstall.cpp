// The uninstallation for real: a complete installation through the wizard from D:, its record, then the
// uninstaller in this process (its dialogs answered through the test hook) and as the system's list of programs
// starts it, from the uninstall entry's command line; runs ended at each step (this program started again) and
// the next run that finishes them; the prefix's files and registry before and after.
#include "test_rights_support.h"
#include "test_settings_support.h"
#include "test_wizard_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "demo-driver/Desktop.h"
#include "install/Produkt.h"
#include "texts/Format.h"
#include "unattended/Polecenie.h"
#include "uninstall/Sha256.h"
#include "uninstall/TekstyDeinstalki.h"
#include "uninstall/untDeinstalka.h"

namespace {

// ---- the prefix before and after: the folders an installation touches, and the software keys ----

using Snapshot = std::set<std::wstring>;

void NoteTree(const std::wstring& folder, Snapshot& out)
{
    WIN32_FIND_DATAW f{};
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.insert(path + L"\\");
            NoteTree(path, out);
        } else {
            out.insert(path + L" " + std::to_wstring((ULONGLONG(f.nFileSizeHigh) << 32) | f.nFileSizeLow));
        }
    } while (FindNextFileW(h, &f));
    FindClose(h);
}

void NoteKey(HKEY root, const std::wstring& name, const std::wstring& key, Snapshot& out)
{
    UniqueRegKey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, k.Receive()) != ERROR_SUCCESS) return;
    out.insert(name + L"\\" + key);
    for (DWORD i = 0;; ++i) {
        wchar_t value[16384];
        DWORD length = 16384, type = 0, size = 0;
        if (RegEnumValueW(k.Get(), i, value, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::string data(size, '\0');
        length = 16384;
        RegEnumValueW(k.Get(), i, value, &length, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        out.insert(name + L"\\" + key + L" \"" + value + L"\" " + std::to_wstring(type) + L" " +
                   Widen(Sha256Hex(data.substr(0, size))));
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD length = 256;
        if (RegEnumKeyExW(k.Get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(sub, length);
    }
    for (const std::wstring& s : subkeys) NoteKey(root, name, key + L"\\" + s, out);
}

// What an installation of the product may touch: %TEMP% (the targets of these tests, the uninstaller's copy),
// the Program Files and Start-menu folders, and the software keys of both roots (less the class registrations
// and Wine's own, which the system keeps).
Snapshot Prefix()
{
    Snapshot s;
    std::wstring temp = TempFolder();
    temp.pop_back();
    // Not the desktop: Wine links it to the Unix home folder. The product makes no desktop links.
    for (const std::wstring& folder :
         {temp, ShellPath(CSIDL_PROGRAMS), ShellPath(CSIDL_COMMON_PROGRAMS), ShellPath(CSIDL_PROGRAM_FILES),
          ShellPath(CSIDL_PROGRAM_FILESX86)})
        if (!folder.empty()) NoteTree(folder, s);
    for (auto [root, name] : {std::pair{HKEY_CURRENT_USER, L"HKCU"}, std::pair{HKEY_LOCAL_MACHINE, L"HKLM"}}) {
        UniqueRegKey software;
        // The 64-bit view holds the 32-bit one too, as its Wow6432Node.
        if (RegOpenKeyExW(root, L"Software", 0, KEY_READ | KEY_WOW64_64KEY, software.Receive()) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0;; ++i) {
            wchar_t sub[256];
            DWORD length = 256;
            if (RegEnumKeyExW(software.Get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            const std::wstring key = sub;
            if (!SameText(key, L"Classes") && !SameText(key, L"Wine")) NoteKey(root, name, L"Software\\" + key, s);
        }
    }
    return s;
}

// The entries of one snapshot that the other lacks, one a line.
std::string Lacking(const Snapshot& of, const Snapshot& in)
{
    std::string out;
    for (const std::wstring& e : of)
        if (!in.count(e)) out += "\n  " + Narrow(e);
    return out;
}

// ---- a run of the uninstaller ended at a step: this program again, as the next run ----

// How the child run ended, as its exit code.
constexpr UINT kKilled = 0xDEAD;       // ended by itself at the step it was told, nothing cleaned up
constexpr UINT kNothingToStart = 2;    // neither the uninstall entry nor the target folder starts an uninstaller
constexpr UINT kRefused = 3;           // no record and no finished run's rest: the uninstaller removes nothing
constexpr UINT kAskedChanged = 4;      // it asked about changed files: only the installation's own are there
constexpr UINT kLeftSomething = 5;     // it finished but kept or deferred something

// A line of the child's output: "step<TAB>what comes next".
constexpr char kStepLine[] = "step\t";

void Say(const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The uninstaller a user starts: the uninstall entry's command line while it exists, else the one in the
// target folder; empty when neither is there.
std::wstring UninstallerAUserStarts(const std::wstring& target)
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        if (const std::optional<RegString> command = ReadRegString(root, kUninstallKey, L"UninstallString")) {
            std::wstring file = command->Text;
            if (file.size() >= 2 && file.front() == L'"' && file.back() == L'"') file = file.substr(1, file.size() - 2);
            return Exists(file) ? file : std::wstring();
        }
    const std::wstring own = target + L"\\DeInstalka.exe";
    return Exists(own) ? own : std::wstring();
}

// The system's list of what it moves or deletes at the next restart, given back as it was.
class PendingRenames {
public:
    PendingRenames() : FBefore(Now()) {}
    PendingRenames(const PendingRenames&) = delete;
    PendingRenames& operator=(const PendingRenames&) = delete;
    ~PendingRenames()
    {
        if (FBefore)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSession, kPending, REG_MULTI_SZ, FBefore->data(),
                            static_cast<DWORD>(FBefore->size() * sizeof(wchar_t)));
        else
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSession, kPending);
    }

    static std::optional<std::wstring> Now()
    {
        DWORD size = 0;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kSession, kPending, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        std::wstring data(size / sizeof(wchar_t), L'\0');
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kSession, kPending, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        data.resize(size / sizeof(wchar_t));
        return data;
    }

private:
    static constexpr wchar_t kSession[] = L"System\\CurrentControlSet\\Control\\Session Manager";
    static constexpr wchar_t kPending[] = L"PendingFileRenameOperations";
    std::optional<std::wstring> FBefore;
};

// A Unix command run from a folder of the prefix: Wine makes no symbolic link itself, but shows one made on the
// Unix side as a reparse point. Started from Wine, the command gives no process to wait for: done says when it
// has run. False when it did not start or done stayed false for 10 s.
bool UnixCommand(const std::wstring& folder, std::wstring line, const std::function<bool()>& done)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return false;
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    for (int i = 0; i < 200; ++i) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

bool IsLink(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A folder of the Unix side removed with what it holds, links included (not followed).
bool RemoveUnixTree(const std::wstring& parent, const std::wstring& name)
{
    // Not started for nothing: it would run late, after the next test made the folder again.
    if (GetFileAttributesW((parent + L"\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    return UnixCommand(parent, L"Z:\\bin\\rm -rf " + name,
                       [&] { return GetFileAttributesW((parent + L"\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES; });
}

// ---- the uninstaller in this process ----

// Answers every question of the uninstaller in turn (true: Yes or OK) and notes what each said.
class Answers {
public:
    explicit Answers(std::vector<bool> answers) : FAnswers(std::move(answers)) { Arm(); }
    ~Answers() { Application.OnNextModalShown(nullptr); }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    // The question of that number (from 0) is answered by the Enter key instead, as a hasty user answers.
    void EnterAt(std::size_t question) { FEnter = question; }

    std::vector<std::string> Asked;
    std::vector<std::string> Buttons;  // the caption of the first button: "OK" for a message
    // What happens while the question of that number (from 0) is up, before it is answered.
    std::function<void(std::size_t question)> OnQuestion;

private:
    void Arm()
    {
        Application.OnNextModalShown([this](TForm& f) {
            auto& d = static_cast<TfrmPytanie&>(f);
            Asked.push_back(d.lblPytanie.Caption());
            Buttons.push_back(d.btnTak.Caption());
            if (OnQuestion) OnQuestion(Asked.size() - 1);
            const bool yes = Asked.size() <= FAnswers.size() && FAnswers[Asked.size() - 1];
            if (Asked.size() < FAnswers.size()) Arm();
            if (Asked.size() - 1 == FEnter) {
                // Through the form's own message loop, as the keyboard delivers it.
                HWND focus = GetFocus();
                PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0x001C0001);
                PostMessageW(focus, WM_KEYUP, VK_RETURN, 0xC01C0001);
                return;
            }
            (yes || !d.btnNie.Visible() ? d.btnTak : d.btnNie).Click();
        });
    }
    std::vector<bool> FAnswers;
    std::size_t FEnter = SIZE_MAX;
};

std::string U(TJezyk jezyk, TTekstDeinstalki n)
{
    return std::string(TekstDeinstalki(jezyk, n));
}

// ---- DeInstalka.exe started by a script ----

// EnumWindows: a visible top-level window of another process that runs the uninstaller, or any form of ours.
BOOL CALLBACK NoteUninstallerWindow(HWND w, LPARAM seen)
{
    const DWORD pid = ProcessOf(w);
    if (!IsWindowVisible(w) || pid == GetCurrentProcessId()) return TRUE;
    const std::wstring image = ImageOfProcess(pid);
    const std::wstring name = image.substr(image.find_last_of(L'\\') + 1);
    if (SameText(name, L"DeInstalka.exe") || ClassOf(w) == L"WerbForm")
        reinterpret_cast<std::set<std::string>*>(seen)->insert(Narrow(name + L" " + ClassOf(w)) + " \"" + TextOf(w) +
                                                               "\"");
    return TRUE;
}

// A program started as the list of programs or a script starts it: without this test's console, so that the
// batch file's echo stays out. Empty handles, and a failure, when it did not start.
struct Started {
    UniqueHandle Process, Thread;
    DWORD Id = 0;
};

Started StartDetached(std::wstring line)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    Started s;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << Narrow(line);
        return s;
    }
    s.Process = UniqueHandle(pi.hProcess);
    s.Thread = UniqueHandle(pi.hThread);
    s.Id = pi.dwProcessId;
    return s;
}

// The uninstallers that the parent started and that still run (not the batch's cmd, which outlives them).
std::vector<DWORD> RunningChildren(DWORD parent)
{
    std::vector<DWORD> children;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    if (!snapshot) return children;
    for (BOOL more = Process32FirstW(snapshot.Get(), &e); more; more = Process32NextW(snapshot.Get(), &e))
        if (e.th32ParentProcessID == parent && SameText(e.szExeFile, L"DeInstalka.exe"))
            children.push_back(e.th32ProcessID);
    return children;
}

// The log's last line without its time.
std::string LastLine(const std::string& log)
{
    std::string text = log;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const std::size_t at = text.rfind('\n');
    return at == std::string::npos ? text : text.substr(at + 1);
}

const wchar_t* const kCdPrograms[] = {L"fr_gram.hlp", L"fr_czas.hlp", L"Trans.hlp", L"Sl_Zew.hlp"};

constexpr wchar_t kProgramList[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class UninstallTest : public WizardTest {
protected:
    // Whether the user's list of installed programs exists before the installation: when not, the
    // installation creates it with its entry, and the uninstallation removes it again.
    virtual bool ProgramListBefore() const { return false; }

    void SetUp() override
    {
        ForgetSettingsAndGroups();
        if (ProgramListBefore()) {
            UniqueRegKey list;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kProgramList, 0, nullptr, 0, KEY_READ, nullptr, list.Receive(),
                                      nullptr),
                      ERROR_SUCCESS);
        } else {
            // Only an empty one: the system's entries of other programs stay.
            DWORD subkeys = 1, values = 1;
            {
                UniqueRegKey list;
                if (RegOpenKeyExW(HKEY_CURRENT_USER, kProgramList, 0, KEY_READ, list.Receive()) == ERROR_SUCCESS)
                    RegQueryInfoKeyW(list.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                     nullptr, nullptr, nullptr, nullptr);
            }
            if (subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_CURRENT_USER, kProgramList);
        }
        FTarget = TempFolder() + L"werb-uninstall Werbika";
        RemoveTree(FTarget);
        // A copy of an earlier run that did not end would make the next copy a numbered one.
        for (const wchar_t* left : {L"DeInstalka.exe", L"delme.bat"}) RemoveTree(TempFolder() + left);
        // Before the forms: their create handler already writes the installation flag.
        FBefore = Prefix();
        WizardTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        SkrotyDlaWszystkich = false;
        FCd = std::make_unique<Tree>(CdFolder());
        for (const wchar_t* f : kCdPrograms) ASSERT_TRUE(WriteBytes(FCd->Adopt(f), "help"));
        const std::wstring uninstaller = ThroughZ(Env(L"WERB_DEINSTALKA"));
        ASSERT_FALSE(uninstaller.empty()) << "WERB_DEINSTALKA is not set";
        ASSERT_TRUE(CopyFileW(uninstaller.c_str(), FCd->Adopt(L"DeInstalka.exe").c_str(), FALSE));
        FCd->Folder(L"Przykłady");
        FCd->Folder(L"Przykłady\\Polski");
        ASSERT_TRUE(WriteBytes(FCd->Adopt(L"Przykłady\\Polski\\list.txt"), "Drogi Janie"));
        FCd->Folder(L"Dokumentacja");
        ASSERT_TRUE(WriteBytes(FCd->Adopt(L"Dokumentacja\\czytaj.txt"), "Czytaj mnie"));
        FCd->Folder(L"Puste");
    }

    void TearDown() override
    {
        Application.OnNextModalShown(nullptr);
        if (frmMain) frmMain->FUtworzoneKatalogi.clear();
        FCd.reset();
        RemoveTree(FTarget);
        WizardTest::TearDown();
        ForgetSettingsAndGroups();
    }

    // Through the wizard in the language, into FTarget (which the options check creates); then the installer
    // ends, as its Finish button would end it.
    void Install(TJezyk jezyk = jzPolski)
    {
        ShowWizard();
        frmMain->UstawJezyk(jezyk);
        frmMain->btnDalej.Click();
        frmMain->rdbUmowaAkceptuje.SetChecked(true);
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stOpcje);
        frmMain->lblKatalog.SetCaption(Narrow(FTarget));
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stKoniec);
        ASSERT_TRUE(frmMain->FSukces);
        FForms.reset();
        FForms = std::make_unique<TFormularze>();
    }

    std::wstring Target(const std::wstring& relative) const { return FTarget + L"\\" + relative; }
    std::wstring RecordFile() const { return Target(L"DeInstalka.dat"); }

    TRekordDeinstalacji Record() const
    {
        const std::optional<std::string> text = ReadBytes(RecordFile());
        EXPECT_TRUE(text) << "no record";
        const TOdczytRekordu read = CzytajRekord(text.value_or(""), MiejscaProduktu());
        EXPECT_EQ(read.Wynik, TWynikRekordu::wrDobrze) << "line " << read.Wiersz;
        return read.Rekord;
    }

    // The uninstaller of the target folder in this process with forms of its own, as its program has them (a
    // dialog dies with the window that owned it last), its questions answered in turn.
    int Uninstall(const Answers&)
    {
        TfrmDeinstalka window;
        TfrmPytanie question;
        TModalWatchdog watchdog(question, 60000);
        return Deinstaluj(Narrow(FTarget), window, question, nullptr);
    }

    struct RunResult {
        DWORD Code = 0;
        std::vector<std::string> Steps;  // what each step said came next, in order
        std::string Output;
    };

    // This program again, as the next run of the uninstaller a user starts: it ends itself at the step killAt
    // (from 1; -1 the last one; 0 none), as a killed process or a power cut ends it.
    RunResult NextRun(int killAt)
    {
        SetEnvironmentVariableW(L"WERB_KILL_AT", std::to_wstring(killAt).c_str());
        SetEnvironmentVariableW(L"WERB_KILL_TARGET", FTarget.c_str());
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        RunResult r;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
            ADD_FAILURE() << "no pipe";
            return r;
        }
        UniqueHandle reading(readEnd), writing(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line = L"\"" + std::wstring(self) +
                            L"\" --gtest_filter=UninstallRun.DISABLED_AsTheNextRun --gtest_also_run_disabled_tests"
                            L" --gtest_color=no";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = writeEnd;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        PROCESS_INFORMATION pi{};
        const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
        SetEnvironmentVariableW(L"WERB_KILL_AT", nullptr);
        SetEnvironmentVariableW(L"WERB_KILL_TARGET", nullptr);
        if (!started) {
            ADD_FAILURE() << "the next run did not start: " << GetLastError();
            return r;
        }
        UniqueHandle process(pi.hProcess), thread(pi.hThread);
        writing = UniqueHandle();
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) r.Output.append(buffer, n);
        // A bound for a hang, not a timing: the run has closed its output.
        EXPECT_EQ(WaitForSingleObject(process.Get(), 120000), WAIT_OBJECT_0) << "the next run hangs";
        GetExitCodeProcess(process.Get(), &r.Code);
        for (std::size_t at = 0; at < r.Output.size();) {
            std::size_t end = r.Output.find('\n', at);
            if (end == std::string::npos) end = r.Output.size();
            const std::string l = r.Output.substr(at, end - at);
            if (l.rfind(kStepLine, 0) == 0) r.Steps.push_back(l.substr(std::size(kStepLine) - 1));
            at = end + 1;
        }
        return r;
    }

    // DeInstalka.exe started as a user starts it (from the list of programs or the folder, without a console);
    // its question answered Yes, its closing message OK. What its messages said, once its copy in %TEMP% has
    // ended and the batch file has taken the copy and its folder away.
    std::vector<std::string> RunAsUser(const std::wstring& uninstaller)
    {
        std::vector<std::string> said;
        const Started started = StartDetached(L"\"" + uninstaller + L"\"");
        if (!started.Process) return said;
        const std::string attention = PobierzTekst(jzPolski, txtAttention);
        const std::string yesText = PobierzTekst(jzPolski, txtYes);
        DWORD copy = 0;
        std::wstring privateFolder;
        for (;;) {
            HWND message = nullptr;
            if (!WaitUntil([&] {
                    for (HWND w : TopLevel(L"WerbForm", &attention))
                        if (ProcessOf(w) != started.Id) message = w;
                    return message != nullptr;
                })) {
                ADD_FAILURE() << "no message from the uninstaller's copy";
                return said;
            }
            if (!copy) {
                copy = ProcessOf(message);
                const std::wstring image = LongPath(ImageOfProcess(copy));
                privateFolder = image.substr(0, image.find_last_of(L'\\'));
            }
            const auto textOf = [](HWND w) {
                std::string text;
                for (HWND l : VisibleChildren(w, L"WerbLabel")) text += TextOf(l);
                return text;
            };
            const std::string text = textOf(message);
            said.push_back(text);
            if (HWND yes = VisibleChild(message, L"Button", yesText)) {
                Click(yes);
                // The same dialog shows the closing message: hidden, or another text.
                EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(message) || textOf(message) != text; }))
                    << "the question stays";
                continue;
            }
            HWND ok = VisibleChild(message, L"Button", "OK");
            if (!ok) {
                ADD_FAILURE() << "a message with neither Yes nor OK: " << text;
                return said;
            }
            Click(ok);
            break;
        }
        EXPECT_TRUE(WaitForProcessEnd(copy, 60000));
        EXPECT_TRUE(InRelaunchFolder(privateFolder + L"\\DeInstalka.exe")) << Narrow(privateFolder);
        EXPECT_TRUE(WaitUntil([&] { return !Exists(privateFolder); }, 60000))
            << "the copy, its batch file or their folder stayed in %TEMP%";
        return said;
    }

    struct ScriptRun {
        DWORD Code = 0;
        std::set<std::string> Shown;  // the uninstaller's windows seen visible
        bool CopyOutlived = false;    // a process it started still ran when it ended
        std::string Log;
    };

    // DeInstalka.exe from the target folder with the options, as a script runs it: without a console, waiting
    // for its exit code, its log in FLog. Every visible window of the uninstaller is noted while it runs and,
    // when it removes, until its own file has gone from the target, and the copies' folders from %TEMP%.
    ScriptRun RunFromScript(const std::wstring& options, bool removes = true)
    {
        ScriptRun r;
        const Started started = StartDetached(L"\"" + Target(L"DeInstalka.exe") + L"\" " + options);
        if (!started.Process) return r;
        const UniqueHandle& process = started.Process;
        const auto look = [&] { EnumWindows(NoteUninstallerWindow, reinterpret_cast<LPARAM>(&r.Shown)); };
        // A bound for a hang, not a timing.
        int looks = 0;
        for (; WaitForSingleObject(process.Get(), 20) == WAIT_TIMEOUT && looks < 15000; ++looks) look();
        if (looks == 15000) {
            ADD_FAILURE() << "the uninstaller hangs";
            TerminateProcess(process.Get(), 1);
        }
        r.CopyOutlived = !RunningChildren(started.Id).empty();
        GetExitCodeProcess(process.Get(), &r.Code);
        if (removes) {
            EXPECT_TRUE(WaitUntil([&] {
                look();
                return !Exists(Target(L"DeInstalka.exe"));
            }, 120000)) << "the uninstaller stays in the target";
            EXPECT_TRUE(WaitUntil([&] { return InTemp({RelaunchFolders().c_str()}).empty(); }, 60000))
                << "the copies or their folders stayed in %TEMP%:" << InTemp({RelaunchFolders().c_str()});
        }
        r.Log = ReadBytes(FLog).value_or("");
        DeleteFileW(FLog.c_str());
        return r;
    }

    // Blanks in its name: the option's quotes reach the copy.
    const std::wstring FLog = TempFolder() + L"werb deinstalacja.log";

    std::wstring FTarget;
    Snapshot FBefore;
    std::unique_ptr<Tree> FCd;
};

} // namespace

// ---- the record ----

TEST_F(UninstallTest, TheInstallationRecordsEveryFileFolderLinkKeyAndValueItLeft)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const TRekordDeinstalacji r = Record();
    EXPECT_EQ(r.Katalog, Narrow(FTarget));
    EXPECT_EQ(r.Jezyk, jzPolski);

    // Every file of the target folder but the record, each with the size and digest it has.
    Snapshot files;
    NoteTree(FTarget, files);
    std::size_t onDisk = 0;
    for (const std::wstring& e : files)
        if (e.back() != L'\\') ++onDisk;
    EXPECT_EQ(r.Pliki.size(), onDisk - 1);
    for (const TPlikRekordu& p : r.Pliki) {
        const std::optional<std::string> bytes = ReadBytes(Widen(p.Sciezka));
        ASSERT_TRUE(bytes) << p.Sciezka;
        EXPECT_EQ(p.Rozmiar, bytes->size()) << p.Sciezka;
        EXPECT_EQ(p.Sha256, Sha256Hex(*bytes)) << p.Sciezka;
    }
    for (const wchar_t* name : {L"Werbika.exe", L"Werbilo.exe", L"SlZewFr.exe", L"SlZewPl.exe", L"DeInstalka.exe",
                                L"Przykłady\\Polski\\list.txt"}) {
        const bool listed = std::any_of(r.Pliki.begin(), r.Pliki.end(),
                                        [&](const TPlikRekordu& p) { return SameText(Widen(p.Sciezka), Target(name)); });
        EXPECT_TRUE(listed) << Narrow(name);
    }

    // The folders it created, the target first; the group and its nine links.
    const std::vector<std::string> folders = {Narrow(FTarget), Narrow(Target(L"Dokumentacja")),
                                              Narrow(Target(L"Przykłady")), Narrow(Target(L"Przykłady\\Polski")),
                                              Narrow(Target(L"Puste"))};
    EXPECT_EQ(std::set<std::string>(r.Katalogi.begin(), r.Katalogi.end()),
              std::set<std::string>(folders.begin(), folders.end()));
    EXPECT_EQ(r.Katalogi.front(), Narrow(FTarget));
    const std::wstring group = ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan";
    ASSERT_EQ(r.Grupy.size(), 1u);
    EXPECT_EQ(r.Grupy[0], Narrow(group));
    EXPECT_EQ(r.Skroty.size(), std::size(kPrograms));
    for (const Program& p : kPrograms) {
        const std::string link = Narrow(group + L"\\" + p.Link + L".lnk");
        EXPECT_TRUE(std::any_of(r.Skroty.begin(), r.Skroty.end(), [&](const TPlikRekordu& s) { return s.Sciezka == link; }))
            << link;
    }

    // The values it wrote, the flag of the create handler among them; the product's keys.
    const auto value = [&](TKorzen root, const std::string& key, const std::string& name) {
        return std::any_of(r.Wartosci.begin(), r.Wartosci.end(), [&](const TWartoscRekordu& w) {
            return w.Korzen == root && w.Klucz == key && w.Nazwa == name;
        });
    };
    const auto key = [&](TKorzen root, const std::string& name) {
        return std::any_of(r.Klucze.begin(), r.Klucze.end(),
                           [&](const TKluczRekordu& k) { return k.Korzen == root && k.Klucz == name; });
    };
    for (TKorzen root : {TKorzen::HKCU, TKorzen::HKLM}) {
        for (const char* name : {"Katalog", "CD", "Wersja", "SlZewnFr", "SlZewnPl"})
            EXPECT_TRUE(value(root, "SOFTWARE\\Zorvane\\Werbtron", name)) << name;
        EXPECT_TRUE(key(root, "SOFTWARE\\Zorvane\\Werbtron"));
        EXPECT_TRUE(key(root, "SOFTWARE\\Zorvane"));
        EXPECT_FALSE(key(root, "SOFTWARE")) << "a key of the system";
    }
    EXPECT_TRUE(value(TKorzen::HKCU, "SOFTWARE\\Zorvane\\Werbtron", "InstallationInProgress"));
    const std::string uninstall = Narrow(kUninstallKey);
    EXPECT_TRUE(value(TKorzen::HKCU, uninstall, "DisplayName"));
    EXPECT_TRUE(value(TKorzen::HKCU, uninstall, "UninstallString"));
    EXPECT_TRUE(value(TKorzen::HKCU, uninstall, "QuietUninstallString"));
    EXPECT_FALSE(value(TKorzen::HKLM, uninstall, "UninstallString")) << "the all-users switch is off";
    for (const wchar_t* program : kProgramKeys)
        EXPECT_TRUE(value(TKorzen::HKCU, Narrow(kProgramsBase + L"\\" + program), "JezykInterfejsu"));
    EXPECT_EQ(r.Wartosci.size(), 5u + 5u + 1u + 3u + 4u);
}

TEST_F(UninstallTest, AFailedInstallationWritesNoRecord)
{
    // The main program cannot be written over a read-only file of that name: the run fails.
    MakeFolder(FTarget);
    ASSERT_TRUE(WriteBytes(Target(L"Werbika.exe"), "old program"));
    SetFileAttributesW(Target(L"Werbika.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    ShowWizard();
    frmMain->btnDalej.Click();
    frmMain->rdbUmowaAkceptuje.SetChecked(true);
    frmMain->btnDalej.Click();
    frmMain->lblKatalog.SetCaption(Narrow(FTarget));
    frmMain->btnDalej.Click();
    ASSERT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_FALSE(frmMain->FSukces);
    EXPECT_FALSE(Exists(RecordFile()));
    SetFileAttributesW(Target(L"Werbika.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---- the uninstaller in this process ----

class UninstallAnswered : public UninstallTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UninstallAnswered, AChangedFileIsAskedAboutOnceNoKeepsItWithItsFolderYesRemovesIt)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const bool yes = GetParam();
    ASSERT_TRUE(WriteBytes(Target(L"Przykłady\\Polski\\list.txt"), "Drogi Janie, zmienione"));
    ASSERT_TRUE(WriteBytes(Target(L"Dokumentacja\\czytaj.txt"), "Czytaj mnZe"));  // same size, other bytes

    Answers answers({true, yes, true});
    EXPECT_EQ(Uninstall(answers), yes ? kwZainstalowano : kwPozostawiono);
    ASSERT_EQ(answers.Asked.size(), 3u) << "the removal, the changed files once, the closing message";
    EXPECT_EQ(answers.Asked[0], Format(U(jzPolski, tdPytanie), {"Werbfranko"}));
    EXPECT_NE(answers.Asked[1].find(Narrow(Target(L"Przykłady\\Polski\\list.txt"))), std::string::npos)
        << answers.Asked[1];
    EXPECT_NE(answers.Asked[1].find(Narrow(Target(L"Dokumentacja\\czytaj.txt"))), std::string::npos)
        << answers.Asked[1];
    EXPECT_EQ(answers.Buttons[2], "OK");

    // Everything else is gone whatever the answer: the programs, the group, the registry.
    EXPECT_FALSE(Exists(Target(L"Werbika.exe")));
    EXPECT_FALSE(Exists(Target(L"Puste")));
    EXPECT_FALSE(Exists(RecordFile()));
    EXPECT_FALSE(Exists(ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zorvane"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    if (yes) {
        EXPECT_FALSE(Exists(FTarget)) << "the changed files went, and with them every folder";
        EXPECT_EQ(answers.Asked[2].find(U(jzPolski, tdPozostawiono)), std::string::npos) << answers.Asked[2];
    } else {
        EXPECT_EQ(ReadBytes(Target(L"Przykłady\\Polski\\list.txt")), std::string("Drogi Janie, zmienione"));
        EXPECT_EQ(ReadBytes(Target(L"Dokumentacja\\czytaj.txt")), std::string("Czytaj mnZe"));
        Snapshot left;
        NoteTree(FTarget, left);
        EXPECT_EQ(left.size(), 5u) << Lacking(left, {}) << "\nthe two files and their three folders";
        const std::string& closing = answers.Asked[2];
        EXPECT_NE(closing.find(U(jzPolski, tdPozostawiono)), std::string::npos) << closing;
        EXPECT_NE(closing.find(Narrow(Target(L"Dokumentacja\\czytaj.txt")) + " (" + U(jzPolski, tdPowodZmieniony)),
                  std::string::npos)
            << closing;
        EXPECT_NE(closing.find(Narrow(FTarget) + " (" + U(jzPolski, tdPowodNiePusty)), std::string::npos) << closing;
    }
}

INSTANTIATE_TEST_SUITE_P(NoAndYes, UninstallAnswered, ::testing::Values(false, true));

// A changed file the user agreed to remove is checked again before it goes: saved once more while the question
// was up, it is not the file the answer was about, and it stays.
TEST_F(UninstallTest, AChangedFileChangedAgainWhileTheQuestionIsUpIsKept)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring changed = Target(L"Dokumentacja\\czytaj.txt");
    ASSERT_TRUE(WriteBytes(changed, "moja wersja"));
    Answers unused({});
    std::vector<std::string> asked;
    std::function<void(TForm&)> hook = [&](TForm& f) {
        auto& d = static_cast<TfrmPytanie&>(f);
        asked.push_back(d.lblPytanie.Caption());
        if (asked.size() < 3) Application.OnNextModalShown(hook);
        if (asked.size() == 2) {
            EXPECT_TRUE(WriteBytes(changed, "moja wersja, poprawiona"));
        }
        d.btnTak.Click();
    };
    Application.OnNextModalShown(hook);
    EXPECT_EQ(Uninstall(unused), kwPozostawiono);
    ASSERT_EQ(asked.size(), 3u) << "the removal, the changed file, the closing message";
    EXPECT_NE(asked[1].find(Narrow(changed)), std::string::npos) << asked[1];
    EXPECT_EQ(ReadBytes(changed), std::string("moja wersja, poprawiona")) << "removed though it changed again";
    EXPECT_NE(asked[2].find(Narrow(changed) + " (" + U(jzPolski, tdPowodZmieniony) + ")"), std::string::npos)
        << asked[2];
    EXPECT_FALSE(Exists(Target(L"Przykłady\\Polski\\list.txt"))) << "an unchanged file stayed";
}

TEST_F(UninstallTest, NoToTheQuestionRemovesNothing)
{
    Install(jzFrancuski);
    ASSERT_FALSE(HasFatalFailure());
    Snapshot installed = Prefix();
    Answers answers({false});
    EXPECT_EQ(Uninstall(answers), kwPrzerwano);
    ASSERT_EQ(answers.Asked.size(), 1u);
    EXPECT_EQ(answers.Asked[0], Format(U(jzFrancuski, tdPytanie), {"Werbfranko"})) << "asked in French";
    const Snapshot after = Prefix();
    EXPECT_EQ(after, installed) << "removed:" << Lacking(installed, after) << "\nadded:" << Lacking(after, installed);
}

TEST_F(UninstallTest, AMissingOrDamagedRecordRemovesNothingAndSaysSo)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::string record = ReadBytes(RecordFile()).value_or("");
    ASSERT_FALSE(record.empty());
    // What an edited record could reach: a shortcut, an empty folder and a value of no concern to the product.
    const std::wstring foreignLink = TempFolder() + L"werb-obcy.lnk";
    const std::wstring foreignFolder = TempFolder() + L"werb-obcy";
    ASSERT_TRUE(WriteBytes(foreignLink, "skrót!!"));
    MakeFolder(foreignFolder);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Werbinny", L"Cenne", REG_SZ, L"x", 4), ERROR_SUCCESS);
    const auto Edited = [&](const std::function<void(TRekordDeinstalacji&)>& edit) {
        TRekordDeinstalacji r = CzytajRekord(record, MiejscaProduktu()).Rekord;
        edit(r);
        return *TekstRekordu(r);
    };
    struct Cleanup {
        std::wstring Link, Folder;
        ~Cleanup()
        {
            DeleteFileW(Link.c_str());
            RemoveDirectoryW(Folder.c_str());
            RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Werbinny");
        }
    } cleanup{foreignLink, foreignFolder};

    struct Damage {
        const char* What;
        std::function<void()> Do;
        TTekstDeinstalki Message;
    };
    const Damage damages[] = {
        {"one byte changed", [&] { std::string d = record; d[d.size() / 2] ^= 1; WriteBytes(RecordFile(), d); },
         tdRekordUszkodzony},
        {"cut short", [&] { WriteBytes(RecordFile(), record.substr(0, record.size() - 40)); }, tdRekordUszkodzony},
        {"a file of another folder",
         [&] {
             // A record that holds by its checksum, written for another folder: a copy of an installation.
             TRekordDeinstalacji r = CzytajRekord(record, MiejscaProduktu()).Rekord;
             r.Katalog = "C:\\Inny";
             r.Pliki.clear();
             r.Katalogi.clear();
             WriteBytes(RecordFile(), *TekstRekordu(r));
         },
         tdRekordObcy},
        // Records whose end line holds but that reach outside the product: all refused whole.
        {"a readable shortcut elsewhere", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Skroty.push_back({Narrow(foreignLink), 7, Sha256Hex("skrót!!")});
         })); }, tdRekordUszkodzony},
        {"an empty folder elsewhere as the group", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Grupy.push_back(Narrow(foreignFolder));
         })); }, tdRekordUszkodzony},
        {"another program's value", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Wartosci.push_back({TKorzen::HKCU, "SOFTWARE\\Werbinny", "Cenne"});
         })); }, tdRekordUszkodzony},
        {"a network group", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Grupy.push_back("\\\\serwer\\udzial\\Werbvoltan");
         })); }, tdRekordUszkodzony},
        {"a device name", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Pliki.push_back({r.Katalog + "\\NUL.txt", 0, Sha256Hex("")});
         })); }, tdRekordUszkodzony},
        {"missing", [&] { DeleteFileW(RecordFile().c_str()); }, tdBrakRekordu},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.What);
        d.Do();
        const Snapshot before = Prefix();
        Answers answers({true});
        EXPECT_EQ(Uninstall(answers), kwBrakRekordu);
        ASSERT_EQ(answers.Asked.size(), 1u) << "one message, no question";
        EXPECT_EQ(answers.Buttons[0], "OK");
        // The texts of two arguments ignore the third.
        EXPECT_EQ(answers.Asked[0], Format(U(jzPolski, d.Message), {"Werbfranko", Narrow(RecordFile()), "C:\\Inny"}));
        const Snapshot after = Prefix();
        EXPECT_EQ(after, before) << "removed:" << Lacking(before, after);
    }
}

// ---- honest users: their changed files, files in use, what cannot be removed ----

TEST_F(UninstallTest, EnterKeepsTheChangedFilesAndTheClosingMessageNamesEveryOne)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::wstring> changed;
    for (const wchar_t* name : kCdPrograms) changed.push_back(Target(name));
    for (const wchar_t* name : {L"Przykłady\\Polski\\list.txt", L"Dokumentacja\\czytaj.txt", L"Werbika.exe",
                                L"Werbilo.exe", L"SlZewFr.exe", L"SlZewPl.exe"})
        changed.push_back(Target(name));
    for (const std::wstring& f : changed) ASSERT_TRUE(WriteBytes(f, "moja wersja"));

    Answers answers({true, true, true});
    answers.EnterAt(1);
    EXPECT_EQ(Uninstall(answers), kwPozostawiono);
    ASSERT_EQ(answers.Asked.size(), 3u);
    // Ten names: eight in the question, the rest counted there and named at the end.
    EXPECT_NE(answers.Asked[1].find(Format(U(jzPolski, tdIInneNaKoncu), {2})), std::string::npos) << answers.Asked[1];
    for (const std::wstring& f : changed) {
        EXPECT_EQ(ReadBytes(f), std::string("moja wersja")) << Narrow(f) << ": Enter removed it";
        EXPECT_NE(answers.Asked[2].find(Narrow(f) + " (" + U(jzPolski, tdPowodZmieniony) + ")"), std::string::npos)
            << Narrow(f) << " not named in\n" << answers.Asked[2];
    }
    EXPECT_FALSE(Exists(RecordFile())) << "the user's choice leaves nothing a second run should do";
}

// With thousands of items kept the message would grow taller than any screen: each list names a few and counts
// the rest, and the changed files the user kept come first, as the question promised.
TEST(ClosingMessage, ThousandsKeptNameAFewALineAndCountTheRest)
{
    TWynikUsuwania w;
    for (int i = 0; i < 3000; ++i) w.Pozostawione.push_back({"C:\\Gry\\f" + std::to_string(i), TPowod::pwNiePusty});
    w.Pozostawione.push_back({"C:\\Gry\\moje.txt", TPowod::pwZmieniony});
    for (int i = 0; i < 2000; ++i) w.PoRestarcie.push_back("C:\\Gry\\r" + std::to_string(i));
    const std::string text = TekstWyniku(jzPolski, w, "C:\\Gry\\DeInstalka.dat");
    EXPECT_LE(std::count(text.begin(), text.end(), '\n'), 45) << text;
    EXPECT_NE(text.find("C:\\Gry\\moje.txt (" + U(jzPolski, tdPowodZmieniony) + ")"), std::string::npos) << text;
    EXPECT_NE(text.find("C:\\Gry\\r0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(Format(U(jzPolski, tdIInne), {3001 - 16})), std::string::npos) << text;
    EXPECT_NE(text.find(Format(U(jzPolski, tdIInne), {2000 - 16})), std::string::npos) << text;
}

TEST_F(UninstallTest, AFileInUseIsLeftToTheRestartAndTheClosingMessageSaysSo)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const PendingRenames restore;
    const auto pending = [] { return PendingRenames::Now(); };

    // The program runs: it reads its file and lets nobody delete it.
    const std::wstring program = Target(L"Werbika.exe");
    UniqueHandle running(CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(running);
    Answers answers({true, true});
    EXPECT_EQ(Uninstall(answers), kwPozostawiono) << "a restart is still needed";
    ASSERT_EQ(answers.Asked.size(), 2u);
    EXPECT_TRUE(Exists(program));
    const std::wstring after = pending().value_or(L"");
    // Each deletion is a pair: the path, then an empty target. The file before its folder.
    const std::wstring file = std::wstring(L"\\??\\") + program + L'\0' + L'\0';
    const std::wstring folder = std::wstring(L"\\??\\") + FTarget + L'\0' + L'\0';
    const auto at = after.find(file);
    EXPECT_NE(at, std::wstring::npos) << "not waiting for the restart";
    EXPECT_NE(after.find(folder, at == std::wstring::npos ? 0 : at), std::wstring::npos) << "nor its folder after it";
    const std::string& closing = answers.Asked[1];
    EXPECT_NE(closing.find(U(jzPolski, tdPoRestarcie) + "\r\n" + Narrow(program)), std::string::npos) << closing;
    EXPECT_EQ(closing.find(U(jzPolski, tdPozostawiono)), std::string::npos) << closing;
    // Nothing for a second run: the record and the uninstall entry go.
    EXPECT_FALSE(Exists(RecordFile()));
    EXPECT_FALSE(Exists(Target(L"DeInstalka.exe")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
}

TEST_F(UninstallTest, WhatCannotBeRemovedKeepsARecordTheUninstallerAndTheEntryForASecondRun)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring locked = Target(L"Dokumentacja\\czytaj.txt");
    {
        // Opened by a program that lets nobody else in: whether the file is still ours cannot be known.
        UniqueHandle held(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        Answers answers({true, true});
        EXPECT_EQ(Uninstall(answers), kwPozostawiono);
        ASSERT_EQ(answers.Asked.size(), 2u);
        const std::string& closing = answers.Asked[1];
        EXPECT_NE(closing.find(Narrow(locked) + " (" + U(jzPolski, tdPowodNieUsuniety) + ")"), std::string::npos)
            << closing;
        EXPECT_NE(closing.find(Format(U(jzPolski, tdRekordPozostawiony), {Narrow(RecordFile())})), std::string::npos)
            << closing;
    }
    EXPECT_FALSE(Exists(Target(L"Werbilo.exe")));
    EXPECT_FALSE(Exists(Target(L"Przykłady")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane"));
    // The uninstaller and its entry stay, and a record of what is left.
    EXPECT_TRUE(Exists(Target(L"DeInstalka.exe")));
    ExpectUninstallEntry(HKEY_CURRENT_USER, FTarget);
    const TRekordDeinstalacji left = Record();
    std::set<std::string> files;
    for (const TPlikRekordu& p : left.Pliki) files.insert(p.Sciezka);
    EXPECT_EQ(files, (std::set<std::string>{Narrow(locked), Narrow(Target(L"DeInstalka.exe"))}));
    EXPECT_TRUE(left.Skroty.empty());
    for (const TWartoscRekordu& w : left.Wartosci) EXPECT_EQ(w.Klucz, Narrow(kUninstallKey)) << w.Nazwa;

    // Once the program has let go, the second run finishes: the prefix as it was.
    Answers again({true, true});
    EXPECT_EQ(Uninstall(again), kwZainstalowano);
    ASSERT_EQ(again.Asked.size(), 2u);
    EXPECT_EQ(again.Asked[1].find(U(jzPolski, tdPozostawiono)), std::string::npos) << again.Asked[1];
    const Snapshot after = Prefix();
    EXPECT_EQ(after, FBefore) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);
}

// ---- reparse points below the target ----

// A target folder made on the Unix side with symbolic links in it, which Wine shows as reparse points:
// "dane" a folder leading to the sibling "inne", "plik.txt" a file leading to "inne\f.txt".
TEST_F(UninstallTest, NothingIsReachedThroughAReparsePointBelowTheTarget)
{
    const std::wstring links = ThroughZ(Env(L"WERB_LINKS"));
    ASSERT_FALSE(links.empty()) << "WERB_LINKS is not set";
    const std::wstring target = links + L"\\cel", elsewhere = links + L"\\inne";
    MakeFolder(elsewhere);
    ASSERT_EQ(GetFileAttributesW((target + L"\\dane").c_str()) & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY),
              DWORD(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        << "no folder link in " << Narrow(target);
    ASSERT_TRUE(WriteBytes(elsewhere + L"\\f.txt", "cenne"));
    ASSERT_TRUE(WriteBytes(target + L"\\nasz.txt", "nasz"));

    // The record names what it would have left there: the bytes match, only the place does not.
    const std::string t = Narrow(target);
    TRekordDeinstalacji r;
    r.Katalog = t;
    r.Pliki = {{t + "\\nasz.txt", 4, Sha256Hex("nasz")},
               {t + "\\dane\\f.txt", 5, Sha256Hex("cenne")},
               {t + "\\plik.txt", 5, Sha256Hex("cenne")}};
    r.Katalogi = {t, t + "\\dane"};
    const std::wstring record = target + L"\\DeInstalka.dat";
    ASSERT_TRUE(WriteBytes(record, *TekstRekordu(r)));
    struct Cleanup {
        std::wstring Record, Own;
        ~Cleanup()
        {
            DeleteFileW(Record.c_str());
            DeleteFileW(Own.c_str());
        }
    } cleanup{record, target + L"\\nasz.txt"};

    Answers answers({true, true});
    TfrmDeinstalka window;
    TfrmPytanie question;
    TModalWatchdog watchdog(question, 60000);
    EXPECT_EQ(Deinstaluj(t, window, question, nullptr), kwPozostawiono);
    ASSERT_EQ(answers.Asked.size(), 2u) << "a question about changed files?";

    EXPECT_FALSE(Exists(target + L"\\nasz.txt"));
    EXPECT_EQ(ReadBytes(elsewhere + L"\\f.txt"), std::string("cenne")) << "deleted through a link";
    EXPECT_NE(GetFileAttributesW((target + L"\\dane").c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string& closing = answers.Asked[1];
    for (const std::string& kept : {t + "\\dane\\f.txt", t + "\\plik.txt", t + "\\dane"})
        EXPECT_NE(closing.find(kept + " (" + U(jzPolski, tdPowodPrzekierowany) + ")"), std::string::npos)
            << kept << " not reported in\n" << closing;
    // The user can take the links away and run the uninstaller again.
    const TOdczytRekordu left = CzytajRekord(ReadBytes(record).value_or(""), MiejscaProduktu());
    ASSERT_EQ(left.Wynik, TWynikRekordu::wrDobrze);
    ASSERT_EQ(left.Rekord.Pliki.size(), 2u);
    EXPECT_EQ(left.Rekord.Pliki[0].Sciezka, t + "\\dane\\f.txt");
    EXPECT_EQ(left.Rekord.Pliki[1].Sciezka, t + "\\plik.txt");
}

// The record names a file that is not in the target but elsewhere, with that file's bytes: only a target swapped
// for a link to there would reach it. While "Tak/Nie" is up the target is renamed and a link put in its place.
TEST_F(UninstallTest, ATargetSwappedForALinkWhileTheQuestionIsUpLeadsNowhere)
{
    const std::wstring links = ThroughZ(Env(L"WERB_LINKS"));
    ASSERT_FALSE(links.empty()) << "WERB_LINKS is not set";
    ASSERT_TRUE(RemoveUnixTree(links, L"zamiana"));
    const std::wstring root = links + L"\\zamiana", target = root + L"\\X", victim = root + L"\\ofiara\\cenne.txt";
    MakeFolder(root);
    MakeFolder(root + L"\\ofiara");
    MakeFolder(target);
    ASSERT_TRUE(WriteBytes(victim, "cenne dane"));
    struct Cleanup {
        std::wstring Parent;
        ~Cleanup() { RemoveUnixTree(Parent, L"zamiana"); }
    } cleanup{links};
    const std::string t = Narrow(target);
    TRekordDeinstalacji r;
    r.Katalog = t;
    r.Pliki = {{t + "\\cenne.txt", 10, Sha256Hex("cenne dane")}};
    r.Katalogi = {t};
    ASSERT_TRUE(WriteBytes(target + L"\\DeInstalka.dat", *TekstRekordu(r)));

    Answers answers({true, true});
    bool renamed = false, linked = false;
    answers.OnQuestion = [&](std::size_t question) {
        if (question != 0) return;
        renamed = MoveFileW(target.c_str(), (root + L"\\stary").c_str()) != FALSE;
        if (renamed) linked = UnixCommand(root, L"Z:\\bin\\ln -s ofiara X", [&] { return IsLink(target); });
    };
    TfrmDeinstalka window;
    TfrmPytanie question;
    TModalWatchdog watchdog(question, 60000);
    Deinstaluj(t, window, question, nullptr);
    EXPECT_FALSE(renamed) << "the target folder was renamed while the uninstaller held it"
                          << (linked ? ", and a link put in its place" : "");
    EXPECT_EQ(ReadBytes(victim), std::string("cenne dane")) << "deleted outside the target";
}

// A folder link as the target, and a target below one: the record in the folder it leads to is not used.
TEST_F(UninstallTest, ATargetThatIsALinkOrLeadsThroughOneIsRefusedAndNothingRemoved)
{
    const std::wstring links = ThroughZ(Env(L"WERB_LINKS"));
    ASSERT_FALSE(links.empty()) << "WERB_LINKS is not set";
    const std::wstring elsewhere = links + L"\\inne";
    ASSERT_TRUE(IsLink(links + L"\\cel\\dane")) << "no folder link in " << Narrow(links);
    MakeFolder(elsewhere + L"\\pod");
    struct Cleanup {
        std::wstring Folder;
        ~Cleanup()
        {
            for (const wchar_t* f : {L"\\g.txt", L"\\DeInstalka.dat", L"\\pod\\g.txt", L"\\pod\\DeInstalka.dat"})
                DeleteFileW((Folder + f).c_str());
            RemoveDirectoryW((Folder + L"\\pod").c_str());
        }
    } cleanup{elsewhere};
    for (const std::wstring& sub : {std::wstring(), std::wstring(L"\\pod")}) {
        const std::wstring through = links + L"\\cel\\dane" + sub;
        SCOPED_TRACE(Narrow(through));
        const std::string t = Narrow(through);
        ASSERT_TRUE(WriteBytes(elsewhere + sub + L"\\g.txt", "dane"));
        TRekordDeinstalacji r;
        r.Katalog = t;
        r.Pliki = {{t + "\\g.txt", 4, Sha256Hex("dane")}};
        r.Katalogi = {t};
        ASSERT_TRUE(WriteBytes(elsewhere + sub + L"\\DeInstalka.dat", *TekstRekordu(r)));

        Answers answers({true, true});
        TfrmDeinstalka window;
        TfrmPytanie question;
        TModalWatchdog watchdog(question, 60000);
        EXPECT_EQ(Deinstaluj(t, window, question, nullptr), kwBrakRekordu);
        ASSERT_EQ(answers.Asked.size(), 1u) << "asked to remove:\n" << answers.Asked.back();
        EXPECT_EQ(answers.Asked[0], Format(U(jzPolski, tdCelNiepewny), {OpisProduktu(1)->Tytul, t}));
        EXPECT_TRUE(Exists(elsewhere + sub + L"\\g.txt"));
        EXPECT_TRUE(Exists(elsewhere + sub + L"\\DeInstalka.dat"));
    }
}

// As C:\ gives every user the right to change what a folder made there with default rights holds: at the
// restart that folder could be a link to anywhere, and the system deletes with its own rights.
TEST_F(UninstallTest, AFileInUseInAFolderOthersMayChangeIsKeptForTheNextRunNotLeftToTheRestart)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(LetEveryoneChange(FTarget));
    const PendingRenames restore;
    const std::wstring program = Target(L"Werbika.exe");
    {
        UniqueHandle running(
            CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(running);
        Answers answers({true, true});
        EXPECT_EQ(Uninstall(answers), kwPozostawiono);
        ASSERT_EQ(answers.Asked.size(), 2u);
        EXPECT_TRUE(Exists(program));
        const std::wstring after = PendingRenames::Now().value_or(L"");
        EXPECT_EQ(after.find(program), std::wstring::npos) << "left to the restart";
        const std::string& closing = answers.Asked[1];
        EXPECT_NE(closing.find(Narrow(program) + " (" + U(jzPolski, tdPowodNieUsuniety) + ")"), std::string::npos)
            << closing;
        EXPECT_EQ(closing.find(U(jzPolski, tdPoRestarcie)), std::string::npos) << closing;
        std::set<std::string> files;
        for (const TPlikRekordu& p : Record().Pliki) files.insert(p.Sciezka);
        EXPECT_TRUE(files.count(Narrow(program))) << "the record no longer names it";
    }
    // Once the program has ended, the next run removes it.
    Answers again({true, true});
    EXPECT_EQ(Uninstall(again), kwZainstalowano);
    EXPECT_FALSE(Exists(program));
    EXPECT_FALSE(Exists(FTarget));
}

// A folder made by the installation where its parent lets every user change what is in it (C:\ does).
TEST_F(UninstallTest, TheTargetFolderTheInstallationMakesOnlyAdministratorsCanChange)
{
    const std::wstring parent = TempFolder() + L"werb-otwarty";
    RemoveTree(parent);
    MakeFolder(parent);
    ASSERT_TRUE(LetEveryoneChange(parent));
    struct Cleanup {
        std::wstring Folder;
        ~Cleanup() { RemoveTree(Folder); }
    } cleanup{parent};
    FTarget = parent + L"\\Werbika";
    Install();
    ASSERT_FALSE(HasFatalFailure());
    ExpectWritableByAdministratorsOnly(FTarget);
    if (!UnderWine()) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_EQ(GetNamedSecurityInfoW(FTarget.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                        nullptr, nullptr, &sd),
                  static_cast<DWORD>(ERROR_SUCCESS));
        const std::unique_ptr<void, decltype(&LocalFree)> free(sd, &LocalFree);
        ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PROTECTED) << "inherits from its parent";
    }
    // What it holds inherits that: the programs written into it.
    EXPECT_TRUE(Exists(Target(L"Werbika.exe")));
    Answers answers({true, true});
    EXPECT_EQ(Uninstall(answers), kwZainstalowano);
    EXPECT_FALSE(Exists(FTarget));
}

// The list of programs exists before, empty: neither installation created it, so neither removes it.
class UninstallTwice : public UninstallTest {
protected:
    bool ProgramListBefore() const override { return true; }
};

TEST_F(UninstallTwice, ASecondInstallationElsewhereKeepsWhatItTookOver)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring first = FTarget;
    FTarget = TempFolder() + L"werb-uninstall drugi";
    RemoveTree(FTarget);
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring second = FTarget;

    // The first folder's uninstaller: its files go; the registry and the links now name the second one.
    FTarget = first;
    Answers answers({true, true});
    EXPECT_EQ(Uninstall(answers), kwPozostawiono) << "the settings the second one took over stay";
    EXPECT_FALSE(Exists(first));
    ASSERT_EQ(answers.Asked.size(), 2u);
    ExpectSettings(HKEY_CURRENT_USER, Narrow(second));
    ExpectSettings(HKEY_LOCAL_MACHINE, Narrow(second));
    ExpectUninstallEntry(HKEY_CURRENT_USER, second);
    ExpectProgramKeys(0);
    ExpectLinks(ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan", second, {std::begin(kPrograms), std::end(kPrograms)});

    // Then the second: the prefix is as it was before both.
    FTarget = second;
    Answers again({true, true});
    EXPECT_EQ(Uninstall(again), kwZainstalowano);
    const Snapshot after = Prefix();
    EXPECT_EQ(after, FBefore) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);
}

// ---- many files under a limit of open files ----

// Under Wine every open file is a Unix descriptor: run by scripts/with-file-limit (test_uninstall_file_limit),
// the installation and the uninstallation of 5,000 files must each hold far fewer than the 1,024 allowed.
TEST_F(UninstallTest, UnderALimitOfOpenFilesFiveThousandFilesAreInstalledAndAllRemoved)
{
    if (Env(L"WERB_FILE_LIMIT").empty())
        GTEST_SKIP() << "runs under scripts/with-file-limit (test_uninstall_file_limit)";
    constexpr int kFolders = 50, kFilesPerFolder = 100;
    FCd->Folder(L"Wiele");
    for (int f = 0; f < kFolders; ++f) {
        const std::wstring folder = FCd->Path(L"Wiele\\f" + std::to_wstring(f));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << Narrow(folder);
        for (int i = 0; i < kFilesPerFolder; ++i)
            ASSERT_TRUE(WriteBytes(folder + L"\\p" + std::to_wstring(i) + L".txt", std::string(100 + i, 'w')));
    }
    Install();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_GE(Record().Pliki.size(), static_cast<std::size_t>(kFolders * kFilesPerFolder));
    FForms.reset();

    const std::vector<std::string> said = RunAsUser(Target(L"DeInstalka.exe"));
    ASSERT_FALSE(said.empty());
    EXPECT_NE(said.back().find(Format(U(jzPolski, tdUsunietoWszystko), {"Werbfranko"})), std::string::npos)
        << said.back();
    EXPECT_FALSE(Exists(FTarget)) << NamesIn(FTarget + L"\\").size() << " entries left in the target";
}

// ---- DeInstalka.exe as the list of installed programs starts it ----

class UninstallEntry : public UninstallTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(UninstallEntry, ItsCommandLineRemovesTheProductAndLeavesOnlyWhatTheUserAdded)
{
    const TJezyk jezyk = GetParam().Jezyk;
    Install(jezyk);
    ASSERT_FALSE(HasFatalFailure());
    // The user's own file in the target folder: it stays, and so does its folder.
    ASSERT_TRUE(WriteBytes(Target(L"moje notatki.txt"), "notatki"));
    FForms.reset();

    const std::optional<RegString> command = ReadRegString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString");
    ASSERT_TRUE(command);
    const Started started = StartDetached(command->Text);
    ASSERT_TRUE(started.Process);
    const UniqueHandle& process = started.Process;

    // The question comes from the copy in %TEMP%: the first instance has handed over.
    const std::string attention = PobierzTekst(jezyk, txtAttention);
    const std::string question = Format(U(jezyk, tdPytanie), {"Werbfranko"});
    HWND asking = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND w : TopLevel(L"WerbForm", &attention))
            if (VisibleChild(w, L"WerbLabel", question)) asking = w;
        return asking != nullptr;
    })) << "no question " << question;
    const DWORD copy = ProcessOf(asking);
    EXPECT_NE(copy, started.Id);
    // In a folder of its own directly inside %TEMP%, named as the relaunch names it.
    const std::wstring image = LongPath(ImageOfProcess(copy));
    const std::wstring privateFolder = image.substr(0, image.find_last_of(L'\\'));
    const std::wstring privateName = privateFolder.substr(privateFolder.find_last_of(L'\\') + 1);
    EXPECT_TRUE(SamePath(image, privateFolder + L"\\DeInstalka.exe")) << Narrow(image);
    EXPECT_TRUE(SamePath(privateFolder + L"\\", LongPath(TempFolder()) + privateName + L"\\")) << Narrow(image);
    EXPECT_TRUE(privateName.rfind(Widen(kRelaunchFolderPrefix), 0) == 0) << Narrow(image);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0) << "the first instance ended";
    const std::string window = Format(U(jezyk, tdTytul), {"Werbfranko"});
    EXPECT_FALSE(TopLevel(L"WerbForm", &window).empty()) << "the uninstaller's window under its question";

    HWND yes = VisibleChild(asking, L"Button", PobierzTekst(jezyk, txtYes));
    ASSERT_TRUE(yes);
    Click(yes);

    // The closing message, with its OK.
    HWND closing = nullptr, ok = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND w : TopLevel(L"WerbForm", &attention))
            if (ProcessOf(w) == copy && (ok = VisibleChild(w, L"Button", "OK"))) closing = w;
        return closing != nullptr;
    })) << "no closing message";
    std::string said;
    for (HWND l : VisibleChildren(closing, L"WerbLabel")) said += TextOf(l);
    EXPECT_NE(said.find(Format(U(jezyk, tdUsunietoCzesc), {"Werbfranko"})), std::string::npos) << said;
    EXPECT_NE(said.find(Narrow(FTarget) + " (" + U(jezyk, tdPowodNiePusty) + ")"), std::string::npos) << said;
    Click(ok);
    EXPECT_TRUE(WaitForProcessEnd(copy, 60000));
    // The batch file deletes the copy once it has ended, then itself and their folder.
    EXPECT_TRUE(WaitUntil([&] { return !Exists(privateFolder); }, 60000))
        << "the copy, its batch file or their folder stayed in %TEMP%";

    // The prefix as before, but for the user's file and its folder.
    EXPECT_EQ(ReadBytes(Target(L"moje notatki.txt")), std::string("notatki"));
    Snapshot expected = FBefore;
    expected.insert(FTarget + L"\\");
    expected.insert(Target(L"moje notatki.txt") + L" 7");
    const Snapshot after = Prefix();
    EXPECT_EQ(after, expected) << "left:" << Lacking(after, expected) << "\nremoved:" << Lacking(expected, after);
}

INSTANTIATE_TEST_SUITE_P(PolishAndFrench, UninstallEntry,
                         ::testing::Values(LanguageCase{jzPolski, 0}, LanguageCase{jzFrancuski, 2}));

// ---- DeInstalka.exe run by a script: its options, exit codes and log ----

// As a deployment tool runs the entry's quiet line, but with no window at all: the first instance returns the
// copy's exit code once the copy has ended, and the prefix is as before the installation.
TEST_F(UninstallTest, VerySilentRemovesEverythingWithoutAWindowAndReturnsOnceItsCopyHasEnded)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    FForms.reset();
    const std::optional<RegString> quiet = ReadRegString(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString");
    ASSERT_TRUE(quiet) << "no QuietUninstallString";
    EXPECT_EQ(quiet->Text, L"\"" + Target(L"DeInstalka.exe") + L"\" /SILENT");

    const ScriptRun r = RunFromScript(L"/VERYSILENT /LOG=\"" + FLog + L"\"");
    EXPECT_EQ(r.Code, static_cast<DWORD>(kwZainstalowano)) << r.Log;
    EXPECT_FALSE(r.CopyOutlived) << "returned before its copy ended";
    std::string shown;
    for (const std::string& w : r.Shown) shown += "\n  " + w;
    EXPECT_TRUE(r.Shown.empty()) << "visible:" << shown;

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_FALSE(ReadRegString(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString"));
    const Snapshot after = Prefix();
    EXPECT_EQ(after, FBefore) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);

    // Written by the copy: its command line with the options after its own; each item; the outcome last.
    EXPECT_NE(r.Log.find("/doit "), std::string::npos) << r.Log;
    EXPECT_NE(r.Log.find("/VERYSILENT"), std::string::npos) << r.Log;
    EXPECT_NE(r.Log.find("Target folder: " + Narrow(FTarget)), std::string::npos) << r.Log;
    for (const std::wstring& item : {Target(L"Werbika.exe"), Target(L"Przykłady\\Polski\\list.txt"),
                                     ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan"})
        EXPECT_NE(r.Log.find("Removing " + Narrow(item) + "\r\n"), std::string::npos) << Narrow(item) << "\n" << r.Log;
    EXPECT_EQ(r.Log.find("Kept: "), std::string::npos) << r.Log;
    EXPECT_NE(LastLine(r.Log).find("Outcome: removed, exit code 0"), std::string::npos) << r.Log;
}

// Nobody answers: the file changed since the installation takes the question's default, and stays.
TEST_F(UninstallTest, VerySilentKeepsAChangedFileNamesItInTheLogAndReturns8)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring changed = Target(L"Dokumentacja\\czytaj.txt");
    ASSERT_TRUE(WriteBytes(changed, "moja wersja"));
    FForms.reset();

    // Options in any letter case, with a dash.
    const ScriptRun r = RunFromScript(L"-verysilent /log=\"" + FLog + L"\"");
    EXPECT_EQ(r.Code, static_cast<DWORD>(kwPozostawiono)) << r.Log;
    EXPECT_FALSE(r.CopyOutlived);
    EXPECT_TRUE(r.Shown.empty()) << *r.Shown.begin();
    EXPECT_EQ(ReadBytes(changed), std::string("moja wersja"));
    EXPECT_NE(r.Log.find("Kept: " + Narrow(changed) + " (" + U(jzPolski, tdPowodZmieniony) + ")"), std::string::npos)
        << r.Log;
    EXPECT_NE(LastLine(r.Log).find("Outcome: removed, items kept, exit code 8"), std::string::npos) << r.Log;
    // The rest goes: the file's folder stays with it, the target with them.
    Snapshot left;
    NoteTree(FTarget, left);
    EXPECT_EQ(left, (Snapshot{Target(L"Dokumentacja") + L"\\", changed + L" 11"})) << Lacking(left, {});
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane"));
}

// The quiet line of the entry: the progress window only, no question, no message when everything went.
TEST_F(UninstallTest, SilentShowsOnlyTheProgressWindowAndAsksNothing)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    FForms.reset();
    const ScriptRun r = RunFromScript(L"/SILENT");
    EXPECT_EQ(r.Code, static_cast<DWORD>(kwZainstalowano));
    EXPECT_FALSE(r.CopyOutlived);
    const std::string window = Format(U(jzPolski, tdTytul), {"Werbfranko"});
    std::string shown;
    for (const std::string& w : r.Shown) shown += "\n  " + w;
    ASSERT_EQ(r.Shown.size(), 1u) << "visible:" << shown;
    EXPECT_NE(r.Shown.begin()->find("WerbForm \"" + window + "\""), std::string::npos) << shown;
    const Snapshot after = Prefix();
    EXPECT_EQ(after, FBefore) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);
}

// A command line it does not understand removes nothing: only logged when nobody reads messages, else said.
// Help goes to the output the script reads.
TEST_F(UninstallTest, AnUnknownOptionReturns1AndRemovesNothingAndHelpGoesToTheOutput)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    FForms.reset();
    const Snapshot installed = Prefix();
    {
        const ScriptRun r = RunFromScript(L"/VERYSILENT /NIEZNANA /LOG=\"" + FLog + L"\"", false);
        EXPECT_EQ(r.Code, static_cast<DWORD>(kwZlePolecenie));
        EXPECT_TRUE(r.Shown.empty()) << *r.Shown.begin();
        EXPECT_NE(r.Log.find("/NIEZNANA"), std::string::npos) << r.Log;
        const Snapshot after = Prefix();
        EXPECT_EQ(after, installed) << "removed:" << Lacking(installed, after) << "\nadded:" << Lacking(after, installed);
    }
    {
        // A value the uninstaller takes none of: the message names the option as given.
        const Started started = StartDetached(L"\"" + Target(L"DeInstalka.exe") + L"\" /SILENT /DIR=C:\\Inny");
        ASSERT_TRUE(started.Process);
        const UniqueHandle& process = started.Process;
        const std::string attention = PobierzTekst(jzPolski, txtAttention);
        HWND message = nullptr, ok = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            for (HWND w : TopLevel(L"WerbForm", &attention))
                if (ProcessOf(w) == started.Id && (ok = VisibleChild(w, L"Button", "OK"))) message = w;
            return message != nullptr;
        })) << "no message";
        std::string said;
        for (HWND l : VisibleChildren(message, L"WerbLabel")) said += TextOf(l);
        EXPECT_NE(said.find("/DIR=C:\\Inny"), std::string::npos) << said;
        Click(ok);
        EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(process.Get(), &code);
        EXPECT_EQ(code, static_cast<DWORD>(kwZlePolecenie));
        EXPECT_TRUE(RunningChildren(started.Id).empty()) << "it started a copy";
        const Snapshot after = Prefix();
        EXPECT_EQ(after, installed) << "removed:" << Lacking(installed, after) << "\nadded:" << Lacking(after, installed);
    }
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
        UniqueHandle reading(readEnd), writing(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        std::wstring line = L"\"" + Target(L"DeInstalka.exe") + L"\" /?";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = writeEnd;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(
            CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi));
        UniqueHandle process(pi.hProcess), thread(pi.hThread);
        writing = UniqueHandle();
        std::string output;
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) output.append(buffer, n);
        EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(process.Get(), &code);
        EXPECT_EQ(code, static_cast<DWORD>(kwZainstalowano));
        EXPECT_NE(output.find(TekstPomocy(jzPolski, TProgram::Deinstalator)), std::string::npos) << output;
    }
    EXPECT_TRUE(Exists(RecordFile()));
}

// ---- a run ended at any step: the next one finishes ----

// Only as NextRun starts it: the uninstaller's run without its windows (the record or a finished run's rest
// read as DeInstalka.exe reads them, the same removal), ended by itself at step WERB_KILL_AT. The running
// uninstaller's image is the built DeInstalka.exe, whose bytes the installation copied into the target.
TEST(UninstallRun, DISABLED_AsTheNextRun)
{
    const int killAt = _wtoi(Env(L"WERB_KILL_AT").c_str());
    const std::wstring image = ThroughZ(Env(L"WERB_DEINSTALKA"));
    NumerProduktu = 1;
    JezykProduktu = jzFrancuski;
    const std::wstring started = UninstallerAUserStarts(Env(L"WERB_KILL_TARGET"));
    if (started.empty()) {
        Say("nothing to start");
        ExitProcess(kNothingToStart);
    }
    const std::string folder = Narrow(started.substr(0, started.find_last_of(L'\\')));
    const TZapisDeinstalacji zapis = ZapisDeinstalacji(folder, Narrow(image));
    if (zapis.Stan != TStanZapisu::zsDobry && zapis.Stan != TStanZapisu::zsResztka) {
        Say(zapis.Stan == TStanZapisu::zsBrak ? "refused: no record" : "refused: a damaged or foreign record");
        ExitProcess(kRefused);
    }
    Say(zapis.Stan == TStanZapisu::zsResztka ? "rest of a finished run" : "record");
    int steps = 0;
    TObslugaUsuwania obsluga;
    obsluga.UsunZmienione = [](const std::vector<std::string>& changed) {
        Say("asked about " + changed.front());
        ExitProcess(kAskedChanged);
        return false;
    };
    obsluga.Postep = [&](const std::string& co, int done, int all) {
        Say(std::string(kStepLine) + co);
        ++steps;
        if (steps == killAt || (killAt < 0 && done == all - 1)) TerminateProcess(GetCurrentProcess(), kKilled);
    };
    const TWynikUsuwania wynik =
        UsunZainstalowane(zapis.Rekord, folder + "\\" + kPlikRekordu, MiejscaProduktu(), obsluga);
    for (const TPozostawiony& p : wynik.Pozostawione) Say("kept " + p.Co);
    for (const std::string& p : wynik.PoRestarcie) Say("at the restart " + p);
    if (wynik.RekordPozostawiony) Say("record kept");
    const bool all = wynik.Pozostawione.empty() && wynik.PoRestarcie.empty() && !wynik.RekordPozostawiony;
    ExitProcess(all ? 0 : kLeftSomething);
}

// A whole run counts the steps; then a run is ended at step 1, the next one (started as a user starts it,
// from the state the ended one left) at step 2, and so on: a run ended at k has done exactly what a whole run
// does before step k, so each kill point is followed by a run that goes on from there. After the last step's
// kill the folder holds only DeInstalka.exe, and runs of that rest are ended at each of their steps too. The
// last run ends by itself, and the prefix is as it was before the installation.
TEST_F(UninstallTest, KilledAtAnyStepTheNextRunFinishesTheRemoval)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    FForms.reset();
    const RunResult whole = NextRun(0);
    ASSERT_EQ(whole.Code, 0u) << whole.Output;
    const std::vector<std::string> steps = whole.Steps;
    const int all = static_cast<int>(steps.size());
    ASSERT_GT(all, 40) << whole.Output;
    // The record, then the target folder with its uninstaller: the last two steps.
    EXPECT_EQ(steps[all - 2], Narrow(RecordFile()));
    EXPECT_EQ(steps[all - 1], Narrow(FTarget));
    Snapshot after = Prefix();
    ASSERT_EQ(after, FBefore) << "a whole run left:" << Lacking(after, FBefore)
                              << "\nremoved:" << Lacking(FBefore, after);

    FForms = std::make_unique<TFormularze>();
    Install();
    ASSERT_FALSE(HasFatalFailure());
    FForms.reset();
    int resumed = 0;
    for (int k = 1; k <= all; ++k) {
        const RunResult r = NextRun(k);
        ASSERT_EQ(r.Code, kKilled) << "the run to be killed at " << k << " ended otherwise:\n" << r.Output;
        // The same steps in the same order as the whole run's: nothing done is done again differently.
        ASSERT_EQ(r.Steps, std::vector<std::string>(steps.begin(), steps.begin() + k)) << r.Output;
        if (UninstallerAUserStarts(FTarget).empty()) {
            ADD_FAILURE() << "killed at " << k << " (" << steps[k - 1] << "): nothing left to start the next run";
            continue;
        }
        ++resumed;
    }
    // Only the uninstaller in its folder: no record, no entry. Runs of that rest, each ended one step later,
    // until one ends by itself.
    EXPECT_EQ(NamesIn(FTarget + L"\\"), std::vector<std::wstring>{L"DeInstalka.exe"});
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    int restAll = 0, restResumed = 0;
    for (int j = 1;; ++j) {
        const RunResult r = NextRun(j);
        ASSERT_NE(r.Output.find("rest of a finished run"), std::string::npos) << r.Output;
        if (r.Code != kKilled) {
            ASSERT_EQ(r.Code, 0u) << r.Output;
            restAll = static_cast<int>(r.Steps.size());
            ASSERT_EQ(restAll, j - 1) << r.Output;
            break;
        }
        ASSERT_EQ(static_cast<int>(r.Steps.size()), j) << r.Output;
        ASSERT_LT(j, 10) << "the rest's run never ends:\n" << r.Output;
        if (UninstallerAUserStarts(FTarget).empty())
            ADD_FAILURE() << "the rest's run killed at " << j << ": nothing left to start the next run";
        else
            ++restResumed;
    }
    after = Prefix();
    const bool finished = after == FBefore;
    EXPECT_TRUE(finished) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);
    std::printf("uninstaller killed at k of %d steps: %d/%d completed\n", all, finished ? resumed : 0, all);
    std::printf("its rest (DeInstalka.exe alone, no record) killed at k of %d steps: %d/%d completed\n", restAll,
                finished ? restResumed : 0, restAll);
    EXPECT_EQ(resumed, all);
    EXPECT_EQ(restResumed, restAll);
    EXPECT_GT(restAll, 0);
}

// The state of a run killed at its last step, and DeInstalka.exe started there as a user starts it: with
// another file in the folder it removes nothing and says there is no record; alone, it finishes.
TEST_F(UninstallTest, AFolderLeftWithOnlyItsUninstallerIsFinishedByItAndWithAnotherFileNothingIsRemoved)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    FForms.reset();
    const RunResult killed = NextRun(-1);
    ASSERT_EQ(killed.Code, kKilled) << killed.Output;
    ASSERT_EQ(NamesIn(FTarget + L"\\"), std::vector<std::wstring>{L"DeInstalka.exe"});
    const std::wstring uninstaller = Target(L"DeInstalka.exe");
    ASSERT_EQ(UninstallerAUserStarts(FTarget), uninstaller) << "the entry outlived the record";

    // What no record vouches for is no finished run's rest.
    const std::string target = Narrow(FTarget), image = Narrow(ThroughZ(Env(L"WERB_DEINSTALKA")));
    EXPECT_EQ(ZapisDeinstalacji(target, image).Stan, TStanZapisu::zsResztka);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(ZapisDeinstalacji(target, Narrow(self)).Stan, TStanZapisu::zsBrak) << "another uninstaller runs";
    {
        const wchar_t other[] = L"\"C:\\Inny\\DeInstalka.exe\"";
        {
            UniqueRegKey entry;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallKey.c_str(), 0, nullptr, 0,
                                      KEY_SET_VALUE | kView32, nullptr, entry.Receive(), nullptr),
                      ERROR_SUCCESS);
            ASSERT_EQ(RegSetValueExW(entry.Get(), L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(other),
                                     sizeof other),
                      ERROR_SUCCESS);
        }
        EXPECT_EQ(ZapisDeinstalacji(target, image).Stan, TStanZapisu::zsBrak) << "an entry names another folder";
        DeleteTree32(HKEY_CURRENT_USER, kUninstallKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kProgramList);
    }
    MakeFolder(Target(L"Puste"));
    EXPECT_EQ(ZapisDeinstalacji(target, image).Stan, TStanZapisu::zsBrak) << "a folder in it";
    RemoveDirectoryW(Target(L"Puste").c_str());

    // The user's file: nothing goes, and the message says why.
    ASSERT_TRUE(WriteBytes(Target(L"moje notatki.txt"), "notatki"));
    const Snapshot withNotes = Prefix();
    std::vector<std::string> said = RunAsUser(uninstaller);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(said.size(), 1u) << "one message, no question";
    EXPECT_NE(said[0].find(Format(U(jzPolski, tdBrakRekordu), {"Werbfranko", Narrow(RecordFile())})),
              std::string::npos)
        << said[0];
    Snapshot after = Prefix();
    EXPECT_EQ(after, withNotes) << "removed:" << Lacking(withNotes, after) << "\nadded:" << Lacking(after, withNotes);

    // Alone again: the uninstaller and its folder go, and it says the product was removed.
    ASSERT_TRUE(DeleteFileW(Target(L"moje notatki.txt").c_str()));
    said = RunAsUser(uninstaller);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(said.size(), 2u) << "the question, the closing message";
    EXPECT_NE(said[0].find(Format(U(jzPolski, tdPytanie), {"Werbfranko"})), std::string::npos) << said[0];
    EXPECT_NE(said[1].find(Format(U(jzPolski, tdUsunietoWszystko), {"Werbfranko"})), std::string::npos) << said[1];
    EXPECT_NE(said[1].find(Format(U(jzPolski, tdLiczby), {1, 1, 0, 0})), std::string::npos) << said[1];
    after = Prefix();
    EXPECT_EQ(after, FBefore) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);
}
