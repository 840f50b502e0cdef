// The Options page on real folders: exclusion list, folder size, required and free space, the target folder.
#include "test_wizard_support.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/untKatalog.h"
#include "install/Produkt.h"
#include "texts/Format.h"
#include "texts/FormatLocale.h"

namespace {

constexpr std::int64_t kMiB = 1048576;
constexpr std::int64_t kTiB = kMiB * kMiB;

// The decimal separator the locale of this run must show ("." under LC_ALL=C).
std::string ExpectedMB(const char* whole, const char* tenth)
{
    const char* dec = std::getenv("WERB_EXPECTED_DECIMAL");
    return std::string(whole) + (dec && *dec ? dec : ".") + tenth + " MB";
}

bool Recorded(const std::string& folder)
{
    const auto& l = frmMain->FUtworzoneKatalogi;
    return std::find(l.begin(), l.end(), folder) != l.end();
}

// ProgramFilesDir moved aside to a backup name while it lives, and put back when it ends; a backup left by a
// run that died is put back first.
class ProgramFilesDirAside {
public:
    ProgramFilesDirAside()
    {
        // The 32-bit view's value: the one the installer reads.
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY, &FKey) !=
            ERROR_SUCCESS) {
            FKey = nullptr;
            return;
        }
        Restore();
        DWORD type = 0, size = sizeof FValue;
        if (RegQueryValueExW(FKey, kValue, nullptr, &type, reinterpret_cast<BYTE*>(FValue), &size) !=
            ERROR_SUCCESS)
            return;
        FType = type;
        FSize = size;
        if (RegSetValueExW(FKey, kBackup, 0, FType, reinterpret_cast<const BYTE*>(FValue), FSize) != ERROR_SUCCESS)
            return;
        FMoved = RegDeleteValueW(FKey, kValue) == ERROR_SUCCESS;
    }
    ~ProgramFilesDirAside()
    {
        if (FKey) {
            Restore();
            RegCloseKey(FKey);
        }
    }
    ProgramFilesDirAside(const ProgramFilesDirAside&) = delete;
    ProgramFilesDirAside& operator=(const ProgramFilesDirAside&) = delete;
    bool Moved() const { return FMoved; }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion";
    static constexpr const wchar_t* kValue = L"ProgramFilesDir";
    static constexpr const wchar_t* kBackup = L"ProgramFilesDir.werb-test";

    void Restore()
    {
        wchar_t v[MAX_PATH + 1] = {};
        DWORD type = 0, size = sizeof v;
        if (RegQueryValueExW(FKey, kBackup, nullptr, &type, reinterpret_cast<BYTE*>(v), &size) != ERROR_SUCCESS)
            return;
        if (RegSetValueExW(FKey, kValue, 0, type, reinterpret_cast<const BYTE*>(v), size) == ERROR_SUCCESS)
            RegDeleteValueW(FKey, kBackup);
    }

    HKEY FKey = nullptr;
    wchar_t FValue[MAX_PATH + 1] = {};
    DWORD FType = 0, FSize = 0;
    bool FMoved = false;
};

const std::string kFixedEntries =
    "<.><..><umowapol.txt><umowaang.txt><umowadeu.txt><umowafr.txt><instalator.exe><instaluj.exe>"
    "<instalka.exe><autorun.inf><comctl32.dll><comctl32.ocx><stedt.ttf><SAPI51tts.exe><SyntezaMowy.exe>"
    "<start.exe><InstalatorAng3.exe><InstalatorDeu3.exe>";

} // namespace

