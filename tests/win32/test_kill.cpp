// Killed at every step: this program is a test build of the installer whose journal ends the process (no
// clean-up, as a crash or Task Manager would) right after entry WERB_KILL_AT reaches the disk. For every k of a
// whole run over a small CD that replaces a target file, an older system file and an earlier registry value,
// a child installs through the wizard and dies at k; the next start recovers; the prefix (files under drive C:
// with their bytes, attributes and times; HKCU's and HKLM's software keys in both views) must equal the one
// before the run.
#include "test_engine_support.h"
#include "test_faults_table.h"
#include "test_process_support.h"

#include <shellapi.h>

#include <cstdio>
#include <map>
#include <string>

#include "install/Instalacja.h"
#include "install/TekstyInstalacji.h"
#include "texts/Format.h"
#include "uninstall/Sha256.h"

namespace {

constexpr wchar_t kFlagKey[] = L"SOFTWARE\\Zorvane\\Werbtron";

std::wstring KillTarget()
{
    return TempFolder() + L"werb-kill-target";
}

// ---- the child: one start of the installer, as the test build runs it ----

void StartForms()
{
    WybierzCzcionke();
    Application.Initialize();
    NumerProduktu = 1;
    JezykProduktu = jzFrancuski;
}

// --install: the wizard through to the End page into KillTarget(); the journal may end the process on the way.
int ChildInstall()
{
    StartForms();
    TFormularze forms;
    int questions = 0;
    // The CD dialog, after the question of a recovery if a run before this one was left behind.
    std::function<void(TForm&)> cd = [&](TForm& f) {
        if (&f == frmCD) return frmCD->btnOK.Click();
        Application.OnNextModalShown(cd);
        frmPytanie->btnTak.Click();
    };
    Application.OnNextModalShown(cd);
    frmMain->Show();
    Application.ProcessMessages();
    frmMain->btnDalej.Click();
    frmMain->rdbUmowaAkceptuje.SetChecked(true);
    frmMain->btnDalej.Click();
    frmMain->lblKatalog.SetCaption(Narrow(KillTarget()));
    // Any question (low space, say) is answered Yes: the run must go on to its kill point.
    std::function<void(TForm&)> yes = [&](TForm&) {
        ++questions;
        Application.OnNextModalShown(yes);
        frmPytanie->btnTak.Click();
    };
    Application.OnNextModalShown(yes);
    frmMain->btnDalej.Click();
    Application.OnNextModalShown(nullptr);
    return frmMain->FStrona == stKoniec && frmMain->FSukces ? 0 : 10 + frmMain->FStrona;
}

// --recover: the next start; the recovery question answered OK, then the CD dialog cancelled, as a user who
// only wanted it cleared would. Exit 0 when the question came first, 2 when it did not come at all.
int ChildRecover()
{
    StartForms();
    TFormularze forms;
    bool asked = false, cd = false;
    std::function<void(TForm&)> answer = [&](TForm& f) {
        if (&f == frmPytanie && !cd) {
            asked = asked || frmPytanie->lblPytanie.Caption() ==
                                 Format(std::string(TekstInstalacji(frmMain->FJezyk, tiPrzerwana)), {"Werbfranko"});
            Application.OnNextModalShown(answer);
            frmPytanie->btnTak.Click();
        } else if (&f == frmCD) {
            cd = true;
            frmCD->btnAnuluj.Click();
        }
    };
    Application.OnNextModalShown(answer);
    frmMain->Show();
    Application.ProcessMessages();
    Application.OnNextModalShown(nullptr);
    return asked ? 0 : 2;
}

const int kChild = [] {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring mode = argv && argc == 2 ? argv[1] : L"";
    LocalFree(argv);
    if (mode != L"--install" && mode != L"--recover") return 0;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ExitProcess(static_cast<UINT>(mode == L"--install" ? ChildInstall() : ChildRecover()));
}();

// ---- the parent ----

DWORD RunChild(const wchar_t* mode, unsigned killAt)
{
    SetEnvironmentVariableW(L"WERB_KILL_AT", std::to_wstring(killAt).c_str());
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + mode;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    // Right after a kill Wine may still be tearing the killed process down: a start that fails is tried again.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
        if (!started) {
            std::printf("starting %ls failed: error %lu\n", mode, GetLastError());
            Sleep(500);
        }
    }
    if (!started) return 1000;
    const UniqueHandle process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(process.Get(), 300000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1001);
        return 1001;
    }
    DWORD code = 1002;
    GetExitCodeProcess(process.Get(), &code);
    SetEnvironmentVariableW(L"WERB_KILL_AT", nullptr);
    return code;
}

