// The real instalator.exe as a separate process: relaunch from the CD, the copy's wizard, its batch file and the flag;
// a copy killed while it copies, and the next start that undoes what it left.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "install/WinHandle.h"
#include "test_files_support.h"
#include "test_process_support.h"
#include "ui/Unicode.h"

namespace {

constexpr wchar_t kFlagKey[] = L"SOFTWARE\\Zorvane\\Werbtron";
constexpr wchar_t kFlagName[] = L"InstallationInProgress";
constexpr wchar_t kCdProgram[] = L"D:\\instalator.exe";
constexpr wchar_t kCdDialog[] = L"Instalator";
constexpr wchar_t kMainWindow[] = L"Werbfranko - Instalator";
constexpr wchar_t kQuestion[] = L"Uwaga";

// Wine starts a process in about a second; these bound a hang, not the normal run.
constexpr int kStartMs = 30000;
constexpr int kEndMs = 20000;

// ---- files ----

std::wstring FullPath(const std::wstring& path)
{
    wchar_t buf[1024] = {};
    const DWORD n = GetFullPathNameW(path.c_str(), 1024, buf, nullptr);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

std::wstring Upper(std::wstring s)
{
    if (!s.empty()) CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return Upper(a) == Upper(b);
}


// The names in the folder that were not among before.
std::vector<std::wstring> NewIn(const std::wstring& folder, const std::vector<std::wstring>& before)
{
    std::vector<std::wstring> added;
    for (const auto& name : NamesIn(folder))
        if (std::find(before.begin(), before.end(), name) == before.end()) added.push_back(name);
    return added;
}

std::string Joined(const std::vector<std::wstring>& names)
{
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : ", ") + Narrow(n);
    return s;
}

// ---- the registry flag ----

struct RegValue {
    DWORD Type = 0;
    std::vector<BYTE> Data;
};

std::optional<RegValue> ReadValue(const wchar_t* key, const wchar_t* name)
{
    UniqueRegKey k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, k.Receive()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    RegValue v{type, std::vector<BYTE>(size)};
    if (RegQueryValueExW(k.Get(), name, nullptr, &type, v.Data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    v.Data.resize(size);
    return v;
}

bool KeyExists(const wchar_t* key)
{
    UniqueRegKey k;
    return RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, k.Receive()) == ERROR_SUCCESS;
}

// "1", "0", or what else is there ("missing", "type 1"): readable in a failure message.
std::string Flag()
{
    const auto v = ReadValue(kFlagKey, kFlagName);
    if (!v) return "missing";
    if (v->Type != REG_DWORD || v->Data.size() != sizeof(DWORD)) return "type " + std::to_string(v->Type);
    DWORD d = 0;
    memcpy(&d, v->Data.data(), sizeof d);
    return std::to_string(d);
}

void SetFlag(DWORD value)
{
    UniqueRegKey k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kFlagKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, k.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k.Get(), kFlagName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
}

// ---- windows and processes of the installer ----

BOOL CALLBACK NoteVisible(HWND w, LPARAM data)
{
    if (IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(data)->push_back(w);
    return TRUE;
}

std::vector<HWND> VisibleTopLevel()
{
    std::vector<HWND> found;
    EnumWindows(NoteVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The visible top-level window with exactly this caption; of process pid, or of any process but notPid.
HWND VisibleWindow(const std::wstring& caption, DWORD pid, DWORD notPid = 0)
{
    for (HWND w : VisibleTopLevel()) {
        const DWORD owner = ProcessOf(w);
        if (TextOf(w) == caption && (pid ? owner == pid : owner != notPid)) return w;
    }
    return nullptr;
}

HWND WaitForWindow(const std::wstring& caption, DWORD pid, DWORD notPid = 0)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = VisibleWindow(caption, pid, notPid)) != nullptr; }, kStartMs);
    return found;
}

struct ButtonSearch {
    std::wstring Caption;
    HWND Found;
};

BOOL CALLBACK NoteButton(HWND w, LPARAM data)
{
    auto* s = reinterpret_cast<ButtonSearch*>(data);
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    if (lstrcmpiW(cls, L"Button") != 0 || TextOf(w) != s->Caption) return TRUE;
    s->Found = w;
    return FALSE;
}

// A push button anywhere below the window (the forms keep their buttons on panels).
HWND Button(HWND top, const std::wstring& caption)
{
    ButtonSearch search{caption, nullptr};
    EnumChildWindows(top, NoteButton, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// For a button whose click ends a modal loop: the click is handled before the call returns.
void Press(HWND button)
{
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result));
}

// For a button whose click opens a modal dialog: a sent click would wait until that dialog closes.
void PressLater(HWND button)
{
    EXPECT_TRUE(PostMessageW(button, BM_CLICK, 0, 0));
}

std::vector<std::wstring> Arguments(const std::wstring& commandLine)
{
    std::vector<std::wstring> args;
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &n);
    if (!argv) return args;
    for (int i = 1; i < n; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

struct Process {
    UniqueHandle Handle;
    DWORD Id = 0;
};

UniqueHandle Duplicate(HANDLE h)
{
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return UniqueHandle(copy);
}

bool Ended(const Process& p, int milliseconds)
{
    return WaitForSingleObject(p.Handle.Get(), static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

// ---- the fixture: the installer on the CD, the clean-up of every run ----

class Entry : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::wstring program = ThroughZ(Env(L"WERB_INSTALATOR"));
        CdViaZ() = ThroughZ(Env(L"WERB_CDROM"));
        if (program.empty() || CdViaZ().empty()) return;
        CdViaZ() += L"\\";
        ForceDelete(CdViaZ() + L"instalator.exe");
        // Read-only, as every file on a CD.
        if (CopyFileW(program.c_str(), (CdViaZ() + L"instalator.exe").c_str(), FALSE))
            SetFileAttributesW((CdViaZ() + L"instalator.exe").c_str(), FILE_ATTRIBUTE_READONLY);
        // The CD dialog accepts D: by these.
        for (const wchar_t* marker : {L"Werbilo2.exe", L"UmowaPol.txt"}) {
            const std::wstring path = CdViaZ() + marker;
            if (!Exists(path) && WriteBytes(path, "x")) Markers().push_back(path);
        }
        KeyExisted() = KeyExists(kFlagKey);
        SavedFlag() = ReadValue(kFlagKey, kFlagName);
    }

    static void TearDownTestSuite()
    {
        if (!CdViaZ().empty()) ForceDelete(CdViaZ() + L"instalator.exe");
        for (const auto& path : Markers()) DeleteFileW(path.c_str());
        Markers().clear();
        if (!KeyExisted()) {
            RegDeleteKeyW(HKEY_CURRENT_USER, kFlagKey);
        } else if (!SavedFlag()) {
            UniqueRegKey k;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, kFlagKey, 0, KEY_ALL_ACCESS, k.Receive()) == ERROR_SUCCESS)
                RegDeleteValueW(k.Get(), kFlagName);
        } else {
            UniqueRegKey k;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, kFlagKey, 0, KEY_ALL_ACCESS, k.Receive()) == ERROR_SUCCESS)
                RegSetValueExW(k.Get(), kFlagName, 0, SavedFlag()->Type, SavedFlag()->Data.data(),
                               static_cast<DWORD>(SavedFlag()->Data.size()));
        }
    }

    static std::wstring& CdViaZ()
    {
        static std::wstring path;
        return path;
    }
    static std::vector<std::wstring>& Markers()
    {
        static std::vector<std::wstring> paths;
        return paths;
    }
    static bool& KeyExisted()
    {
        static bool existed = false;
        return existed;
    }
    static std::optional<RegValue>& SavedFlag()
    {
        static std::optional<RegValue> value;
        return value;
    }

    void SetUp() override
    {
        ASSERT_FALSE(CdViaZ().empty()) << "WERB_INSTALATOR or WERB_CDROM is not set";
        ASSERT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM));
        ASSERT_TRUE(Exists(kCdProgram)) << "the installer did not reach D:";
        FTemp = TempFolder();
        ASSERT_FALSE(FTemp.empty());
        for (const wchar_t* name : {L"instal.exe", L"delme.bat", L"0instal.exe", L"0delme.bat"})
            ASSERT_FALSE(Exists(FTemp + name)) << Narrow(FTemp + name) << " is left from an earlier run";
        FOwnTempNames = true;
        FTempBefore = NamesIn(FTemp);
        // A known start, so that the flag the installer leaves is its own.
        SetFlag(0);
    }

    void TearDown() override
    {
        for (auto& p : FProcesses)
            if (!Ended(p, 0)) {
                TerminateProcess(p.Handle.Get(), 1);
                Ended(p, 5000);
            }
        KillCopiesLeftBehind();
        // A copy that ended lets its batch file remove both files; whatever stays goes here. Also the names
        // that a run which should not have copied would take.
        std::vector<std::wstring> files;
        if (FOwnTempNames)
            for (const wchar_t* name : {L"instal.exe", L"delme.bat", L"0instal.exe", L"0delme.bat"})
                files.push_back(FTemp + name);
        for (const auto& path : files) {
            bool taken = false;
            for (const auto& t : FTaken) taken = taken || SamePath(t, path);
            if (!taken && !WaitFor([&] { return !Exists(path); }, 10000)) ForceDelete(path);
        }
        for (const auto& path : FTaken) ForceDelete(path);
        // The copy's folder goes with its batch file; one left behind is removed here.
        for (const auto& folder : FCleanUp)
            if (!WaitFor([&] { return !Exists(folder); }, 10000)) RemoveTree(folder);
        for (const auto& [folder, file] : FFolders) {
            ForceDelete(folder + file);
            RemoveDirectoryW(folder.c_str());
        }
    }

    // A copy whose window was never found is still a child of a process this test started.
    void KillCopiesLeftBehind()
    {
        std::set<DWORD> parents;
        for (const auto& p : FProcesses) parents.insert(p.Id);
        UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return;
        PROCESSENTRY32W e{};
        e.dwSize = sizeof e;
        for (BOOL more = Process32FirstW(snapshot.Get(), &e); more; more = Process32NextW(snapshot.Get(), &e)) {
            if (!parents.count(e.th32ParentProcessID)) continue;
            UniqueHandle p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                       e.th32ProcessID));
            if (!p) continue;
            const std::wstring image = Upper(ImageOf(p.Get()));
            const std::wstring temp = Upper(FTemp), suffix = L"INSTAL.EXE";
            // In a folder of its own directly inside %TEMP%.
            const std::size_t slash = image.find(L'\\', temp.size());
            if (image.size() >= temp.size() + suffix.size() && image.compare(0, temp.size(), temp) == 0 &&
                image.compare(image.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                slash != std::wstring::npos && image.find(L'\\', slash + 1) == std::wstring::npos) {
                TerminateProcess(p.Get(), 1);
                WaitForSingleObject(p.Get(), 5000);
            }
        }
    }

    // Started as from Explorer, detached: the batch file then gets a hidden console of its own, not the test's.
    Process Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder)
    {
        std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                            folder.c_str(), &si, &pi)) {
            ADD_FAILURE() << "cannot start " << Narrow(commandLine) << ": error " << GetLastError();
            return {};
        }
        CloseHandle(pi.hThread);
        FProcesses.push_back({UniqueHandle(pi.hProcess), pi.dwProcessId});
        return {Duplicate(pi.hProcess), pi.dwProcessId};
    }

    // Takes a process found by its window into the clean-up.
    Process Open(DWORD pid)
    {
        Process p;
        p.Id = pid;
        p.Handle.Reset(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ |
                                       PROCESS_TERMINATE | SYNCHRONIZE,
                                   FALSE, pid));
        if (p.Handle) FProcesses.push_back({Duplicate(p.Handle.Get()), pid});
        return p;
    }

    // The CD dialog of the process, the wizard's main window not yet shown; nullptr when the process ended first.
    HWND CdDialogOf(const Process& p)
    {
        HWND dialog = nullptr;
        WaitFor([&] { return (dialog = VisibleWindow(kCdDialog, p.Id)) != nullptr || Ended(p, 0); }, kStartMs);
        if (dialog) {
            EXPECT_EQ(VisibleWindow(kMainWindow, p.Id), nullptr) << "the main window came before the CD dialog";
        }
        return dialog;
    }

    // Cancels the CD dialog: the wizard ends without a question and clears the flag.
    void CancelAndExpectEnd(HWND dialog, const Process& p)
    {
        HWND cancel = Button(dialog, L"Anuluj");
        ASSERT_NE(cancel, nullptr) << "no Anuluj button in the CD dialog";
        Press(cancel);
        ASSERT_TRUE(Ended(p, kEndMs)) << "the installer did not end after Anuluj";
        EXPECT_EQ(Flag(), "0");
    }

    struct Copy {
        Process Proc;
        HWND Dialog = nullptr;
        std::wstring Folder, Path, Batch;
    };

    // Starts D:\instalator.exe with these arguments and follows the CD instance to its end: the copy and its
    // batch file in a new folder of their own in %TEMP%, no window, the flag left at 1. Then finds the copy by
    // its CD dialog.
    void RelaunchFromCd(const std::wstring& arguments, Copy& copy)
    {
        Process cd = Start(kCdProgram, arguments, L"D:\\");
        ASSERT_TRUE(cd.Handle);
        std::vector<std::wstring> shown;
        // Until it ends, or shows a window after all.
        WaitFor(
            [&] {
                for (HWND w : VisibleTopLevel())
                    if (ProcessOf(w) == cd.Id) shown.push_back(TextOf(w));
                return Ended(cd, 0) || !shown.empty();
            },
            kStartMs);
        for (const auto& caption : shown) ADD_FAILURE() << "the CD instance showed \"" << Narrow(caption) << "\"";
        ASSERT_TRUE(Ended(cd, 0)) << "the CD instance did not end by itself";
        // Read before the copy's start-up could write it: the CD instance must not have written 0.
        EXPECT_EQ(Flag(), "1") << "after the CD instance ended";

        const std::vector<std::wstring> added = NewIn(FTemp, FTempBefore);
        ASSERT_EQ(added.size(), 1u) << "new in " << Narrow(FTemp) << ": " << Joined(added);
        copy.Folder = FTemp + added.front() + L"\\";
        FCleanUp.push_back(copy.Folder);
        ASSERT_TRUE(GetFileAttributesW(copy.Folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY) << Narrow(copy.Folder);
        copy.Path = copy.Folder + L"instal.exe";
        copy.Batch = copy.Folder + L"delme.bat";
        EXPECT_EQ(NamesIn(copy.Folder), (std::vector<std::wstring>{L"delme.bat", L"instal.exe"}));
        ASSERT_TRUE(Exists(copy.Path)) << Narrow(copy.Path);
        const auto bytes = ReadBytes(copy.Batch);
        ASSERT_TRUE(bytes.has_value()) << Narrow(copy.Batch);
        EXPECT_EQ(*bytes, ExpectedDeletingBatch("instal.exe", "delme.bat"));

        HWND dialog = WaitForWindow(kCdDialog, 0, cd.Id);
        ASSERT_NE(dialog, nullptr) << "the copy showed no CD dialog";
        copy.Proc = Open(ProcessOf(dialog));
        ASSERT_TRUE(copy.Proc.Handle) << "cannot open the copy's process";
        EXPECT_TRUE(SamePath(ImageOf(copy.Proc.Handle.Get()), copy.Path)) << Narrow(ImageOf(copy.Proc.Handle.Get()));
        const auto commandLine = CommandLineOf(copy.Proc.Handle.Get());
        ASSERT_TRUE(commandLine.has_value()) << "cannot read the copy's command line";
        EXPECT_EQ(Arguments(*commandLine), std::vector<std::wstring>{L"/doit"}) << Narrow(*commandLine);
        copy.Dialog = CdDialogOf(copy.Proc);
        ASSERT_NE(copy.Dialog, nullptr) << "the copy's CD dialog went away";

        EXPECT_EQ(Flag(), "1") << "while the copy runs";
        // The batch loops: the running copy cannot be deleted, the batch file stays until it is.
        EXPECT_TRUE(Exists(copy.Path)) << "deleted while running";
        EXPECT_TRUE(Exists(copy.Batch)) << "the batch file went before the copy";
        // It runs elevated: nobody may write it while it runs.
        UniqueHandle writer(CreateFileW(copy.Batch.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = GetLastError();
        EXPECT_FALSE(writer) << "the batch file was opened for writing while the copy runs";
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }

    // The copy, its batch file and their folder are gone; %TEMP% holds what it held before.
    void ExpectFilesGone(const Copy& copy)
    {
        EXPECT_TRUE(WaitFor([&] { return !Exists(copy.Path) && !Exists(copy.Batch) && !Exists(copy.Folder); }, kEndMs))
            << "copy " << Exists(copy.Path) << ", batch " << Exists(copy.Batch) << ", folder " << Exists(copy.Folder)
            << " still in " << Narrow(FTemp);
        EXPECT_EQ(Joined(NewIn(FTemp, FTempBefore)), "") << "left in " << Narrow(FTemp);
    }

    // A file of this test's own taking a name in %TEMP%.
    void Taken(const std::wstring& path)
    {
        ASSERT_TRUE(WriteBytes(path, "taken"));
        FTaken.push_back(path);
    }

    std::wstring FTemp;
    std::vector<std::wstring> FTempBefore;  // the names in %TEMP% before the test
    bool FOwnTempNames = false;  // the names were free before: what takes them now comes from this test
    std::vector<Process> FProcesses;  // started or found; ended in TearDown if still running
    std::vector<std::wstring> FCleanUp;  // a copy's folder: gone once the copy ends
    std::vector<std::wstring> FTaken;
    std::vector<std::pair<std::wstring, std::wstring>> FFolders;  // a folder of its own and its one file
};

// ---- from the CD: the copy takes over ----

class FromCd : public Entry, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(FromCd, CopyRunsTheWizardAndIsDeletedAfterCancel)
{
    Copy copy;
    RelaunchFromCd(GetParam(), copy);
    if (HasFatalFailure()) return;
    CancelAndExpectEnd(copy.Dialog, copy.Proc);
    if (HasFatalFailure()) return;
    ExpectFilesGone(copy);
}

INSTANTIATE_TEST_SUITE_P(Arguments, FromCd, ::testing::Values(L""),
                         [](const ::testing::TestParamInfo<const wchar_t*>&) { return std::string("None"); });

struct StaticSearch {
    std::wstring Text;
};

BOOL CALLBACK NoteStaticText(HWND w, LPARAM data)
{
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) reinterpret_cast<StaticSearch*>(data)->Text += TextOf(w);
    return TRUE;
}

// Only "/doit" exactly makes the copy: anything else on the CD instance's line is an option it does not know,
// which it names in a message and ends with exit code 1, before any copy is made.
class NotAnOption : public Entry, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(NotAnOption, IsNamedInAMessageAndNothingIsCopied)
{
    Process cd = Start(kCdProgram, GetParam(), L"D:\\");
    ASSERT_TRUE(cd.Handle);
    const HWND message = WaitForWindow(L"Werbfranko", cd.Id);
    ASSERT_NE(message, nullptr) << "no message";
    StaticSearch text;
    EnumChildWindows(message, NoteStaticText, reinterpret_cast<LPARAM>(&text));
    EXPECT_NE(text.Text.find(GetParam()), std::wstring::npos) << Narrow(text.Text);
    EXPECT_EQ(Joined(NewIn(FTemp, FTempBefore)), "") << "copied while the message is up";
    const HWND ok = Button(message, L"OK");
    ASSERT_NE(ok, nullptr);
    Press(ok);
    ASSERT_TRUE(Ended(cd, kEndMs));
    DWORD code = 0;
    GetExitCodeProcess(cd.Handle.Get(), &code);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(Joined(NewIn(FTemp, FTempBefore)), "");
}

INSTANTIATE_TEST_SUITE_P(Arguments, NotAnOption, ::testing::Values(L"/DOIT", L"foo"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::wstring(info.param) == L"/DOIT" ? std::string("UpperCaseDoit") : "Foo";
                         });

// A file of that name in %TEMP% itself is not the copy's business: it stays, and the copy keeps its own name.
TEST_F(Entry, TakenCopyNameInTheTemporaryFolderStays)
{
    Taken(FTemp + L"instal.exe");
    FTempBefore = NamesIn(FTemp);
    Copy copy;
    RelaunchFromCd(L"", copy);
    if (HasFatalFailure()) return;
    CancelAndExpectEnd(copy.Dialog, copy.Proc);
    if (HasFatalFailure()) return;
    ExpectFilesGone(copy);
    EXPECT_EQ(ReadBytes(FTemp + L"instal.exe"), "taken");
    EXPECT_FALSE(Exists(FTemp + L"delme.bat"));
}

// Through the whole main window: OK on the CD dialog, then Zamknij and Tak.
TEST_F(Entry, CopyEndsThroughItsMainWindow)
{
    Copy copy;
    RelaunchFromCd(L"", copy);
    if (HasFatalFailure()) return;

    HWND ok = Button(copy.Dialog, L"OK");
    ASSERT_NE(ok, nullptr) << "no OK button in the CD dialog";
    Press(ok);
    HWND main = WaitForWindow(kMainWindow, copy.Proc.Id);
    ASSERT_NE(main, nullptr) << "no main window after OK";
    EXPECT_EQ(Flag(), "1");

    HWND close = Button(main, L"Zamknij");
    ASSERT_NE(close, nullptr) << "no Zamknij button in the main window";
    PressLater(close);
    HWND question = WaitForWindow(kQuestion, copy.Proc.Id);
    ASSERT_NE(question, nullptr) << "no question after Zamknij";
    HWND yes = Button(question, L"Tak");
    ASSERT_NE(yes, nullptr) << "no Tak button in the question";
    Press(yes);

    ASSERT_TRUE(Ended(copy.Proc, kEndMs)) << "the copy did not end after Tak";
    EXPECT_EQ(Flag(), "0");
    ExpectFilesGone(copy);
}

// ---- the wizard in the started process itself ----

TEST_F(Entry, DoitOnTheCdRunsTheWizardFromTheCd)
{
    Process p = Start(kCdProgram, L"/doit", L"D:\\");
    ASSERT_TRUE(p.Handle);
    HWND dialog = CdDialogOf(p);
    ASSERT_NE(dialog, nullptr) << "no CD dialog of the started process";
    EXPECT_TRUE(SamePath(ImageOf(p.Handle.Get()), kCdProgram)) << Narrow(ImageOf(p.Handle.Get()));
    EXPECT_FALSE(Exists(FTemp + L"instal.exe")) << "copied although started with /doit";
    EXPECT_FALSE(Exists(FTemp + L"delme.bat"));
    EXPECT_EQ(Joined(NewIn(FTemp, FTempBefore)), "") << "new in " << Narrow(FTemp);
    EXPECT_EQ(Flag(), "1");
    CancelAndExpectEnd(dialog, p);
    EXPECT_FALSE(Exists(FTemp + L"instal.exe"));
    EXPECT_EQ(Joined(NewIn(FTemp, FTempBefore)), "") << "new in " << Narrow(FTemp);
}

TEST_F(Entry, FixedDriveRunsTheWizardInPlace)
{
    const std::wstring folder = FullPath(FTemp + L"..\\werb-entry-test\\");
    ASSERT_FALSE(folder.empty());
    ASSERT_EQ(GetDriveTypeW(folder.substr(0, 3).c_str()), static_cast<UINT>(DRIVE_FIXED)) << Narrow(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    FFolders.emplace_back(folder, L"instalator.exe");
    const std::wstring program = folder + L"instalator.exe";
    ASSERT_TRUE(CopyFileW(kCdProgram, program.c_str(), FALSE));
    SetFileAttributesW(program.c_str(), FILE_ATTRIBUTE_ARCHIVE);

    Process p = Start(program, L"", folder);
    ASSERT_TRUE(p.Handle);
    HWND dialog = CdDialogOf(p);
    ASSERT_NE(dialog, nullptr) << "no CD dialog of the started process";
    EXPECT_TRUE(SamePath(ImageOf(p.Handle.Get()), program)) << Narrow(ImageOf(p.Handle.Get()));
    EXPECT_FALSE(Exists(FTemp + L"instal.exe")) << "copied from a fixed drive";
    EXPECT_FALSE(Exists(FTemp + L"delme.bat"));
    EXPECT_EQ(Joined(NewIn(FTemp, FTempBefore)), "") << "new in " << Narrow(FTemp);
    CancelAndExpectEnd(dialog, p);
}

// ---- killed while it copies, then started again ----

constexpr wchar_t kTitle[] = L"Werbfranko";
constexpr wchar_t kFormClass[] = L"WerbForm";
constexpr wchar_t kLabelClass[] = L"WerbLabel";
constexpr wchar_t kBrowser[] = L"Wybierz katalog";
constexpr wchar_t kNext[] = L"Dalej  >>";
constexpr wchar_t kAccept[] = L"Akceptuj\u0119 umow\u0119";
constexpr wchar_t kChangeFolder[] = L"Zmie\u0144...";
constexpr wchar_t kUninstallParent[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUninstallName[] = L"Werbtron";
constexpr wchar_t kGroup[] = L"Werbvoltan";
// Where the installation keeps its journal while it runs.
constexpr wchar_t kJournalFolder[] = L"Werbfranko";
constexpr wchar_t kTargetName[] = L"werb-kill-target";
constexpr wchar_t kPayloadPrefix[] = L"werb-kill-";
// Enough small files that the copy takes seconds under Wine, so that the kill comes while it runs.
constexpr int kPayloadFolders = 25;
constexpr int kFilesPerFolder = 100;
constexpr int kPayloadFiles = kPayloadFolders * kFilesPerFolder;
// Written before the kill: an interrupted installation that left real work behind.
constexpr int kFilesBeforeKill = 300;
// Bounds a copy or a roll-back that hangs.
constexpr int kWorkMs = 60000;

std::wstring ShellFolder(int csidl)
{
    wchar_t p[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, p)) ? p : L"";
}

// The files at any depth below a folder given with its trailing backslash; 0 when it does not exist.
int FilesBelow(const std::wstring& folder)
{
    int n = 0;
    WIN32_FIND_DATAW d{};
    const FindHandle h(FindFirstFileW((folder + L"*").c_str(), &d));
    if (!h) return 0;
    do {
        const std::wstring name = d.cFileName;
        if (name == L"." || name == L"..") continue;
        n += (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FilesBelow(folder + name + L"\\") : 1;
    } while (FindNextFileW(h.Get(), &d));
    return n;
}

// The product's uninstall entry in the registry view the 32-bit product sees, by root; empty when none.
std::string UninstallEntries()
{
    std::string found;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        UniqueRegKey k;
        if (RegOpenKeyExW(root, (std::wstring(kUninstallParent) + L"\\" + kUninstallName).c_str(), 0,
                          KEY_READ | KEY_WOW64_32KEY, k.Receive()) == ERROR_SUCCESS)
            found += root == HKEY_LOCAL_MACHINE ? " HKLM" : " HKCU";
    }
    return found;
}

void RemoveUninstallEntries()
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        UniqueRegKey parent;
        if (RegOpenKeyExW(root, kUninstallParent, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, parent.Receive()) ==
            ERROR_SUCCESS)
            RegDeleteTreeW(parent.Get(), kUninstallName);
    }
}

