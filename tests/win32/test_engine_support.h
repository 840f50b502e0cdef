// What the installation tests share: a CD tree on D:, a target folder in %TEMP%, a run through the wizard
// with the cancel questions answered, and what a run may leave outside its folder.
#pragma once

#include "test_wizard_support.h"
#include "demo-driver/ReadBack.h"
#include "install/ProductView.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The names of a folder's entries with their sizes: what a run may not change outside its target.
inline std::vector<std::pair<std::wstring, std::uint64_t>> Listing(const std::wstring& folder)
{
    std::vector<std::pair<std::wstring, std::uint64_t>> entries;
    WIN32_FIND_DATAW d{};
    const FindHandle h(FindFirstFileW((folder + L"\\*").c_str(), &d));
    if (!h) return entries;
    do {
        entries.push_back({d.cFileName, (static_cast<std::uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow});
    } while (FindNextFileW(h.Get(), &d));
    std::sort(entries.begin(), entries.end());
    return entries;
}


inline std::wstring BuildFolder(const wchar_t* variable)
{
    const std::wstring folder = ThroughZ(Env(variable));
    return folder.empty() ? folder : folder + L"\\";
}

// Bytes that differ from block to block, so that a copy that repeats or drops a block shows.
inline std::string Pattern(std::size_t size, unsigned seed)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + i / 4096) & 0xff);
    return s;
}

inline bool Listed(const std::vector<std::string>& list, const std::wstring& path)
{
    return std::find(list.begin(), list.end(), Narrow(path)) != list.end();
}

inline std::wstring ShellFolder(int csidl)
{
    wchar_t p[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, p)) ? p : L"";
}

inline constexpr const wchar_t* kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";

// What a finished installation may leave outside its folder: settings, the uninstall entry, the group.
inline void ForgetInstallation()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        DeleteTree32(root, L"SOFTWARE\\Zorvane");
        DeleteTree32(root, kUninstallKey);
    }
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        const std::wstring programs = ShellFolder(csidl);
        if (!programs.empty()) RemoveTree(programs + L"\\Werbvoltan");
    }
}

inline bool InstallationLeftTraces()
{
    HKEY key = nullptr;
    bool traces = false;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (RegOpenKeyExW(root, kUninstallKey, 0, KEY_READ | kView32, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            traces = true;
        }
    }
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
        if (Exists(ShellFolder(csidl) + L"\\Werbvoltan")) traces = true;
    return traces;
}


// A CD tree on D: and a target folder in %TEMP% that the options check creates.
class EngineTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ForgetInstallation();
        FTarget = TempFolder() + L"werb-engine-target";
        RemoveTree(FTarget);
        FCd = std::make_unique<Tree>(CdFolder());
        FCd->Folder(L"Dane");
        FCd->Folder(L"Dane\\Pod");
        FCd->Folder(L"Puste");
        PutBytes(L"Dane\\a.txt", Pattern(1000, 1));
        PutBytes(L"Dane\\Pod\\duzy.bin", Pattern(100000, 2)); // several blocks of the copy buffer
        PutBytes(L"Dane\\Pod\\autorun.inf", "[autorun]");     // excluded at any depth
        PutBytes(L"AUTORUN.INF", "[autorun]");                 // in any letter case
        PutBytes(L"Werbika.exe", "not the program");           // written from the resources instead
        PutBytes(L"comctl32.ocx", "shared file");              // the system-file step's, not the copy's
        PutBytes(L"pusty.txt", "");
    }

    void TearDown() override
    {
        if (frmMain) frmMain->FUtworzoneKatalogi.clear();
        FCd.reset();
        RemoveTree(FTarget);
        RemoveTree(SystemFile(L"comctl32.ocx"));
        ForgetInstallation();
        WizardTest::TearDown();
    }

    void PutBytes(const std::wstring& relative, const std::string& data)
    {
        FCd->Adopt(relative);
        ASSERT_TRUE(WriteBytes(CdFolder() + relative, data)) << Narrow(relative);
        // As on a real CD: copies keep the attribute unless the installer clears it.
        ASSERT_TRUE(SetFileAttributesW((CdFolder() + relative).c_str(), FILE_ATTRIBUTE_READONLY));
        FCdBytes += data.size();
    }

    static std::wstring SystemFile(const wchar_t* name)
    {
        return ProductSystemFolder() + L"\\" + name;
    }

    std::wstring Target(const std::wstring& relative) const { return FTarget + L"\\" + relative; }

    // Through the wizard to the Options page, with our target folder chosen.
    void GoToOptions()
    {
        ShowWizard();
        frmMain->btnDalej.Click();
        frmMain->rdbUmowaAkceptuje.SetChecked(true);
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stOpcje);
        frmMain->lblKatalog.SetCaption(Narrow(FTarget));
    }

    // Then Next: the installation runs inside.
    void Install()
    {
        GoToOptions();
        ASSERT_FALSE(HasFatalFailure());
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stKoniec);
    }

    // Every cancel question of the run goes to answer (called with its number, from 1); a No to one of the
    // first pressAgain questions presses Close again (a real posted click), so that the next check asks too.
    void AnswerEveryCancelQuestion(std::function<bool(int)> answer, int pressAgain = 1000)
    {
        auto hook = std::make_shared<std::function<void(TForm&)>>();
        *hook = [this, hook, answer, pressAgain](TForm& f) {
            EXPECT_EQ(&f, frmPytanie);
            ++FQuestions;
            FAsked.push_back({frmMain->lblPlikZ.Caption(), frmMain->lblPlikDo.Caption()});
            EXPECT_EQ(frmPytanie->lblPytanie.Caption(), PobierzTekst(frmMain->FJezyk, txtAskAbortInstall));
            const bool yes = answer(FQuestions);
            if (!yes && FQuestions < pressAgain) {
                PostMessageW(frmMain->btnZamknij.Handle(), BM_CLICK, 0, 0);
                Application.OnNextModalShown(*hook);
            } else {
                FRecordedAtYes = frmMain->FSkopiowanePliki.size() + frmMain->FUtworzoneKatalogi.size();
                FFilesAtYes = frmMain->FSkopiowanePliki;
                FFoldersAtYes = frmMain->FUtworzoneKatalogi;
            }
            (yes ? frmPytanie->btnTak : frmPytanie->btnNie).Click();
        };
        FCancelHook = hook;
    }

    void InstallPressingClose()
    {
        GoToOptions();
        ASSERT_FALSE(HasFatalFailure());
        // The click waits in the queue until the installation pumps messages, on its page; the copy sees it
        // after its first entry.
        Application.OnNextModalShown(*FCancelHook);
        PostMessageW(frmMain->btnZamknij.Handle(), BM_CLICK, 0, 0);
        // A question left unanswered would hang the run: the watchdog ends it, and the test fails.
        TModalWatchdog watchdog(*frmPytanie, 60000);
        frmMain->btnDalej.Click();
        ASSERT_EQ(frmMain->FStrona, stKoniec);
    }

    std::string EndText() const { return frmMain->lblKoniec.Caption(); }
    std::string Text(int n) const { return PobierzTekst(frmMain->FJezyk, n); }

    std::wstring FTarget;
    std::unique_ptr<Tree> FCd;
    std::size_t FCdBytes = 0;
    int FQuestions = 0;
    std::shared_ptr<std::function<void(TForm&)>> FCancelHook;
    std::vector<std::pair<std::string, std::string>> FAsked;
    std::size_t FRecordedAtYes = 0;
    std::vector<std::string> FFilesAtYes, FFoldersAtYes;
};

