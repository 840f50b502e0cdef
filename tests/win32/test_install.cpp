// The start-up helpers of untInstalFunkcje on the real Wine platform: relaunch, installation flag, drives, fonts, languages.
#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "install/WinHandle.h"
#include "install/untInstalFunkcje.h"
#include "test_files_support.h"
#include "test_process_support.h"
#include "test_rights_support.h"
#include "ui/Unicode.h"

namespace {

// ---- small platform helpers of the tests ----


std::wstring DefaultTemp();
std::wstring Upper(std::wstring s);

// Deletes the files of a folder (one level) and the folder; read-only files too. Only folders of the tests'
// own below the temporary folder: an empty or relative path would name the current folder.
void RemoveFolder(const std::wstring& folder)
{
    const std::wstring temp = DefaultTemp();
    if (folder.empty()) return;
    if (temp.size() < 4 || folder.size() <= temp.size() + 5 || folder.back() != L'\\' ||
        Upper(folder.substr(0, temp.size())) != Upper(temp)) {
        ADD_FAILURE() << "refusing to empty " << Narrow(folder);
        return;
    }
    for (const auto& name : NamesIn(folder)) {
        const std::wstring path = folder + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
    // A file deleted while another process still has it open goes only when that handle closes.
    WaitFor([&] { return RemoveDirectoryW(folder.c_str()) || !Exists(folder); }, 3000);
}

std::wstring DefaultTemp()
{
    wchar_t buf[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    return n > 0 && n <= MAX_PATH ? std::wstring(buf, n) : std::wstring();
}

std::wstring Upper(std::wstring s)
{
    CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

bool IsAscii(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0, nl;
    while ((nl = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Under LC_ALL=C Wine cannot put non-ASCII names on the Unix side; test_install_utf8 runs those cases.
bool UnicodeFileNames()
{
    return Env(L"WERB_UNICODE_NAMES") == L"1";
}

std::wstring LongPathOf(const std::wstring& path)
{
    wchar_t buf[1024] = {};
    const DWORD n = GetLongPathNameW(path.c_str(), buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : path;
}

// Sets TMP and TEMP (GetTempPathW reads them) for this process and its children; restores them afterwards.
class ScopedTemp {
public:
    explicit ScopedTemp(const std::wstring& folder) : FTmp(Saved(L"TMP")), FTemp(Saved(L"TEMP"))
    {
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }
    ScopedTemp(const ScopedTemp&) = delete;
    ScopedTemp& operator=(const ScopedTemp&) = delete;
    ~ScopedTemp()
    {
        SetEnvironmentVariableW(L"TMP", FTmp ? FTmp->c_str() : nullptr);
        SetEnvironmentVariableW(L"TEMP", FTemp ? FTemp->c_str() : nullptr);
    }

private:
    static std::optional<std::wstring> Saved(const wchar_t* name)
    {
        if (GetEnvironmentVariableW(name, nullptr, 0) == 0) return std::nullopt;
        return Env(name);
    }
    std::optional<std::wstring> FTmp, FTemp;
};

} // namespace

// ---- start-up values ----

TEST(StartUpValues, HoldTheirInitialValues)
{
    EXPECT_EQ(NumerProduktu, 1);
    EXPECT_EQ(JezykProduktu, jzFrancuski);
    EXPECT_TRUE(CzyscFlageInstalacji);
    EXPECT_EQ(OknoAplikacji, nullptr);
}

// ---- relaunch from the CD ----

class Relaunch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::wstring probe = ThroughZ(Env(L"WERB_PROBE"));
        const std::wstring cd = ThroughZ(Env(L"WERB_CDROM"));
        if (probe.empty() || cd.empty()) return;
        CdProbeViaZ() = cd + L"\\relaunch_probe.exe";
        SetFileAttributesW(CdProbeViaZ().c_str(), FILE_ATTRIBUTE_NORMAL);
        // Read-only, as every file on a CD.
        if (CopyFileW(probe.c_str(), CdProbeViaZ().c_str(), FALSE))
            SetFileAttributesW(CdProbeViaZ().c_str(), FILE_ATTRIBUTE_READONLY);
    }
    static void TearDownTestSuite()
    {
        SetFileAttributesW(CdProbeViaZ().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(CdProbeViaZ().c_str());
    }
    static std::wstring& CdProbeViaZ()
    {
        static std::wstring path;
        return path;
    }

    void SetUp() override
    {
        ASSERT_FALSE(CdProbeViaZ().empty()) << "WERB_PROBE or WERB_CDROM is not set";
        ASSERT_TRUE(Exists(L"D:\\relaunch_probe.exe")) << "the probe did not reach D:";
        FOut = DefaultTemp() + L"werb-relaunch-out\\";
        RemoveFolder(FOut);
        ASSERT_TRUE(CreateDirectoryW(FOut.c_str(), nullptr));
        SetEnvironmentVariableW(L"WERB_PROBE_OUT", FOut.c_str());
    }

    void TearDown() override
    {
        // A copy still waiting for its release ends now, and its batch file then removes both files.
        WriteBytes(FOut + L"release", "");
        for (const auto& folder : FCleanUp)
            if (!WaitFor([&] { return !Exists(folder); }, 5000)) RemoveFolder(folder);
        for (const auto& path : FTaken) DeleteFileW(path.c_str());
        FTemp.reset();
        // Inner folders first.
        for (auto folder = FFolders.rbegin(); folder != FFolders.rend(); ++folder) RemoveFolder(*folder);
        RemoveFolder(FOut);
        SetEnvironmentVariableW(L"WERB_PROBE_OUT", nullptr);
        SetEnvironmentVariableW(L"EVIL", nullptr);
    }

    // A fresh temporary folder of this test's own, made the process's %TEMP%.
    std::wstring UseTemp(const std::wstring& name)
    {
        FTemp.reset();
        const std::wstring folder = DefaultTemp() + name + L"\\";
        RemoveFolder(folder);
        EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << Narrow(folder);
        FFolders.push_back(folder);
        FTemp.emplace(folder.substr(0, folder.size() - 1));
        return folder;
    }

    void Taken(const std::wstring& path)
    {
        ASSERT_TRUE(WriteBytes(path, "taken"));
        FTaken.push_back(path);
    }

    // What a relaunch left running: the copy's folder and files, and the cmd that runs the batch file.
    struct Started {
        std::wstring Folder, Copy, Batch;
        UniqueHandle Cmd;
    };

    // Starts the probe from D:\ as a user would, and follows it until its copy runs: the copy and its batch file
    // in a folder of their own made in the temporary folder, the copy started there, a hidden cmd running the
    // batch file in that folder with a line of names the relaunch made, all ASCII.
    void StartFromCd(const std::wstring& temp, Started& started)
    {
        const std::vector<std::wstring> before = NamesIn(temp);
        FBefore = before;
        ASSERT_EQ(TypDysku("D:\\relaunch_probe.exe"), DRIVE_CDROM);
        ASSERT_TRUE(GetFileAttributesW(L"D:\\relaunch_probe.exe") & FILE_ATTRIBUTE_READONLY);

        std::wstring commandLine = L"\"D:\\relaunch_probe.exe\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        // Detached, as from Explorer: the batch then gets a hidden console of its own, not the test's.
        ASSERT_TRUE(CreateProcessW(L"D:\\relaunch_probe.exe", commandLine.data(), nullptr, nullptr, FALSE,
                                   DETACHED_PROCESS, nullptr, L"D:\\", &si, &pi));
        UniqueHandle process(pi.hProcess), thread(pi.hThread);
        ASSERT_EQ(WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0) << "the CD instance did not end";
        DWORD code = 99;
        ASSERT_TRUE(GetExitCodeProcess(process.Get(), &code));
        ASSERT_EQ(code, 0u) << "UruchomKopie returned false";

        // One new entry in the temporary folder: a folder, holding the copy and its batch file under their names.
        std::vector<std::wstring> added;
        for (const auto& name : NamesIn(temp))
            if (std::find(before.begin(), before.end(), name) == before.end()) added.push_back(name);
        ASSERT_EQ(added.size(), 1u) << "new in " << Narrow(temp) << ": " << added.size() << " entries";
        const std::wstring folder = temp + added.front() + L"\\";
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        ASSERT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            << Narrow(folder) << " is no folder";
        FCleanUp.push_back(folder);
        started.Folder = folder;
        started.Copy = folder + L"instal.exe";
        started.Batch = folder + L"delme.bat";
        EXPECT_EQ(NamesIn(folder), (std::vector<std::wstring>{L"delme.bat", L"instal.exe"})) << Narrow(folder);

        // The copy is held until the release file appears: both files must be there, the batch looping.
        ASSERT_TRUE(Exists(started.Copy)) << Narrow(started.Copy);
        EXPECT_FALSE(GetFileAttributesW(started.Copy.c_str()) & FILE_ATTRIBUTE_READONLY);
        const auto bytes = ReadBytes(started.Batch);
        ASSERT_TRUE(bytes.has_value()) << Narrow(started.Batch);
        EXPECT_EQ(*bytes, ExpectedDeletingBatch("instal.exe", "delme.bat"));

        // The user's %TEMP% reaches neither cmd's line nor its environment: nothing there for cmd to expand.
        const std::vector<DWORD> cmds = ChildrenOf(pi.dwProcessId, L"cmd.exe");
        ASSERT_EQ(cmds.size(), 1u) << "cmd processes the CD instance started";
        started.Cmd.Reset(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, cmds.front()));
        ASSERT_TRUE(started.Cmd) << "cmd ended while the copy runs";
        const auto cmdLine = CommandLineOf(started.Cmd.Get());
        ASSERT_TRUE(cmdLine.has_value()) << "cannot read cmd's command line";
        EXPECT_EQ(*cmdLine, L"cmd /d /v:off /s /c \"call delme.bat & cd .. & (rmdir " + added.front() +
                                L" || (ping -n 2 127.0.0.1 >nul & rmdir " + added.front() + L"))\"")
            << Narrow(*cmdLine);
        EXPECT_TRUE(IsAscii(Narrow(*cmdLine)));

        ASSERT_TRUE(WaitFor([&] { return Exists(FOut + L"copy.txt"); }, 20000)) << "the copy did not start";
        const auto report = ReadBytes(FOut + L"copy.txt");
        ASSERT_TRUE(report.has_value());
        const auto lines = Lines(*report);
        ASSERT_EQ(lines.size(), 4u) << *report;
        EXPECT_STRCASEEQ(Narrow(LongPathOf(Widen(lines[0]))).c_str(), Narrow(started.Copy).c_str());
        EXPECT_STRCASEEQ(Narrow(LongPathOf(Widen(lines[1]))).c_str(),
                         Narrow(folder.substr(0, folder.size() - 1)).c_str());
        EXPECT_EQ(lines[3], "/doit");

        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        EXPECT_TRUE(Exists(started.Copy)) << "deleted while running";
        EXPECT_TRUE(Exists(started.Batch)) << "the batch ended before the copy";
    }

    // Lets the copy end: the copy, the batch file and their folder go; nothing else stays in temp.
    void ReleaseAndExpectGone(const std::wstring& temp, const Started& started)
    {
        ASSERT_TRUE(WriteBytes(FOut + L"release", ""));
        EXPECT_TRUE(WaitFor([&] { return !Exists(started.Copy) && !Exists(started.Batch) && !Exists(started.Folder); },
                            20000))
            << "copy " << Exists(started.Copy) << ", batch " << Exists(started.Batch) << ", folder "
            << Exists(started.Folder) << " still there";
        EXPECT_EQ(NamesIn(temp), FBefore) << "the temporary folder holds other entries than before";
    }

    // The whole relaunch, from the CD to the copy's end.
    void RelaunchFromCd(const std::wstring& temp)
    {
        Started started;
        StartFromCd(temp, started);
        if (HasFatalFailure()) return;
        if (FWhileRunning) FWhileRunning(started.Folder, started.Batch);
        ReleaseAndExpectGone(temp, started);
    }



    std::wstring FOut;
    std::vector<std::wstring> FCleanUp;  // the copy's folder: gone once the copy ends
    std::function<void(const std::wstring& folder, const std::wstring& batch)> FWhileRunning;
    std::vector<std::wstring> FTaken;    // names taken beforehand
    std::vector<std::wstring> FFolders;
    std::vector<std::wstring> FBefore;   // the names in the temporary folder before the relaunch
    std::optional<ScopedTemp> FTemp;
};

TEST_F(Relaunch, FromTheCdIntoTheDefaultTemporaryFolder)
{
    const std::wstring temp = DefaultTemp();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    RelaunchFromCd(temp);
}

// The names of the copy and its batch file in the temporary folder itself are nobody's business of the relaunch:
// whatever holds them stays as it was, and the copy keeps its plain names in its own folder.
TEST_F(Relaunch, TakenCopyNameInTheTemporaryFolderStays)
{
    const std::wstring temp = UseTemp(L"werb-taken-copy");
    Taken(temp + L"instal.exe");
    RelaunchFromCd(temp);
    EXPECT_EQ(ReadBytes(temp + L"instal.exe"), "taken");
}

TEST_F(Relaunch, TakenBatchNameInTheTemporaryFolderStays)
{
    const std::wstring temp = UseTemp(L"werb-taken-batch");
    Taken(temp + L"delme.bat");
    RelaunchFromCd(temp);
    EXPECT_EQ(ReadBytes(temp + L"delme.bat"), "taken");
    EXPECT_FALSE(Exists(temp + L"instal.exe"));
}

TEST_F(Relaunch, NumberedNamesInTheTemporaryFolderStay)
{
    const std::wstring temp = UseTemp(L"werb-taken-zero");
    Taken(temp + L"instal.exe");
    Taken(temp + L"0delme.bat");
    RelaunchFromCd(temp);
    EXPECT_EQ(ReadBytes(temp + L"instal.exe"), "taken");
    EXPECT_EQ(ReadBytes(temp + L"0delme.bat"), "taken");
    EXPECT_FALSE(Exists(temp + L"0instal.exe"));
}

TEST_F(Relaunch, FolderWithSpaces)
{
    const std::wstring temp = UseTemp(L"werb temp with spaces");
    RelaunchFromCd(temp);
}

// cmd expands %NAME% on its line and in a batch file: no path of the temporary folder goes into either.
TEST_F(Relaunch, PercentSignsInTheFolder)
{
    const std::wstring temp = UseTemp(L"werb 100%PATH%");
    RelaunchFromCd(temp);
}

// cmd reads a batch file in the OEM code page, and a volume may have no short names: the batch names the files
// by their ASCII names in its own folder, whether the ANSI code page has the folder's letters (é) or not (ł).
TEST_F(Relaunch, NonAsciiFolderInTheAnsiCodePage)
{
    if (!UnicodeFileNames()) GTEST_SKIP() << "runs in test_install_utf8 (a UTF-8 locale)";
    RelaunchFromCd(UseTemp(L"werb caf\u00e9"));
}

TEST_F(Relaunch, NonAsciiFolderOutsideTheAnsiCodePage)
{
    if (!UnicodeFileNames()) GTEST_SKIP() << "runs in test_install_utf8 (a UTF-8 locale)";
    ASSERT_EQ(GetACP(), 1252u);
    RelaunchFromCd(UseTemp(L"werb \u0142\u00f3d\u017a"));
}

// The user sets %TEMP% and the environment the elevated installer gets: a % name that cmd would expand into a
// command of the user's, carets that double inside quotes, & and !. The relaunch runs whole and nothing of the
// user's runs. In a UTF-8 locale the folder has Polish letters too, outside the ANSI code page.
TEST_F(Relaunch, NonAsciiAndCmdCharactersInTheTemporaryFolder)
{
    // A valid 8.3 name: its short form keeps the %.
    UseTemp(L"a%EVIL%b");
    const std::wstring polish = UnicodeFileNames() ? L"\u0141\u00f3d\u017a" : L"x";
    const std::wstring temp = UseTemp(L"a%EVIL%b\\w ^&! " + polish);
    const std::wstring pwned = FOut + L"pwned.txt";
    SetEnvironmentVariableW(L"EVIL", (L"\" & echo pwned> " + pwned + L" & \"").c_str());
    RelaunchFromCd(temp);
    EXPECT_FALSE(Exists(pwned)) << "cmd ran a command from the temporary folder's path";
}

// Whoever holds the copy open without sharing deletion keeps it: the elevated cmd tries a second apart for about
// a minute, then deletes its batch file and ends while the copy is still held; the copy stays.
TEST_F(Relaunch, CopyHeldOpenEndsTheBatchInBoundedTime)
{
    const std::wstring temp = UseTemp(L"werb-held-copy");
    Started started;
    StartFromCd(temp, started);
    if (HasFatalFailure()) return;
    UniqueHandle holder(CreateFileW(started.Copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder) << "cannot hold " << Narrow(started.Copy) << ": error " << GetLastError();
    ASSERT_TRUE(WriteBytes(FOut + L"release", ""));
    // The bound of a hang, far above the minute of tries even at idle priority on a loaded machine.
    EXPECT_EQ(WaitForSingleObject(started.Cmd.Get(), 600000), WAIT_OBJECT_0) << "cmd still tries to delete the copy";
    EXPECT_TRUE(Exists(started.Copy)) << "the held copy went";
    EXPECT_FALSE(Exists(started.Batch)) << "the batch file stayed";
    holder.Reset();
}

// Any program of the user may write the temporary folder; the batch file runs elevated, so while it runs
// nobody may open it for writing, whatever rights they have.
TEST_F(Relaunch, BatchFileCannotBeOpenedForWritingWhileItRuns)
{
    bool checked = false;
    FWhileRunning = [&](const std::wstring&, const std::wstring& batch) {
        for (DWORD access : {static_cast<DWORD>(GENERIC_WRITE), static_cast<DWORD>(FILE_APPEND_DATA)}) {
            UniqueHandle writer(CreateFileW(batch.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            const DWORD error = GetLastError();
            EXPECT_FALSE(writer) << "opened for writing with access " << std::hex << access;
            EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "access " << std::hex << access;
        }
        // Reading stays possible, as cmd must.
        EXPECT_TRUE(ReadBytes(batch).has_value());
        checked = true;
    };
    RelaunchFromCd(DefaultTemp());
    EXPECT_TRUE(checked) << "the relaunch ended before the batch file could be tried";
}

// Elevated, the copy's folder lets only administrators and the system write or delete in it.
TEST_F(Relaunch, CopyFolderIsWritableByAdministratorsOnly)
{
    if (!RunsAsAdministrator()) GTEST_SKIP() << "not elevated: the folder keeps the temporary folder's security";
    bool checked = false;
    FWhileRunning = [&](const std::wstring& folder, const std::wstring&) {
        ExpectWritableByAdministratorsOnly(folder);
        checked = true;
    };
    RelaunchFromCd(DefaultTemp());
    EXPECT_TRUE(checked) << "the relaunch ended before the folder could be looked at";
}

TEST_F(Relaunch, ProgramInTheTemporaryFolderIsRefused)
{
    const std::wstring temp = UseTemp(L"werb-refuse");
    const std::wstring program = temp + L"probe.exe";
    ASSERT_TRUE(CopyFileW(ThroughZ(Env(L"WERB_PROBE")).c_str(), program.c_str(), FALSE));
    EXPECT_FALSE(UruchomKopie(Narrow(Upper(program)), "instal.exe", "/doit"));
    EXPECT_FALSE(UruchomKopie(Narrow(program), "instal.exe", "/doit"));
    EXPECT_EQ(NamesIn(temp), std::vector<std::wstring>{L"probe.exe"});
}

TEST_F(Relaunch, MissingProgramIsRefused)
{
    const std::wstring temp = UseTemp(L"werb-missing");
    EXPECT_FALSE(UruchomKopie("C:\\werb-no-such-folder\\nothing.exe", "instal.exe", "/doit"));
    EXPECT_FALSE(UruchomKopie("", "instal.exe", "/doit"));
    // A folder is no program file.
    EXPECT_FALSE(UruchomKopie("C:\\windows", "instal.exe", "/doit"));
    EXPECT_TRUE(NamesIn(temp).empty());
}

TEST_F(Relaunch, CopyThatCannotStartLeavesNothing)
{
    const std::wstring source = UseTemp(L"werb-not-a-program");
    const std::wstring fake = source + L"fake.exe";
    ASSERT_TRUE(WriteBytes(fake, "this is no program"));
    const std::wstring temp = UseTemp(L"werb-not-a-program-temp");
    EXPECT_FALSE(UruchomKopie(Narrow(fake), "instal.exe", "/doit"));
    EXPECT_TRUE(NamesIn(temp).empty());
}

// ---- the deleting batch file run by the real cmd ----

namespace {

// Runs a batch file as UruchomKopie does: the system's cmd, hidden, detached from the test's console, in the
// batch file's folder, with its name only.
bool RunBatch(const std::wstring& name, const std::wstring& folder)
{
    wchar_t system[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const std::wstring cmd = std::wstring(system, n) + L"\\cmd.exe";
    std::wstring commandLine = L"cmd /d /v:off /s /c \"call " + name + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(cmd.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        folder.c_str(), &si, &pi))
        return false;
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    return WaitForSingleObject(process.Get(), 20000) == WAIT_OBJECT_0;
}

} // namespace

class DeletingBatch : public ::testing::Test {
protected:
    std::wstring MakeFolder(const std::wstring& name)
    {
        FFolder = DefaultTemp() + name + L"\\";
        RemoveFolder(FFolder);
        EXPECT_TRUE(CreateDirectoryW(FFolder.c_str(), nullptr)) << Narrow(FFolder);
        return FFolder;
    }
    // The numbered names too: cmd takes a leading digit for no redirection or argument.
    void RunInFolder(const std::wstring& name)
    {
        const std::wstring folder = MakeFolder(name);
        for (const char* n : {"", "0", "17"}) {
            const std::string copyName = n + std::string("instal.exe"), batchName = n + std::string("delme.bat");
            const std::wstring copy = folder + Widen(copyName), batch = folder + Widen(batchName);
            const auto text = DeletingBatchText(copyName, batchName);
            ASSERT_TRUE(text.has_value());
            EXPECT_TRUE(IsAscii(*text));
            ASSERT_TRUE(WriteBytes(copy, "copy"));
            ASSERT_TRUE(WriteBytes(batch, *text));
            ASSERT_TRUE(RunBatch(Widen(batchName), folder.substr(0, folder.size() - 1)));
            EXPECT_FALSE(Exists(copy)) << copyName;
            EXPECT_FALSE(Exists(batch)) << batchName;
        }
        EXPECT_TRUE(NamesIn(folder).empty());
    }
    void TearDown() override { RemoveFolder(FFolder); }
    std::wstring FFolder;
};

TEST_F(DeletingBatch, NamesTheFilesInItsFolder)
{
    const auto text = DeletingBatchText("instal.exe", "delme.bat");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, ExpectedDeletingBatch("instal.exe", "delme.bat"));
}

// Anything but a plain ASCII name could be read otherwise by cmd or the code page, or lead out of the folder.
TEST_F(DeletingBatch, OnlyPlainAsciiNames)
{
    for (const char* name : {"", "C:\\TEMP\\instal.exe", "..\\instal.exe", "caf\xC3\xA9.exe", "a%PATH%.exe",
                             "a^b.exe", "a&b.exe", "a!b.exe", "a b.exe", "a\"b.exe", ".bat", "a/b.exe", "a:b.exe"}) {
        EXPECT_FALSE(DeletingBatchText(name, "delme.bat")) << name;
        EXPECT_FALSE(DeletingBatchText("instal.exe", name)) << name;
    }
}

// The real cmd in the folder deletes both files, whatever the folder's path holds.
TEST_F(DeletingBatch, RunByCmdInAFolderWithPercentSigns)
{
    RunInFolder(L"werb 100%PATH% ^&!");
}

TEST_F(DeletingBatch, RunByCmdInAFolderWithPolishLetters)
{
    if (!UnicodeFileNames()) GTEST_SKIP() << "runs in test_install_utf8 (a UTF-8 locale)";
    RunInFolder(L"werb \u0142\u00f3d\u017a");
}

// ---- the installation flag in HKEY_CURRENT_USER ----

class InstallationFlag : public ::testing::Test {
protected:
    static constexpr const wchar_t* Vendor = L"SOFTWARE\\Zorvane";
    static constexpr const wchar_t* Product = L"SOFTWARE\\Zorvane\\Werbtron";
    static constexpr const wchar_t* Backup = L"SOFTWARE\\WerbInstallTestBackup";

    static bool KeyExists(const wchar_t* path)
    {
        UniqueRegKey key;
        return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
    }

    // Whatever the product key held before the test is kept in a backup key and put back afterwards.
    void SetUp() override
    {
        FVendorExisted = KeyExists(Vendor);
        FBackedUp = KeyExists(Product);
        if (FBackedUp) {
            UniqueRegKey from, to;
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Product, 0, KEY_READ, from.Receive()), ERROR_SUCCESS);
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Backup, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, to.Receive(),
                                      nullptr),
                      ERROR_SUCCESS);
            ASSERT_EQ(RegCopyTreeW(from.Get(), nullptr, to.Get()), ERROR_SUCCESS);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, Product);
        ASSERT_FALSE(KeyExists(Product));
    }

    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, Product);
        if (FBackedUp) {
            UniqueRegKey from, to;
            EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Backup, 0, KEY_READ, from.Receive()), ERROR_SUCCESS);
            EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Product, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      to.Receive(), nullptr),
                      ERROR_SUCCESS);
            EXPECT_EQ(RegCopyTreeW(from.Get(), nullptr, to.Get()), ERROR_SUCCESS);
            RegDeleteTreeW(HKEY_CURRENT_USER, Backup);
        }
        if (!FVendorExisted) RegDeleteKeyW(HKEY_CURRENT_USER, Vendor);  // fails, as it should, if not empty
    }

    struct Value {
        DWORD Type = REG_NONE;
        DWORD Data = 0xDEADBEEF;
        DWORD Size = 0;
    };
    static std::optional<Value> Flag()
    {
        Value v;
        v.Size = sizeof v.Data;
        if (RegGetValueW(HKEY_CURRENT_USER, Product, L"InstallationInProgress", RRF_RT_ANY | RRF_NOEXPAND, &v.Type,
                         &v.Data, &v.Size) != ERROR_SUCCESS)
            return std::nullopt;
        return v;
    }

    bool FVendorExisted = false;
    bool FBackedUp = false;
};