// The product's Start-menu group, the user's or all users'; their paths, empty when none.
std::vector<std::wstring> StartMenuGroups()
{
    std::vector<std::wstring> found;
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        const std::wstring programs = ShellFolder(csidl);
        if (!programs.empty() && Exists(programs + L"\\" + kGroup)) found.push_back(programs + L"\\" + kGroup);
    }
    return found;
}

struct ChildSearch {
    const wchar_t* Class;
    std::vector<HWND> Found;
};

BOOL CALLBACK NoteVisibleChild(HWND w, LPARAM data)
{
    auto* s = reinterpret_cast<ChildSearch*>(data);
    wchar_t cls[32] = {};
    GetClassNameW(w, cls, 32);
    if (IsWindowVisible(w) && lstrcmpiW(cls, s->Class) == 0) s->Found.push_back(w);
    return TRUE;
}

// The visible children of a class at any depth; a page hidden behind another counts as not there.
std::vector<HWND> VisibleChildren(HWND top, const wchar_t* cls)
{
    ChildSearch search{cls, {}};
    EnumChildWindows(top, NoteVisibleChild, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND WaitForChild(HWND top, const wchar_t* cls, const std::wstring& caption)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND c : VisibleChildren(top, cls))
                if (TextOf(c) == caption) found = c;
            return found != nullptr;
        },
        kStartMs);
    return found;
}

