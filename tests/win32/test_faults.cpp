// Faults during a real installation: a full disk, a CD file that cannot be read, the CD drive gone, read-only
// and locked files in the target, long paths, Polish letters. Each ends on a defined page with nothing left
// outside what that outcome allows; with WERB_FAULTS_TABLE set the run prints the table.
#include "test_engine_support.h"
#include "test_faults_table.h"
#include "test_process_support.h"

#include <shellapi.h>

#include <map>
#include <string>
#include <vector>

#include "texts/Format.h"

namespace {

// "--hold FILE": this program, started again, keeps FILE open without sharing until it is ended.
const bool kHolder = [] {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc == 3 && std::wstring(argv[1]) == L"--hold") {
        HANDLE h = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        Sleep(h == INVALID_HANDLE_VALUE ? 0 : 120000);
        ExitProcess(h == INVALID_HANDLE_VALUE ? 1 : 0);
    }
    LocalFree(argv);
    return false;
}();

std::wstring SystemFolder()
{
    return ProductSystemFolder();
}

// The settings of the product other than the installation flag, which the wizard keeps while it runs.
int SettingsWritten()
{
    int n = 0;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, L"SOFTWARE\\Zorvane\\Werbtron", 0, KEY_READ | kView32, &key) != ERROR_SUCCESS) continue;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            if (std::wstring(name) != L"InstallationInProgress") ++n;
        }
        RegCloseKey(key);
    }
    return n;
}

} // namespace

class FaultTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        FSystemBefore = Listing(SystemFolder());
    }

    // Through the wizard with every question answered: cancel questions No, the low-space question Yes.
    void InstallThroughQuestions(const std::function<void(int)>& atCheck = {})
    {
        GoToOptions();
        ASSERT_FALSE(HasFatalFailure());
        auto hook = std::make_shared<std::function<void(TForm&)>>();
        *hook = [this, hook, atCheck](TForm& f) {
            EXPECT_EQ(&f, frmPytanie);
            const bool cancel = frmPytanie->lblPytanie.Caption() == Text(txtAskAbortInstall);
            if (cancel) {
                ++FQuestions;
                if (atCheck) atCheck(FQuestions);
                PostMessageW(frmMain->btnZamknij.Handle(), BM_CLICK, 0, 0);
            }
            Application.OnNextModalShown(*hook);
            (cancel ? frmPytanie->btnNie : frmPytanie->btnTak).Click();
            if (!cancel) {
                // The first cancel request once the low-space question is out of the way: a click that
                // waited in the queue would have reached the Options page's Close while it was asked.
                FOtherQuestions += frmPytanie->lblPytanie.Caption() + " | ";
                PostMessageW(frmMain->btnZamknij.Handle(), BM_CLICK, 0, 0);
            }
        };
        Application.OnNextModalShown(*hook);
        if (!FNoted) NoteTargetBefore();
        frmMain->FKatalogDocelowy = Narrow(FTarget);
        if (frmMain->SprawdzWolneMiejsce()) PostMessageW(frmMain->btnZamknij.Handle(), BM_CLICK, 0, 0);
        TModalWatchdog watchdog(*frmPytanie, 60000);
        frmMain->btnDalej.Click();
    }

    std::string Page() const
    {
        if (frmMain->FStrona == stKoniec) {
            const std::string end = EndText();
            if (end == Text(txtDoneOk)) return "End: 161";
            if (end == Text(txtDoneError)) return "End: 162";
            if (end == Text(txtDoneAborted)) return "End: 163";
            return "End: ?";
        }
        return frmMain->FStrona == stOpcje ? "Options" : "page " + std::to_string(frmMain->FStrona);
    }

    // Counts what the outcome does not allow, records the row and checks both counts are 0.
    void Expect(const std::string& fault, const std::string& page)
    {
        int files = 0;
        const bool failed = frmMain->FStrona == stKoniec && !frmMain->FSukces && !frmMain->FPrzerwano;
        // Recorded files stay after a success; a roll-back, after a failure or a cancel, removes them all.
        for (const std::string& f : frmMain->FSkopiowanePliki)
            if (!Exists(Widen(f))) ++files;
        // A run that did not succeed leaves the target folder as it found it, to the byte.
        if (!frmMain->FSukces && FNoted) {
            std::map<std::wstring, std::string> now;
            const bool there = Exists(FTarget);
            if (there) Contents(FTarget, L"", now);
            if (there != FTargetExisted) ++files;
            for (const auto& [name, bytes] : now)
                if (!FTargetBefore.count(name) || FTargetBefore.at(name) != bytes) ++files;
            for (const auto& [name, bytes] : FTargetBefore)
                if (!now.count(name)) ++files;
        }
        // After a failure or a refusal, no program of the file table and no backup may be in the target.
        if (failed || frmMain->FStrona == stOpcje)
            for (const wchar_t* p : {L"Werbilo.exe", L"SlZewFr.exe", L"SlZewPl.exe"})
                if (Exists(Target(p))) ++files;
        for (const auto& [name, size] : Listing(FTarget))
            if (name.find(L".werb-old") != std::wstring::npos) ++files;
        // A successful run may update the shared system files; any other outcome leaves them as they were.
        if (!frmMain->FSukces) {
            const auto system = Listing(SystemFolder());
            for (const auto& e : system)
                if (std::find(FSystemBefore.begin(), FSystemBefore.end(), e) == FSystemBefore.end()) ++files;
        }
        // Shortcuts, settings and the uninstall entry belong to a successful run only.
        const int registry = frmMain->FSukces ? 0 : (InstallationLeftTraces() ? 1 : 0) + SettingsWritten();

        FaultTable().push_back({fault, Page(), files, registry});
        EXPECT_EQ(Page(), page) << fault << "; other questions: " << FOtherQuestions;
        EXPECT_EQ(files, 0) << fault << ": files outside what the outcome allows";
        EXPECT_EQ(registry, 0) << fault << ": registry entries or shortcuts outside what the outcome allows";
    }

    // A target folder of that many characters, with a CD file deep enough that its copy's path has more than
    // MAX_PATH. The installer passes paths to the file functions as they are: where the platform takes the
    // path, the run must succeed with every file there; where it refuses the folder, the options check keeps
    // the wizard on Options with its message; where it refuses a file, the run ends on the error page.
    void InstallIntoPathOf(std::size_t length, wchar_t fill, const std::string& fault)
    {
        const std::wstring deep = L"Dane\\Pod\\" + std::wstring(30, L'n') + L".bin";
        PutBytes(deep, Pattern(40000, 7));
        FTarget = TempFolder() + std::wstring(length - TempFolder().size(), fill);
        ASSERT_GT(Target(deep).size(), static_cast<std::size_t>(MAX_PATH));
        RemoveTree(FTarget);

        // What the platform does with the same lengths, on a twin path.
        const std::wstring twin = TempFolder() + std::wstring(length - TempFolder().size(), L'p');
        RemoveTree(twin);
        const bool folder = CreateDirectoryW(twin.c_str(), nullptr) != FALSE;
        bool file = folder && CreateDirectoryW((twin + L"\\Dane").c_str(), nullptr) &&
                    CreateDirectoryW((twin + L"\\Dane\\Pod").c_str(), nullptr) &&
                    WriteBytes(twin + L"\\" + deep, "x") && ReadBytes(twin + L"\\" + deep) == std::string("x");
        RemoveTree(twin);
        ASSERT_FALSE(Exists(twin));
        const std::string page = !folder ? "Options" : file ? "End: 161" : "End: 162";

        if (page == "Options") {
            // Next on Options with the folder refused: one message, and the wizard stays.
            GoToOptions();
            ASSERT_FALSE(HasFatalFailure());
            std::vector<std::string> asked;
            auto hook = std::make_shared<std::function<void(TForm&)>>();
            *hook = [&asked, hook](TForm&) {
                asked.push_back(frmPytanie->lblPytanie.Caption());
                Application.OnNextModalShown(*hook);
                frmPytanie->btnTak.Click();
            };
            Application.OnNextModalShown(*hook);
            TModalWatchdog watchdog(*frmPytanie, 60000);
            frmMain->btnDalej.Click();
            Application.OnNextModalShown(nullptr);
            Expect(fault, page);
            EXPECT_EQ(asked, std::vector<std::string>{Format(Text(txtCannotCreateDir), {Narrow(FTarget)})});
            EXPECT_FALSE(Exists(FTarget));
            return;
        }
        InstallThroughQuestions();
        ASSERT_FALSE(HasFatalFailure());
        Expect(fault, page);
        if (page == "End: 161") {
            std::map<std::wstring, std::string> cd, target;
            Contents(CdFolder() + L"Dane", L"", cd);
            Contents(Target(L"Dane"), L"", target);
            EXPECT_TRUE(cd.count(deep.substr(5)));
            cd.erase(L"Pod\\autorun.inf"); // excluded
            EXPECT_TRUE(target == cd) << "the tree under Dane differs from the CD's";
            EXPECT_EQ(ReadBytes(Target(deep)), Pattern(40000, 7));
        } else {
            EXPECT_FALSE(Exists(Target(deep)));
            EXPECT_FALSE(Listed(frmMain->FSkopiowanePliki, Target(deep)));
        }
    }

    void NoteTargetBefore()
    {
        FTargetBefore.clear();
        FTargetExisted = Exists(FTarget);
        if (FTargetExisted) Contents(FTarget, L"", FTargetBefore);
        FNoted = true;
    }

    std::vector<std::pair<std::wstring, std::uint64_t>> FSystemBefore;
    std::string FOtherQuestions;
    std::map<std::wstring, std::string> FTargetBefore;
    bool FTargetExisted = false, FNoted = false;
};