TEST_F(InstallationFlag, TrueCreatesTheKeyAndWritesOne)
{
    UstawFlageInstalacji(1, true);
    const auto v = Flag();
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v->Size, 4u);
    EXPECT_EQ(v->Data, 1u);
}

TEST_F(InstallationFlag, FalseWritesZeroIntoTheExistingKey)
{
    UstawFlageInstalacji(1, true);
    UstawFlageInstalacji(1, false);
    const auto v = Flag();
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v->Data, 0u);
    UstawFlageInstalacji(1, true);
    EXPECT_EQ(Flag().value_or(Value{}).Data, 1u);
}

TEST_F(InstallationFlag, FalseCreatesNothing)
{
    UstawFlageInstalacji(1, false);
    EXPECT_FALSE(KeyExists(Product));
}

TEST_F(InstallationFlag, ReplacesAValueOfAnotherType)
{
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Product, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(),
                              nullptr),
              ERROR_SUCCESS);
    const wchar_t text[] = L"yes";
    ASSERT_EQ(RegSetValueExW(key.Get(), L"InstallationInProgress", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             sizeof text),
              ERROR_SUCCESS);
    UstawFlageInstalacji(1, false);
    const auto v = Flag();
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v->Data, 0u);
}

TEST_F(InstallationFlag, OtherProductsWriteNothing)
{
    for (std::int32_t product : {0, 2, 3, -1, 1000}) {
        UstawFlageInstalacji(product, true);
        EXPECT_FALSE(KeyExists(Product)) << "product " << product;
    }
    if (!FVendorExisted) {
        EXPECT_FALSE(KeyExists(Vendor));
    }
}