std::vector<std::wstring> Captions(const std::vector<HWND>& windows)
{
    std::vector<std::wstring> captions;
    for (HWND w : windows) captions.push_back(TextOf(w));
    return captions;
}

// The installer's visible top-level forms (its own window class) of a process.
std::vector<HWND> FormsOf(DWORD pid)
{
    std::vector<HWND> forms;
    for (HWND w : VisibleTopLevel()) {
        wchar_t cls[32] = {};
        GetClassNameW(w, cls, 32);
        if (ProcessOf(w) == pid && lstrcmpiW(cls, kFormClass) == 0) forms.push_back(w);
    }
    return forms;
}

// An edit control's own text: another process's GetWindowText would not ask the control.
std::wstring ControlText(HWND w)
{
    wchar_t buf[1024] = {};
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 10000, &n))
        return {};
    return std::wstring(buf, std::min<DWORD_PTR>(n, 1023));
}

// The running process whose image is this file; 0 when none.
DWORD ProcessWithImage(const std::wstring& image)
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snapshot.Get(), &e); more; more = Process32NextW(snapshot.Get(), &e)) {
        UniqueHandle p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID));
        if (p && SamePath(ImageOf(p.Get()), image)) return e.th32ProcessID;
    }
    return 0;
}

// A folder the relaunch makes for its copy: "werb-<hex>.tmp" directly in %TEMP%.
bool RelaunchFolderName(const std::wstring& folder, const std::wstring& temp)
{
    if (folder.size() <= temp.size() + 1 || !SamePath(folder.substr(0, temp.size()), temp)) return false;
    const std::wstring name = Upper(folder.substr(temp.size(), folder.size() - temp.size() - 1));
    return name.rfind(L"WERB-", 0) == 0 && name.size() > 9 && name.compare(name.size() - 4, 4, L".TMP") == 0 &&
           name.find(L'\\') == std::wstring::npos;
}

