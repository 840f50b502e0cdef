// The wizard's pages as a state machine, the Close question, the step line and the interface language.
#include "test_wizard_support.h"

#include <vector>

#include "texts/Format.h"

namespace {

struct Buttons {
    bool back, next, close;
};

Buttons ButtonStates()
{
    return {frmMain->btnWstecz.Enabled(), frmMain->btnDalej.Enabled(), frmMain->btnZamknij.Enabled()};
}

// Exactly the current page's panel is enabled.
int EnabledPage()
{
    TPanel* pages[] = {&frmMain->pnlIntro, &frmMain->pnlUmowa, &frmMain->pnlOpcje, &frmMain->pnlInstalacja,
                       &frmMain->pnlKoniec};
    int found = 0;
    for (int i = 0; i < 5; ++i) {
        if (!pages[i]->Enabled()) continue;
        if (found) return -1;
        found = i + 1;
    }
    return found;
}

DWORD InstallationFlag()
{
    DWORD value = 0xFFFF, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane\\Werbtron", L"InstallationInProgress",
                     RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return 0xFFFF;
    return value;
}

} // namespace

TEST_F(WizardTest, WalksThePagesWithTheRightButtons)
{
    ShowWizard();
    ASSERT_TRUE(frmMain->Visible());
    EXPECT_EQ(frmMain->FKatalogZrodlowy, "D:\\");
    EXPECT_EQ(frmMain->FKatalogZrodlowyBezUkosnika, "D:");

    EXPECT_EQ(frmMain->FStrona, 1);
    EXPECT_EQ(EnabledPage(), 1);
    Buttons b = ButtonStates();
    EXPECT_FALSE(b.back);
    EXPECT_TRUE(b.next);
    EXPECT_TRUE(b.close);

    frmMain->btnDalej.Click();
    EXPECT_EQ(frmMain->FStrona, 2);
    EXPECT_EQ(EnabledPage(), 2);
    b = ButtonStates();
    EXPECT_TRUE(b.back);
    EXPECT_FALSE(b.next) << "Next before the licence is accepted";

    frmMain->rdbUmowaNieAkceptuje.SetChecked(true);
    EXPECT_FALSE(frmMain->btnDalej.Enabled());
    frmMain->rdbUmowaAkceptuje.SetChecked(true);
    EXPECT_TRUE(frmMain->btnDalej.Enabled());

    frmMain->btnDalej.Click();
    EXPECT_EQ(frmMain->FStrona, 3);
    b = ButtonStates();
    EXPECT_TRUE(b.back);
    EXPECT_TRUE(b.next);

    // Back and forth keeps the accepted licence.
    frmMain->btnWstecz.Click();
    EXPECT_EQ(frmMain->FStrona, 2);
    EXPECT_TRUE(frmMain->rdbUmowaAkceptuje.Checked());
    EXPECT_TRUE(frmMain->btnDalej.Enabled());
    frmMain->btnDalej.Click();

    // Next on Options runs the installation, which ends on the last page.
    frmMain->btnDalej.Click();
    EXPECT_EQ(frmMain->FStrona, 5);
    EXPECT_EQ(EnabledPage(), 5);
    b = ButtonStates();
    EXPECT_FALSE(b.back);
    EXPECT_FALSE(b.next);
    EXPECT_TRUE(b.close);
    EXPECT_EQ(frmMain->btnZamknij.Caption(), PobierzTekst(jzPolski, txtFinish));

    // Finish closes without asking.
    bool asked = false;
    Application.OnNextModalShown([&](TForm& f) {
        asked = true;
        f.Close();
    });
    frmMain->btnZamknij.Click();
    EXPECT_FALSE(asked);
    EXPECT_FALSE(frmMain->Visible());
}

