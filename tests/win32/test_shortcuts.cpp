// The Start-menu group and its links, made by the main form and read back through the shell link object.
#include "test_settings_support.h"
#include "test_wizard_support.h"

#include <algorithm>
#include <string>
#include <vector>


namespace {

const auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class ShortcutsTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        SkrotyDlaWszystkich = false;
        FUserGroup = ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan";
        FCommonGroup = ShellPath(CSIDL_COMMON_PROGRAMS) + L"\\Werbvoltan";
        ASSERT_NE(FUserGroup, L"\\Werbvoltan");
        ASSERT_NE(FCommonGroup, L"\\Werbvoltan");
        RemoveTree(FUserGroup);
        RemoveTree(FCommonGroup);
        FTarget = MakeTarget(L"Werbika źółć");
    }

    void TearDown() override
    {
        RemoveTree(FUserGroup);
        RemoveTree(FCommonGroup);
        for (const std::wstring& t : FTargets) RemoveTree(t);
        SkrotyDlaWszystkich = false;
        WizardTest::TearDown();
    }

    // A target folder of its own for each test, Polish letters in its name.
    std::wstring MakeTarget(const std::wstring& name)
    {
        const std::wstring folder = TempFolder() + name;
        RemoveTree(folder);
        EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        FTargets.push_back(folder);
        return folder;
    }

    static void PutPrograms(const std::wstring& folder, const std::vector<const wchar_t*>& skip = {})
    {
        for (const Program& p : kPrograms) {
            if (std::find_if(skip.begin(), skip.end(), [&](const wchar_t* s) { return SameText(s, p.File); }) !=
                skip.end())
                continue;
            ASSERT_TRUE(WriteBytes(folder + L"\\" + p.File, "MZ"));
        }
    }

    void Run(TJezyk jezyk, const std::wstring& target)
    {
        frmMain->UstawJezyk(jezyk);
        frmMain->FKatalogDocelowy = Narrow(target);
        // The step alone, as a run makes it: through a journal, which then stands.
        ASSERT_TRUE(frmMain->FInstalacja.Rozpocznij(Narrow(target), jezyk));
        frmMain->UtworzSkroty();
        frmMain->FInstalacja.Zatwierdz();
    }

    static std::vector<Program> AllPrograms() { return {std::begin(kPrograms), std::end(kPrograms)}; }

    std::wstring FUserGroup;
    std::wstring FCommonGroup;
    std::wstring FTarget;
    std::vector<std::wstring> FTargets;
};

class ShortcutsInLanguage : public ShortcutsTest, public ::testing::WithParamInterface<TJezyk> {};

} // namespace

TEST_P(ShortcutsInLanguage, NineLinksInTheUsersGroup)
{
    PutPrograms(FTarget);
    Run(GetParam(), FTarget);
    EXPECT_EQ(frmMain->lblInstalacjaOpis.Caption(), PobierzTekst(GetParam(), txtCreatingShortcuts));
    ExpectLinks(FUserGroup, FTarget, AllPrograms());
    EXPECT_FALSE(Exists(FCommonGroup));
}

INSTANTIATE_TEST_SUITE_P(PolishAndFrench, ShortcutsInLanguage, ::testing::Values(jzPolski, jzFrancuski));

TEST_F(ShortcutsTest, OnlyProgramsThatExistGetALink)
{
    PutPrograms(FTarget, {L"SlZewFr.exe", L"SlZewPl.exe", L"fr_czas.hlp"});
    Run(jzFrancuski, FTarget);
    std::vector<Program> expected;
    for (const Program& p : kPrograms)
        if (!SameText(p.File, L"SlZewFr.exe") && !SameText(p.File, L"SlZewPl.exe") && !SameText(p.File, L"fr_czas.hlp"))
            expected.push_back(p);
    ExpectLinks(FUserGroup, FTarget, expected);
}

TEST_F(ShortcutsTest, OtherLanguagesGetTheirRowsOnly)
{
    PutPrograms(FTarget);
    Run(jzAngielski, FTarget);
    ExpectLinks(FUserGroup, FTarget, {kPrograms[6], kPrograms[7]});

    // German has the group's name but no row: an empty group.
    RemoveTree(FUserGroup);
    Run(jzNiemiecki, FTarget);
    EXPECT_TRUE(Exists(FUserGroup));
    EXPECT_TRUE(FilesIn(FUserGroup, L"*").empty());

    // Italian has no group name at all: nothing, and nothing loose in Programs.
    RemoveTree(FUserGroup);
    const size_t before = FilesIn(ShellPath(CSIDL_PROGRAMS), L"*.lnk").size();
    Run(jzWloski, FTarget);
    EXPECT_FALSE(Exists(FUserGroup));
    EXPECT_EQ(FilesIn(ShellPath(CSIDL_PROGRAMS), L"*.lnk").size(), before);
}

