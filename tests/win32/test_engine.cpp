// The installation run for real: from the CD-ROM drive D: into a folder of the prefix, with cancel, roll-back
// and failures; the system-file version rule on DLLs with version resources of our own.
#include "test_engine_support.h"

#include <algorithm>
#include <string>
#include <vector>

#include <sddl.h>

#include "builtin/ResourceFiles.h"
#include "texts/Format.h"
#include "ui/SystemLibrary.h"
#include "uninstall/Sha256.h"
#include "uninstall/untDeinstalFunkcje.h"

TEST_F(EngineTest, CompleteRunCopiesTheTreeWritesTheProgramsAndSucceeds)
{
    GoToOptions();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<TStanPrzebiegu> stany;
    {
        const TObserwatorPrzebiegu obserwator;
        frmMain->btnDalej.Click();
        stany = obserwator.Stany;
    }
    ASSERT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_TRUE(frmMain->FSukces);
    EXPECT_EQ(EndText(), Text(txtDoneOk));
    EXPECT_EQ(frmMain->GaugePostep.Progress(), frmMain->GaugePostep.MaxValue());

    // While the files are copied the run is under way and Close, captioned Cancel, can still stop it; from
    // the shortcuts on it cannot. Once on the End page the run is over and Close is Finish.
    int copying = 0, lastSteps = 0;
    for (const TStanPrzebiegu& s : stany) {
        SCOPED_TRACE(s.Label);
        if (s.FromLine ? !s.Label.empty() : s.Label == Text(txtCopyingFiles)) {
            ++copying;
            EXPECT_EQ(s.Strona, stInstalacja);
            EXPECT_TRUE(s.InstalacjaTrwa);
            EXPECT_TRUE(s.ZamknijEnabled);
            EXPECT_EQ(s.ZamknijCaption, Text(txtAbort));
        } else if (!s.FromLine && (s.Label == Text(txtCreatingShortcuts) || s.Label == Text(txtCreatingRegistry))) {
            ++lastSteps;
            EXPECT_TRUE(s.InstalacjaTrwa);
            EXPECT_FALSE(s.ZamknijEnabled);
        }
    }
    // The file lines come at a bounded rate: at least the copy's first and last file and the main program.
    EXPECT_GE(copying, 4) << "the copy's progress lines and the main program's were not seen";
    EXPECT_EQ(lastSteps, 2);
    EXPECT_FALSE(frmMain->FInstalacjaTrwa);
    EXPECT_TRUE(frmMain->btnZamknij.Enabled());
    EXPECT_EQ(frmMain->btnZamknij.Caption(), Text(txtFinish));

    // The tree minus the exclusions, byte for byte; an empty file and an empty folder too.
    for (const wchar_t* f : {L"Dane\\a.txt", L"Dane\\Pod\\duzy.bin", L"pusty.txt", L"Werbilo2.exe"}) {
        EXPECT_TRUE(ReadBytes(Target(f)) == ReadBytes(CdFolder() + f)) << Narrow(f) << " differs from the CD";
        EXPECT_TRUE(Listed(frmMain->FSkopiowanePliki, Target(f))) << Narrow(f);
    }
    EXPECT_EQ(ReadBytes(Target(L"pusty.txt")), std::string());
    EXPECT_TRUE(KatalogIstnieje(Narrow(Target(L"Puste"))));
    for (const wchar_t* f : {L"Dane\\Pod\\autorun.inf", L"AUTORUN.INF", L"comctl32.ocx", L"UmowaPol.txt"})
        EXPECT_FALSE(Exists(Target(f))) << Narrow(f);

    // The programs are the packed programs, byte for byte, each in the journal as every file the run wrote.
    const std::wstring programs = BuildFolder(L"WERB_PROGRAMS");
    ASSERT_FALSE(programs.empty()) << "WERB_PROGRAMS is not set";
    for (const ResourceFileEntry& e : kResourceFiles) {
        const std::wstring name = Widen(e.TargetName);
        const auto installed = ReadBytes(Target(name));
        ASSERT_TRUE(installed) << e.TargetName;
        EXPECT_TRUE(installed == ReadBytes(programs + name)) << e.TargetName << " differs from the packed program";
        EXPECT_TRUE(Listed(frmMain->FSkopiowanePliki, Target(name))) << e.TargetName;
    }

    // Folders in creation order, outer before inner: the target itself first.
    const std::vector<std::string> folders = {Narrow(FTarget), Narrow(Target(L"Dane")),
                                              Narrow(Target(L"Dane\\Pod")), Narrow(Target(L"Puste"))};
    for (const std::string& f : folders) EXPECT_TRUE(Listed(frmMain->FUtworzoneKatalogi, Widen(f))) << f;
    EXPECT_EQ(frmMain->FUtworzoneKatalogi.front(), Narrow(FTarget));
    const auto& list = frmMain->FUtworzoneKatalogi;
    EXPECT_LT(std::find(list.begin(), list.end(), Narrow(Target(L"Dane"))),
              std::find(list.begin(), list.end(), Narrow(Target(L"Dane\\Pod"))));

    // The copied files' bytes (a.txt, duzy.bin, pusty.txt, the marker) plus the allowance for the programs.
    EXPECT_EQ(frmMain->FSkopiowanoBajtow, 1000 + 100000 + 0 + 1 + 2100000);
}

