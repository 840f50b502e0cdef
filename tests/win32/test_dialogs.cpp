// The question dialog's layout and keys, and the CD drive dialog's loop, answered through their real buttons.
#include "test_wizard_support.h"

#include <functional>

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

TEST_F(WizardTest, TheCdDialogsFlagChangesTheLanguageOfTheOpenDialog)
{
    frmMain->UstawJezyk(jzFrancuski);
    Application.OnNextModalShown([](TForm&) {
        EXPECT_EQ(frmCD->lblCD.Caption().rfind("Bienvenu", 0), 0u) << frmCD->lblCD.Caption();
        EXPECT_FALSE(frmCD->btnPolski.Down());
        EXPECT_TRUE(frmCD->btnPolski.Visible());
        EXPECT_FALSE(frmCD->btnAngielski.Visible());
        frmCD->btnPolski.Click();
        EXPECT_EQ(frmCD->lblCD.Caption().rfind("Witamy", 0), 0u) << frmCD->lblCD.Caption();
        EXPECT_EQ(frmCD->btnAnuluj.Caption(), "Anuluj");
        EXPECT_EQ(frmMain->FJezyk, jzPolski);
        frmCD->btnAnuluj.Click();
    });
    EXPECT_EQ(WybierzNapedCD(), "");
}