// ---- the running program and drives ----

TEST(ApplicationFolder, IsTheFolderOfTheTestProgram)
{
    const std::string folder = KatalogAplikacji();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    const std::wstring bin = ThroughZ(Env(L"WERB_BIN"));
    ASSERT_FALSE(bin.empty()) << "WERB_BIN is not set";
    EXPECT_STRCASEEQ(folder.c_str(), (Narrow(bin) + "\\").c_str());
    EXPECT_STRCASEEQ(SciezkaAplikacji().c_str(), (folder + "test_install.exe").c_str());
}

TEST(DriveRoot, FollowsTheDrivePartOfThePath)
{
    EXPECT_EQ(KorzenDysku("C:\\windows\\system32"), "C:\\");
    EXPECT_EQ(KorzenDysku("D:\\"), "D:\\");
    EXPECT_EQ(KorzenDysku("D:"), "D:\\");
    EXPECT_EQ(KorzenDysku("d:relative"), "d:\\");
    EXPECT_EQ(KorzenDysku("\\\\server\\share\\folder\\file"), "\\\\server\\share\\");
    EXPECT_EQ(KorzenDysku("\\\\server\\share"), "\\\\server\\share\\");
    EXPECT_EQ(KorzenDysku("\\\\server"), "\\\\server\\");
    EXPECT_EQ(KorzenDysku("\\\\"), "");
    EXPECT_EQ(KorzenDysku("\\folder"), "");
    EXPECT_EQ(KorzenDysku("folder\\file"), "");
    EXPECT_EQ(KorzenDysku(""), "");
}

