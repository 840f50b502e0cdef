// The Licence page: the CD's file in the interface language, its lines and letters, typed letters and the
// keyboard layout, and where the page opens.
#include "test_settings_support.h"
#include "test_wizard_support.h"

#include <commctrl.h>
#include <richedit.h>

#include <functional>
#include <string>
#include <vector>


namespace {

// Windows-1250: "Zajęć umowę: ą ę ł ó ś ź ż", then "Koń ĄĘŁŃÓŚŹŻ" with the trigger letter ń.
const std::string kPolishFile = "Zaj\xEA\xE6 umow\xEA: \xB9 \xEA \xB3 \xF3 \x9C \x9F \xBF\r\nKo\xF1 \xA5\xCA\xA3\xD1\xD3\x8C\x8F\xAF\r\n";
const std::string kPolishText = "Zajęć umowę: ą ę ł ó ś ź ż\r\nKoń ĄĘŁŃÓŚŹŻ\r\n";
const std::wstring kPolishLettersFirstLine = L"ęćęąęłóśźż";
const std::wstring kPolishLettersSecondLine = L"ńĄĘŁŃÓŚŹŻ";
// Windows-1252: "œuvre à côté, ça"; œ is ś in Windows-1250.
const std::string kFrenchFile = "\x9Cuvre \xE0 c\xF4t\xE9, \xE7" "a\r\n";
const std::string kFrenchText = "œuvre à côté, ça\r\n";

// What reaches the control as typed characters, with the keyboard layout active at each.
struct Typed {
    std::wstring Chars;
    std::vector<WORD> Layouts;
};
Typed gTyped;

LRESULT CALLBACK RecordChars(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR)
{
    if (msg == WM_CHAR) {
        gTyped.Chars += static_cast<wchar_t>(wp);
        gTyped.Layouts.push_back(LOWORD(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0))));
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// Whether this platform gives the layout asked for: Wine 8 answers every LoadKeyboardLayout with the layout of
// the user's locale, and activates no other.
bool LayoutLoads(const wchar_t* id, WORD language)
{
    return LOWORD(reinterpret_cast<UINT_PTR>(LoadKeyboardLayoutW(id, 0))) == language;
}

// The locale this run has, as ctest says: "pl", "fr" or "other".
std::wstring RunLocale()
{
    const std::wstring l = Env(L"WERB_LICENCE_LOCALE");
    return l.empty() ? L"other" : l;
}

class LicenceTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        RemoveCdFile(L"umowafr.txt");
        gTyped = {};
    }

    void TearDown() override
    {
        if (FRecording) RemoveWindowSubclass(frmMain->redUmowa.Handle(), RecordChars, 1);
        RemoveCdFile(L"umowafr.txt");
        WizardTest::TearDown();
    }

    static void PutLicence(const wchar_t* name, const std::string& bytes)
    {
        ASSERT_TRUE(WriteBytes(CdFolder() + name, bytes));
    }

    void Record()
    {
        ASSERT_TRUE(SetWindowSubclass(frmMain->redUmowa.Handle(), RecordChars, 1, 0));
        FRecording = true;
    }

    // Shows the wizard, takes the language, and enters the Licence page with Next; whatever the test has to do
    // once the drive is known comes first.
    void OpenLicencePage(TJezyk jezyk, const std::function<void()>& driveKnown = nullptr)
    {
        ShowWizard();
        if (driveKnown) driveKnown();
        frmMain->UstawJezyk(jezyk);
        Record();
        // No message is shown on the way, whatever the CD holds.
        Application.OnNextModalShown([](TForm& f) {
            ADD_FAILURE() << "a dialog was shown";
            f.SetModalResult(mrCancel);
        });
        frmMain->btnDalej.Click();
        Application.OnNextModalShown(nullptr);
        ASSERT_EQ(frmMain->FStrona, stUmowa);
    }

    BYTE CharsetAt(int position)
    {
        CHARRANGE r{position, position + 1};
        SendMessageW(frmMain->redUmowa.Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
        return frmMain->redUmowa.SelectionAttributes().Charset;
    }

    bool FRecording = false;
};

} // namespace

// The letters are right in every locale: the file is read in its language's code page.
TEST_F(LicenceTest, FrenchInterfaceShowsTheFrenchFileWithItsLetters)
{
    PutLicence(L"umowapol.txt", kPolishFile);
    PutLicence(L"umowafr.txt", kFrenchFile);
    OpenLicencePage(jzFrancuski);
    EXPECT_EQ(frmMain->redUmowa.Text(), kFrenchText);
    EXPECT_EQ(CharsetAt(0), ANSI_CHARSET);
    EXPECT_TRUE(frmMain->redUmowa.ReadOnly());
}

TEST_F(LicenceTest, WithoutTheFrenchFileThePolishOne)
{
    PutLicence(L"umowapol.txt", kPolishFile);
    OpenLicencePage(jzFrancuski);
    EXPECT_EQ(frmMain->redUmowa.Text(), kPolishText);
    EXPECT_EQ(CharsetAt(0), EASTEUROPE_CHARSET);
}