// The wizard with the CD dialog answered; each test leaves the CD folder and its temporary folders empty.
class OptionsTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ShowWizard();
        ASSERT_EQ(frmMain->FKatalogZrodlowyBezUkosnika, "D:");
        // The marker was needed only to answer the CD dialog; the sizes below are the CD's own.
        RemoveCdFile(L"Werbilo2.exe");
    }

    void GoToOptions()
    {
        frmMain->btnDalej.Click();
        frmMain->rdbUmowaAkceptuje.SetChecked(true);
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stOpcje);
    }

    // Next on Options with the question dialog answered; returns what it asked ("" when it asked nothing).
    std::string NextAnswering(bool yes, const std::wstring& dropBeforeAnswer = {})
    {
        std::string asked;
        Application.OnNextModalShown([&](TForm& f) {
            EXPECT_EQ(&f, frmPytanie);
            asked = frmPytanie->lblPytanie.Caption();
            EXPECT_EQ(frmMain->lblMiejsceWolne.Font().Color(), RGB(255, 0, 0)) << "red while asking";
            // Going on must not copy a file of terabytes once the installation copies for real.
            if (!dropBeforeAnswer.empty()) DeleteFileW(dropBeforeAnswer.c_str());
            (yes ? frmPytanie->btnTak : frmPytanie->btnNie).Click();
        });
        frmMain->btnDalej.Click();
        Application.OnNextModalShown(nullptr);
        return asked;
    }

    std::string Text(int number, const std::string& arg) const
    {
        return Format(PobierzTekst(frmMain->FJezyk, number), {arg});
    }

    // The counted bytes 10,485,760, dictionaries 385,000 of them, and excluded names at the root and deeper.
    void PutCountedTree(Tree& cd)
    {
        cd.File(L"data.bin", 4000000);
        cd.File(L"slzewfr.exe", 100000);
        cd.File(L"POLFR.SZ", 50000);
        cd.File(L"hidden.dat", 100000, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        cd.Folder(L"empty");
        cd.Folder(L"sub");
        cd.File(L"sub\\a.dat", 3000000);
        cd.File(L"sub\\SlZewPl.EXE", 200000);
        cd.Folder(L"sub\\deeper");
        cd.File(L"sub\\deeper\\b.dat", 1000000);
        cd.File(L"sub\\deeper\\c.dat", 2000760);
        cd.File(L"sub\\deeper\\frpol.sz", 35000);
        cd.File(L"sub\\deeper\\AutoRun.INF", 777);
        cd.File(L"sub\\deeper\\Test_Options.exe", 999);
        cd.File(L"sub\\deeper\\UMOWAANG.TXT", 888);
        // Excluded: licences, autorun, the running program's own name, the main program, a folder.
        cd.File(L"UmowaPol.txt", 5000);
        cd.File(L"umowafr.txt", 6000);
        cd.File(L"autorun.inf", 1234);
        cd.File(L"test_options.exe", 4321);
        cd.File(L"Werbika.exe", 6000);
        cd.Folder(L"Instalator.exe");
        cd.File(L"Instalator.exe\\inside.dat", 500000);
        cd.Folder(L"Instalator.exe\\more");
        cd.File(L"Instalator.exe\\more\\deep.dat", 70000);
    }
};

TEST_F(OptionsTest, RequiredSpaceCountsTheCdLessTheExclusionList)
{
    Tree cd(CdFolder());
    PutCountedTree(cd);
    GoToOptions();

    EXPECT_EQ(frmMain->FWymaganeMiejsce, 12585760);
    EXPECT_EQ(frmMain->lblMiejsceWymagane.Caption(), Text(txtRequiredSpace, ExpectedMB("12", "0")));

    // The language switch on this page writes the labels again, in the new language.
    frmMain->UstawJezyk(jzFrancuski);
    EXPECT_EQ(frmMain->lblMiejsceWymagane.Caption(),
              Format(PobierzTekst(jzFrancuski, txtRequiredSpace), {ExpectedMB("12", "0")}));
    EXPECT_NE(frmMain->lblMiejsceWolne.Caption(), PobierzTekst(jzFrancuski, txtFreeSpace));
}