TEST(DriveType, OfTheDrivesOfThePrefix)
{
    EXPECT_EQ(TypDysku("D:\\foo"), DRIVE_CDROM);
    EXPECT_EQ(TypDysku("D:"), DRIVE_CDROM);
    EXPECT_EQ(TypDysku("d:\\"), DRIVE_CDROM);
    EXPECT_EQ(TypDysku("C:\\windows"), DRIVE_FIXED);
    EXPECT_EQ(TypDysku(KatalogAplikacji()), DRIVE_FIXED);  // Z:, the Unix root
    EXPECT_EQ(TypDysku(""), 0);
    EXPECT_EQ(TypDysku("foo"), 0);
    EXPECT_EQ(TypDysku("\\foo\\bar"), 0);
}

// ---- interface font ----

namespace {

using FamilyCharsets = std::map<std::wstring, std::set<BYTE>>;

int CALLBACK NoteFamily(const LOGFONTW* f, const TEXTMETRICW*, DWORD, LPARAM data)
{
    (*reinterpret_cast<FamilyCharsets*>(data))[f->lfFaceName].insert(f->lfCharSet);
    return 1;
}

int CALLBACK CountFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data)
{
    ++*reinterpret_cast<int*>(data);
    return 1;
}

// Every (family, character set) pair the system reports, from one enumeration of all families.
FamilyCharsets AllFamilies()
{
    FamilyCharsets families;
    ScreenDC dc;
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc.Get(), &all, NoteFamily, reinterpret_cast<LPARAM>(&families), 0);
    return families;
}

