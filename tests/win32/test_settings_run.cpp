// A complete installation through the wizard from D:, in Polish and in French: the group's links and the
// registry as the installed product finds them, and a second run into another folder.
#include "test_settings_support.h"
#include "test_wizard_support.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// The programs of the table that come from the CD; the four executables come from the installer itself.
const wchar_t* const kCdPrograms[] = {L"fr_gram.hlp", L"fr_czas.hlp", L"Trans.hlp", L"Sl_Zew.hlp", L"DeInstalka.exe"};

class CompleteInstallation : public WizardTest, public ::testing::WithParamInterface<LanguageCase> {
protected:
    void SetUp() override
    {
        ForgetSettingsAndGroups();
        WizardTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        SkrotyDlaWszystkich = false;
        FCd = std::make_unique<Tree>(CdFolder());
        for (const wchar_t* f : kCdPrograms) ASSERT_TRUE(WriteBytes(FCd->Adopt(f), "program"));
    }

    void TearDown() override
    {
        if (frmMain) frmMain->FUtworzoneKatalogi.clear();
        FCd.reset();
        for (const std::wstring& t : FTargets) RemoveTree(t);
        WizardTest::TearDown();
        ForgetSettingsAndGroups();
    }

    // Intro in the language, the licence accepted, the target folder on the Options page, then Next.
    void Install(const std::wstring& target)
    {
        RemoveTree(target);
        FTargets.push_back(target);
        ShowWizard();
        frmMain->UstawJezyk(GetParam().Jezyk);
        frmMain->btnDalej.Click();
        frmMain->rdbUmowaAkceptuje.SetChecked(true);
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stOpcje);
        frmMain->lblKatalog.SetCaption(Narrow(target));
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stKoniec);
        ASSERT_TRUE(frmMain->FSukces);
    }

    std::unique_ptr<Tree> FCd;
    std::vector<std::wstring> FTargets;
};

} // namespace

TEST_P(CompleteInstallation, LeavesTheGroupAndTheSettingsAndASecondRunMovesThem)
{
    const std::wstring first = TempFolder() + L"werb-settings Werbika";
    Install(first);
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring group = ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan";
    ExpectLinks(group, first, {std::begin(kPrograms), std::end(kPrograms)});
    ExpectSettings(HKEY_CURRENT_USER, Narrow(first));
    ExpectSettings(HKEY_LOCAL_MACHINE, Narrow(first));
    ExpectUninstallEntry(HKEY_CURRENT_USER, first);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    ExpectProgramKeys(GetParam().Expected);

    // The same installer once more, into another folder: the group is there already, everything moves.
    FForms.reset();
    FForms = std::make_unique<TFormularze>();
    const std::wstring second = TempFolder() + L"werb-settings drugi";
    Install(second);
    ASSERT_FALSE(HasFatalFailure());
    ExpectLinks(group, second, {std::begin(kPrograms), std::end(kPrograms)});
    ExpectSettings(HKEY_CURRENT_USER, Narrow(second));
    ExpectUninstallEntry(HKEY_CURRENT_USER, second);
}

INSTANTIATE_TEST_SUITE_P(PolishAndFrench, CompleteInstallation,
                         ::testing::Values(LanguageCase{jzPolski, 0}, LanguageCase{jzFrancuski, 2}));