TEST_F(LicenceTest, PolishInterfaceShowsThePolishFileWithItsLettersEvenBesideAFrenchOne)
{
    PutLicence(L"umowapol.txt", kPolishFile);
    PutLicence(L"umowafr.txt", kFrenchFile);
    OpenLicencePage(jzPolski);
    EXPECT_EQ(frmMain->redUmowa.Text(), kPolishText);
    EXPECT_TRUE(frmMain->redUmowa.ReadOnly());
}

TEST_F(LicenceTest, NoFileLeavesThePageEmptyAndTheLicenceCanStillBeAccepted)
{
    // The drive dialog wants the licence as a marker; it goes away before the page is entered.
    OpenLicencePage(jzFrancuski, [] { RemoveCdFile(L"UmowaPol.txt"); });
    EXPECT_EQ(frmMain->redUmowa.Text(), "");
    frmMain->rdbUmowaAkceptuje.SetChecked(true);
    EXPECT_TRUE(frmMain->btnDalej.Enabled());
}

TEST_F(LicenceTest, EveryLineEndsWithCrLfAndEmptyLinesStay)
{
    PutLicence(L"umowapol.txt", "one\r\ntwo\nthree");
    OpenLicencePage(jzPolski);
    EXPECT_EQ(frmMain->redUmowa.Text(), "one\r\ntwo\r\nthree\r\n");

    // Entering the page again builds the text anew.
    PutLicence(L"umowapol.txt", "a\r\n\r\nb\r\n\r\n");
    frmMain->btnWstecz.Click();
    frmMain->btnDalej.Click();
    EXPECT_EQ(frmMain->redUmowa.Text(), "a\r\n\r\nb\r\n\r\n");
}

// Outside a Polish locale every national letter is typed under the Polish layout; in one, only the line
// with the trigger letter.
TEST_F(LicenceTest, PolishLettersAreTypedUnderThePolishLayout)
{
    PutLicence(L"umowapol.txt", kPolishFile);
    const HKL before = GetKeyboardLayout(0);
    OpenLicencePage(jzPolski);
    const std::wstring expected =
        RunLocale() == L"pl" ? kPolishLettersSecondLine : kPolishLettersFirstLine + kPolishLettersSecondLine;
    EXPECT_EQ(gTyped.Chars, expected);
    if (LayoutLoads(L"00000415", 0x0415)) {
        for (WORD layout : gTyped.Layouts) EXPECT_EQ(layout, 0x0415);
    }
    EXPECT_EQ(GetKeyboardLayout(0), before);
    EXPECT_EQ(frmMain->redUmowa.Text(), kPolishText);
}

TEST_F(LicenceTest, FrenchLettersAreTypedUnderTheFrenchLayoutOutsideFrance)
{
    PutLicence(L"umowapol.txt", kPolishFile);
    PutLicence(L"umowafr.txt", kFrenchFile);
    const HKL before = GetKeyboardLayout(0);
    OpenLicencePage(jzFrancuski);
    EXPECT_EQ(gTyped.Chars, RunLocale() == L"fr" ? L"" : L"œàôéç");
    if (LayoutLoads(L"0000040c", 0x040C)) {
        for (WORD layout : gTyped.Layouts) EXPECT_EQ(layout, 0x040C);
    }
    EXPECT_EQ(GetKeyboardLayout(0), before);
}

// A language without a locale of its own types only lines with a trigger byte, in every locale.
TEST_F(LicenceTest, OtherLanguagesTypeOnlyTriggerLines)
{
    ShowWizard();
    Record();
    TRichEdit& edytor = frmMain->redUmowa;
    edytor.Clear();
    TfrmMain::WstawLinieUmowy(edytor, "Gr\xFC\xDF" "e", jzNiemiecki);
    EXPECT_EQ(gTyped.Chars, L"");
    TfrmMain::WstawLinieUmowy(edytor, " \xEC" "a\xFC", jzNiemiecki);
    EXPECT_EQ(gTyped.Chars, L"ěü");
    TfrmMain::WstawLinieUmowy(edytor, "", jzNiemiecki);
    EXPECT_EQ(edytor.Text(), "Grüße ěaü");
    EXPECT_TRUE(edytor.ReadOnly());
}

TEST_F(LicenceTest, PageOpensAtTheTop)
{
    std::string text;
    for (int i = 0; i < 300; ++i) text += "Line " + std::to_string(i) + " of the agreement, with \xB3\xF3\xBF" "ko\r\n";
    PutLicence(L"umowapol.txt", text);
    OpenLicencePage(jzPolski);
    ASSERT_EQ(SendMessageW(frmMain->redUmowa.Handle(), EM_GETLINECOUNT, 0, 0), 301);
    EXPECT_EQ(frmMain->redUmowa.SelStart(), 0);
    EXPECT_EQ(SendMessageW(frmMain->redUmowa.Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    // The page is shown and the control took its size: it scrolls at all.
    SendMessageW(frmMain->redUmowa.Handle(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_GT(SendMessageW(frmMain->redUmowa.Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}