// Another way to ask: enumerate the family in that one character set only.
bool ReportedInCharset(const std::wstring& face, BYTE charset)
{
    ScreenDC dc;
    LOGFONTW wanted{};
    wanted.lfCharSet = charset;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    int count = 0;
    EnumFontFamiliesExW(dc.Get(), &wanted, CountFont, reinterpret_cast<LPARAM>(&count), 0);
    return count > 0;
}

const BYTE SomeCharsets[] = {ANSI_CHARSET, EASTEUROPE_CHARSET, RUSSIAN_CHARSET, GREEK_CHARSET, TURKISH_CHARSET,
                             HEBREW_CHARSET, ARABIC_CHARSET, BALTIC_CHARSET, THAI_CHARSET, SHIFTJIS_CHARSET,
                             SYMBOL_CHARSET, VIETNAMESE_CHARSET};

} // namespace

TEST(InterfaceFont, FollowsWhatArialAndTahomaOffer)
{
    const bool arial = RodzinaMaZestaw("Arial", EASTEUROPE_CHARSET);
    const bool tahoma = RodzinaMaZestaw("Tahoma", EASTEUROPE_CHARSET);
    std::printf("this prefix: Arial %s EASTEUROPE, Tahoma %s EASTEUROPE\n", arial ? "has" : "lacks",
                tahoma ? "has" : "lacks");
    CzcionkaInterfejsu = "unset";
    WybierzCzcionke();
    EXPECT_EQ(CzcionkaInterfejsu, arial ? "Arial" : tahoma ? "Tahoma" : "Arial");
}

