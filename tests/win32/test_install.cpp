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
#include "test_rights_support.h"
#include "ui/Unicode.h"

namespace {

// ---- small platform helpers of the tests ----


bool WaitFor(const std::function<bool()>& condition, int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

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

std::wstring ShortPathOf(const std::wstring& path)
{
    wchar_t buf[1024] = {};
    const DWORD n = GetShortPathNameW(path.c_str(), buf, 1024);
    return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
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

// The bytes the deleting batch must hold for copy K and batch B as they are spelled in it.
std::string ExpectedBatch(const std::string& k, const std::string& b)
{
    return ":repeat\r\ndel \"" + k + "\"\r\nif exist \"" + k + "\" goto repeat\r\ndel \"" + b + "\"\r\n";
}

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
        for (const auto& folder : FFolders) RemoveFolder(folder);
        RemoveFolder(FOut);
        SetEnvironmentVariableW(L"WERB_PROBE_OUT", nullptr);
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

    // Starts the probe from D:\ as a user would, and follows the copy and its batch file to their end: both in
    // a folder of their own made in the temporary folder, which goes with them; nothing else stays there.
    // spell: how the batch must spell a path (the path itself unless it needs a short or escaped form).
    void RelaunchFromCd(const std::wstring& temp, const std::function<std::string(const std::wstring&)>& spell)
    {
        const std::vector<std::wstring> before = NamesIn(temp);
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
        const std::wstring copy = folder + L"instal.exe", batch = folder + L"delme.bat";
        EXPECT_EQ(NamesIn(folder), (std::vector<std::wstring>{L"delme.bat", L"instal.exe"})) << Narrow(folder);

        // The copy is held until the release file appears: both files must be there, the batch looping.
        ASSERT_TRUE(Exists(copy)) << Narrow(copy);
        EXPECT_FALSE(GetFileAttributesW(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
        const auto bytes = ReadBytes(batch);
        ASSERT_TRUE(bytes.has_value()) << Narrow(batch);
        EXPECT_EQ(*bytes, ExpectedBatch(spell(copy), spell(batch)));
        EXPECT_TRUE(IsAscii(*bytes));

        ASSERT_TRUE(WaitFor([&] { return Exists(FOut + L"copy.txt"); }, 20000)) << "the copy did not start";
        const auto report = ReadBytes(FOut + L"copy.txt");
        ASSERT_TRUE(report.has_value());
        const auto lines = Lines(*report);
        ASSERT_EQ(lines.size(), 4u) << *report;
        // A path with a % reaches the shell by its short form.
        EXPECT_STRCASEEQ(Narrow(LongPathOf(Widen(lines[0]))).c_str(), Narrow(copy).c_str());
        EXPECT_STRCASEEQ(Narrow(LongPathOf(Widen(lines[1]))).c_str(),
                         Narrow(folder.substr(0, folder.size() - 1)).c_str());
        EXPECT_EQ(lines[3], "/doit");

        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        EXPECT_TRUE(Exists(copy)) << "deleted while running";
        EXPECT_TRUE(Exists(batch)) << "the batch ended before the copy";
        if (FWhileRunning) FWhileRunning(folder, batch);

        ASSERT_TRUE(WriteBytes(FOut + L"release", ""));
        EXPECT_TRUE(WaitFor([&] { return !Exists(copy) && !Exists(batch) && !Exists(folder); }, 20000))
            << "copy " << Exists(copy) << ", batch " << Exists(batch) << ", folder " << Exists(folder)
            << " still there";
        EXPECT_EQ(NamesIn(temp), before) << "the temporary folder holds other entries than before";
    }

    static std::string AsIs(const std::wstring& path) { return Narrow(path); }


    std::wstring FOut;
    std::vector<std::wstring> FCleanUp;  // the copy's folder: gone once the copy ends
    std::function<void(const std::wstring& folder, const std::wstring& batch)> FWhileRunning;
    std::vector<std::wstring> FTaken;    // names taken beforehand
    std::vector<std::wstring> FFolders;
    std::optional<ScopedTemp> FTemp;
};

TEST_F(Relaunch, FromTheCdIntoTheDefaultTemporaryFolder)
{
    const std::wstring temp = DefaultTemp();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    RelaunchFromCd(temp, AsIs);
}

// The names of the copy and its batch file in the temporary folder itself are nobody's business of the relaunch:
// whatever holds them stays as it was, and the copy keeps its plain names in its own folder.
TEST_F(Relaunch, TakenCopyNameInTheTemporaryFolderStays)
{
    const std::wstring temp = UseTemp(L"werb-taken-copy");
    Taken(temp + L"instal.exe");
    RelaunchFromCd(temp, AsIs);
    EXPECT_EQ(ReadBytes(temp + L"instal.exe"), "taken");
}

TEST_F(Relaunch, TakenBatchNameInTheTemporaryFolderStays)
{
    const std::wstring temp = UseTemp(L"werb-taken-batch");
    Taken(temp + L"delme.bat");
    RelaunchFromCd(temp, AsIs);
    EXPECT_EQ(ReadBytes(temp + L"delme.bat"), "taken");
    EXPECT_FALSE(Exists(temp + L"instal.exe"));
}

TEST_F(Relaunch, NumberedNamesInTheTemporaryFolderStay)
{
    const std::wstring temp = UseTemp(L"werb-taken-zero");
    Taken(temp + L"instal.exe");
    Taken(temp + L"0delme.bat");
    RelaunchFromCd(temp, AsIs);
    EXPECT_EQ(ReadBytes(temp + L"instal.exe"), "taken");
    EXPECT_EQ(ReadBytes(temp + L"0delme.bat"), "taken");
    EXPECT_FALSE(Exists(temp + L"0instal.exe"));
}

TEST_F(Relaunch, FolderWithSpaces)
{
    const std::wstring temp = UseTemp(L"werb temp with spaces");
    RelaunchFromCd(temp, AsIs);
}

// cmd expands %NAME% inside a batch file and on its command line, Wine's ShellExecute in the file name.
TEST_F(Relaunch, PercentSignsInTheFolder)
{
    const std::wstring temp = UseTemp(L"werb 100%PATH%");
    RelaunchFromCd(temp, [](const std::wstring& path) {
        std::string out;
        for (char c : Narrow(path)) out += (c == '%') ? std::string("%%") : std::string(1, c);
        return out;
    });
}

// cmd reads a batch file in the OEM code page: a non-ASCII path goes in by its ASCII short form,
// whether the ANSI code page has its letters (é) or not (ł).
TEST_F(Relaunch, NonAsciiFolderInTheAnsiCodePage)
{
    if (!UnicodeFileNames()) GTEST_SKIP() << "runs in test_install_utf8 (a UTF-8 locale)";
    const std::wstring temp = UseTemp(L"werb caf\u00e9");
    RelaunchFromCd(temp, [](const std::wstring& path) {
        const std::wstring s = ShortPathOf(path);
        EXPECT_NE(s, path);
        return Narrow(s);
    });
}

TEST_F(Relaunch, NonAsciiFolderOutsideTheAnsiCodePage)
{
    if (!UnicodeFileNames()) GTEST_SKIP() << "runs in test_install_utf8 (a UTF-8 locale)";
    const std::wstring temp = UseTemp(L"werb \u0142\u00f3d\u017a");
    RelaunchFromCd(temp, [](const std::wstring& path) {
        const std::wstring s = ShortPathOf(path);
        EXPECT_NE(s, path);
        return Narrow(s);
    });
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
    RelaunchFromCd(DefaultTemp(), AsIs);
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
    RelaunchFromCd(DefaultTemp(), AsIs);
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

// Runs a batch file as UruchomKopie does (quoted short command line, hidden, detached from the test's console).
bool RunBatch(const std::wstring& batch, const std::wstring& folder)
{
    std::wstring commandLine = L"\"" + ShortPathOf(batch) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
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
    void TearDown() override { RemoveFolder(FFolder); }
    std::wstring FFolder;
};

TEST_F(DeletingBatch, ExampleOfTheTemporaryFolder)
{
    const auto text = DeletingBatchText("C:\\TEMP\\instal.exe", "C:\\TEMP\\delme.bat");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, ":repeat\r\n"
                     "del \"C:\\TEMP\\instal.exe\"\r\n"
                     "if exist \"C:\\TEMP\\instal.exe\" goto repeat\r\n"
                     "del \"C:\\TEMP\\delme.bat\"\r\n");
}

// Without a file there is no short form: the long path goes in ANSI if the code page (1252 here) has its letters.
TEST_F(DeletingBatch, MissingNonAsciiPathFallsBackToAnsiOrNothing)
{
    ASSERT_EQ(GetACP(), 1252u);
    const auto ansi = DeletingBatchText("C:\\werb-nowhere\\caf\xC3\xA9.exe", "C:\\werb-nowhere\\delme.bat");
    ASSERT_TRUE(ansi.has_value());
    EXPECT_NE(ansi->find("\"C:\\werb-nowhere\\caf\xE9.exe\""), std::string::npos);
    EXPECT_FALSE(DeletingBatchText("C:\\werb-nowhere\\\xC5\x82\xC3\xB3" "d\xC5\xBA.exe", "C:\\werb-nowhere\\delme.bat"));
}

TEST_F(DeletingBatch, NonAsciiPathsGoInByTheirShortForm)
{
    if (!UnicodeFileNames()) GTEST_SKIP() << "runs in test_install_utf8 (a UTF-8 locale)";
    const std::wstring folder = MakeFolder(L"werb \u0142\u00f3d\u017a");
    const std::wstring copy = folder + L"instal.exe", batch = folder + L"delme.bat";
    ASSERT_TRUE(WriteBytes(copy, "copy"));
    ASSERT_TRUE(WriteBytes(batch, ""));
    const auto text = DeletingBatchText(Narrow(copy), Narrow(batch));
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, ExpectedBatch(Narrow(ShortPathOf(copy)), Narrow(ShortPathOf(batch))));
    EXPECT_TRUE(IsAscii(*text));
    ASSERT_TRUE(WriteBytes(batch, *text));
    ASSERT_TRUE(RunBatch(batch, folder.substr(0, folder.size() - 1)));
    EXPECT_TRUE(WaitFor([&] { return !Exists(copy) && !Exists(batch); }, 5000));
}

// cmd expands %NAME% even between quotes: the batch doubles every %, and the real cmd then finds the files.
TEST_F(DeletingBatch, PercentSignsAreDoubled)
{
    const std::wstring folder = MakeFolder(L"werb 100%PATH%");
    const std::wstring copy = folder + L"instal.exe", batch = folder + L"delme.bat";
    ASSERT_TRUE(WriteBytes(copy, "copy"));
    ASSERT_TRUE(WriteBytes(batch, ""));
    const auto text = DeletingBatchText(Narrow(copy), Narrow(batch));
    ASSERT_TRUE(text.has_value());
    const std::string doubled = "werb 100%%PATH%%\\";
    EXPECT_NE(text->find("del \"" + Narrow(DefaultTemp()) + doubled + "instal.exe\"\r\n"), std::string::npos) << *text;
    EXPECT_NE(text->find("del \"" + Narrow(DefaultTemp()) + doubled + "delme.bat\"\r\n"), std::string::npos) << *text;
    ASSERT_TRUE(WriteBytes(batch, *text));
    ASSERT_TRUE(RunBatch(batch, folder.substr(0, folder.size() - 1)));
    EXPECT_TRUE(WaitFor([&] { return !Exists(copy) && !Exists(batch); }, 5000));
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