using Snapshot = std::map<std::wstring, std::string>;

// Wine links the user's Desktop, Documents and the like to the Unix home folder, which is not the prefix's and
// may hold anything; Wine does not always show them as reparse points.
bool OutsideThePrefix(const std::wstring& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    static const std::wstring kUserFolders[] = {L"Desktop", L"Documents", L"Downloads", L"Music",
                                                L"Pictures", L"Templates", L"Videos", L"My Documents"};
    const std::wstring parent = path.substr(0, path.rfind(L'\\'));
    std::wstring grand = parent.substr(0, parent.rfind(L'\\'));
    CharUpperBuffW(grand.data(), static_cast<DWORD>(grand.size()));
    if (grand != L"C:\\USERS") return false;
    for (const std::wstring& f : kUserFolders)
        if (CompareStringOrdinal(name.c_str(), -1, f.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    return false;
}

// Files with attributes, size and time; the bytes of those the run touches too: the target's and the shared
// system files (a file put back is the one that was renamed aside, with its time; any other write shows in it).
void NoteFiles(const std::wstring& folder, const std::wstring& system, Snapshot& out)
{
    WIN32_FIND_DATAW f{};
    const FindHandle h(FindFirstFileW((folder + L"\\*").c_str(), &f));
    if (!h) return;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        std::wstring upper = path;
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[upper + L"\\"] = std::to_string(f.dwFileAttributes);
            if (!OutsideThePrefix(path, f.dwFileAttributes)) NoteFiles(path, system, out);
            continue;
        }
        const std::uint64_t size = (static_cast<std::uint64_t>(f.nFileSizeHigh) << 32) | f.nFileSizeLow;
        std::string v = std::to_string(f.dwFileAttributes) + " " + std::to_string(size) + " " +
                        std::to_string(f.ftLastWriteTime.dwLowDateTime) + ":" +
                        std::to_string(f.ftLastWriteTime.dwHighDateTime);
        const bool ours = (upper.rfind(system, 0) == 0 && (name == L"comctl32.ocx" || name == L"comctl32.dll")) ||
                          upper.find(L"\\WERB-KILL-TARGET\\") != std::wstring::npos;
        if (ours) v += " " + Sha256Hex(ReadBytes(path).value_or("(unreadable)"));
        out[upper] = v;
    } while (FindNextFileW(h.Get(), &f));
}