TEST(InterfaceFont, AgreesWithACharsetSpecificEnumeration)
{
    for (const wchar_t* face : {L"Arial", L"Tahoma"})
        for (BYTE cs : SomeCharsets)
            EXPECT_EQ(RodzinaMaZestaw(Narrow(face), cs), ReportedInCharset(face, cs))
                << Narrow(face) << " charset " << int(cs);
}

TEST(InterfaceFont, ReportedFamiliesOfferExactlyTheirCharsets)
{
    const auto families = AllFamilies();
    ASSERT_FALSE(families.empty()) << "the system reports no font at all";
    int checked = 0;
    for (const auto& [face, charsets] : families) {
        if (face.empty() || face[0] == L'@') continue;  // vertical variants
        for (BYTE cs : SomeCharsets)
            EXPECT_EQ(RodzinaMaZestaw(Narrow(face), cs), charsets.count(cs) == 1) << Narrow(face) << " " << int(cs);
        if (++checked == 8) break;
    }
    EXPECT_GT(checked, 0);
}

TEST(InterfaceFont, MadeUpFamilyOffersNothing)
{
    for (int cs = 0; cs < 256; ++cs)
        EXPECT_FALSE(RodzinaMaZestaw("Werbfranko Nonexistent Sans", static_cast<BYTE>(cs))) << cs;
    EXPECT_FALSE(RodzinaMaZestaw("", ANSI_CHARSET));
    EXPECT_FALSE(RodzinaMaZestaw(std::string(40, 'A'), ANSI_CHARSET));  // longer than a face name can be
}

