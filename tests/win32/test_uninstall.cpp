// The uninstallation for real: a complete installation through the wizard from D:, its record, then the
// uninstaller in this process (its dialogs answered through the test hook) and as the system's list of programs
// starts it, from the uninstall entry's command line; the prefix's files and registry before and after.
#include "test_settings_support.h"
#include "test_wizard_support.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "demo-driver/Desktop.h"
#include "install/Produkt.h"
#include "texts/Format.h"
#include "uninstall/Sha256.h"
#include "uninstall/TekstyDeinstalki.h"
#include "uninstall/untDeinstalka.h"

namespace {

// ---- the prefix before and after: the folders an installation touches, and the software keys ----

using Snapshot = std::set<std::wstring>;

void NoteTree(const std::wstring& folder, Snapshot& out)
{
    WIN32_FIND_DATAW f{};
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.insert(path + L"\\");
            NoteTree(path, out);
        } else {
            out.insert(path + L" " + std::to_wstring((ULONGLONG(f.nFileSizeHigh) << 32) | f.nFileSizeLow));
        }
    } while (FindNextFileW(h, &f));
    FindClose(h);
}

void NoteKey(HKEY root, const std::wstring& name, const std::wstring& key, Snapshot& out)
{
    UniqueRegKey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, k.Receive()) != ERROR_SUCCESS) return;
    out.insert(name + L"\\" + key);
    for (DWORD i = 0;; ++i) {
        wchar_t value[16384];
        DWORD length = 16384, type = 0, size = 0;
        if (RegEnumValueW(k.Get(), i, value, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::string data(size, '\0');
        length = 16384;
        RegEnumValueW(k.Get(), i, value, &length, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        out.insert(name + L"\\" + key + L" \"" + value + L"\" " + std::to_wstring(type) + L" " +
                   Widen(Sha256Hex(data.substr(0, size))));
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD length = 256;
        if (RegEnumKeyExW(k.Get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(sub, length);
    }
    for (const std::wstring& s : subkeys) NoteKey(root, name, key + L"\\" + s, out);
}

// What an installation of the product may touch: %TEMP% (the targets of these tests, the uninstaller's copy),
// the Program Files and Start-menu folders, and the software keys of both roots (less the class registrations
// and Wine's own, which the system keeps).
Snapshot Prefix()
{
    Snapshot s;
    std::wstring temp = TempFolder();
    temp.pop_back();
    // Not the desktop: Wine links it to the Unix home folder. The product makes no desktop links.
    for (const std::wstring& folder :
         {temp, ShellPath(CSIDL_PROGRAMS), ShellPath(CSIDL_COMMON_PROGRAMS), ShellPath(CSIDL_PROGRAM_FILES),
          ShellPath(CSIDL_PROGRAM_FILESX86)})
        if (!folder.empty()) NoteTree(folder, s);
    for (auto [root, name] : {std::pair{HKEY_CURRENT_USER, L"HKCU"}, std::pair{HKEY_LOCAL_MACHINE, L"HKLM"}}) {
        UniqueRegKey software;
        // The 64-bit view holds the 32-bit one too, as its Wow6432Node.
        if (RegOpenKeyExW(root, L"Software", 0, KEY_READ | KEY_WOW64_64KEY, software.Receive()) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0;; ++i) {
            wchar_t sub[256];
            DWORD length = 256;
            if (RegEnumKeyExW(software.Get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            const std::wstring key = sub;
            if (!SameText(key, L"Classes") && !SameText(key, L"Wine")) NoteKey(root, name, L"Software\\" + key, s);
        }
    }
    return s;
}

// The entries of one snapshot that the other lacks, one a line.
std::string Lacking(const Snapshot& of, const Snapshot& in)
{
    std::string out;
    for (const std::wstring& e : of)
        if (!in.count(e)) out += "\n  " + Narrow(e);
    return out;
}

// ---- the uninstaller in this process ----

// Answers every question of the uninstaller in turn (true: Yes or OK) and notes what each said.
class Answers {
public:
    explicit Answers(std::vector<bool> answers) : FAnswers(std::move(answers)) { Arm(); }
    ~Answers() { Application.OnNextModalShown(nullptr); }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    // The question of that number (from 0) is answered by the Enter key instead, as a hasty user answers.
    void EnterAt(std::size_t question) { FEnter = question; }

    std::vector<std::string> Asked;
    std::vector<std::string> Buttons;  // the caption of the first button: "OK" for a message

private:
    void Arm()
    {
        Application.OnNextModalShown([this](TForm& f) {
            auto& d = static_cast<TfrmPytanie&>(f);
            Asked.push_back(d.lblPytanie.Caption());
            Buttons.push_back(d.btnTak.Caption());
            const bool yes = Asked.size() <= FAnswers.size() && FAnswers[Asked.size() - 1];
            if (Asked.size() < FAnswers.size()) Arm();
            if (Asked.size() - 1 == FEnter) {
                // Through the form's own message loop, as the keyboard delivers it.
                HWND focus = GetFocus();
                PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0x001C0001);
                PostMessageW(focus, WM_KEYUP, VK_RETURN, 0xC01C0001);
                return;
            }
            (yes || !d.btnNie.Visible() ? d.btnTak : d.btnNie).Click();
        });
    }
    std::vector<bool> FAnswers;
    std::size_t FEnter = SIZE_MAX;
};

std::string U(TJezyk jezyk, TTekstDeinstalki n)
{
    return std::string(TekstDeinstalki(jezyk, n));
}

const wchar_t* const kCdPrograms[] = {L"fr_gram.hlp", L"fr_czas.hlp", L"Trans.hlp", L"Sl_Zew.hlp"};

constexpr wchar_t kProgramList[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class UninstallTest : public WizardTest {
protected:
    // Whether the user's list of installed programs exists before the installation: when not, the
    // installation creates it with its entry, and the uninstallation removes it again.
    virtual bool ProgramListBefore() const { return false; }

    void SetUp() override
    {
        ForgetSettingsAndGroups();
        if (ProgramListBefore()) {
            UniqueRegKey list;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kProgramList, 0, nullptr, 0, KEY_READ, nullptr, list.Receive(),
                                      nullptr),
                      ERROR_SUCCESS);
        } else {
            // Only an empty one: the system's entries of other programs stay.
            DWORD subkeys = 1, values = 1;
            {
                UniqueRegKey list;
                if (RegOpenKeyExW(HKEY_CURRENT_USER, kProgramList, 0, KEY_READ, list.Receive()) == ERROR_SUCCESS)
                    RegQueryInfoKeyW(list.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                     nullptr, nullptr, nullptr, nullptr);
            }
            if (subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_CURRENT_USER, kProgramList);
        }
        FTarget = TempFolder() + L"werb-uninstall Werbika";
        RemoveTree(FTarget);
        // A copy of an earlier run that did not end would make the next copy a numbered one.
        for (const wchar_t* left : {L"DeInstalka.exe", L"delme.bat"}) RemoveTree(TempFolder() + left);
        // Before the forms: their create handler already writes the installation flag.
        FBefore = Prefix();
        WizardTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        SkrotyDlaWszystkich = false;
        FCd = std::make_unique<Tree>(CdFolder());
        for (const wchar_t* f : kCdPrograms) ASSERT_TRUE(WriteBytes(FCd->Adopt(f), "help"));
        const std::wstring uninstaller = ThroughZ(Env(L"WERB_DEINSTALKA"));
        ASSERT_FALSE(uninstaller.empty()) << "WERB_DEINSTALKA is not set";
        ASSERT_TRUE(CopyFileW(uninstaller.c_str(), FCd->Adopt(L"DeInstalka.exe").c_str(), FALSE));
        FCd->Folder(L"Przykłady");
        FCd->Folder(L"Przykłady\\Polski");
        ASSERT_TRUE(WriteBytes(FCd->Adopt(L"Przykłady\\Polski\\list.txt"), "Drogi Janie"));
        FCd->Folder(L"Dokumentacja");
        ASSERT_TRUE(WriteBytes(FCd->Adopt(L"Dokumentacja\\czytaj.txt"), "Czytaj mnie"));
        FCd->Folder(L"Puste");
    }

    void TearDown() override
    {
        Application.OnNextModalShown(nullptr);
        if (frmMain) frmMain->FUtworzoneKatalogi.clear();
        FCd.reset();
        RemoveTree(FTarget);
        WizardTest::TearDown();
        ForgetSettingsAndGroups();
    }

    // Through the wizard in the language, into FTarget (which the options check creates); then the installer
    // ends, as its Finish button would end it.
    void Install(TJezyk jezyk = jzPolski)
    {
        ShowWizard();
        frmMain->UstawJezyk(jezyk);
        frmMain->btnDalej.Click();
        frmMain->rdbUmowaAkceptuje.SetChecked(true);
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stOpcje);
        frmMain->lblKatalog.SetCaption(Narrow(FTarget));
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stKoniec);
        ASSERT_TRUE(frmMain->FSukces);
        FForms.reset();
        FForms = std::make_unique<TFormularze>();
    }

    std::wstring Target(const std::wstring& relative) const { return FTarget + L"\\" + relative; }
    std::wstring RecordFile() const { return Target(L"DeInstalka.dat"); }

    TRekordDeinstalacji Record() const
    {
        const std::optional<std::string> text = ReadBytes(RecordFile());
        EXPECT_TRUE(text) << "no record";
        const TOdczytRekordu read = CzytajRekord(text.value_or(""), MiejscaProduktu());
        EXPECT_EQ(read.Wynik, TWynikRekordu::wrDobrze) << "line " << read.Wiersz;
        return read.Rekord;
    }

    // The uninstaller of the target folder in this process with forms of its own, as its program has them (a
    // dialog dies with the window that owned it last), its questions answered in turn.
    int Uninstall(const Answers&)
    {
        TfrmDeinstalka window;
        TfrmPytanie question;
        TModalWatchdog watchdog(question, 60000);
        return Deinstaluj(Narrow(FTarget), window, question, nullptr);
    }

    std::wstring FTarget;
    Snapshot FBefore;
    std::unique_ptr<Tree> FCd;
};

} // namespace

// ---- the record ----

TEST_F(UninstallTest, TheInstallationRecordsEveryFileFolderLinkKeyAndValueItLeft)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const TRekordDeinstalacji r = Record();
    EXPECT_EQ(r.Katalog, Narrow(FTarget));
    EXPECT_EQ(r.Jezyk, jzPolski);

    // Every file of the target folder but the record, each with the size and digest it has.
    Snapshot files;
    NoteTree(FTarget, files);
    std::size_t onDisk = 0;
    for (const std::wstring& e : files)
        if (e.back() != L'\\') ++onDisk;
    EXPECT_EQ(r.Pliki.size(), onDisk - 1);
    for (const TPlikRekordu& p : r.Pliki) {
        const std::optional<std::string> bytes = ReadBytes(Widen(p.Sciezka));
        ASSERT_TRUE(bytes) << p.Sciezka;
        EXPECT_EQ(p.Rozmiar, bytes->size()) << p.Sciezka;
        EXPECT_EQ(p.Sha256, Sha256Hex(*bytes)) << p.Sciezka;
    }
    for (const wchar_t* name : {L"Werbika.exe", L"Werbilo.exe", L"SlZewFr.exe", L"SlZewPl.exe", L"DeInstalka.exe",
                                L"Przykłady\\Polski\\list.txt"}) {
        const bool listed = std::any_of(r.Pliki.begin(), r.Pliki.end(),
                                        [&](const TPlikRekordu& p) { return SameText(Widen(p.Sciezka), Target(name)); });
        EXPECT_TRUE(listed) << Narrow(name);
    }

    // The folders it created, the target first; the group and its nine links.
    const std::vector<std::string> folders = {Narrow(FTarget), Narrow(Target(L"Dokumentacja")),
                                              Narrow(Target(L"Przykłady")), Narrow(Target(L"Przykłady\\Polski")),
                                              Narrow(Target(L"Puste"))};
    EXPECT_EQ(std::set<std::string>(r.Katalogi.begin(), r.Katalogi.end()),
              std::set<std::string>(folders.begin(), folders.end()));
    EXPECT_EQ(r.Katalogi.front(), Narrow(FTarget));
    const std::wstring group = ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan";
    ASSERT_EQ(r.Grupy.size(), 1u);
    EXPECT_EQ(r.Grupy[0], Narrow(group));
    EXPECT_EQ(r.Skroty.size(), std::size(kPrograms));
    for (const Program& p : kPrograms) {
        const std::string link = Narrow(group + L"\\" + p.Link + L".lnk");
        EXPECT_TRUE(std::any_of(r.Skroty.begin(), r.Skroty.end(), [&](const TPlikRekordu& s) { return s.Sciezka == link; }))
            << link;
    }

    // The values it wrote, the flag of the create handler among them; the product's keys.
    const auto value = [&](TKorzen root, const std::string& key, const std::string& name) {
        return std::any_of(r.Wartosci.begin(), r.Wartosci.end(), [&](const TWartoscRekordu& w) {
            return w.Korzen == root && w.Klucz == key && w.Nazwa == name;
        });
    };
    const auto key = [&](TKorzen root, const std::string& name) {
        return std::any_of(r.Klucze.begin(), r.Klucze.end(),
                           [&](const TKluczRekordu& k) { return k.Korzen == root && k.Klucz == name; });
    };
    for (TKorzen root : {TKorzen::HKCU, TKorzen::HKLM}) {
        for (const char* name : {"Katalog", "CD", "Wersja", "SlZewnFr", "SlZewnPl"})
            EXPECT_TRUE(value(root, "SOFTWARE\\Zorvane\\Werbtron", name)) << name;
        EXPECT_TRUE(key(root, "SOFTWARE\\Zorvane\\Werbtron"));
        EXPECT_TRUE(key(root, "SOFTWARE\\Zorvane"));
        EXPECT_FALSE(key(root, "SOFTWARE")) << "a key of the system";
    }
    EXPECT_TRUE(value(TKorzen::HKCU, "SOFTWARE\\Zorvane\\Werbtron", "InstallationInProgress"));
    const std::string uninstall = Narrow(kUninstallKey);
    EXPECT_TRUE(value(TKorzen::HKCU, uninstall, "DisplayName"));
    EXPECT_TRUE(value(TKorzen::HKCU, uninstall, "UninstallString"));
    EXPECT_FALSE(value(TKorzen::HKLM, uninstall, "UninstallString")) << "the all-users switch is off";
    for (const wchar_t* program : kProgramKeys)
        EXPECT_TRUE(value(TKorzen::HKCU, Narrow(kProgramsBase + L"\\" + program), "JezykInterfejsu"));
    EXPECT_EQ(r.Wartosci.size(), 5u + 5u + 1u + 2u + 4u);
}