void NoteKeys(HKEY root, const std::wstring& at, const std::wstring& key, REGSAM view, Snapshot& out)
{
    UniqueRegKey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, k.Receive()) != ERROR_SUCCESS) return;
    out[at + key + L"\\"] = "";
    for (DWORD i = 0;; ++i) {
        wchar_t value[16384];
        DWORD length = 16384, type = 0, size = 0;
        if (RegEnumValueW(k.Get(), i, value, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::string data(size, '\0');
        length = 16384;
        RegEnumValueW(k.Get(), i, value, &length, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        out[at + key + L"\\" + value] = std::to_string(type) + ":" + Sha256Hex(data.substr(0, size));
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD length = 256;
        if (RegEnumKeyExW(k.Get(), i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.emplace_back(sub, length);
    }
    for (const std::wstring& s : subkeys) {
        std::wstring upper = s;
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
        // The class registrations and, of the machine, Microsoft's own tree are large and the system's: of
        // those only the list of programs, where an uninstall entry goes, is read.
        if (upper == L"CLASSES" || (root == HKEY_LOCAL_MACHINE && upper == L"MICROSOFT")) continue;
        NoteKeys(root, at, key + L"\\" + s, view, out);
    }
}

// Kept by Wine or by this test, whatever the installer does: the test's own temporary files, the window
// positions and MRU lists Wine writes, the hardware and performance keys it refreshes at every start.
bool Volatile(const std::wstring& entry, const std::wstring& temp)
{
    std::wstring e = entry;
    CharUpperBuffW(e.data(), static_cast<DWORD>(e.size()));
    for (const wchar_t* v : {L"\\SOFTWARE\\WINE\\", L"HKLM\\SYSTEM\\", L"HKLM\\HARDWARE\\", L"\\PERFLIB\\",
                             L"\\SESSION MANAGER\\", L"HKCU\\VOLATILE ENVIRONMENT\\", L"\\DYNDATA\\"})
        if (e.find(v) != std::wstring::npos) return true;
    return e.rfind(temp, 0) == 0 && e.find(L"WERB-KILL-TARGET") == std::wstring::npos;
}

Snapshot Prefix()
{
    Snapshot s;
    const std::wstring system = ProductSystemFolder();
    std::wstring windows = system.substr(0, system.rfind(L'\\')), upperSystem = system;
    CharUpperBuffW(windows.data(), static_cast<DWORD>(windows.size()));
    CharUpperBuffW(upperSystem.data(), static_cast<DWORD>(upperSystem.size()));
    // Everything under C: but Wine's own Windows folder, where only the system folder is the product's: its
    // listing, with the bytes of the two shared files.
    WIN32_FIND_DATAW f{};
    {
        const FindHandle h(FindFirstFileW(L"C:\\*", &f));
        do {
            const std::wstring path = std::wstring(L"C:\\") + f.cFileName;
            std::wstring upper = path;
            CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
            if (upper == windows || upper == L"C:\\." || upper == L"C:\\..") continue;
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                s[upper + L"\\"] = std::to_string(f.dwFileAttributes);
                NoteFiles(path, L"\\", s);
            } else {
                s[upper] = std::to_string(f.dwFileAttributes);
            }
        } while (h && FindNextFileW(h.Get(), &f));
    }
    Snapshot inSystem;
    NoteFiles(system, upperSystem + L"\\", inSystem);
    for (auto& [path, v] : inSystem) {
        if (path.find(L"\\", upperSystem.size() + 1) != std::wstring::npos) continue;  // its subfolders: Wine's
        s[path] = v;
    }
    // The software keys, where an installation writes (the class registrations, large and Wine's, aside).
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        const std::wstring v = view == KEY_WOW64_64KEY ? L"64:" : L"32:";
        NoteKeys(HKEY_CURRENT_USER, v + L"HKCU\\", L"Software", view, s);
        NoteKeys(HKEY_LOCAL_MACHINE, v + L"HKLM\\", L"Software", view, s);
        NoteKeys(HKEY_LOCAL_MACHINE, v + L"HKLM\\", L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", view, s);
    }
    std::wstring temp = TempFolder();
    CharUpperBuffW(temp.data(), static_cast<DWORD>(temp.size()));
    for (auto it = s.begin(); it != s.end();) it = Volatile(it->first, temp) ? s.erase(it) : std::next(it);
    return s;
}

std::string Differences(const Snapshot& before, const Snapshot& after)
{
    std::string d;
    int n = 0;
    for (const auto& [k, v] : before)
        if (!after.count(k) || after.at(k) != v) d += (n++ < 12 ? "\n  changed or gone: " + Narrow(k) : "");
    for (const auto& [k, v] : after)
        if (!before.count(k)) d += (n++ < 12 ? "\n  new: " + Narrow(k) : "");
    return n ? std::to_string(n) + " differences:" + d : "";
}

// The kind of the last entry of the journal a killed run left; Nieczytelny when there is none.
TRodzajWpisu LastEntry()
{
    const std::wstring folder = KatalogDziennikow();
    WIN32_FIND_DATAW d{};
    std::optional<std::string> text;
    {
        const FindHandle h(FindFirstFileW((folder + L"\\instalacja-*.dziennik").c_str(), &d));
        if (h) text = ReadBytes(folder + L"\\" + d.cFileName);
    }
    const TOdczytDziennika o = text ? CzytajDziennik(*text) : TOdczytDziennika{};
    return o.Wpisy.empty() ? TRodzajWpisu::Nieczytelny : o.Wpisy.back().Rodzaj;
}

DWORD FlagValue()
{
    DWORD v = 99, size = sizeof v;
    GetProductValue(HKEY_CURRENT_USER, kFlagKey, L"InstallationInProgress", RRF_RT_REG_DWORD, nullptr, &v, &size);
    return v;
}

} // namespace

// A CD on D: with a tree, a newer comctl32.ocx; a target that holds an earlier file to replace (hidden, to show
// attributes come back), an older comctl32.ocx in the system folder, earlier settings in the registry.
class KillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(CdFolder().empty()) << "WERB_CDROM is not set";
        ForgetInstallation();
        // Journals a run of this test that was itself ended from outside may have left.
        RemoveTree(KatalogDziennikow());
        RemoveTree(KillTarget());
        FCd = std::make_unique<Tree>(CdFolder());
        FCd->Folder(L"Dane");
        FCd->Folder(L"Dane\\Pod");
        Put(L"Werbilo2.exe", "x");
        Put(L"UmowaPol.txt", "licence");
        Put(L"Dane\\a.txt", Pattern(3000, 1));
        Put(L"Dane\\Pod\\b.bin", Pattern(70000, 2));
        Put(L"pusty.txt", "");
        const std::wstring versioned = BuildFolder(L"WERB_VERSIONED");
        ASSERT_FALSE(versioned.empty()) << "WERB_VERSIONED is not set";
        Put(L"comctl32.ocx", ReadBytes(versioned + L"ver6.dll").value_or(""));

        MakeFolder(KillTarget());
        MakeFolder(KillTarget() + L"\\Dane");
        ASSERT_TRUE(WriteBytes(KillTarget() + L"\\Dane\\a.txt", "an earlier installation's"));
        SetFileAttributesW((KillTarget() + L"\\Dane\\a.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
        FSystemFile = ProductSystemFolder() + L"\\comctl32.ocx";
        FSystemBefore = ReadBytes(FSystemFile);
        ASSERT_TRUE(WriteBytes(FSystemFile, ReadBytes(versioned + L"ver471.dll").value_or("")));

        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kFlagKey, 0, nullptr, 0, KEY_ALL_ACCESS | kView32, nullptr,
                                  key.Receive(), nullptr),
                  ERROR_SUCCESS);
        const DWORD zero = 0;
        RegSetValueExW(key.Get(), L"InstallationInProgress", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
        const wchar_t earlier[] = L"an earlier folder";
        RegSetValueExW(key.Get(), L"Katalog", 0, REG_SZ, reinterpret_cast<const BYTE*>(earlier), sizeof earlier);
    }

    void TearDown() override
    {
        FCd.reset();
        RemoveTree(KillTarget());
        if (FSystemBefore) WriteBytes(FSystemFile, *FSystemBefore);
        else DeleteFileW(FSystemFile.c_str());
        ForgetInstallation();
        RegDeleteKeyW(HKEY_CURRENT_USER, kFlagKey);
    }

    void Put(const std::wstring& relative, const std::string& data)
    {
        FCd->Adopt(relative);
        ASSERT_TRUE(WriteBytes(CdFolder() + relative, data)) << Narrow(relative);
    }

    std::unique_ptr<Tree> FCd;
    std::wstring FSystemFile;
    std::optional<std::string> FSystemBefore;
};

TEST_F(KillTest, EveryStepOfAWholeRunIsUndoneByTheNextStart)
{
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    const Snapshot before = Prefix();
    QueryPerformanceCounter(&t1);
    std::printf("the prefix: %zu entries, read in %.2f s\n", before.size(),
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart));
    ASSERT_TRUE(Differences(before, Prefix()).empty()) << "the prefix changes by itself: " << Differences(before, Prefix());
    int killed = 0, restored = 0, ended = 0;
    // The rows `make faults` lists: the first kill in the copy, in the system files and in the registry step.
    std::map<TRodzajWpisu, const char*> rows = {{TRodzajWpisu::Plik, "killed during the copy"},
                                                {TRodzajWpisu::Systemowy, "killed during the system files"},
                                                {TRodzajWpisu::Wartosc, "killed during the registry step"}};
    unsigned k = 1;
    for (;; ++k) {
        SCOPED_TRACE("killed at step " + std::to_string(k));
        const DWORD install = RunChild(L"--install", k);
        if (install == 0) break;  // the whole run went through: k - 1 steps
        ASSERT_EQ(install, kKodZabicia) << "the child failed rather than being killed";
        EXPECT_EQ(FlagValue(), 1u) << "a killed run leaves its flag";
        const TRodzajWpisu last = LastEntry();
        if (last == TRodzajWpisu::Koniec) {
            // Killed once its end line was on the disk: the run stands, and the next start only clears up.
            EXPECT_EQ(RunChild(L"--recover", 0), 2u) << "a run that ended is not undone";
            EXPECT_EQ(ReadBytes(KillTarget() + L"\\Dane\\a.txt"), Pattern(3000, 1));
            EXPECT_FALSE(Exists(KillTarget() + L"\\Dane\\a.txt.werb-old")) << "the copy aside stays";
            EXPECT_FALSE(Exists(ProductSystemFolder() + L"\\comctl32.ocx.werb-old")) << "the copy aside stays";
            EXPECT_TRUE(Exists(KillTarget() + L"\\DeInstalka.dat"));
            EXPECT_FALSE(Exists(KatalogDziennikow())) << "its journal stays";
            ++ended;
            continue;
        }
        ++killed;
        std::printf("killed at step %u\n", k);
        std::fflush(stdout);
        const auto row = rows.find(last);
        EXPECT_EQ(RunChild(L"--recover", 0), 0u) << "the next start did not tell the user";
        const std::string d = Differences(before, Prefix());
        EXPECT_EQ(d, "");
        if (d.empty()) ++restored;
        if (row != rows.end()) {
            FaultTable().push_back({row->second, "next start", d.empty() ? 0 : 1, FlagValue() == 0 ? 0 : 1});
            rows.erase(row);
        }
        ASSERT_LT(k, 2000u) << "the run never completes";
    }
    // The last entry is the end line: a kill after it leaves a run that succeeded.
    const unsigned steps = k - 2;
    std::printf("killed at k of K steps: %d/%u restored (and killed after the end line: the run stands)\n",
                restored, steps);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(killed, static_cast<int>(steps));
    EXPECT_EQ(restored, killed);
    EXPECT_GT(steps, 30u) << "a whole run journals every file, folder, link, key and value";
    EXPECT_TRUE(rows.empty()) << "a phase was never reached: " << rows.begin()->second;
    // The run that went through installed what the CD holds, over what was there.
    EXPECT_EQ(ReadBytes(KillTarget() + L"\\Dane\\a.txt"), Pattern(3000, 1));
    EXPECT_EQ(FlagValue(), 0u);
}