TEST_F(WizardTest, TheLicencePageOpensWithNeitherChoiceMade)
{
    ShowWizard();
    frmMain->btnDalej.Click();
    ASSERT_EQ(frmMain->FStrona, stUmowa);
    // The controls themselves, not only the layer's view of them.
    for (const TRadioButton* r : {&frmMain->rdbUmowaAkceptuje, &frmMain->rdbUmowaNieAkceptuje}) {
        EXPECT_FALSE(r->Checked());
        EXPECT_EQ(SendMessageW(r->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    }
    EXPECT_FALSE(frmMain->btnDalej.Enabled());
    EXPECT_FALSE(IsWindowEnabled(frmMain->btnDalej.Handle()));
    // The page's focus (the licence text) chooses nothing either.
    EXPECT_TRUE(frmMain->redUmowa.Focused());
    Application.ProcessMessages();
    EXPECT_FALSE(frmMain->rdbUmowaAkceptuje.Checked());
    EXPECT_FALSE(frmMain->btnDalej.Enabled());
}

TEST_F(WizardTest, EnterOnTheLicencePagePressesNextOnlyOnceAccepted)
{
    ShowWizard();
    frmMain->btnDalej.Click();
    ASSERT_EQ(frmMain->FStrona, 2);

    frmMain->rdbUmowaNieAkceptuje.SetChecked(true);
    frmMain->rdbUmowaNieAkceptuje.SetFocus();
    PressKey(*frmMain, VK_RETURN);
    Application.ProcessMessages();
    EXPECT_EQ(frmMain->FStrona, 2);

    frmMain->rdbUmowaAkceptuje.SetChecked(true);
    frmMain->rdbUmowaAkceptuje.SetFocus();
    PressKey(*frmMain, VK_RETURN);
    Application.ProcessMessages();
    EXPECT_EQ(frmMain->FStrona, 3);
}

TEST_F(WizardTest, CloseAsksOnTheFirstThreePagesAndNoChangesNothing)
{
    ShowWizard();
    const std::string question = PobierzTekst(jzPolski, txtAskAbortInstall);
    for (int page = 1; page <= 3; ++page) {
        SCOPED_TRACE(page);
        if (page == 2) frmMain->rdbUmowaAkceptuje.SetChecked(true);
        EXPECT_EQ(AnswerQuestion(frmMain->btnZamknij, false), question);
        EXPECT_TRUE(frmMain->Visible());
        EXPECT_EQ(frmMain->FStrona, page);
        EXPECT_EQ(EnabledPage(), page);
        if (page < 3) frmMain->btnDalej.Click();
    }
    EXPECT_EQ(AnswerQuestion(frmMain->btnZamknij, true), question);
    EXPECT_FALSE(frmMain->Visible());
}

TEST_F(WizardTest, CloseDuringTheInstallationOnlyRequestsTheCancel)
{
    ShowWizard();
    frmMain->FStrona = stInstalacja;
    bool asked = false;
    Application.OnNextModalShown([&](TForm& f) {
        asked = true;
        f.Close();
    });
    frmMain->btnZamknij.Click();
    EXPECT_FALSE(asked);
    EXPECT_TRUE(frmMain->FPrzerwij);
    EXPECT_TRUE(frmMain->Visible());
}

TEST_F(WizardTest, EndPageTellsTheOutcome)
{
    ShowWizard();
    struct Case {
        bool sukces, przerwano;
        int text;
    } cases[] = {{true, false, txtDoneOk}, {false, true, txtDoneAborted}, {false, false, txtDoneError}};
    for (const Case& c : cases) {
        frmMain->FStrona = stInstalacja;
        frmMain->FSukces = c.sukces;
        frmMain->FPrzerwano = c.przerwano;
        frmMain->ZmienStrone(+1);
        EXPECT_EQ(frmMain->lblKoniec.Caption(), PobierzTekst(jzPolski, c.text));
    }
}

TEST_F(WizardTest, StepLineInEnglishPolishAndFrench)
{
    ShowWizard();
    const std::vector<std::pair<TJezyk, std::vector<std::string>>> expected = {
        {jzAngielski,
         {"Step 1 of 5: Intro", "Step 2 of 5: Licence agreement", "Step 3 of 5: Installation options",
          "Step 4 of 5: Installation", "Step 5 of 5: End of installation"}},
        {jzPolski,
         {"Krok 1 z 5: Wstęp", "Krok 2 z 5: Umowa licencyjna", "Krok 3 z 5: Opcje instalacji",
          "Krok 4 z 5: Instalacja", "Krok 5 z 5: Koniec instalacji"}},
        {jzFrancuski,
         {"Pas 1 de 5: Entrée", "Pas 2 de 5: Contrat de concession", "Pas 3 de 5: Options de l'installation",
          "Pas 4 de 5: Installation", "Pas 5 de 5: Fin de l'installation"}},
    };
    for (const auto& [jezyk, lines] : expected) {
        frmMain->FStrona = stWstep;
        frmMain->UstawJezyk(jezyk);
        for (int page = 1; page <= 5; ++page) {
            frmMain->FStrona = page;
            frmMain->UstawKrok();
            EXPECT_EQ(frmMain->lblKrok.Caption(), lines[static_cast<size_t>(page - 1)]);
        }
    }
}

TEST_F(WizardTest, OnlyThePolishFlagIsOfferedAndClickingItTwiceReappliesPolish)
{
    ShowWizard();
    EXPECT_TRUE(frmMain->btnPolski.Visible());
    for (TSpeedButton* b : {&frmMain->btnAngielski, &frmMain->btnNiemiecki, &frmMain->btnFrancuski,
                            &frmMain->btnWloski}) {
        EXPECT_FALSE(b->Visible());
        EXPECT_FALSE(b->Enabled());
    }
    ASSERT_TRUE(frmMain->btnPolski.Down());

    // The down button raises and nothing else happens.
    frmMain->btnDalej.SetCaption("marker");
    frmMain->btnPolski.Click();
    EXPECT_FALSE(frmMain->btnPolski.Down());
    EXPECT_EQ(frmMain->btnDalej.Caption(), "marker");
    EXPECT_EQ(frmMain->FJezyk, jzPolski);

    // Pressed again: Polish is applied anew.
    frmMain->btnPolski.Click();
    EXPECT_TRUE(frmMain->btnPolski.Down());
    EXPECT_EQ(frmMain->btnDalej.Caption(), "Dalej  >>");
}

TEST_F(WizardTest, FromFrenchThePolishFlagSwitchesEveryCaption)
{
    ShowWizard();
    frmMain->UstawJezyk(jzFrancuski);
    EXPECT_FALSE(frmMain->btnPolski.Down());
    EXPECT_EQ(frmMain->btnDalej.Caption(), "En avant  >>");
    EXPECT_EQ(frmPytanie->btnTak.Caption(), "Oui");
    EXPECT_EQ(frmCD->btnAnuluj.Caption(), "Annuler");
    EXPECT_EQ(frmMain->Font().Charset(), ANSI_CHARSET);
    EXPECT_EQ(frmMain->lblTytul.Font().Charset(), EASTEUROPE_CHARSET);
    EXPECT_EQ(frmMain->lblJezyk.Font().Charset(), EASTEUROPE_CHARSET);
    EXPECT_EQ(frmMain->redUmowa.DefaultAttributes().Charset, ANSI_CHARSET);

    frmMain->btnPolski.Click();
    EXPECT_EQ(frmMain->FJezyk, jzPolski);
    EXPECT_EQ(frmMain->Caption(), "Werbfranko - Instalator");
    EXPECT_EQ(frmMain->btnDalej.Caption(), "Dalej  >>");
    EXPECT_EQ(frmMain->lblKrok.Caption(), "Krok 1 z 5: Wstęp");
    EXPECT_EQ(frmPytanie->btnTak.Caption(), "Tak");
    EXPECT_EQ(frmMain->Font().Charset(), EASTEUROPE_CHARSET);
    EXPECT_EQ(frmMain->lblTytul.Font().Charset(), EASTEUROPE_CHARSET);
    EXPECT_EQ(frmMain->Font().Name(), CzcionkaInterfejsu);
}

TEST_F(WizardTest, DefaultTargetFolderIsUnderProgramFiles)
{
    ShowWizard();
    EXPECT_STRCASEEQ(frmMain->FKatalogDocelowy.c_str(), "C:\\Program Files (x86)\\Werbika");
    EXPECT_EQ(frmMain->lblKatalog.Caption(), frmMain->FKatalogDocelowy);
}

TEST_F(WizardTest, InstallationFlagIsSetByTheFormAndClearedOnlyWhenItsProcessOwnsIt)
{
    EXPECT_EQ(InstallationFlag(), 1u);
    FForms.reset();
    EXPECT_EQ(InstallationFlag(), 0u);

    // A process that handed over to its copy leaves the flag to the copy.
    FForms = std::make_unique<TFormularze>();
    EXPECT_EQ(InstallationFlag(), 1u);
    CzyscFlageInstalacji = false;
    FForms.reset();
    EXPECT_EQ(InstallationFlag(), 1u);
}

TEST_F(WizardTest, TxTmpInTheTargetFolderIsDeletedAtTheEnd)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"werb-target";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring tx = folder + L"\\tx.tmp";
    CloseHandle(CreateFileW(tx.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_NE(GetFileAttributesW(tx.c_str()), INVALID_FILE_ATTRIBUTES);

    frmMain->FKatalogDocelowy = Narrow(folder);
    FForms.reset();
    EXPECT_EQ(GetFileAttributesW(tx.c_str()), INVALID_FILE_ATTRIBUTES);
    RemoveDirectoryW(folder.c_str());
}

// Run with LC_ALL set by ctest; WERB_EXPECTED_LCID is the thread locale Wine must derive from it (else the row
// proves nothing), WERB_EXPECTED_START the language the wizard must open in.
TEST_F(WizardTest, StartupLanguageFollowsTheLocale)
{
    const char* expected = std::getenv("WERB_EXPECTED_START");
    if (!expected) GTEST_SKIP() << "run by the locale entries only";
    const char* lcid = std::getenv("WERB_EXPECTED_LCID");
    ASSERT_NE(lcid, nullptr) << "WERB_EXPECTED_LCID not set";
    ASSERT_EQ(GetThreadLocale(), static_cast<LCID>(std::atoi(lcid))) << "LC_ALL " << Narrow(Env(L"LC_ALL"));
    ShowWizard();
    EXPECT_EQ(static_cast<int>(frmMain->FJezyk), std::atoi(expected));
    EXPECT_EQ(frmMain->btnPolski.Down(), frmMain->FJezyk == jzPolski);
    // The captions are those of the language, not only the field.
    EXPECT_EQ(frmMain->btnDalej.Caption(), PobierzTekst(frmMain->FJezyk, txtNext));
}