TEST_F(UninstallTest, AFailedInstallationWritesNoRecord)
{
    // The main program cannot be written over a read-only file of that name: the run fails.
    MakeFolder(FTarget);
    ASSERT_TRUE(WriteBytes(Target(L"Werbika.exe"), "old program"));
    SetFileAttributesW(Target(L"Werbika.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    ShowWizard();
    frmMain->btnDalej.Click();
    frmMain->rdbUmowaAkceptuje.SetChecked(true);
    frmMain->btnDalej.Click();
    frmMain->lblKatalog.SetCaption(Narrow(FTarget));
    frmMain->btnDalej.Click();
    ASSERT_EQ(frmMain->FStrona, stKoniec);
    EXPECT_FALSE(frmMain->FSukces);
    EXPECT_FALSE(Exists(RecordFile()));
    SetFileAttributesW(Target(L"Werbika.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---- the uninstaller in this process ----

class UninstallAnswered : public UninstallTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UninstallAnswered, AChangedFileIsAskedAboutOnceNoKeepsItWithItsFolderYesRemovesIt)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const bool yes = GetParam();
    ASSERT_TRUE(WriteBytes(Target(L"Przykłady\\Polski\\list.txt"), "Drogi Janie, zmienione"));
    ASSERT_TRUE(WriteBytes(Target(L"Dokumentacja\\czytaj.txt"), "Czytaj mnZe"));  // same size, other bytes

    Answers answers({true, yes, true});
    EXPECT_EQ(Uninstall(answers), 0);
    ASSERT_EQ(answers.Asked.size(), 3u) << "the removal, the changed files once, the closing message";
    EXPECT_EQ(answers.Asked[0], Format(U(jzPolski, tdPytanie), {"Werbfranko"}));
    EXPECT_NE(answers.Asked[1].find(Narrow(Target(L"Przykłady\\Polski\\list.txt"))), std::string::npos)
        << answers.Asked[1];
    EXPECT_NE(answers.Asked[1].find(Narrow(Target(L"Dokumentacja\\czytaj.txt"))), std::string::npos)
        << answers.Asked[1];
    EXPECT_EQ(answers.Buttons[2], "OK");

    // Everything else is gone whatever the answer: the programs, the group, the registry.
    EXPECT_FALSE(Exists(Target(L"Werbika.exe")));
    EXPECT_FALSE(Exists(Target(L"Puste")));
    EXPECT_FALSE(Exists(RecordFile()));
    EXPECT_FALSE(Exists(ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zorvane"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    if (yes) {
        EXPECT_FALSE(Exists(FTarget)) << "the changed files went, and with them every folder";
        EXPECT_EQ(answers.Asked[2].find(U(jzPolski, tdPozostawiono)), std::string::npos) << answers.Asked[2];
    } else {
        EXPECT_EQ(ReadBytes(Target(L"Przykłady\\Polski\\list.txt")), std::string("Drogi Janie, zmienione"));
        EXPECT_EQ(ReadBytes(Target(L"Dokumentacja\\czytaj.txt")), std::string("Czytaj mnZe"));
        Snapshot left;
        NoteTree(FTarget, left);
        EXPECT_EQ(left.size(), 5u) << Lacking(left, {}) << "\nthe two files and their three folders";
        const std::string& closing = answers.Asked[2];
        EXPECT_NE(closing.find(U(jzPolski, tdPozostawiono)), std::string::npos) << closing;
        EXPECT_NE(closing.find(Narrow(Target(L"Dokumentacja\\czytaj.txt")) + " (" + U(jzPolski, tdPowodZmieniony)),
                  std::string::npos)
            << closing;
        EXPECT_NE(closing.find(Narrow(FTarget) + " (" + U(jzPolski, tdPowodNiePusty)), std::string::npos) << closing;
    }
}

INSTANTIATE_TEST_SUITE_P(NoAndYes, UninstallAnswered, ::testing::Values(false, true));

TEST_F(UninstallTest, NoToTheQuestionRemovesNothing)
{
    Install(jzFrancuski);
    ASSERT_FALSE(HasFatalFailure());
    Snapshot installed = Prefix();
    Answers answers({false});
    EXPECT_EQ(Uninstall(answers), 0);
    ASSERT_EQ(answers.Asked.size(), 1u);
    EXPECT_EQ(answers.Asked[0], Format(U(jzFrancuski, tdPytanie), {"Werbfranko"})) << "asked in French";
    const Snapshot after = Prefix();
    EXPECT_EQ(after, installed) << "removed:" << Lacking(installed, after) << "\nadded:" << Lacking(after, installed);
}

TEST_F(UninstallTest, AMissingOrDamagedRecordRemovesNothingAndSaysSo)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::string record = ReadBytes(RecordFile()).value_or("");
    ASSERT_FALSE(record.empty());
    // What an edited record could reach: a shortcut, an empty folder and a value of no concern to the product.
    const std::wstring foreignLink = TempFolder() + L"werb-obcy.lnk";
    const std::wstring foreignFolder = TempFolder() + L"werb-obcy";
    ASSERT_TRUE(WriteBytes(foreignLink, "skrót!!"));
    MakeFolder(foreignFolder);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Werbinny", L"Cenne", REG_SZ, L"x", 4), ERROR_SUCCESS);
    const auto Edited = [&](const std::function<void(TRekordDeinstalacji&)>& edit) {
        TRekordDeinstalacji r = CzytajRekord(record, MiejscaProduktu()).Rekord;
        edit(r);
        return *TekstRekordu(r);
    };
    struct Cleanup {
        std::wstring Link, Folder;
        ~Cleanup()
        {
            DeleteFileW(Link.c_str());
            RemoveDirectoryW(Folder.c_str());
            RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Werbinny");
        }
    } cleanup{foreignLink, foreignFolder};

    struct Damage {
        const char* What;
        std::function<void()> Do;
        TTekstDeinstalki Message;
    };
    const Damage damages[] = {
        {"one byte changed", [&] { std::string d = record; d[d.size() / 2] ^= 1; WriteBytes(RecordFile(), d); },
         tdRekordUszkodzony},
        {"cut short", [&] { WriteBytes(RecordFile(), record.substr(0, record.size() - 40)); }, tdRekordUszkodzony},
        {"a file of another folder",
         [&] {
             // A record that holds by its checksum, written for another folder: a copy of an installation.
             TRekordDeinstalacji r = CzytajRekord(record, MiejscaProduktu()).Rekord;
             r.Katalog = "C:\\Inny";
             r.Pliki.clear();
             r.Katalogi.clear();
             WriteBytes(RecordFile(), *TekstRekordu(r));
         },
         tdRekordObcy},
        // Records whose end line holds but that reach outside the product: all refused whole.
        {"a readable shortcut elsewhere", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Skroty.push_back({Narrow(foreignLink), 7, Sha256Hex("skrót!!")});
         })); }, tdRekordUszkodzony},
        {"an empty folder elsewhere as the group", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Grupy.push_back(Narrow(foreignFolder));
         })); }, tdRekordUszkodzony},
        {"another program's value", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Wartosci.push_back({TKorzen::HKCU, "SOFTWARE\\Werbinny", "Cenne"});
         })); }, tdRekordUszkodzony},
        {"a network group", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Grupy.push_back("\\\\serwer\\udzial\\Werbvoltan");
         })); }, tdRekordUszkodzony},
        {"a device name", [&] { WriteBytes(RecordFile(), Edited([&](TRekordDeinstalacji& r) {
             r.Pliki.push_back({r.Katalog + "\\NUL.txt", 0, Sha256Hex("")});
         })); }, tdRekordUszkodzony},
        {"missing", [&] { DeleteFileW(RecordFile().c_str()); }, tdBrakRekordu},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.What);
        d.Do();
        const Snapshot before = Prefix();
        Answers answers({true});
        EXPECT_EQ(Uninstall(answers), 1);
        ASSERT_EQ(answers.Asked.size(), 1u) << "one message, no question";
        EXPECT_EQ(answers.Buttons[0], "OK");
        // The texts of two arguments ignore the third.
        EXPECT_EQ(answers.Asked[0], Format(U(jzPolski, d.Message), {"Werbfranko", Narrow(RecordFile()), "C:\\Inny"}));
        const Snapshot after = Prefix();
        EXPECT_EQ(after, before) << "removed:" << Lacking(before, after);
    }
}

