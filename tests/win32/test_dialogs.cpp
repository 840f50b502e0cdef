// The question dialog's layout and keys, and the CD drive dialog's loop, answered through their real buttons.
#include "test_wizard_support.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// Shows the question; inside its loop `inside` looks at the dialog and answers it.
int Ask(const TForm& owner, const std::string& text, TRodzajPytania kind, std::function<void(TfrmPytanie&)> inside)
{
    Application.OnNextModalShown([inside](TForm&) {
        TModalWatchdog dog(*frmPytanie, 5000);
        inside(*frmPytanie);
    });
    return PokazPytanie(*frmPytanie, owner, text, kind);
}

void PressEsc(TfrmPytanie& d) { PressKey(d, VK_ESCAPE); }

} // namespace

class QuestionTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        ShowWizard();
    }
};

TEST_F(QuestionTest, EachKindShowsItsButtonsAndEscGivesItsResult)
{
    struct Case {
        TRodzajPytania kind;
        bool nie, anuluj;
        const char* tak;
        const char* nieCaption;
        int esc;
    } cases[] = {
        {rpOK, false, false, "OK", nullptr, 0},
        {rpTakNie, true, false, "Tak", "Nie", mrNo},
        {rpOKAnuluj, true, false, "OK", "Anuluj", mrNo},
        {rpTakNieAnuluj, true, true, "Tak", "Nie", mrCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        const int result = Ask(*frmMain, "Pytanie?", c.kind, [&](TfrmPytanie& d) {
            EXPECT_TRUE(d.btnTak.Visible());
            EXPECT_EQ(d.btnTak.Caption(), c.tak);
            EXPECT_EQ(d.btnNie.Visible(), c.nie);
            EXPECT_EQ(d.btnAnuluj.Visible(), c.anuluj);
            if (c.nieCaption) {
                EXPECT_EQ(d.btnNie.Caption(), c.nieCaption);
            }
            EXPECT_TRUE(d.btnTak.Focused());
            PressEsc(d);
            // Esc does nothing for the plain message: Enter then presses OK.
            if (c.esc == 0) PressKey(d, VK_RETURN);
        });
        EXPECT_EQ(result, c.esc == 0 ? mrYes : c.esc);
        EXPECT_EQ(frmPytanie->btnTak.Caption(), "Tak") << "captions restored";
        EXPECT_EQ(frmPytanie->btnNie.Caption(), "Nie");
        EXPECT_FALSE(frmPytanie->Visible());
    }
}

TEST_F(QuestionTest, ButtonsGiveTheirResults)
{
    EXPECT_EQ(Ask(*frmMain, "a", rpTakNieAnuluj, [](TfrmPytanie& d) { d.btnTak.Click(); }), mrYes);
    EXPECT_EQ(Ask(*frmMain, "a", rpTakNieAnuluj, [](TfrmPytanie& d) { d.btnNie.Click(); }), mrNo);
    EXPECT_EQ(Ask(*frmMain, "a", rpTakNieAnuluj, [](TfrmPytanie& d) { d.btnAnuluj.Click(); }), mrCancel);
    // The second button of OK/Cancel answers No, which callers read as "not OK".
    EXPECT_EQ(Ask(*frmMain, "a", rpOKAnuluj, [](TfrmPytanie& d) { d.btnNie.Click(); }), mrNo);
}

TEST_F(QuestionTest, AShortTextGetsTheWidthOfTheButtonRow)
{
    Ask(*frmMain, "Ok?", rpTakNieAnuluj, [](TfrmPytanie& d) { d.btnTak.Click(); });
    TfrmPytanie& d = *frmPytanie;
    const int row = d.btnTak.Width() + d.btnNie.Width() + d.btnAnuluj.Width() + 16;
    EXPECT_EQ(d.lblPytanie.Width(), row);
    EXPECT_EQ(d.btnTak.Left(), d.lblPytanie.Left());
    EXPECT_EQ(d.btnNie.Left(), d.btnTak.Left() + d.btnTak.Width() + 8);
    EXPECT_EQ(d.btnAnuluj.Left(), d.btnNie.Left() + d.btnNie.Width() + 8);
    EXPECT_EQ(d.ClientWidth(), 2 * 16 + row);
    EXPECT_EQ(d.ClientHeight(), 2 * 16 + d.lblPytanie.Height() + d.btnTak.Height() + 8);
    // The buttons keep their distance from the bottom edge.
    EXPECT_EQ(d.btnTak.Top() + d.btnTak.Height(), d.ClientHeight() - 6);
}

TEST_F(QuestionTest, ALongLineWrapsWithinFourHundredPixelsAndBreaksAreKept)
{
    Ask(*frmMain, "Krótko", rpOK, [](TfrmPytanie& d) { d.btnTak.Click(); });
    const int lineHeight = frmPytanie->lblPytanie.Height();
    ASSERT_GT(lineHeight, 0);

    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "słowo ";
    Ask(*frmMain, longText, rpOK, [](TfrmPytanie& d) { d.btnTak.Click(); });
    EXPECT_LE(frmPytanie->lblPytanie.Width(), 400);
    EXPECT_GT(frmPytanie->lblPytanie.Width(), 300);
    EXPECT_GE(frmPytanie->lblPytanie.Height(), 3 * lineHeight);

    Ask(*frmMain, "pierwsza\r\ndruga\r\ntrzecia", rpOK, [](TfrmPytanie& d) { d.btnTak.Click(); });
    EXPECT_EQ(frmPytanie->lblPytanie.Height(), 3 * lineHeight);
    EXPECT_LT(frmPytanie->lblPytanie.Width(), 200);

    // Button row of two, centred under a wide label.
    Ask(*frmMain, longText, rpTakNie, [](TfrmPytanie& d) { d.btnTak.Click(); });
    const TfrmPytanie& d = *frmPytanie;
    const int row = d.btnTak.Width() + d.btnNie.Width() + 8;
    EXPECT_EQ(d.btnTak.Left(), d.lblPytanie.Left() + (d.lblPytanie.Width() - row) / 2);
}

TEST_F(QuestionTest, CentredOverTheOwnerEvenASmallerOne)
{
    TFormArgs a;
    a.Left = 300;
    a.Top = 250;
    a.ClientWidth = 60;
    a.ClientHeight = 30;
    a.BorderStyle = bsDialog;
    TForm small(a);
    small.DoCreate();
    small.Show();
    Ask(small, "Wyśrodkowane pytanie nad małym oknem", rpTakNie, [](TfrmPytanie& d) { d.btnNie.Click(); });
    const TfrmPytanie& d = *frmPytanie;
    EXPECT_EQ(d.Left(), small.Left() + (small.Width() - d.Width()) / 2);
    EXPECT_EQ(d.Top(), small.Top() + (small.Height() - d.Height()) / 2);
    EXPECT_LT(d.Left(), small.Left());
    EXPECT_LT(d.Top(), small.Top());
    small.Free();
}

TEST_F(QuestionTest, FrenchCaptionsAndCancelHasAText)
{
    frmMain->UstawJezyk(jzFrancuski);
    Ask(*frmMain, "?", rpTakNieAnuluj, [](TfrmPytanie& d) {
        EXPECT_EQ(d.Caption(), "Attention");
        EXPECT_EQ(d.btnTak.Caption(), "Oui");
        EXPECT_EQ(d.btnNie.Caption(), "Non");
        EXPECT_FALSE(d.btnAnuluj.Caption().empty());
        d.btnAnuluj.Click();
    });
}

// ---- the CD drive dialog ----

TEST_F(WizardTest, CdWithWerbilo2AndTheLicenceIsAccepted)
{
    RemoveCdFile(L"Werbilo.exe");
    int shown = 0;
    Application.OnNextModalShown([&](TForm&) {
        ++shown;
        ASSERT_EQ(frmCD->cmbDrive.Items.Count(), 1) << "D: is the only CD-ROM drive";
        EXPECT_EQ(frmCD->cmbDrive.Text(), "D:\\");
        frmCD->btnOK.Click();
    });
    EXPECT_EQ(WybierzNapedCD(), "D:\\");
    EXPECT_EQ(shown, 1);
}

TEST_F(WizardTest, CdWithoutTheLicenceIsRefusedAndTheDialogComesBack)
{
    ClearCd();
    PutCdFile(L"Werbilo.exe");
    int shown = 0;
    Application.OnNextModalShown([&](TForm&) {
        ++shown;
        // Refused; the dialog comes back, and the licence file is there by then.
        Application.OnNextModalShown([&](TForm&) {
            ++shown;
            PutCdFile(L"UmowaPol.txt");
            frmCD->btnOK.Click();
        });
        frmCD->btnOK.Click();
    });
    EXPECT_EQ(WybierzNapedCD(), "D:\\");
    EXPECT_EQ(shown, 2);
}

TEST_F(WizardTest, CancellingTheCdDialogEndsTheWizard)
{
    ClearCd();
    Application.OnNextModalShown([](TForm&) {
        // Refused: no marker files. Then Esc.
        Application.OnNextModalShown([](TForm&) { PressKey(*frmCD, VK_ESCAPE); });
        frmCD->btnOK.Click();
    });
    frmMain->Show();
    Application.ProcessMessages();
    EXPECT_TRUE(frmMain->FKatalogZrodlowy.empty());
    EXPECT_FALSE(frmMain->Visible());
}

namespace {

// What the open CD dialog shows in one language: the window's title, the prompt, the buttons, the font.
struct TCdTexts {
    const wchar_t* title;
    const char* prompt;  // its first line
    const char* ok;
    const char* cancel;
    BYTE charset;
};

// The Polish prompt's first line ends in a space, as the catalogue has it.
const TCdTexts kCdPolski{L"Instalator", "Witamy w programie instalacyjnym produktu \"Werbfranko\". ", "OK", "Anuluj",
                         EASTEUROPE_CHARSET};
const TCdTexts kCdFrancuski{L"Instalator", "Bienvenue dans le programme d'installation de \"Werbfranko\".", "OK",
                            "Annuler", ANSI_CHARSET};
const TCdTexts kCdAngielski{L"Werbfranko - Instalator", "Welcome in the installation program of 'Werbfranko'.",
                            "OK", "Cancel", EASTEUROPE_CHARSET};

void ExpectCdTexts(const TCdTexts& t)
{
    ASSERT_TRUE(IsWindowVisible(frmCD->Handle())) << "the dialog is open";
    wchar_t title[256] = {};
    GetWindowTextW(frmCD->Handle(), title, 256);
    EXPECT_STREQ(title, t.title);
    const std::string prompt = frmCD->lblCD.Caption();
    EXPECT_EQ(prompt.substr(0, prompt.find_first_of("\r\n")), t.prompt);
    EXPECT_EQ(frmCD->btnOK.Caption(), t.ok);
    EXPECT_EQ(frmCD->btnAnuluj.Caption(), t.cancel);
    EXPECT_EQ(frmCD->Font().Charset(), t.charset);
}

// Flag buttons pressed in the open dialog, each followed by what the dialog must show then.
struct TCdStep {
    TSpeedButton* flag;  // nullptr: the dialog as it opens
    const TCdTexts* texts;
    bool polskiDown;
};

void WalkCdFlags(TJezyk start, std::vector<TCdStep> steps)
{
    frmMain->UstawJezyk(start);
    int shown = 0;
    Application.OnNextModalShown([&](TForm&) {
        TModalWatchdog dog(*frmCD, 5000);
        ++shown;
        for (size_t i = 0; i < steps.size(); ++i) {
            const TCdStep& step = steps[i];
            SCOPED_TRACE(i);
            if (step.flag) {
                ASSERT_TRUE(step.flag->Visible());
                step.flag->Click();
            }
            ExpectCdTexts(*step.texts);
            EXPECT_EQ(frmCD->btnPolski.Down(), step.polskiDown);
        }
        frmCD->btnAnuluj.Click();
    });
    EXPECT_EQ(WybierzNapedCD(), "");
    EXPECT_EQ(shown, 1);
}

} // namespace

TEST_F(WizardTest, TheCdDialogsFlagChangesTheTextsOfTheOpenDialog)
{
    // This product offers the Polish flag only: from French to Polish.
    WalkCdFlags(jzFrancuski, {{nullptr, &kCdFrancuski, false}, {&frmCD->btnPolski, &kCdPolski, true}});
    EXPECT_FALSE(frmCD->btnAngielski.Visible());
    EXPECT_EQ(frmMain->FJezyk, jzPolski);
}

TEST_F(WizardTest, TheCdDialogsCaptionFollowsTheFlagOfAProductWithEnglish)
{
    // A product in English offers the English flag too; its caption is the one that differs from Polish.
    JezykProduktu = jzAngielski;
    WalkCdFlags(jzPolski, {{nullptr, &kCdPolski, true},
                           {&frmCD->btnAngielski, &kCdAngielski, false},
                           {&frmCD->btnPolski, &kCdPolski, true},
                           // The flag that is down only rises: nothing changes.
                           {&frmCD->btnPolski, &kCdPolski, false}});
    EXPECT_EQ(frmMain->FJezyk, jzPolski);
}

// No CD-ROM drive in the system at all: drive D: is taken out of the system's drive list for the test and put
// back after it. (A process that dies in between leaves it out until the prefix's wineserver ends.)
class NoCdRomTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        ASSERT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM)) << "drive D: is not the prefix's CD-ROM";
        wchar_t target[MAX_PATH] = {};
        ASSERT_NE(QueryDosDeviceW(L"D:", target, MAX_PATH), 0u) << "drive D: is not defined";
        FTarget = target;
        ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"D:", nullptr));
        FRemoved = true;
        ASSERT_TRUE(NapedyTypu(DRIVE_CDROM).empty()) << "the prefix has another CD-ROM drive";
    }
    void TearDown() override
    {
        // The drive comes back for the other tests of the prefix.
        if (FRemoved) {
            EXPECT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"D:", FTarget.c_str()));
            EXPECT_EQ(NapedyTypu(DRIVE_CDROM), std::vector<std::string>{"D:\\"});
        }
        WizardTest::TearDown();
    }

    std::wstring FTarget;
    bool FRemoved = false;
};

TEST_F(NoCdRomTest, OkBringsTheDialogBackAndCancelEndsTheWizard)
{
    // The product CD's files are in the CD folder: only the missing drive refuses OK.
    int shown = 0;
    Application.OnNextModalShown([&](TForm& f) {
        EXPECT_EQ(&f, frmCD);
        ++shown;
        EXPECT_EQ(frmCD->cmbDrive.Items.Count(), 0);
        EXPECT_EQ(SendMessageW(frmCD->cmbDrive.Handle(), CB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(frmCD->cmbDrive.ItemIndex(), -1);
        Application.OnNextModalShown([&](TForm& g) {
            EXPECT_EQ(&g, frmCD);
            ++shown;
            Application.OnNextModalShown([&](TForm&) {
                ++shown;
                frmCD->btnAnuluj.Click();
            });
            frmCD->btnOK.Click();
        });
        frmCD->btnOK.Click();
    });
    frmMain->Show();
    Application.ProcessMessages();
    EXPECT_EQ(shown, 3);
    EXPECT_TRUE(frmMain->FKatalogZrodlowy.empty());
    EXPECT_FALSE(frmMain->Visible());
}