TEST_F(FaultTest, DiskFull)
{
    const std::wstring small = Env(L"WERB_SMALL_DISK");
    if (small.empty()) GTEST_SKIP() << "no small drive (scripts/with-small-disk could not mount one)";
    FTarget = small + L"\\Werbika";
    RemoveTree(FTarget);
    PutBytes(L"Dane\\duzy2.bin", Pattern(3 << 20, 3)); // more than the drive holds
    InstallThroughQuestions();
    ASSERT_FALSE(HasFatalFailure());
    Expect("disk full (target on a 1 MB drive)", "End: 162");
}

TEST_F(FaultTest, UnreadableCdFile)
{
    UniqueHandle held(CreateFileW((CdFolder() + L"Dane\\Pod\\duzy.bin").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    InstallThroughQuestions();
    ASSERT_FALSE(HasFatalFailure());
    Expect("unreadable CD file", "End: 162");
}

// Every file of a real CD is read-only, and so would be a system file copied from it: a roll-back could not
// delete it, and it would stay in the system folder for good.
TEST_F(FaultTest, ReadOnlyCdCancelledAfterTheSystemFiles)
{
    ASSERT_TRUE(GetFileAttributesW((CdFolder() + L"comctl32.ocx").c_str()) & FILE_ATTRIBUTE_READONLY);
    ASSERT_FALSE(Exists(SystemFile(L"comctl32.ocx")));
    // The last check point of a full run comes after the system files and the programs.
    AnswerEveryCancelQuestion([](int n) { return n == 11; });
    NoteTargetBefore();
    InstallPressingClose();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(FQuestions, 11);
    EXPECT_FALSE(Exists(SystemFile(L"comctl32.ocx")));
    Expect("read-only CD cancelled after the system files", "End: 163");
}

// A file where the CD has a folder: the folder can be neither made nor used, and its files would be missing.
TEST_F(FaultTest, TargetSubfolderThatCannotBeCreated)
{
    MakeFolder(FTarget);
    ASSERT_TRUE(WriteBytes(Target(L"Dane"), "a file, not a folder"));
    InstallThroughQuestions();
    ASSERT_FALSE(HasFatalFailure());
    Expect("target subfolder that cannot be created", "End: 162");
    EXPECT_EQ(ReadBytes(Target(L"Dane")), std::string("a file, not a folder"));
}

TEST_F(FaultTest, ReadOnlyFileInTheTarget)
{
    MakeFolder(FTarget);
    MakeFolder(Target(L"Dane"));
    ASSERT_TRUE(WriteBytes(Target(L"Dane\\a.txt"), "kept"));
    SetFileAttributesW(Target(L"Dane\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    InstallThroughQuestions();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(ReadBytes(Target(L"Dane\\a.txt")), std::string("kept"));
    SetFileAttributesW(Target(L"Dane\\a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    Expect("read-only file in the target", "End: 162");
}

TEST_F(FaultTest, TargetFileHeldOpenByAnotherProcess)
{
    MakeFolder(FTarget);
    MakeFolder(Target(L"Dane"));
    ASSERT_TRUE(WriteBytes(Target(L"Dane\\a.txt"), "in use"));
    // Before the other process holds it, while its bytes can be read.
    NoteTargetBefore();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --hold \"" + Target(L"Dane\\a.txt") + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    // Held once the file can no longer be opened here. A loaded machine may take many seconds to start the
    // other process; one that ended has failed.
    for (int i = 0; i < 1200 && ReadBytes(Target(L"Dane\\a.txt")); ++i)
        if (WaitForSingleObject(process.Get(), 50) == WAIT_OBJECT_0) break;
    DWORD status = STILL_ACTIVE;
    GetExitCodeProcess(process.Get(), &status);
    ASSERT_FALSE(ReadBytes(Target(L"Dane\\a.txt"))) << "the other process did not take the file (status " << status << ")";
    InstallThroughQuestions();
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 10000);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(ReadBytes(Target(L"Dane\\a.txt")), std::string("in use"));
    Expect("target file held open by another process", "End: 162");
}

TEST_F(FaultTest, PathNearTheLimit)
{
    // The folder itself fits; a file inside goes past 260 characters.
    InstallIntoPathOf(235, L'd', "target path of 235 characters, a file past 260");
}

TEST_F(FaultTest, PathAboveTheLimit)
{
    InstallIntoPathOf(280, L'e', "target path of 280 characters");
}

TEST_F(FaultTest, PolishLettersAndSpacesInTheCdAndTargetPaths)
{
    if (Env(L"WERB_UNICODE_NAMES").empty()) GTEST_SKIP() << "needs a UTF-8 locale on the Unix side";
    FCd->Folder(L"Słownik ń");
    PutBytes(L"Słownik ń\\zażółć gęślą.txt", "jaźń");
    FTarget = TempFolder() + L"Mój katalog ąę";
    RemoveTree(FTarget);
    InstallThroughQuestions();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(ReadBytes(Target(L"Słownik ń\\zażółć gęślą.txt")), std::string("jaźń"));
    Expect("Polish letters and spaces in CD and target paths", "End: 161");
}

TEST_F(FaultTest, CdDriveGoneDuringTheCopy)
{
    const std::wstring eject = ThroughZ(Env(L"WERB_CD_EJECT"));
    if (eject.empty()) GTEST_SKIP() << "runs under scripts/with-cd-eject (test_faults_cd_gone)";
    bool gone = false;
    std::string copying;
    std::size_t copied = 0;
    // The second question comes after the copy's first entry: the drive goes while the copy is under way.
    InstallThroughQuestions([&](int question) {
        if (question != 2) return;
        copying = frmMain->lblPlikZ.Caption();
        copied = frmMain->FSkopiowanePliki.size();
        gone = WriteBytes(eject + L"\\request", "") && WaitFor([&] { return Exists(eject + L"\\done"); }, 10000);
    });
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(gone) << "the drive was not taken away";
    EXPECT_EQ(GetFileAttributesW(L"D:\\"), INVALID_FILE_ATTRIBUTES) << "D: is still there";
    EXPECT_NE(copying.find("D:\\"), std::string::npos) << "not in the copy: " << copying;
    EXPECT_GT(copied, 0u);
    Expect("CD drive gone in the middle of the copy", "End: 162");
}