// ---- honest users: their changed files, files in use, what cannot be removed ----

TEST_F(UninstallTest, EnterKeepsTheChangedFilesAndTheClosingMessageNamesEveryOne)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::wstring> changed;
    for (const wchar_t* name : kCdPrograms) changed.push_back(Target(name));
    for (const wchar_t* name : {L"Przykłady\\Polski\\list.txt", L"Dokumentacja\\czytaj.txt", L"Werbika.exe",
                                L"Werbilo.exe", L"SlZewFr.exe", L"SlZewPl.exe"})
        changed.push_back(Target(name));
    for (const std::wstring& f : changed) ASSERT_TRUE(WriteBytes(f, "moja wersja"));

    Answers answers({true, true, true});
    answers.EnterAt(1);
    EXPECT_EQ(Uninstall(answers), 0);
    ASSERT_EQ(answers.Asked.size(), 3u);
    // Ten names: eight in the question, the rest counted there and named at the end.
    EXPECT_NE(answers.Asked[1].find(Format(U(jzPolski, tdIInneNaKoncu), {2})), std::string::npos) << answers.Asked[1];
    for (const std::wstring& f : changed) {
        EXPECT_EQ(ReadBytes(f), std::string("moja wersja")) << Narrow(f) << ": Enter removed it";
        EXPECT_NE(answers.Asked[2].find(Narrow(f) + " (" + U(jzPolski, tdPowodZmieniony) + ")"), std::string::npos)
            << Narrow(f) << " not named in\n" << answers.Asked[2];
    }
    EXPECT_FALSE(Exists(RecordFile())) << "the user's choice leaves nothing a second run should do";
}