// A product CD of a few thousand files on D:, a target folder in %TEMP%, and a known start: no target, the flag
// at 0, no uninstall entry, no Start-menu group. Whatever the run leaves is removed again however it ends, so
// that no later test meets an interrupted installation.
class KilledCopy : public Entry {
protected:
    void SetUp() override
    {
        Entry::SetUp();
        if (HasFatalFailure()) return;
        FTarget = FTemp + kTargetName;
        FJournal = ShellFolder(CSIDL_LOCAL_APPDATA);
        ASSERT_FALSE(FJournal.empty()) << "no local application data folder";
        FJournal += std::wstring(L"\\") + kJournalFolder + L"\\";
        FJournalExisted = Exists(FJournal);
        FJournalBefore = NamesIn(FJournal);
        // Names of this test alone: what they hold is left from an earlier run that was itself killed.
        RemoveTree(FTarget);
        ASSERT_FALSE(Exists(FTarget)) << Narrow(FTarget) << " is left from an earlier run";
        FTempBefore = NamesIn(FTemp);
        // Other tests of the tree finish installations in this prefix: their entry and group are not this run's.
        RemoveUninstallEntries();
        for (const std::wstring& group : StartMenuGroups()) RemoveTree(group);
        ASSERT_EQ(UninstallEntries(), "") << "an uninstall entry cannot be removed";
        ASSERT_EQ(Joined(StartMenuGroups()), "") << "a Start-menu group cannot be removed";
        ASSERT_EQ(Flag(), "0");
        FKnownStart = true;

        const std::string text(200, 'w');
        for (int f = 0; f < kPayloadFolders; ++f) {
            const std::wstring folder = CdViaZ() + kPayloadPrefix + std::to_wstring(10 + f);
            RemoveTree(folder);
            FPayload.push_back(folder);
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << Narrow(folder);
            for (int i = 0; i < kFilesPerFolder; ++i) {
                const std::wstring file = folder + L"\\plik" + std::to_wstring(100 + i) + L".txt";
                ASSERT_TRUE(WriteBytes(file, text + std::to_string(i))) << Narrow(file);
            }
        }
    }

