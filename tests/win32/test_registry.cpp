// The settings, program keys and uninstall entry the main form writes, read back from the real registry.
#include "test_settings_support.h"
#include "test_wizard_support.h"

#include <string>

namespace {

class RegistryTest : public WizardTest {
protected:
    void SetUp() override
    {
        // Before the forms: their creation sets the installation flag in the settings key.
        ForgetSettingsAndGroups();
        WizardTest::SetUp();
        SkrotyDlaWszystkich = false;
    }

    void TearDown() override
    {
        SkrotyDlaWszystkich = false;
        WizardTest::TearDown();
        ForgetSettingsAndGroups();
    }

    void Run(TJezyk jezyk, const std::string& target)
    {
        frmMain->UstawJezyk(jezyk);
        frmMain->FKatalogDocelowy = target;
        frmMain->FKatalogZrodlowy = "D:\\";
        // The step alone, as a run makes it: through a journal, which then stands.
        ASSERT_TRUE(frmMain->FInstalacja.Rozpocznij(target, jezyk));
        frmMain->ZapiszRejestr();
        frmMain->FInstalacja.Zatwierdz();
    }
};

class RegistryInLanguage : public RegistryTest, public ::testing::WithParamInterface<LanguageCase> {};

} // namespace

TEST_P(RegistryInLanguage, EveryValueUnderBothRootsAndTheUninstallEntryForTheUser)
{
    const std::string target = "C:\\Program Files (x86)\\Werbika";
    Run(GetParam().Jezyk, target);
    EXPECT_EQ(frmMain->lblInstalacjaOpis.Caption(), PobierzTekst(GetParam().Jezyk, txtCreatingRegistry));

    ExpectSettings(HKEY_CURRENT_USER, target);
    ExpectSettings(HKEY_LOCAL_MACHINE, target);
    ExpectUninstallEntry(HKEY_CURRENT_USER, Widen(target));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    ExpectProgramKeys(GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(PolishAndFrench, RegistryInLanguage,
                         ::testing::Values(LanguageCase{jzPolski, 0}, LanguageCase{jzFrancuski, 2}));

TEST_F(RegistryTest, AllUsersPutsTheUninstallEntryUnderTheMachineOnly)
{
    SkrotyDlaWszystkich = true;
    Run(jzFrancuski, "C:\\Program Files (x86)\\Werbika");
    ExpectUninstallEntry(HKEY_LOCAL_MACHINE, L"C:\\Program Files (x86)\\Werbika");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    ExpectSettings(HKEY_CURRENT_USER, "C:\\Program Files (x86)\\Werbika");
}

TEST_F(RegistryTest, SecondInstallationOverwritesAndKeepsWhatElseIsThere)
{
    Run(jzPolski, "C:\\Program Files (x86)\\Werbika");
    UniqueRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey.c_str(), 0, KEY_SET_VALUE, key.Receive()), ERROR_SUCCESS);
    const wchar_t own[] = L"the product's own";
    ASSERT_EQ(RegSetValueExW(key.Get(), L"Ostatni", 0, REG_SZ, reinterpret_cast<const BYTE*>(own), sizeof own),
              ERROR_SUCCESS);

    Run(jzFrancuski, "E:\\Inny katalog żółty");
    ExpectSettings(HKEY_CURRENT_USER, "E:\\Inny katalog żółty");
    ExpectSettings(HKEY_LOCAL_MACHINE, "E:\\Inny katalog żółty");
    ExpectUninstallEntry(HKEY_CURRENT_USER, L"E:\\Inny katalog żółty");
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kProgramsBase + L"\\TrFile", L"JezykInterfejsu"), 2u);
    const std::optional<RegString> kept = ReadRegString(HKEY_CURRENT_USER, kProductKey, L"Ostatni");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->Text, own);
    EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, kProductKey, L"InstallationInProgress"), 1u);
}

TEST_F(RegistryTest, RootFolderTargetGetsOneBackslash)
{
    Run(jzPolski, "C:\\");
    const std::optional<RegString> command = ReadRegString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString");
    ASSERT_TRUE(command);
    EXPECT_EQ(command->Text, L"\"C:\\DeInstalka.exe\"");
}

// A key that cannot be created is skipped: here the machine's product key, under a volatile parent that
// takes no lasting child, and the user's program keys likewise. The rest is written, and nothing is raised.
TEST_F(RegistryTest, KeysThatCannotBeCreatedAreSkippedSilently)
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const std::wstring parent = root == HKEY_LOCAL_MACHINE ? L"SOFTWARE\\Zorvane" : kProgramsBase;
        UniqueRegKey zorvane;
        if (root == HKEY_CURRENT_USER) {
            // The user's settings key lives under Zorvane, which must stay lasting there.
            ASSERT_EQ(RegCreateKeyExW(root, L"SOFTWARE\\Zorvane", 0, nullptr, 0, KEY_ALL_ACCESS | kView32, nullptr,
                                      zorvane.Receive(), nullptr),
                      ERROR_SUCCESS);
        }
        UniqueRegKey k;
        ASSERT_EQ(RegCreateKeyExW(root, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS | kView32,
                                  nullptr, k.Receive(), nullptr),
                  ERROR_SUCCESS);
    }
    UniqueRegKey probe;
    ASSERT_NE(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView32, nullptr,
                              probe.Receive(), nullptr),
              ERROR_SUCCESS)
        << "this Wine lets a lasting key be made under a volatile one";

    ASSERT_NO_THROW(Run(jzFrancuski, "C:\\Werbika"));
    ExpectSettings(HKEY_CURRENT_USER, "C:\\Werbika");
    ExpectUninstallEntry(HKEY_CURRENT_USER, L"C:\\Werbika");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kProgramsBase + L"\\Trans"));
}