// ---- languages ----

TEST(Charsets, PerLanguage)
{
    EXPECT_EQ(ZestawZnakow(jzPolski), EASTEUROPE_CHARSET);
    EXPECT_EQ(ZestawZnakow(jzAngielski), EASTEUROPE_CHARSET);
    EXPECT_EQ(ZestawZnakow(jzFrancuski), ANSI_CHARSET);
    EXPECT_EQ(ZestawZnakow(jzNiemiecki), EASTEUROPE_CHARSET);
    EXPECT_EQ(ZestawZnakow(jzWloski), ANSI_CHARSET);
    EXPECT_EQ(ZestawZnakow(jzHiszpanski), ANSI_CHARSET);
    EXPECT_EQ(ZestawZnakow(jzRosyjski), RUSSIAN_CHARSET);
    for (int j = 7; j < 256; ++j) EXPECT_EQ(ZestawZnakow(static_cast<TJezyk>(j)), EASTEUROPE_CHARSET) << j;
}

TEST(LocaleLanguage, FollowsTheLocaleTable)
{
    for (LCID l : {1031u, 2055u, 3079u, 4103u, 5127u}) EXPECT_EQ(JezykLokalu(l), jzNiemiecki) << l;
    for (LCID l : {1034u, 2058u, 3082u}) EXPECT_EQ(JezykLokalu(l), jzHiszpanski) << l;
    for (LCID l : {1036u, 2060u, 3084u}) EXPECT_EQ(JezykLokalu(l), jzFrancuski) << l;
    for (LCID l : {1040u, 2064u}) EXPECT_EQ(JezykLokalu(l), jzWloski) << l;
    EXPECT_EQ(JezykLokalu(1049), jzRosyjski);
    // Polish, English and every locale without a row, near neighbours of the rows included.
    for (LCID l : {1045u, 1033u, 2057u, 0u, 4108u, 5132u, 6151u, 11274u, 1041u, 0x10407u, 0xFFFFFFFFu})
        EXPECT_EQ(JezykLokalu(l), jzPolski) << l;
}

// Run again under LC_ALL values by ctest; WERB_EXPECTED_* say what that locale must give.
TEST(SystemLanguage, FollowsTheThreadLocale)
{
    const std::wstring lcid = Env(L"WERB_EXPECTED_LCID"), jezyk = Env(L"WERB_EXPECTED_JEZYK");
    ASSERT_FALSE(lcid.empty() || jezyk.empty()) << "WERB_EXPECTED_LCID / WERB_EXPECTED_JEZYK not set";
    EXPECT_EQ(GetThreadLocale(), std::stoul(lcid));
    EXPECT_EQ(static_cast<int>(JezykSystemu()), std::stoi(jezyk));
}
