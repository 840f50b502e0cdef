// The Licence page: the CD's file in the interface language, its lines and letters, typed letters and the
// keyboard layout, and where the page opens.
#include "test_settings_support.h"
#include "test_wizard_support.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
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

// What the code asks of the keyboard and what reaches the control, in order: "{get}", "{load NAME}",
// "{on}" (the loaded layout activated), "{back}" (the remembered one activated again), "[c]" for a typed
// character, and selection text as it stands. Wine never changes the layout, so the three keyboard-layout
// functions are taken over in this program's import table while a page is loaded: the loaded layout is a
// handle of the test's own, and activating only records it.
std::wstring gLog;
HKL gActive = nullptr;          // what GetKeyboardLayout answers
HKL gRemembered = nullptr;      // the last answer of GetKeyboardLayout
std::vector<HKL> gLoaded;       // handles given out by LoadKeyboardLayoutW, one per name asked for
std::vector<HKL> gTypedUnder;   // the active layout at each typed character
std::vector<UINT> gFlags;       // flags of every load and activation

HKL WINAPI FakeGetKeyboardLayout(DWORD)
{
    gLog += L"{get}";
    gRemembered = gActive;
    return gActive;
}

HKL WINAPI FakeLoadKeyboardLayoutW(LPCWSTR name, UINT flags)
{
    gLog += L"{load " + std::wstring(name ? name : L"(null)") + L"}";
    gFlags.push_back(flags);
    // A handle no real layout has, so that activating it cannot be mistaken for going back.
    gLoaded.push_back(reinterpret_cast<HKL>(static_cast<UINT_PTR>(0xF0000000u | (gLoaded.size() + 1))));
    return gLoaded.back();
}

HKL WINAPI FakeActivateKeyboardLayout(HKL layout, UINT flags)
{
    gFlags.push_back(flags);
    const bool loaded = !gLoaded.empty() && layout == gLoaded.back();
    gLog += loaded ? L"{on}" : layout == gRemembered ? L"{back}" : L"{other}";
    const HKL previous = gActive;
    gActive = layout;
    return previous;
}

// Points this program's import of one function elsewhere; gives back what was there.
void* ReplaceImport(void* real, void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    void* replaced = nullptr;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d)
        for (auto* t = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); t->u1.Function; ++t) {
            if (reinterpret_cast<void*>(t->u1.Function) != real) continue;
            DWORD old = 0;
            VirtualProtect(&t->u1.Function, sizeof t->u1.Function, PAGE_READWRITE, &old);
            t->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&t->u1.Function, sizeof t->u1.Function, old, &old);
            replaced = real;
        }
    return replaced;
}

// The keyboard-layout functions of user32 in this program's imports, taken over while it lives.
class TakenOverLayouts {
public:
    TakenOverLayouts()
    {
        gLog.clear();
        gLoaded.clear();
        gTypedUnder.clear();
        gFlags.clear();
        gActive = gRemembered = GetKeyboardLayout(0);
        for (auto& [name, fake, real] : FFunctions) {
            real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
            FTaken += ReplaceImport(real, fake) != nullptr;
        }
    }
    ~TakenOverLayouts()
    {
        for (auto& [name, fake, real] : FFunctions) ReplaceImport(fake, real);
    }
    TakenOverLayouts(const TakenOverLayouts&) = delete;
    TakenOverLayouts& operator=(const TakenOverLayouts&) = delete;
    // All three were found among the imports: the installer's calls go through them.
    bool Complete() const { return FTaken == 3; }

private:
    struct Function {
        const char* Name;
        void* Fake;
        void* Real;
    };
    Function FFunctions[3] = {
        {"GetKeyboardLayout", reinterpret_cast<void*>(&FakeGetKeyboardLayout), nullptr},
        {"LoadKeyboardLayoutW", reinterpret_cast<void*>(&FakeLoadKeyboardLayoutW), nullptr},
        {"ActivateKeyboardLayout", reinterpret_cast<void*>(&FakeActivateKeyboardLayout), nullptr},
    };
    int FTaken = 0;
};