TEST_F(ShortcutsTest, NoGroupWhenTheBoxIsUnchecked)
{
    PutPrograms(FTarget);
    frmMain->chbUtworzGrupe.SetChecked(false);
    Run(jzPolski, FTarget);
    EXPECT_FALSE(Exists(FUserGroup));
    EXPECT_FALSE(Exists(FCommonGroup));
}

TEST_F(ShortcutsTest, AllUsersPutsTheGroupIntoTheSharedProgramsWhereThereAreAny)
{
    PutPrograms(FTarget);
    SkrotyDlaWszystkich = true;
    Run(jzPolski, FTarget);
    ExpectLinks(FCommonGroup, FTarget, AllPrograms());
    EXPECT_FALSE(Exists(FUserGroup));

    // A system without shared profiles: the user's Programs.
    RemoveTree(FCommonGroup);
    TemporaryRegString common(HKEY_LOCAL_MACHINE, kShellFolders, L"Common Programs");
    ASSERT_TRUE(common.Remove());
    EXPECT_EQ(Widen(FolderProgramy(true)), ShellPath(CSIDL_PROGRAMS));
    Run(jzFrancuski, FTarget);
    ExpectLinks(FUserGroup, FTarget, AllPrograms());
    EXPECT_FALSE(Exists(FCommonGroup));
}

TEST_F(ShortcutsTest, UnknownProgramsFolderMakesNoGroup)
{
    PutPrograms(FTarget);
    TemporaryRegString programs(HKEY_CURRENT_USER, kShellFolders, L"Programs");
    ASSERT_TRUE(programs.Remove());
    EXPECT_EQ(FolderProgramy(false), "");
    Run(jzPolski, FTarget);
    EXPECT_FALSE(Exists(FUserGroup));
}

TEST_F(ShortcutsTest, ShellFolderValuesAreTheShellsFolders)
{
    EXPECT_EQ(Widen(FolderProgramy(false)), ShellPath(CSIDL_PROGRAMS));
    EXPECT_EQ(Widen(FolderProgramy(true)), ShellPath(CSIDL_COMMON_PROGRAMS));
    EXPECT_EQ(Widen(FolderPulpit(false)), ShellPath(CSIDL_DESKTOPDIRECTORY));
    EXPECT_EQ(Widen(FolderPulpit(true)), ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY));
    EXPECT_NE(FolderProgramy(false), FolderProgramy(true));
}

TEST_F(ShortcutsTest, DesktopBoxesMakeNoDesktopLinkForThisProduct)
{
    PutPrograms(FTarget);
    ASSERT_TRUE(frmMain->chbUtworzSkrotyTranslatorow.Checked());
    ASSERT_TRUE(frmMain->chbUtworzSkrotySlownikow.Checked());
    const std::wstring desktop = ShellPath(CSIDL_DESKTOPDIRECTORY);
    const std::wstring common = ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    const auto before = FilesIn(desktop, L"*"), beforeCommon = FilesIn(common, L"*");
    Run(jzPolski, FTarget);
    SkrotyDlaWszystkich = true;
    Run(jzFrancuski, FTarget);
    EXPECT_EQ(FilesIn(desktop, L"*"), before);
    EXPECT_EQ(FilesIn(common, L"*"), beforeCommon);
}

TEST_F(ShortcutsTest, SecondRunOverwritesTheLinks)
{
    PutPrograms(FTarget);
    Run(jzPolski, FTarget);
    const std::wstring other = MakeTarget(L"Werbika drugi raz");
    PutPrograms(other);
    Run(jzPolski, other);
    ExpectLinks(FUserGroup, other, AllPrograms());
}

TEST_F(ShortcutsTest, ALinkThatCannotBeWrittenSaysSo)
{
    PutPrograms(FTarget);
    const std::string missingFolder = Narrow(TempFolder()) + "nie ma takiego\\x.lnk";
    EXPECT_FALSE(UtworzSkrot(Narrow(FTarget) + "\\Werbika.exe", missingFolder, "x"));
    EXPECT_FALSE(Exists(Widen(missingFolder)));
}