// The record is made from what the copy saw: once a file is written, no later step opens it again. Every
// written file is held without sharing from the end of the copy, so that any such open fails.
TEST_F(EngineTest, TheStepsAfterTheCopyReadNoInstalledFileBack)
{
    GoToOptions();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::string> held;
    std::vector<UniqueHandle> locks;
    {
        TObserwatorPrzebiegu obserwator;
        obserwator.OnState = [&](const TStanPrzebiegu& s) {
            if (s.FromLine || s.Label != Text(txtCreatingShortcuts) || !held.empty()) return;
            for (const std::string& f : frmMain->FSkopiowanePliki) {
                held.push_back(f);
                locks.emplace_back(CreateFileW(Widen(f).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            }
        };
        frmMain->btnDalej.Click();
    }
    // The CD tree's four files and the four programs.
    ASSERT_GE(held.size(), 8u) << "the shortcuts step was not seen after the copy";
    for (std::size_t i = 0; i < held.size(); ++i) EXPECT_TRUE(locks[i]) << held[i] << " could not be held";
    EXPECT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_TRUE(frmMain->FSukces) << "a step after the copy needed an installed file";
    locks.clear();

    // Each held file is in the record with the size and digest it has.
    const std::optional<std::string> text = ReadBytes(Target(L"DeInstalka.dat"));
    ASSERT_TRUE(text) << "no record";
    const TOdczytRekordu read = CzytajRekord(*text, MiejscaProduktu());
    ASSERT_EQ(read.Wynik, TWynikRekordu::wrDobrze) << "line " << read.Wiersz;
    EXPECT_EQ(read.Rekord.Pliki.size(), held.size());
    for (const TPlikRekordu& p : read.Rekord.Pliki) {
        EXPECT_TRUE(std::find(held.begin(), held.end(), p.Sciezka) != held.end()) << p.Sciezka;
        const std::optional<std::string> bytes = ReadBytes(Widen(p.Sciezka));
        ASSERT_TRUE(bytes) << p.Sciezka;
        EXPECT_EQ(p.Rozmiar, bytes->size()) << p.Sciezka;
        EXPECT_EQ(p.Sha256, Sha256Hex(*bytes)) << p.Sciezka;
    }
}

// Thousands of small files go faster than anyone reads: the "From:" line changes at a bounded rate, and when
// the copy ends it names the file the copy ended with.
TEST_F(EngineTest, TheFileLinesComeAtABoundedRateAndEndOnTheLastFileCopied)
{
    constexpr int kFiles = 1500;
    FCd->Folder(L"Wiele");
    for (int i = 0; i < kFiles; ++i)
        ASSERT_TRUE(WriteBytes(CdFolder() + L"Wiele\\p" + std::to_wstring(i) + L".txt", "plik"));
    GoToOptions();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::string> fromLines;
    std::string lastCopied;
    double elapsed = 0;
    {
        TObserwatorPrzebiegu obserwator;
        obserwator.OnState = [&](const TStanPrzebiegu& s) {
            if (!s.FromLine || s.Label.empty()) return;
            // Set before the main program is written: the copy's files are all in the journal by then.
            if (s.Label == Format(Text(txtFromPath), {std::string("D:\\")}) && lastCopied.empty()) {
                if (!frmMain->FSkopiowanePliki.empty()) lastCopied = frmMain->FSkopiowanePliki.back();
            }
            fromLines.push_back(s.Label);
        };
        const ULONGLONG t0 = GetTickCount64();
        frmMain->btnDalej.Click();
        elapsed = static_cast<double>(GetTickCount64() - t0) / 1000.0;
    }
    ASSERT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_TRUE(frmMain->FSukces);
    // At most one a 50 ms, plus the first, the last and the main program's.
    EXPECT_LE(fromLines.size(), static_cast<std::size_t>(elapsed * 20) + 4) << elapsed << " s";
    EXPECT_LT(fromLines.size(), static_cast<std::size_t>(kFiles) / 4);
    ASSERT_FALSE(lastCopied.empty()) << "the main program's line was not seen";
    const std::size_t mainLine =
        std::find(fromLines.begin(), fromLines.end(), Format(Text(txtFromPath), {std::string("D:\\")})) -
        fromLines.begin();
    ASSERT_GT(mainLine, 0u);
    // The target path of the last file, under its CD path: the line before the main program's names it.
    const std::string name = lastCopied.substr(lastCopied.find_last_of('\\') + 1);
    EXPECT_NE(fromLines[mainLine - 1].find(name), std::string::npos)
        << fromLines[mainLine - 1] << " is not the last file copied, " << lastCopied;
}

TEST_F(EngineTest, CloseAnsweredNoAtEveryCheckPointGoesOnAndShowsTheMainProgramBeingWritten)
{
    AnswerEveryCancelQuestion([](int) { return false; });
    InstallPressingClose();
    ASSERT_FALSE(HasFatalFailure());
    // Seven CD entries, the main program, the step after its allowance, two system files; the other checks
    // follow a check with no message pumped in between, so the repeated click is not seen there yet.
    EXPECT_EQ(FQuestions, 11);
    EXPECT_TRUE(frmMain->FSukces);
    EXPECT_EQ(EndText(), Text(txtDoneOk));
    EXPECT_TRUE(Exists(Target(L"Dane\\Pod\\duzy.bin")));

    // The check right after the main program still shows its source and target.
    const std::pair<std::string, std::string> main = {
        Format(Text(txtFromPath), {std::string("D:\\")}),
        Format(Text(txtToPath), {Narrow(Target(L"Werbika.exe"))})};
    EXPECT_NE(std::find(FAsked.begin(), FAsked.end(), main), FAsked.end())
        << "no check point showed " << main.first << " / " << main.second;
}

TEST_F(EngineTest, CloseAnsweredNoOnceIsForgotten)
{
    AnswerEveryCancelQuestion([](int) { return false; }, 1);
    InstallPressingClose();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(FQuestions, 1) << "a declined request asked again";
    EXPECT_FALSE(frmMain->FPrzerwij);
    EXPECT_TRUE(frmMain->FSukces);
    EXPECT_EQ(EndText(), Text(txtDoneOk));
}

TEST_F(EngineTest, CloseAnsweredYesRollsBackWhatWasRecordedAndKeepsWhatWasThere)
{
    // The target and one of its folders exist before: the first is the user's, the second is used.
    MakeFolder(FTarget);
    MakeFolder(Target(L"Dane"));
    ASSERT_TRUE(WriteBytes(Target(L"Dane\\moje.txt"), "the user's"));
    AnswerEveryCancelQuestion([](int n) { return n == 4; });
    InstallPressingClose();
    ASSERT_FALSE(HasFatalFailure());

    EXPECT_EQ(FQuestions, 4);
    EXPECT_TRUE(frmMain->FPrzerwano);
    EXPECT_FALSE(frmMain->FSukces);
    EXPECT_EQ(EndText(), Text(txtDoneAborted));
    ASSERT_FALSE(FFilesAtYes.empty()) << "the cancel came before any file was copied";
    for (const std::string& f : FFilesAtYes) EXPECT_FALSE(Exists(Widen(f))) << f << " survived the roll-back";
    for (const std::string& f : FFoldersAtYes) EXPECT_FALSE(Exists(Widen(f))) << f << " survived the roll-back";
    EXPECT_TRUE(frmMain->FSkopiowanePliki.empty());
    EXPECT_TRUE(frmMain->FUtworzoneKatalogi.empty());
    EXPECT_EQ(frmMain->GaugePostep.MaxValue(), static_cast<int>(FRecordedAtYes));
    EXPECT_EQ(ReadBytes(Target(L"Dane\\moje.txt")), std::string("the user's"));
    EXPECT_TRUE(KatalogIstnieje(Narrow(FTarget)));
    EXPECT_FALSE(Exists(Target(L"Werbilo.exe"))) << "the steps after the cancel ran";
    EXPECT_FALSE(InstallationLeftTraces());
}

namespace {

std::vector<std::wstring> gAsked;

HMODULE WINAPI RefusingTheSearchFlag(LPCWSTR name, HANDLE file, DWORD flags)
{
    gAsked.push_back(name);
    if (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryExW(name, file, flags);
}

HMODULE WINAPI Missing(LPCWSTR name, HANDLE, DWORD)
{
    gAsked.push_back(name);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

} // namespace

// Windows 7 without the loader update refuses LOAD_LIBRARY_SEARCH_SYSTEM32. Without version.dll every installed
// system file would count as versionless and be replaced, a newer one by an older one: it comes from the system
// folder by its full path then, and from nowhere else.
TEST(SystemLibrary, TakenByFullPathWhereTheSearchFlagIsRefused)
{
    wchar_t system[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    gAsked.clear();
    const HMODULE m = LoadSystemLibrary(L"version.dll", RefusingTheSearchFlag);
    ASSERT_TRUE(m);
    ASSERT_EQ(gAsked.size(), 2u);
    EXPECT_EQ(gAsked[1], std::wstring(system, n) + L"\\version.dll");
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(m, loaded, MAX_PATH);
    EXPECT_EQ(CompareStringOrdinal(loaded, -1, gAsked[1].c_str(), -1, TRUE), CSTR_EQUAL) << Narrow(loaded);

    // Any other failure is final: no second place is tried.
    gAsked.clear();
    EXPECT_EQ(LoadSystemLibrary(L"version.dll", Missing), nullptr);
    EXPECT_EQ(gAsked.size(), 1u);
}

TEST_F(EngineTest, ConfirmedCancelAtEveryCheckPointLeavesNothingBehind)
{
    const std::wstring system = ProductSystemFolder();
    const auto systemBefore = Listing(system);
    // A full run asks at 11 check points (see the declined run above); cancel at each in turn.
    for (int k = 1; k <= 11; ++k) {
        SCOPED_TRACE("cancelled at check point " + std::to_string(k));
        if (k > 1) {
            WizardTest::TearDown();
            WizardTest::SetUp();
            FQuestions = 0;
        }
        AnswerEveryCancelQuestion([k](int n) { return n == k; });
        InstallPressingClose();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(FQuestions, k);
        EXPECT_EQ(EndText(), Text(txtDoneAborted));
        EXPECT_FALSE(Exists(FTarget)) << "the target folder the run created is gone with everything in it";
        for (const std::string& f : FFilesAtYes) EXPECT_FALSE(Exists(Widen(f))) << f;
        EXPECT_TRUE(Listing(system) == systemBefore) << "the system folder changed";
        EXPECT_FALSE(InstallationLeftTraces());
    }
}

TEST_F(EngineTest, ASecondInstallationCancelledGivesTheFirstBackAndOneThatSucceedsLeavesNoBackups)
{
    MakeFolder(FTarget);
    MakeFolder(Target(L"Dane"));
    ASSERT_TRUE(WriteBytes(Target(L"Dane\\a.txt"), "the first installation's"));
    ASSERT_TRUE(WriteBytes(Target(L"Werbika.exe"), "the first program"));
    // Cancelled right after the main program was written: both replaced files were recorded by then.
    AnswerEveryCancelQuestion([](int n) { return n == 8; });
    InstallPressingClose();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(EndText(), Text(txtDoneAborted));
    EXPECT_EQ(ReadBytes(Target(L"Dane\\a.txt")), std::string("the first installation's"));
    EXPECT_EQ(ReadBytes(Target(L"Werbika.exe")), std::string("the first program"));
    EXPECT_FALSE(Exists(Target(L"Dane\\Pod"))) << "a folder the second run made";
    EXPECT_FALSE(Exists(Target(L"Dane\\a.txt.werb-old")));
    EXPECT_FALSE(Exists(Target(L"Werbika.exe.werb-old")));

    WizardTest::TearDown();
    WizardTest::SetUp();
    Install();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(EndText(), Text(txtDoneOk));
    EXPECT_TRUE(ReadBytes(Target(L"Dane\\a.txt")) == ReadBytes(CdFolder() + L"Dane\\a.txt"));
    for (const auto& [name, size] : Listing(FTarget))
        EXPECT_EQ(name.find(L".werb-old"), std::wstring::npos) << Narrow(name) << " left behind";
    for (const auto& [name, size] : Listing(Target(L"Dane")))
        EXPECT_EQ(name.find(L".werb-old"), std::wstring::npos) << Narrow(name) << " left behind";
}

TEST_F(EngineTest, AnUnreadableCdFileFailsTheRunAndUndoesWhatWasCopied)
{
    // Once a file has been copied, a CD file still to come is opened elsewhere without sharing: the installer
    // cannot open it, as with a damaged disc. The order of the entries is the file system's, so it is picked
    // then.
    const std::vector<std::wstring> candidates = {L"Dane\\a.txt", L"Dane\\Pod\\duzy.bin", L"pusty.txt",
                                                  L"Werbilo2.exe"};
    UniqueHandle held;
    std::wstring blocked;
    std::vector<std::string> copied;
    AnswerEveryCancelQuestion([&](int) {
        if (!held && !frmMain->FSkopiowanePliki.empty()) {
            copied = frmMain->FSkopiowanePliki;
            for (const std::wstring& c : candidates) {
                if (Listed(frmMain->FSkopiowanePliki, Target(c))) continue;
                held.Reset(CreateFileW((CdFolder() + c).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
                blocked = c;
                break;
            }
        }
        return false;
    });
    InstallPressingClose();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(held) << "no CD file was left to block";
    EXPECT_FALSE(frmMain->FSukces);
    EXPECT_FALSE(frmMain->FPrzerwano);
    EXPECT_EQ(EndText(), Text(txtDoneError));
    // A failure is undone as a cancel is: the files copied before it and the folder the run made are gone.
    ASSERT_FALSE(copied.empty());
    for (const std::string& f : copied) EXPECT_FALSE(Exists(Widen(f))) << f;
    EXPECT_TRUE(frmMain->FSkopiowanePliki.empty());
    EXPECT_FALSE(Exists(FTarget));
    EXPECT_FALSE(InstallationLeftTraces());
}

TEST_F(EngineTest, AReadOnlyFileOfTheTableStepIsSkippedSilently)
{
    MakeFolder(FTarget);
    ASSERT_TRUE(WriteBytes(Target(L"SlZewFr.exe"), "old dictionary"));
    SetFileAttributesW(Target(L"SlZewFr.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    Install();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(frmMain->FSukces) << "a file of the table step fails silently";
    EXPECT_EQ(ReadBytes(Target(L"SlZewFr.exe")), std::string("old dictionary"));
    EXPECT_TRUE(Exists(Target(L"SlZewPl.exe"))) << "the rows after the skipped one are written";
}

TEST_F(EngineTest, AReadOnlyMainProgramInTheTargetFailsTheRun)
{
    MakeFolder(FTarget);
    ASSERT_TRUE(WriteBytes(Target(L"Werbika.exe"), "old program"));
    SetFileAttributesW(Target(L"Werbika.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    Install();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(frmMain->FSukces);
    EXPECT_EQ(EndText(), Text(txtDoneError));
    EXPECT_EQ(ReadBytes(Target(L"Werbika.exe")), std::string("old program"));
    EXPECT_FALSE(InstallationLeftTraces());
}

TEST_F(EngineTest, AnEmptyOrMissingSourceFolderCopiesNothing)
{
    ShowWizard();
    MakeFolder(FTarget);
    const std::string empty = Narrow(CdFolder() + L"Puste");
    EXPECT_NO_THROW(frmMain->KopiujKatalog(empty, Narrow(FTarget), ListaWykluczen(1, true)));
    EXPECT_NO_THROW(frmMain->KopiujKatalog(empty + "\\brak", Narrow(FTarget), ListaWykluczen(1, true)));
    EXPECT_TRUE(frmMain->FSkopiowanePliki.empty());
    EXPECT_TRUE(frmMain->FUtworzoneKatalogi.empty());
    EXPECT_EQ(frmMain->FSkopiowanoBajtow, 0);
}

// ---- The system files: the version rule on DLLs that carry a version resource of our own ----

class SystemFileTest : public ::testing::Test {
protected:
    static std::string Fixture(const char* name)
    {
        return Narrow(BuildFolder(L"WERB_VERSIONED")) + name;
    }
    static std::wstring SystemPath(const wchar_t* name)
    {
        return ProductSystemFolder() + L"\\" + name;
    }
    void SetUp() override
    {
        ASSERT_FALSE(BuildFolder(L"WERB_VERSIONED").empty()) << "WERB_VERSIONED is not set";
        FSource = TempFolder() + L"werb-system-source\\";
        RemoveTree(FSource);
        MakeFolder(FSource);
        ASSERT_TRUE(WriteBytes(FSource + L"werbtest.dll", "the CD's copy"));
        DeleteFileW(SystemPath(L"werbtest.dll").c_str());
    }
    void TearDown() override
    {
        DeleteFileW(SystemPath(L"werbtest.dll").c_str());
        RemoveTree(FSource);
    }
    // Puts a fixture DLL into the system folder as werbtest.dll and runs the step against 4.72.
    bool InstallOver(const char* fixture)
    {
        EXPECT_TRUE(CopyFileW(Widen(Fixture(fixture)).c_str(), SystemPath(L"werbtest.dll").c_str(), FALSE))
            << fixture;
        return InstalujPlikSystemowy("werbtest.dll", Narrow(FSource), 4, 72);
    }
    static bool Replaced() { return ReadBytes(SystemPath(L"werbtest.dll")) == std::string("the CD's copy"); }

    std::wstring FSource;
};

TEST_F(SystemFileTest, VersionIsReadFromTheFirstTranslationsFileVersion)
{
    EXPECT_TRUE(WersjaPlikuCoNajmniej(Fixture("ver582.dll"), 4, 72)) << "5 > 4; the note does not matter";
    EXPECT_TRUE(WersjaPlikuCoNajmniej(Fixture("ver582.dll"), 5, 0)) << "minor \"82 (build note)\" counts 0";
    EXPECT_FALSE(WersjaPlikuCoNajmniej(Fixture("ver582.dll"), 5, 1));
    EXPECT_TRUE(WersjaPlikuCoNajmniej(Fixture("ver472.dll"), 4, 72));
    EXPECT_FALSE(WersjaPlikuCoNajmniej(Fixture("ver471.dll"), 4, 72));
    EXPECT_TRUE(WersjaPlikuCoNajmniej(Fixture("ver5x.dll"), 5, 0)) << "a minor that is not a number counts 0";
    EXPECT_FALSE(WersjaPlikuCoNajmniej(Fixture("ver5x.dll"), 5, 1));
    EXPECT_TRUE(WersjaPlikuCoNajmniej(Fixture("ver6.dll"), 5, 1)) << "no dot: the whole text is the major";
    EXPECT_FALSE(WersjaPlikuCoNajmniej(Fixture("ver6.dll"), 6, 1));
    EXPECT_TRUE(WersjaPlikuCoNajmniej(Fixture("ver_pl.dll"), 6, 1)) << "string block of 0415/04e2";
    EXPECT_FALSE(WersjaPlikuCoNajmniej(Fixture("vernone.dll"), 0, 0)) << "no version information";
    EXPECT_FALSE(WersjaPlikuCoNajmniej(Fixture("missing.dll"), 0, 0));
}

TEST_F(SystemFileTest, OnlyAnOlderOrUnversionedSystemFileIsReplaced)
{
    EXPECT_TRUE(InstallOver("ver582.dll"));
    EXPECT_FALSE(Replaced()) << "5.82 (build note) is new enough for 4.72";
    EXPECT_TRUE(InstallOver("ver471.dll"));
    EXPECT_TRUE(Replaced()) << "4.71 is older";
    EXPECT_TRUE(InstallOver("vernone.dll"));
    EXPECT_TRUE(Replaced()) << "a file without version information is replaced";

    DeleteFileW(SystemPath(L"werbtest.dll").c_str());
    EXPECT_TRUE(InstalujPlikSystemowy("werbtest.dll", Narrow(FSource), 4, 72));
    EXPECT_TRUE(Replaced()) << "a missing file is copied";

    DeleteFileW(SystemPath(L"werbtest.dll").c_str());
    EXPECT_FALSE(InstalujPlikSystemowy("werbtest.dll", Narrow(FSource) + "brak\\", 4, 72))
        << "a copy that fails says so";
}

// ---- Edge cases of a complete run ----

// The same run with and without the dictionaries: only the dictionary files of the CD make the difference.
TEST_F(EngineTest, WithoutTheDictionariesOnlyTheirFilesAreLeftOut)
{
    FCd->Folder(L"Slowniki");
    PutBytes(L"frpol.sz", Pattern(5000, 4));
    PutBytes(L"Slowniki\\PolFr.SZ", Pattern(3000, 5)); // at any depth, in any letter case
    PutBytes(L"Slowniki\\inne.sz", Pattern(200, 6));   // not a dictionary of the product

    const auto run = [this](bool slowniki) {
        GoToOptions();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(frmMain->chbInstalujSlowniki.Checked()) << "the box starts checked";
        frmMain->chbInstalujSlowniki.SetChecked(slowniki);
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stKoniec);
        EXPECT_TRUE(frmMain->FSukces);
        EXPECT_EQ(EndText(), Text(txtDoneOk));
    };
    run(true);
    ASSERT_FALSE(HasFatalFailure());
    const Installed with = WhatIsInstalled(FTarget);
    const std::int64_t bytesWith = frmMain->FSkopiowanoBajtow;

    frmMain->FUtworzoneKatalogi.clear();
    WizardTest::TearDown();
    RemoveTree(FTarget);
    RemoveTree(SystemFile(L"comctl32.ocx"));
    WizardTest::SetUp();
    ForgetInstallation(); // as before the first run
    run(false);
    ASSERT_FALSE(HasFatalFailure());
    Installed without = WhatIsInstalled(FTarget);

    EXPECT_TRUE(with.Files.count(L"frpol.sz") && with.Files.count(L"Slowniki\\PolFr.SZ"))
        << "with the box checked the dictionaries are copied";
    std::map<std::wstring, std::string> expected = with.Files;
    expected.erase(L"frpol.sz");
    expected.erase(L"Slowniki\\PolFr.SZ");
    // The uninstaller's record lists what was installed, the dictionaries among it.
    EXPECT_TRUE(with.Files.count(L"DeInstalka.dat") && without.Files.count(L"DeInstalka.dat"));
    expected.erase(L"DeInstalka.dat");
    without.Files.erase(L"DeInstalka.dat");
    EXPECT_TRUE(without.Files == expected) << "the target differs in more than the dictionaries:"
                                           << Difference(expected, without.Files);
    EXPECT_EQ(without.Files.at(L"Slowniki\\inne.sz"), Pattern(200, 6));
    EXPECT_EQ(frmMain->FSkopiowanoBajtow, bytesWith - 5000 - 3000);
    // The built-in programs, the dictionary programs among them, the registry, the shortcuts and the system
    // files as in the run with the dictionaries.
    const std::wstring programs = BuildFolder(L"WERB_PROGRAMS");
    for (const ResourceFileEntry& e : kResourceFiles)
        EXPECT_TRUE(ReadBytes(Target(Widen(e.TargetName))) == ReadBytes(programs + Widen(e.TargetName)))
            << e.TargetName;
    EXPECT_FALSE(with.Registry.empty());
    EXPECT_TRUE(without.Registry == with.Registry) << Difference(with.Registry, without.Registry);
    EXPECT_FALSE(with.Shortcuts.empty());
    for (const auto& [name, link] : with.Shortcuts) EXPECT_NE(link, "(no link)") << Narrow(name);
    EXPECT_TRUE(without.Shortcuts == with.Shortcuts) << Difference(with.Shortcuts, without.Shortcuts);
    EXPECT_TRUE(without.System == with.System);
}

// Programs of an earlier installation, and a CD that carries one of them, give way to the built-in ones.
TEST_F(EngineTest, ARunOverEarlierProgramsWritesTheBuiltInOnes)
{
    const std::wstring programs = BuildFolder(L"WERB_PROGRAMS");
    ASSERT_FALSE(programs.empty()) << "WERB_PROGRAMS is not set";
    PutBytes(L"Werbilo.exe", "the CD's Werbilo");
    MakeFolder(FTarget);
    for (const wchar_t* name : {L"Werbika.exe", L"Werbilo.exe"}) {
        const auto packed = ReadBytes(programs + name);
        ASSERT_TRUE(packed) << Narrow(name);
        // Longer than the program: a write that does not truncate the old file shows.
        ASSERT_TRUE(WriteBytes(Target(name), Pattern(packed->size() + 70000, 9)));
    }
    Install();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(frmMain->FSukces);
    EXPECT_EQ(EndText(), Text(txtDoneOk));
    for (const wchar_t* name : {L"Werbika.exe", L"Werbilo.exe"})
        EXPECT_TRUE(ReadBytes(Target(name)) == ReadBytes(programs + name)) << Narrow(name) << " is not the built-in";
    for (const auto& [name, size] : Listing(FTarget))
        EXPECT_EQ(name.find(L".werb-old"), std::wstring::npos) << Narrow(name) << " left behind";
}

namespace {

// A key of HKEY_LOCAL_MACHINE (32-bit view) that nobody may open for writing while this lives; made when
// missing, its own access list given back at the end. The keys the installer writes are denied themselves:
// Wine checks a key's access list when it is opened, but not always its parent's when a subkey is created
// (a 32-bit process creates one under a parent that denies it).
class TKluczBezZapisu {
public:
    explicit TKluczBezZapisu(std::wstring key) : FKey(std::move(key))
    {
        FExisted = KeyExists(HKEY_LOCAL_MACHINE, FKey);
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, FKey.c_str(), 0, nullptr, 0, READ_CONTROL | WRITE_DAC | kView32,
                            nullptr, FHandle.Receive(), nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        RegGetKeySecurity(FHandle.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        FSaved.resize(size);
        if (RegGetKeySecurity(FHandle.Get(), DACL_SECURITY_INFORMATION, FSaved.data(), &size) != ERROR_SUCCESS)
            return;
        PSECURITY_DESCRIPTOR denied = nullptr;
        // Everyone: setting values and creating subkeys denied, everything else allowed.
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;CI;0x6;;;WD)(A;CI;KA;;;WD)",
                                                                  SDDL_REVISION_1, &denied, nullptr))
            return;
        FDenied = RegSetKeySecurity(FHandle.Get(), DACL_SECURITY_INFORMATION, denied) == ERROR_SUCCESS;
        LocalFree(denied);
    }
    ~TKluczBezZapisu()
    {
        if (FDenied) RegSetKeySecurity(FHandle.Get(), DACL_SECURITY_INFORMATION, FSaved.data());
        if (!FExisted) DeleteTree32(HKEY_LOCAL_MACHINE, FKey);
    }
    TKluczBezZapisu(const TKluczBezZapisu&) = delete;
    TKluczBezZapisu& operator=(const TKluczBezZapisu&) = delete;

    bool Denied() const { return FDenied; }

private:
    std::wstring FKey;
    bool FExisted = false;
    bool FDenied = false;
    UniqueRegKey FHandle;
    std::vector<BYTE> FSaved;
};

// Whether a key below parent can be made with the access the installer asks for.
LSTATUS CreateWithAllAccess(const std::wstring& key)
{
    UniqueRegKey k;
    const LSTATUS r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView32,
                                      nullptr, k.Receive(), nullptr);
    if (r == ERROR_SUCCESS) DeleteTree32(HKEY_LOCAL_MACHINE, key);
    return r;
}

} // namespace

// No rights under HKEY_LOCAL_MACHINE with the shortcuts for all users: the uninstall entry, which belongs
// there then, is not written anywhere; the user's settings are, and the run succeeds.
TEST_F(EngineTest, WithoutRightsUnderTheMachineTheAllUsersRunSucceedsWithoutUninstallEntry)
{
    const std::wstring product = L"SOFTWARE\\Zorvane\\Werbtron";
    const TKluczBezZapisu settings(product);
    const TKluczBezZapisu uninstall(kUninstallKey);
    ASSERT_TRUE(settings.Denied() && uninstall.Denied()) << "the access lists could not be set";
    // The platform must hold the installer to them, or this run proves nothing.
    ASSERT_EQ(CreateWithAllAccess(product), ERROR_ACCESS_DENIED);
    ASSERT_EQ(CreateWithAllAccess(kUninstallKey), ERROR_ACCESS_DENIED);

    GoToOptions();
    ASSERT_FALSE(HasFatalFailure());
    frmMain->chbSkrotyAllUsers.SetChecked(true);
    frmMain->btnDalej.Click();
    ASSERT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_TRUE(SkrotyDlaWszystkich);
    EXPECT_TRUE(frmMain->FSukces);
    EXPECT_EQ(EndText(), Text(txtDoneOk));

    // The denied keys stay as the test made them: empty.
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"));
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey)) << "the entry belongs to the machine's branch";
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, product, L"Wersja"));
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, product, L"Katalog"));
    // The user's branch as always.
    const auto version = ReadRegString(HKEY_CURRENT_USER, product, L"Wersja");
    EXPECT_TRUE(version && version->Text == L"1.0");
    for (const wchar_t* value : {L"Katalog", L"CD", L"SlZewnFr", L"SlZewnPl"})
        EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, product, value)) << Narrow(value);
    for (const wchar_t* program : {L"Trans", L"TrInt", L"ExtDict", L"TrFile"})
        EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, std::wstring(L"SOFTWARE\\Zorvane\\Werbix\\") + program,
                               L"JezykInterfejsu"),
                  std::optional<DWORD>(frmMain->FJezyk))
            << Narrow(program);
}