TEST_F(UninstallTest, AFileInUseIsLeftToTheRestartAndTheClosingMessageSaysSo)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    static constexpr wchar_t kSession[] = L"System\\CurrentControlSet\\Control\\Session Manager";
    static constexpr wchar_t kPending[] = L"PendingFileRenameOperations";
    struct Restore {
        std::optional<std::wstring> Before;
        ~Restore()
        {
            if (Before)
                RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSession, kPending, REG_MULTI_SZ, Before->data(),
                                static_cast<DWORD>(Before->size() * sizeof(wchar_t)));
            else
                RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSession, kPending);
        }
    } restore;
    const auto pending = [&]() -> std::optional<std::wstring> {
        DWORD size = 0;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kSession, kPending, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        std::wstring data(size / sizeof(wchar_t), L'\0');
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kSession, kPending, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        data.resize(size / sizeof(wchar_t));
        return data;
    };
    restore.Before = pending();

    // The program runs: it reads its file and lets nobody delete it.
    const std::wstring program = Target(L"Werbika.exe");
    UniqueHandle running(CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(running);
    Answers answers({true, true});
    EXPECT_EQ(Uninstall(answers), 0);
    ASSERT_EQ(answers.Asked.size(), 2u);
    EXPECT_TRUE(Exists(program));
    const std::wstring after = pending().value_or(L"");
    // Each deletion is a pair: the path, then an empty target. The file before its folder.
    const std::wstring file = std::wstring(L"\\??\\") + program + L'\0' + L'\0';
    const std::wstring folder = std::wstring(L"\\??\\") + FTarget + L'\0' + L'\0';
    const auto at = after.find(file);
    EXPECT_NE(at, std::wstring::npos) << "not waiting for the restart";
    EXPECT_NE(after.find(folder, at == std::wstring::npos ? 0 : at), std::wstring::npos) << "nor its folder after it";
    const std::string& closing = answers.Asked[1];
    EXPECT_NE(closing.find(U(jzPolski, tdPoRestarcie) + "\r\n" + Narrow(program)), std::string::npos) << closing;
    EXPECT_EQ(closing.find(U(jzPolski, tdPozostawiono)), std::string::npos) << closing;
    // Nothing for a second run: the record and the uninstall entry go.
    EXPECT_FALSE(Exists(RecordFile()));
    EXPECT_FALSE(Exists(Target(L"DeInstalka.exe")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
}

TEST_F(UninstallTest, WhatCannotBeRemovedKeepsARecordTheUninstallerAndTheEntryForASecondRun)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring locked = Target(L"Dokumentacja\\czytaj.txt");
    {
        // Opened by a program that lets nobody else in: whether the file is still ours cannot be known.
        UniqueHandle held(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        Answers answers({true, true});
        EXPECT_EQ(Uninstall(answers), 0);
        ASSERT_EQ(answers.Asked.size(), 2u);
        const std::string& closing = answers.Asked[1];
        EXPECT_NE(closing.find(Narrow(locked) + " (" + U(jzPolski, tdPowodNieUsuniety) + ")"), std::string::npos)
            << closing;
        EXPECT_NE(closing.find(Format(U(jzPolski, tdRekordPozostawiony), {Narrow(RecordFile())})), std::string::npos)
            << closing;
    }
    EXPECT_FALSE(Exists(Target(L"Werbilo.exe")));
    EXPECT_FALSE(Exists(Target(L"Przykłady")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane"));
    // The uninstaller and its entry stay, and a record of what is left.
    EXPECT_TRUE(Exists(Target(L"DeInstalka.exe")));
    ExpectUninstallEntry(HKEY_CURRENT_USER, FTarget);
    const TRekordDeinstalacji left = Record();
    std::set<std::string> files;
    for (const TPlikRekordu& p : left.Pliki) files.insert(p.Sciezka);
    EXPECT_EQ(files, (std::set<std::string>{Narrow(locked), Narrow(Target(L"DeInstalka.exe"))}));
    EXPECT_TRUE(left.Skroty.empty());
    for (const TWartoscRekordu& w : left.Wartosci) EXPECT_EQ(w.Klucz, Narrow(kUninstallKey)) << w.Nazwa;

    // Once the program has let go, the second run finishes: the prefix as it was.
    Answers again({true, true});
    EXPECT_EQ(Uninstall(again), 0);
    ASSERT_EQ(again.Asked.size(), 2u);
    EXPECT_EQ(again.Asked[1].find(U(jzPolski, tdPozostawiono)), std::string::npos) << again.Asked[1];
    const Snapshot after = Prefix();
    EXPECT_EQ(after, FBefore) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);
}

// ---- reparse points below the target ----

// A target folder made on the Unix side with symbolic links in it, which Wine shows as reparse points:
// "dane" a folder leading to the sibling "inne", "plik.txt" a file leading to "inne\f.txt".
TEST_F(UninstallTest, NothingIsReachedThroughAReparsePointBelowTheTarget)
{
    const std::wstring links = ThroughZ(Env(L"WERB_LINKS"));
    ASSERT_FALSE(links.empty()) << "WERB_LINKS is not set";
    const std::wstring target = links + L"\\cel", elsewhere = links + L"\\inne";
    MakeFolder(elsewhere);
    ASSERT_EQ(GetFileAttributesW((target + L"\\dane").c_str()) & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY),
              DWORD(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        << "no folder link in " << Narrow(target);
    ASSERT_TRUE(WriteBytes(elsewhere + L"\\f.txt", "cenne"));
    ASSERT_TRUE(WriteBytes(target + L"\\nasz.txt", "nasz"));

    // The record names what it would have left there: the bytes match, only the place does not.
    const std::string t = Narrow(target);
    TRekordDeinstalacji r;
    r.Katalog = t;
    r.Pliki = {{t + "\\nasz.txt", 4, Sha256Hex("nasz")},
               {t + "\\dane\\f.txt", 5, Sha256Hex("cenne")},
               {t + "\\plik.txt", 5, Sha256Hex("cenne")}};
    r.Katalogi = {t, t + "\\dane"};
    const std::wstring record = target + L"\\DeInstalka.dat";
    ASSERT_TRUE(WriteBytes(record, *TekstRekordu(r)));
    struct Cleanup {
        std::wstring Record, Own;
        ~Cleanup()
        {
            DeleteFileW(Record.c_str());
            DeleteFileW(Own.c_str());
        }
    } cleanup{record, target + L"\\nasz.txt"};

    Answers answers({true, true});
    TfrmDeinstalka window;
    TfrmPytanie question;
    TModalWatchdog watchdog(question, 60000);
    EXPECT_EQ(Deinstaluj(t, window, question, nullptr), 0);
    ASSERT_EQ(answers.Asked.size(), 2u) << "a question about changed files?";

    EXPECT_FALSE(Exists(target + L"\\nasz.txt"));
    EXPECT_EQ(ReadBytes(elsewhere + L"\\f.txt"), std::string("cenne")) << "deleted through a link";
    EXPECT_NE(GetFileAttributesW((target + L"\\dane").c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string& closing = answers.Asked[1];
    for (const std::string& kept : {t + "\\dane\\f.txt", t + "\\plik.txt", t + "\\dane"})
        EXPECT_NE(closing.find(kept + " (" + U(jzPolski, tdPowodPrzekierowany) + ")"), std::string::npos)
            << kept << " not reported in\n" << closing;
    // The user can take the links away and run the uninstaller again.
    const TOdczytRekordu left = CzytajRekord(ReadBytes(record).value_or(""), MiejscaProduktu());
    ASSERT_EQ(left.Wynik, TWynikRekordu::wrDobrze);
    ASSERT_EQ(left.Rekord.Pliki.size(), 2u);
    EXPECT_EQ(left.Rekord.Pliki[0].Sciezka, t + "\\dane\\f.txt");
    EXPECT_EQ(left.Rekord.Pliki[1].Sciezka, t + "\\plik.txt");
}

// The list of programs exists before, empty: neither installation created it, so neither removes it.
class UninstallTwice : public UninstallTest {
protected:
    bool ProgramListBefore() const override { return true; }
};

TEST_F(UninstallTwice, ASecondInstallationElsewhereKeepsWhatItTookOver)
{
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring first = FTarget;
    FTarget = TempFolder() + L"werb-uninstall drugi";
    RemoveTree(FTarget);
    Install();
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring second = FTarget;

    // The first folder's uninstaller: its files go; the registry and the links now name the second one.
    FTarget = first;
    Answers answers({true, true});
    EXPECT_EQ(Uninstall(answers), 0);
    EXPECT_FALSE(Exists(first));
    ASSERT_EQ(answers.Asked.size(), 2u);
    ExpectSettings(HKEY_CURRENT_USER, Narrow(second));
    ExpectSettings(HKEY_LOCAL_MACHINE, Narrow(second));
    ExpectUninstallEntry(HKEY_CURRENT_USER, second);
    ExpectProgramKeys(0);
    ExpectLinks(ShellPath(CSIDL_PROGRAMS) + L"\\Werbvoltan", second, {std::begin(kPrograms), std::end(kPrograms)});

    // Then the second: the prefix is as it was before both.
    FTarget = second;
    Answers again({true, true});
    EXPECT_EQ(Uninstall(again), 0);
    const Snapshot after = Prefix();
    EXPECT_EQ(after, FBefore) << "left:" << Lacking(after, FBefore) << "\nremoved:" << Lacking(FBefore, after);
}

// ---- DeInstalka.exe as the list of installed programs starts it ----

class UninstallEntry : public UninstallTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(UninstallEntry, ItsCommandLineRemovesTheProductAndLeavesOnlyWhatTheUserAdded)
{
    const TJezyk jezyk = GetParam().Jezyk;
    Install(jezyk);
    ASSERT_FALSE(HasFatalFailure());
    // The user's own file in the target folder: it stays, and so does its folder.
    ASSERT_TRUE(WriteBytes(Target(L"moje notatki.txt"), "notatki"));
    FForms.reset();

    const std::optional<RegString> command = ReadRegString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString");
    ASSERT_TRUE(command);
    std::wstring line = command->Text;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // Without this test's console, as the system's list of programs starts it: the batch file's echo stays out.
    ASSERT_TRUE(
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi))
        << Narrow(line);
    UniqueHandle process(pi.hProcess), thread(pi.hThread);

    // The question comes from the copy in %TEMP%: the first instance has handed over.
    const std::string attention = PobierzTekst(jezyk, txtAttention);
    const std::string question = Format(U(jezyk, tdPytanie), {"Werbfranko"});
    HWND asking = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND w : TopLevel(L"WerbForm", &attention))
            if (VisibleChild(w, L"WerbLabel", question)) asking = w;
        return asking != nullptr;
    })) << "no question " << question;
    const DWORD copy = ProcessOf(asking);
    EXPECT_NE(copy, pi.dwProcessId);
    // In a folder of its own directly inside %TEMP%, named as the relaunch names it.
    const std::wstring image = LongPath(ImageOfProcess(copy));
    const std::wstring privateFolder = image.substr(0, image.find_last_of(L'\\'));
    const std::wstring privateName = privateFolder.substr(privateFolder.find_last_of(L'\\') + 1);
    EXPECT_TRUE(SamePath(image, privateFolder + L"\\DeInstalka.exe")) << Narrow(image);
    EXPECT_TRUE(SamePath(privateFolder + L"\\", LongPath(TempFolder()) + privateName + L"\\")) << Narrow(image);
    EXPECT_TRUE(privateName.rfind(Widen(kRelaunchFolderPrefix), 0) == 0) << Narrow(image);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0) << "the first instance ended";
    const std::string window = Format(U(jezyk, tdTytul), {"Werbfranko"});
    EXPECT_FALSE(TopLevel(L"WerbForm", &window).empty()) << "the uninstaller's window under its question";

    HWND yes = VisibleChild(asking, L"Button", PobierzTekst(jezyk, txtYes));
    ASSERT_TRUE(yes);
    Click(yes);

    // The closing message, with its OK.
    HWND closing = nullptr, ok = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND w : TopLevel(L"WerbForm", &attention))
            if (ProcessOf(w) == copy && (ok = VisibleChild(w, L"Button", "OK"))) closing = w;
        return closing != nullptr;
    })) << "no closing message";
    std::string said;
    for (HWND l : VisibleChildren(closing, L"WerbLabel")) said += TextOf(l);
    EXPECT_NE(said.find(Format(U(jezyk, tdUsunietoCzesc), {"Werbfranko"})), std::string::npos) << said;
    EXPECT_NE(said.find(Narrow(FTarget) + " (" + U(jezyk, tdPowodNiePusty) + ")"), std::string::npos) << said;
    Click(ok);
    EXPECT_TRUE(WaitForProcessEnd(copy, 60000));
    // The batch file deletes the copy once it has ended, then itself and their folder.
    EXPECT_TRUE(WaitUntil([&] { return !Exists(privateFolder); }, 60000))
        << "the copy, its batch file or their folder stayed in %TEMP%";

    // The prefix as before, but for the user's file and its folder.
    EXPECT_EQ(ReadBytes(Target(L"moje notatki.txt")), std::string("notatki"));
    Snapshot expected = FBefore;
    expected.insert(FTarget + L"\\");
    expected.insert(Target(L"moje notatki.txt") + L" 7");
    const Snapshot after = Prefix();
    EXPECT_EQ(after, expected) << "left:" << Lacking(after, expected) << "\nremoved:" << Lacking(expected, after);
}

INSTANTIATE_TEST_SUITE_P(PolishAndFrench, UninstallEntry,
                         ::testing::Values(LanguageCase{jzPolski, 0}, LanguageCase{jzFrancuski, 2}));