    void TearDown() override
    {
        // The processes first: nothing may write while the rest is removed.
        Entry::TearDown();
        for (const auto& folder : FPayload) RemoveTree(folder);
        if (!FKnownStart) return;
        RemoveTree(FTarget);
        for (const auto& name : NamesIn(FJournal))
            if (std::find(FJournalBefore.begin(), FJournalBefore.end(), name) == FJournalBefore.end())
                RemoveTree(FJournal + name);
        if (!FJournalExisted) RemoveDirectoryW(FJournal.c_str());
        RemoveUninstallEntries();
        for (const auto& group : StartMenuGroups()) RemoveTree(group);
        SetFlag(0);
    }

    // Polish throughout: LC_ALL=C gives an English system, and the wizard then speaks Polish.
    // OK in the CD dialog, Next, the licence accepted, Next, the target typed into the folder browser, Next:
    // the copy starts inside that last click.
    void WalkToTheCopy(const Copy& copy)
    {
        HWND ok = Button(copy.Dialog, L"OK");
        ASSERT_NE(ok, nullptr) << "no OK button in the CD dialog";
        Press(ok);
        HWND main = WaitForWindow(kMainWindow, copy.Proc.Id);
        ASSERT_NE(main, nullptr) << "no main window after OK";

        HWND next = WaitForChild(main, L"Button", kNext);
        ASSERT_NE(next, nullptr) << "no Next button on the Intro page";
        Press(next);
        HWND accept = WaitForChild(main, L"Button", kAccept);
        ASSERT_NE(accept, nullptr) << "no licence page after Next";
        Press(accept);
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(next) != FALSE; }, kStartMs))
            << "accepting the licence did not enable Next";
        Press(next);

        HWND change = WaitForChild(main, L"Button", kChangeFolder);
        ASSERT_NE(change, nullptr) << "no Options page after Next";
        PressLater(change);
        HWND browser = WaitForWindow(kBrowser, copy.Proc.Id);
        ASSERT_NE(browser, nullptr) << "no folder browser";
        const std::vector<HWND> edits = VisibleChildren(browser, L"Edit");
        ASSERT_EQ(edits.size(), 1u) << "the browser has no single path field";
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutW(edits.front(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(FTarget.c_str()),
                                        SMTO_ABORTIFHUNG, 10000, &result));
        ASSERT_EQ(Narrow(ControlText(edits.front())), Narrow(FTarget));
        HWND chosen = Button(browser, L"OK");
        ASSERT_NE(chosen, nullptr) << "no OK button in the browser";
        Press(chosen);
        ASSERT_NE(WaitForChild(main, kLabelClass, FTarget), nullptr) << "the Options page does not show the target";
        ASSERT_FALSE(Exists(FTarget)) << "made before Next";
        PressLater(next);
    }

    std::wstring FTarget;    // without a trailing backslash, as typed
    std::wstring FJournal;   // with its trailing backslash
    bool FJournalExisted = false;
    std::vector<std::wstring> FJournalBefore;
    std::vector<std::wstring> FPayload;  // folders of the CD, removed at the end
    bool FKnownStart = false;  // no installation was there: all of it may be removed at the end
};