LRESULT CALLBACK RecordInput(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR)
{
    if (msg == WM_CHAR) {
        gLog += L"[" + std::wstring(1, static_cast<wchar_t>(wp)) + L"]";
        gTypedUnder.push_back(gActive);
    }
    if (msg == EM_REPLACESEL && lp) gLog += reinterpret_cast<const wchar_t*>(lp);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// The typed characters of the log.
std::wstring Typed()
{
    std::wstring typed;
    for (std::size_t i = 0; i + 2 < gLog.size(); ++i)
        if (gLog[i] == L'[' && gLog[i + 2] == L']') typed += gLog[i + 1];
    return typed;
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
        gLog.clear();
    }

    void TearDown() override
    {
        if (FRecording) RemoveWindowSubclass(frmMain->redUmowa.Handle(), RecordInput, 1);
        RemoveCdFile(L"umowafr.txt");
        WizardTest::TearDown();
    }

    static void PutLicence(const wchar_t* name, const std::string& bytes)
    {
        ASSERT_TRUE(WriteBytes(CdFolder() + name, bytes));
    }

    void Record()
    {
        ASSERT_TRUE(SetWindowSubclass(frmMain->redUmowa.Handle(), RecordInput, 1, 0));
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
        {
            const TakenOverLayouts layouts;
            ASSERT_TRUE(layouts.Complete()) << "a keyboard-layout function is not among the imports";
            frmMain->btnDalej.Click();
        }
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

// Every load and activation asked with flags 0, and every typed character under a layout that was loaded.
void ExpectFlagsZeroAndTypedUnderLoadedLayouts()
{
    for (UINT f : gFlags) EXPECT_EQ(f, 0u);
    for (HKL l : gTypedUnder) EXPECT_NE(std::find(gLoaded.begin(), gLoaded.end(), l), gLoaded.end());
}

// Outside a Polish locale every national letter is typed under the Polish layout; in one, only the line
// with the trigger letter. Each typed line: the user's layout asked first, the Polish one loaded and
// activated, the letters typed between the runs of selection text, the user's layout activated again.
TEST_F(LicenceTest, PolishLettersAreTypedUnderThePolishLayout)
{
    PutLicence(L"umowapol.txt", kPolishFile);
    OpenLicencePage(jzPolski);
    const std::wstring first = RunLocale() == L"pl"
        ? L"Zajęć umowę: ą ę ł ó ś ź ż"
        : L"{get}{load 00000415}{on}Zaj[ę][ć] umow[ę]: [ą] [ę] [ł] [ó] [ś] [ź] [ż]{back}";
    EXPECT_EQ(gLog, first + L"\r\n{get}{load 00000415}{on}Ko[ń] [Ą][Ę][Ł][Ń][Ó][Ś][Ź][Ż]{back}\r\n");
    EXPECT_EQ(Typed(), RunLocale() == L"pl" ? kPolishLettersSecondLine
                                            : kPolishLettersFirstLine + kPolishLettersSecondLine);
    ExpectFlagsZeroAndTypedUnderLoadedLayouts();
    EXPECT_EQ(frmMain->redUmowa.Text(), kPolishText);
    EXPECT_TRUE(frmMain->redUmowa.ReadOnly());
}

TEST_F(LicenceTest, FrenchLettersAreTypedUnderTheFrenchLayoutOutsideFrance)
{
    PutLicence(L"umowapol.txt", kPolishFile);
    PutLicence(L"umowafr.txt", kFrenchFile);
    OpenLicencePage(jzFrancuski);
    EXPECT_EQ(gLog, RunLocale() == L"fr" ? L"œuvre à côté, ça\r\n"
                                         : L"{get}{load 0000040c}{on}[œ]uvre [à] c[ô]t[é], [ç]a{back}\r\n");
    ExpectFlagsZeroAndTypedUnderLoadedLayouts();
    EXPECT_EQ(frmMain->redUmowa.Text(), kFrenchText);
}

// A language without a locale of its own types only lines with a trigger byte, in every locale, under the
// Polish layout.
TEST_F(LicenceTest, OtherLanguagesTypeOnlyTriggerLines)
{
    ShowWizard();
    Record();
    TRichEdit& edytor = frmMain->redUmowa;
    edytor.Clear();
    {
        const TakenOverLayouts layouts;
        ASSERT_TRUE(layouts.Complete());
        TfrmMain::WstawLinieUmowy(edytor, "Gr\xFC\xDF" "e", jzNiemiecki);
        EXPECT_EQ(gLog, L"Grüße");
        TfrmMain::WstawLinieUmowy(edytor, " \xEC" "a\xFC", jzNiemiecki);
        TfrmMain::WstawLinieUmowy(edytor, "", jzNiemiecki);
    }
    EXPECT_EQ(gLog, L"Grüße{get}{load 00000415}{on} [ě]a[ü]{back}");
    ExpectFlagsZeroAndTypedUnderLoadedLayouts();
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