TEST_F(OptionsTest, DictionariesBoxRemovesAndRestoresTheDictionariesAtAnyDepth)
{
    Tree cd(CdFolder());
    PutCountedTree(cd);
    GoToOptions();
    ASSERT_TRUE(frmMain->chbInstalujSlowniki.Checked());
    ASSERT_EQ(frmMain->FWymaganeMiejsce, 12585760);

    // A real click of the box, through its notification.
    SendMessageW(frmMain->chbInstalujSlowniki.Handle(), BM_CLICK, 0, 0);
    ASSERT_FALSE(frmMain->chbInstalujSlowniki.Checked());
    EXPECT_EQ(frmMain->FWymaganeMiejsce, 12585760 - 385000);
    EXPECT_EQ(frmMain->lblMiejsceWymagane.Caption(), Text(txtRequiredSpace, ExpectedMB("11", "6")));

    SendMessageW(frmMain->chbInstalujSlowniki.Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(frmMain->chbInstalujSlowniki.Checked());
    EXPECT_EQ(frmMain->FWymaganeMiejsce, 12585760);
}

TEST_F(OptionsTest, FreeSpaceOfTheTargetDriveInItsNormalColour)
{
    GoToOptions();
    ULARGE_INTEGER mine{}, total{}, all{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:\\", &mine, &total, &all));
    // Other work on the disk moves the figure a little between the two queries.
    EXPECT_NEAR(static_cast<double>(frmMain->FWolneMiejsce), static_cast<double>(mine.QuadPart), 512.0 * kMiB);
    EXPECT_GT(frmMain->FWolneMiejsce, frmMain->FWymaganeMiejsce);
    EXPECT_EQ(frmMain->lblMiejsceWolne.Font().Color(), clWindowText);
    EXPECT_EQ(frmMain->lblMiejsceWolne.Caption(),
              Text(txtFreeSpace, FormatFloatLocale(static_cast<double>(frmMain->FWolneMiejsce) / kMiB) + " MB"));
    // Only the fixed allowance: the CD holds nothing counted.
    EXPECT_EQ(frmMain->FWymaganeMiejsce, 2100000);
}

TEST_F(OptionsTest, DriveThatDoesNotExistHasNoFreeSpaceAndTurnsRed)
{
    const DWORD drives = GetLogicalDrives();
    wchar_t missing = 0;
    for (wchar_t c = L'Q'; c <= L'Y' && !missing; ++c)
        if (!(drives & (1u << (c - L'A')))) missing = c;
    ASSERT_NE(missing, 0) << "every drive letter from Q: is mapped";

    GoToOptions();
    frmMain->FKatalogDocelowy = Narrow(std::wstring{missing} + L":\\Werbika");
    frmMain->chbInstalujSlowniki.SetChecked(false);  // any fresh check of the space
    EXPECT_EQ(frmMain->FWolneMiejsce, 0);
    EXPECT_EQ(frmMain->lblMiejsceWolne.Font().Color(), RGB(255, 0, 0));
    EXPECT_EQ(frmMain->lblMiejsceWolne.Caption(), Text(txtFreeSpace, ExpectedMB("0", "0")));

    // And back on a real drive the colour returns.
    frmMain->FKatalogDocelowy = "C:\\Werbika";
    frmMain->chbInstalujSlowniki.SetChecked(true);
    EXPECT_EQ(frmMain->lblMiejsceWolne.Font().Color(), clWindowText);
}

TEST_F(OptionsTest, ShortSpaceAsksAndNoStaysWhileYesGoesOn)
{
    Tree cd(CdFolder());
    cd.File(L"huge.bin", 4 * kTiB);
    ASSERT_EQ(SizeOnWindowsSide(cd.Path(L"huge.bin")), 4 * kTiB) << "Wine must report the sparse file's size";
    Tree temp(TempFolder());
    temp.Folder(L"werb-opt-short");
    const std::string target = Narrow(temp.Path(L"werb-opt-short"));

    GoToOptions();
    EXPECT_EQ(frmMain->FWymaganeMiejsce, 4 * kTiB + 2100000);
    EXPECT_LT(frmMain->FWolneMiejsce, frmMain->FWymaganeMiejsce);
    EXPECT_EQ(frmMain->lblMiejsceWolne.Font().Color(), RGB(255, 0, 0));

    frmMain->lblKatalog.SetCaption(target);
    EXPECT_EQ(NextAnswering(false), Text(txtAskLowSpace, target));
    EXPECT_EQ(frmMain->FStrona, stOpcje);
    EXPECT_EQ(frmMain->FKatalogDocelowy, target);

    EXPECT_EQ(NextAnswering(true, cd.Path(L"huge.bin")), Text(txtAskLowSpace, target));
    EXPECT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_FALSE(Recorded(target)) << "the folder existed before";
}

TEST_F(OptionsTest, ExistingTargetFolderIsNotRecorded)
{
    Tree temp(TempFolder());
    temp.Folder(L"werb-opt-exists");
    const std::string target = Narrow(temp.Path(L"werb-opt-exists"));
    GoToOptions();
    frmMain->lblKatalog.SetCaption(target);
    EXPECT_EQ(NextAnswering(false), "") << "enough space: no question";
    EXPECT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_FALSE(Recorded(target));
    EXPECT_FALSE(SkrotyDlaWszystkich);
}

TEST_F(OptionsTest, CreatedTargetFolderIsRecorded)
{
    Tree temp(TempFolder());
    const std::wstring folder = temp.Adopt(L"werb-opt-new");
    const std::string target = Narrow(folder);
    GoToOptions();
    frmMain->lblKatalog.SetCaption(target);
    frmMain->btnDalej.Click();
    EXPECT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_TRUE(Exists(folder));
    EXPECT_TRUE(Recorded(target));
    EXPECT_EQ(frmMain->FKatalogDocelowy, target);
}

TEST_F(OptionsTest, CreatedThenNoStaysOnDiskUnrecordedAndASecondNextDoesNotRecordIt)
{
    Tree cd(CdFolder());
    cd.File(L"huge.bin", 4 * kTiB);
    Tree temp(TempFolder());
    const std::wstring folder = temp.Adopt(L"werb-opt-no");
    const std::string target = Narrow(folder);
    GoToOptions();
    frmMain->lblKatalog.SetCaption(target);

    EXPECT_EQ(NextAnswering(false), Text(txtAskLowSpace, target));
    EXPECT_EQ(frmMain->FStrona, stOpcje);
    EXPECT_TRUE(Exists(folder));
    EXPECT_FALSE(Recorded(target));

    EXPECT_EQ(NextAnswering(true, cd.Path(L"huge.bin")), Text(txtAskLowSpace, target));
    EXPECT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_FALSE(Recorded(target)) << "found existing on the second Next";
}

TEST_F(OptionsTest, MissingParentGivesTheCannotCreateMessageWithOneButton)
{
    Tree temp(TempFolder());
    const std::wstring parent = temp.Adopt(L"werb-opt-missing");
    const std::string target = Narrow(parent + L"\\child");
    GoToOptions();
    frmMain->lblKatalog.SetCaption(target);

    std::string asked;
    bool yesVisible = false, noVisible = true, cancelVisible = true;
    Application.OnNextModalShown([&](TForm& f) {
        EXPECT_EQ(&f, frmPytanie);
        asked = frmPytanie->lblPytanie.Caption();
        yesVisible = frmPytanie->btnTak.Visible();
        noVisible = frmPytanie->btnNie.Visible();
        cancelVisible = frmPytanie->btnAnuluj.Visible();
        frmPytanie->btnTak.Click();
    });
    frmMain->btnDalej.Click();

    EXPECT_EQ(asked, Text(txtCannotCreateDir, target));
    EXPECT_TRUE(yesVisible);
    EXPECT_FALSE(noVisible);
    EXPECT_FALSE(cancelVisible);
    EXPECT_EQ(frmMain->FStrona, stOpcje);
    EXPECT_FALSE(Exists(parent)) << "no parent folders are made";
    EXPECT_FALSE(Recorded(target));
}

TEST_F(OptionsTest, CancelledFolderBrowserKeepsTheFolderAndChecksTheSpaceAgain)
{
    Tree cd(CdFolder());
    GoToOptions();
    const std::string before = frmMain->FKatalogDocelowy;
    ASSERT_EQ(frmMain->FWymaganeMiejsce, 2100000);
    cd.File(L"late.dat", 1000);

    Application.OnNextModalShown([](TForm& f) {
        if (&f == frmKatalog) frmKatalog->btnAnuluj.Click();
        else f.Close();
    });
    frmMain->btnKatalog.Click();
    Application.OnNextModalShown(nullptr);

    EXPECT_EQ(frmMain->FKatalogDocelowy, before);
    EXPECT_EQ(frmMain->lblKatalog.Caption(), before);
    EXPECT_EQ(frmMain->FWymaganeMiejsce, 2101000);
}

TEST_F(OptionsTest, DefaultTargetFolderComesFromTheRegistryOrIsCWerbika)
{
    // The fixture's wizard read the value as a 32-bit program does.
    EXPECT_STRCASEEQ(frmMain->FKatalogDocelowy.c_str(), "C:\\Program Files (x86)\\Werbika");
    {
        ProgramFilesDirAside aside;
        ASSERT_TRUE(aside.Moved());
        frmMain->UstawKatalogDocelowy();
        EXPECT_EQ(frmMain->FKatalogDocelowy, "C:\\Werbika");
        EXPECT_EQ(frmMain->lblKatalog.Caption(), "C:\\Werbika");
    }
    frmMain->UstawKatalogDocelowy();
    EXPECT_STRCASEEQ(frmMain->FKatalogDocelowy.c_str(), "C:\\Program Files (x86)\\Werbika") << "value restored";
}

TEST(ExclusionList, WholeListForBothDictionaryChoices)
{
    const std::string own = "<werbika.exe><test_options.exe>";
    EXPECT_EQ(ListaWykluczen(1, true), kFixedEntries + own);
    EXPECT_EQ(ListaWykluczen(1, false), kFixedEntries + own + "<slzewfr.exe><slzewpl.exe><frpol.sz><polfr.sz>");
    EXPECT_EQ(ListaWykluczen(2, true), "") << "no row for product 2";
}

TEST(ExclusionList, MembershipIgnoresCaseByWindowsRulesAndMatchesWholeEntriesOnly)
{
    const std::string lista = ListaWykluczen(1, false);
    EXPECT_TRUE(NaLiscieWykluczen(lista, "AUTORUN.INF"));
    EXPECT_TRUE(NaLiscieWykluczen(lista, "sapi51TTS.exe"));
    EXPECT_TRUE(NaLiscieWykluczen(lista, "PolFr.Sz"));
    EXPECT_TRUE(NaLiscieWykluczen(lista, "."));
    EXPECT_TRUE(NaLiscieWykluczen(lista, ".."));
    EXPECT_FALSE(NaLiscieWykluczen(lista, "pol.txt"));
    EXPECT_FALSE(NaLiscieWykluczen(lista, "umowapol.tx"));
    EXPECT_FALSE(NaLiscieWykluczen(lista, "..."));
    EXPECT_FALSE(NaLiscieWykluczen(ListaWykluczen(1, true), "polfr.sz"));
    // Letters beyond ASCII.
    EXPECT_TRUE(NaLiscieWykluczen("<żółw.exe><été.txt>", "ŻÓŁW.EXE"));
    EXPECT_TRUE(NaLiscieWykluczen("<ŻÓŁW.EXE>", "żółw.exe"));
    EXPECT_TRUE(NaLiscieWykluczen("<żółw.exe><été.txt>", "ÉTÉ.TXT"));
    EXPECT_FALSE(NaLiscieWykluczen("<zolw.exe>", "żółw.exe"));
}

TEST(FolderSize, CountsFilesOfTwoAndFiveGibibytesExactly)
{
    Tree temp(TempFolder());
    temp.Folder(L"werb-opt-size");
    temp.File(L"werb-opt-size\\two.bin", 2 * 1024 * kMiB + 3);
    temp.Folder(L"werb-opt-size\\in");
    temp.File(L"werb-opt-size\\in\\five.bin", 5 * 1024 * kMiB + 7);
    temp.File(L"werb-opt-size\\in\\small.txt", 11);
    ASSERT_EQ(SizeOnWindowsSide(temp.Path(L"werb-opt-size\\in\\five.bin")), 5 * 1024 * kMiB + 7);

    const std::int64_t n = RozmiarKatalogu(Narrow(temp.Path(L"werb-opt-size")), ListaWykluczen(1, true));
    EXPECT_GT(n, 0);
    EXPECT_EQ(n, 7 * 1024 * kMiB + 3 + 7 + 11);
}

TEST(FolderSize, ExcludedFolderIsSkippedWithItsContentAndMissingFoldersCountNothing)
{
    Tree temp(TempFolder());
    temp.Folder(L"werb-opt-skip");
    temp.File(L"werb-opt-skip\\kept.dat", 100);
    temp.Folder(L"werb-opt-skip\\Start.EXE");
    temp.File(L"werb-opt-skip\\Start.EXE\\gone.dat", 5000);
    const std::string root = Narrow(temp.Path(L"werb-opt-skip"));
    EXPECT_EQ(RozmiarKatalogu(root, ListaWykluczen(1, true)), 100);
    EXPECT_EQ(RozmiarKatalogu(root, ""), 5100) << "an empty list skips the pseudo-entries all the same";
    EXPECT_EQ(RozmiarKatalogu(root + "\\no-such-folder", ListaWykluczen(1, true)), 0);
    EXPECT_EQ(RozmiarKatalogu("", ListaWykluczen(1, true)), 0);
}

TEST(DriveNumber, EmptyIsZeroAndLettersCountFromA)
{
    EXPECT_EQ(NumerDysku(""), 0);
    EXPECT_EQ(NumerDysku("d:\\x"), 4);
    EXPECT_EQ(NumerDysku("D:\\x"), 4);
    EXPECT_EQ(NumerDysku("a"), 1);
    EXPECT_EQ(NumerDysku("z:"), 26);
}

TEST(DriveFreeSpace, ExistingDriveHasSpaceAndAMissingOneMinusOne)
{
    EXPECT_GT(WolneMiejsceDysku(3), 0);
    EXPECT_EQ(WolneMiejsceDysku(27), -1);
    const DWORD drives = GetLogicalDrives();
    for (int n = 17; n <= 25; ++n)
        if (!(drives & (1u << (n - 1)))) {
            EXPECT_EQ(WolneMiejsceDysku(n), -1) << "drive " << static_cast<char>('A' + n - 1);
            break;
        }
}
