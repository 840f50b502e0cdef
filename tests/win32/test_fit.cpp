// Every caption of the installer's real forms drawn whole and no controls overlapping, in Polish and in
// French, at the DPI this run was started with (the ctest entries set it in the prefix: 96, 120, 144, 192).
#include <cstdlib>

#include "dialogs/untKatalog.h"
#include "dialogs/untKatalogDodaj.h"
#include "test_fit_support.h"
#include "test_wizard_support.h"
#include "texts/Format.h"

namespace {

constexpr TJezyk kJezyki[] = {jzPolski, jzFrancuski};

std::string Report(const std::vector<std::string>& faults)
{
    std::string all;
    for (const std::string& f : faults) all += "\n  " + f;
    return all;
}

#define EXPECT_FITS(window, what)                                                                              \
    do {                                                                                                       \
        const std::vector<std::string> faults_ = FitFaults(window);                                            \
        EXPECT_TRUE(faults_.empty()) << what << " at " << DpiOf(window) << " DPI:" << Report(faults_);         \
    } while (0)

std::string LanguageName(TJezyk j)
{
    return j == jzFrancuski ? "French" : "Polish";
}

class FitTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        ShowWizard();
    }

    // Shows the page alone, as the page switch does, with its step line.
    void Page(int page)
    {
        frmMain->FStrona = page;
        frmMain->UstawKrok();
        TPanel* pages[] = {&frmMain->pnlIntro, &frmMain->pnlUmowa, &frmMain->pnlOpcje, &frmMain->pnlInstalacja,
                           &frmMain->pnlKoniec};
        for (int i = 0; i < 5; ++i) pages[i]->SetVisible(i + 1 == page);
        Application.ProcessMessages();
    }
};

} // namespace

// Without this the other cases could pass at the prefix's default DPI while claiming another.
TEST_F(FitTest, TheFormsRunAtTheDpiOfTheRun)
{
    const char* wanted = std::getenv("WERB_DPI");
    ASSERT_NE(wanted, nullptr) << "WERB_DPI is not set";
    EXPECT_EQ(DpiOf(frmMain->Handle()), std::atoi(wanted));
    EXPECT_EQ(frmMain->Scale(623), MulDiv(623, std::atoi(wanted), 96));
}

TEST_F(FitTest, MainFormOnEveryPage)
{
    for (TJezyk j : kJezyki) {
        frmMain->UstawJezyk(j);
        for (int page = stWstep; page <= stKoniec; ++page) {
            Page(page);
            if (page == stOpcje) frmMain->SprawdzWolneMiejsce();
            EXPECT_FITS(frmMain->Handle(), LanguageName(j) + " page " + std::to_string(page));
        }
        // The texts a page shows only in some runs.
        Page(stInstalacja);
        for (int t : {txtCancelledDeleting, txtCopyingFiles}) {
            frmMain->lblInstalacjaOpis.SetCaption(PobierzTekst(j, t));
            frmMain->btnZamknij.SetCaption(PobierzTekst(j, txtAbort));
            EXPECT_FITS(frmMain->Handle(), LanguageName(j) + " installation text " + std::to_string(t));
        }
        Page(stKoniec);
        for (int t : {txtDoneOk, txtDoneError, txtDoneAborted}) {
            frmMain->lblKoniec.SetCaption(PobierzTekst(j, t));
            frmMain->btnZamknij.SetCaption(PobierzTekst(j, txtFinish));
            EXPECT_FITS(frmMain->Handle(), LanguageName(j) + " end text " + std::to_string(t));
        }
        frmMain->btnZamknij.SetCaption(PobierzTekst(j, txtClose));
    }
}

TEST_F(FitTest, QuestionDialogOfEveryKind)
{
    for (TJezyk j : kJezyki) {
        frmMain->UstawJezyk(j);
        const std::string questions[] = {
            PobierzTekst(j, txtAskAbortInstall), PobierzTekst(j, txtAskLowSpace),
            Format(PobierzTekst(j, txtCannotCreateDir), {"C:\\Program Files (x86)\\Werbfranko"}),
            Format(PobierzTekst(j, txtCannotCreateFolder), {"C:\\Program Files (x86)\\Werbfranko\\Nowy"}), "?"};
        for (const std::string& text : questions)
            for (TRodzajPytania kind : {rpOK, rpTakNie, rpOKAnuluj, rpTakNieAnuluj}) {
                Application.OnNextModalShown([&](TForm&) {
                    TModalWatchdog dog(*frmPytanie, 5000);
                    EXPECT_FITS(frmPytanie->Handle(), LanguageName(j) + " question kind " + std::to_string(kind) +
                                                          " \"" + text + "\"");
                    frmPytanie->btnTak.Click();
                });
                EXPECT_EQ(PokazPytanie(*frmPytanie, *frmMain, text, kind), mrYes);
            }
    }
}

TEST_F(FitTest, FolderBrowserAndNewFolderDialog)
{
    for (TJezyk j : kJezyki) {
        frmMain->UstawJezyk(j);
        Application.OnNextModalShown([&](TForm&) {
            TModalWatchdog dog(*frmKatalog, 10000);
            EXPECT_FITS(frmKatalog->Handle(), LanguageName(j) + " folder browser");
            // The tree's images are made for the window's DPI.
            int cx = 0, cy = 0;
            ImageList_GetIconSize(frmKatalog->imlKatalog.Handle(), &cx, &cy);
            EXPECT_EQ(cx, frmKatalog->Scale(16));
            EXPECT_EQ(cy, frmKatalog->Scale(16));
            Application.OnNextModalShown([&](TForm&) {
                TModalWatchdog inner(*frmKatalogDodaj, 5000);
                EXPECT_FITS(frmKatalogDodaj->Handle(), LanguageName(j) + " new-folder dialog");
                frmKatalogDodaj->btnAnuluj.Click();
            });
            frmKatalog->btnUtworz.Click();
            frmKatalog->btnAnuluj.Click();
        });
        WybierzKatalog("C:\\");
    }
}

TEST_F(FitTest, CdDialogInBothLanguagesAndItsFlags)
{
    for (TJezyk j : kJezyki) {
        frmMain->UstawJezyk(j);
        Application.OnNextModalShown([&](TForm&) {
            TModalWatchdog dog(*frmCD, 5000);
            EXPECT_FITS(frmCD->Handle(), LanguageName(j) + " CD dialog");
            // The flags are drawn for the window's DPI: a glyph as large as the scaled design.
            const TBitmap& flag = frmCD->btnPolski.Glyph();
            EXPECT_EQ(flag.Width(), frmCD->Scale(22));
            EXPECT_EQ(flag.Height(), frmCD->Scale(14));
            frmCD->btnOK.Click();
        });
        EXPECT_FALSE(WybierzNapedCD().empty());
    }
    EXPECT_EQ(frmMain->btnPolski.Glyph().Width(), frmMain->Scale(22));
}