// A run that replaced a file of the target, an older system file and an earlier registry value gives all three
// back, bytes, attributes, value type and data, whether it is cancelled at its last check point or fails at its
// very end (the record cannot be written: a folder has its name), after the shortcuts and the registry.
class EngineUndo : public EngineTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EngineUndo, TheReplacedFileSystemFileAndRegistryValueComeBack)
{
    const bool failure = GetParam();
    const std::wstring versioned = BuildFolder(L"WERB_VERSIONED");
    ASSERT_FALSE(versioned.empty()) << "WERB_VERSIONED is not set";
    MakeFolder(FTarget);
    MakeFolder(Target(L"Dane"));
    ASSERT_TRUE(WriteBytes(Target(L"Dane\\a.txt"), "an earlier installation's"));
    SetFileAttributesW(Target(L"Dane\\a.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::optional<std::string> older = ReadBytes(versioned + L"ver471.dll");
    ASSERT_TRUE(older && WriteBytes(SystemFile(L"comctl32.ocx"), *older));
    {
        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane\\Werbtron", 0, nullptr, 0,
                                  KEY_ALL_ACCESS | kView32, nullptr, key.Receive(), nullptr),
                  ERROR_SUCCESS);
        const wchar_t earlier[] = L"%TEMP%\\earlier";
        ASSERT_EQ(RegSetValueExW(key.Get(), L"Katalog", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(earlier),
                                 sizeof earlier),
                  ERROR_SUCCESS);
    }
    if (failure) MakeFolder(Target(L"DeInstalka.dat"));
    const Installed before = WhatIsInstalled(FTarget);
    const DWORD attributes = GetFileAttributesW(Target(L"Dane\\a.txt").c_str());
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);

    if (failure) {
        Install();
    } else {
        AnswerEveryCancelQuestion([](int n) { return n == 11; });
        InstallPressingClose();
    }
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(EndText(), Text(failure ? txtDoneError : txtDoneAborted));
    if (failure) {
        EXPECT_FALSE(frmMain->FPrzerwano);
    }

    const Installed after = WhatIsInstalled(FTarget);
    EXPECT_TRUE(after.Files == before.Files) << Difference(before.Files, after.Files);
    EXPECT_TRUE(after.Registry == before.Registry) << Difference(before.Registry, after.Registry);
    EXPECT_TRUE(after.Shortcuts == before.Shortcuts) << Difference(before.Shortcuts, after.Shortcuts);
    EXPECT_TRUE(after.System == before.System) << "the system folder differs";
    EXPECT_EQ(ReadBytes(SystemFile(L"comctl32.ocx")), older);
    EXPECT_EQ(GetFileAttributesW(Target(L"Dane\\a.txt").c_str()), attributes);
    DWORD type = 0;
    wchar_t value[64] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(GetProductValue(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane\\Werbtron", L"Katalog",
                              RRF_RT_ANY | RRF_NOEXPAND, &type, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(std::wstring(value), L"%TEMP%\\earlier");
    EXPECT_FALSE(Exists(KatalogDziennikow())) << "the journal stays after its run was undone";
    DeleteFileW(SystemFile(L"comctl32.ocx").c_str());
}

INSTANTIATE_TEST_SUITE_P(CancelAndFailure, EngineUndo, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Failure" : "Cancel"; });
