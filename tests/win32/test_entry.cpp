// The real instalator.exe as a separate process: relaunch from the CD, the copy's wizard, its batch file and the flag.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
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

std::string ExpectedBatch(const std::wstring& copy, const std::wstring& batch)
{
    const std::string k = Narrow(copy), b = Narrow(batch);
    return ":repeat\r\ndel \"" + k + "\"\r\nif exist \"" + k + "\" goto repeat\r\ndel \"" + b + "\"\r\n";
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

// The command line another process was started with, from its process parameters.
std::optional<std::wstring> CommandLineOf(HANDLE process)
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
        EXPECT_EQ(*bytes, ExpectedBatch(copy.Path, copy.Batch));

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

// Only "/doit" exactly keeps the wizard on the CD.
INSTANTIATE_TEST_SUITE_P(Arguments, FromCd, ::testing::Values(L"", L"/DOIT", L"foo"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             const std::wstring a = info.param;
                             return a.empty() ? std::string("None") : a == L"/DOIT" ? "UpperCaseDoit" : "Foo";
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

} // namespace