// The copy killed from outside in the middle of its file copy leaves files and the flag behind. The next start
// tells, before anything else, that the interrupted installation is being undone, and undoes it: target folder,
// journal, flag; then the wizard starts as ever.
TEST_F(KilledCopy, NextStartUndoesTheInterruptedInstallation)
{
    Copy first;
    RelaunchFromCd(L"", first);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RelaunchFolderName(first.Folder, FTemp)) << Narrow(first.Folder);
    WalkToTheCopy(first);
    if (HasFatalFailure()) return;

    const std::wstring target = FTarget + L"\\";
    const bool copying = WaitFor(
        [&] { return FilesBelow(target) >= kFilesBeforeKill || Ended(first.Proc, 0); }, kWorkMs);
    ASSERT_TRUE(copying && !Ended(first.Proc, 0))
        << FilesBelow(target) << " files in the target; the copy " << (Ended(first.Proc, 0) ? "ended" : "runs")
        << "; its windows: " << Joined(Captions(FormsOf(first.Proc.Id)));
    ASSERT_TRUE(SamePath(ImageOf(first.Proc.Handle.Get()), first.Path)) << Narrow(ImageOf(first.Proc.Handle.Get()));
    ASSERT_TRUE(TerminateProcess(first.Proc.Handle.Get(), 1));
    ASSERT_TRUE(Ended(first.Proc, kEndMs)) << "the killed copy did not end";

    // What the fault leaves: without it the rest of the test would prove nothing.
    const int left = FilesBelow(target);
    RecordProperty("files_left_by_the_kill", left);
    EXPECT_GE(left, kFilesBeforeKill);
    ASSERT_LT(left, kPayloadFiles) << "the copy had ended before the kill: nothing was interrupted";
    ASSERT_EQ(Flag(), "1") << "right after the kill";
    // The batch file still removes the killed copy.
    EXPECT_TRUE(WaitFor([&] { return !Exists(first.Folder); }, kEndMs)) << Narrow(first.Folder) << " stays";

    // Started again as a user does: the CD instance hands over to a new copy.
    const std::vector<std::wstring> tempBefore = NamesIn(FTemp);
    Process cd = Start(kCdProgram, L"", L"D:\\");
    ASSERT_TRUE(cd.Handle);
    ASSERT_TRUE(Ended(cd, kStartMs)) << "the CD instance did not hand over; its windows: "
                                     << Joined(Captions(FormsOf(cd.Id)));
    const std::vector<std::wstring> added = NewIn(FTemp, tempBefore);
    ASSERT_EQ(added.size(), 1u) << "new in " << Narrow(FTemp) << ": " << Joined(added);
    Copy second;
    second.Folder = FTemp + added.front() + L"\\";
    FCleanUp.push_back(second.Folder);
    ASSERT_TRUE(RelaunchFolderName(second.Folder, FTemp)) << Narrow(second.Folder);
    second.Path = second.Folder + L"instal.exe";
    second.Batch = second.Folder + L"delme.bat";
    DWORD pid = 0;
    ASSERT_TRUE(WaitFor([&] { return (pid = ProcessWithImage(second.Path)) != 0; }, kStartMs))
        << "no process runs " << Narrow(second.Path);
    second.Proc = Open(pid);
    ASSERT_TRUE(second.Proc.Handle) << "cannot open the new copy's process";

    // Its first window: the question, alone, with OK only.
    std::vector<HWND> forms;
    WaitFor([&] { return !(forms = FormsOf(pid)).empty() || Ended(second.Proc, 0); }, kStartMs);
    ASSERT_FALSE(forms.empty()) << "the new copy " << (Ended(second.Proc, 0) ? "ended" : "runs")
                                << " without a window";
    HWND question = nullptr;
    for (HWND f : forms)
        if (TextOf(f) == kQuestion || TextOf(f) == kTitle) question = f;
    ASSERT_NE(question, nullptr) << "no recovery question before the CD dialog; the new copy shows: "
                                 << Joined(Captions(forms));
    EXPECT_EQ(Joined(Captions(forms)), Narrow(TextOf(question))) << "shown with the question";
    EXPECT_EQ(Joined(Captions(VisibleChildren(question, L"Button"))), "OK") << "the question only tells";
    std::wstring message;
    for (HWND label : VisibleChildren(question, kLabelClass)) message += TextOf(label);
    EXPECT_NE(message, L"") << "the question says nothing";
    RecordProperty("recovery_message", Narrow(message));
    HWND ok = Button(question, L"OK");
    ASSERT_NE(ok, nullptr);
    // The roll-back may run inside the click.
    PressLater(ok);

    // Then the wizard as ever: the CD dialog, cancelled.
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = VisibleWindow(kCdDialog, pid)) != nullptr || Ended(second.Proc, 0); }, kWorkMs);
    ASSERT_NE(dialog, nullptr) << "no CD dialog after the recovery question; the new copy shows: "
                               << Joined(Captions(FormsOf(pid)));
    EXPECT_FALSE(IsWindowVisible(question)) << "the question stays with the CD dialog";
    EXPECT_EQ(VisibleWindow(kMainWindow, pid), nullptr) << "the main window came before the CD dialog";
    CancelAndExpectEnd(dialog, second.Proc);
    if (HasFatalFailure()) return;

    // Nothing of the interrupted installation is left, and no journal.
    EXPECT_FALSE(Exists(FTarget)) << FilesBelow(target) << " files left in " << Narrow(FTarget);
    EXPECT_EQ(Flag(), "0");
    EXPECT_EQ(UninstallEntries(), "");
    EXPECT_EQ(Joined(StartMenuGroups()), "");
    EXPECT_EQ(Joined(NamesIn(FJournal)), Joined(FJournalBefore)) << "in " << Narrow(FJournal);
    ExpectFilesGone(second);
}

} // namespace
