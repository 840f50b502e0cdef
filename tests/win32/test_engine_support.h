// What the installation tests share: a CD tree on D:, a target folder in %TEMP%, a run through the wizard
// with the cancel questions answered, and what a run may leave outside its folder.
#pragma once

#include "test_wizard_support.h"
#include "demo-driver/ReadBack.h"
#include "install/ProductView.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
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


// Every file below a folder by its path relative to it, with its bytes; folders as entries without bytes.
inline void Contents(const std::wstring& folder, const std::wstring& prefix,
                     std::map<std::wstring, std::string>& out)
{
    for (const auto& [name, size] : Listing(folder)) {
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            out[prefix + name + L"\\"] = "";
            Contents(path, prefix + name + L"\\", out);
        } else {
            out[prefix + name] = ReadBytes(path).value_or("(unreadable)");
        }
    }
}

// Every value of a key in the 32-bit view, as "ROOT\key\name" and its raw data; nothing for a missing key.
inline void Values(HKEY root, const std::wstring& key, std::map<std::wstring, std::string>& out)
{
    UniqueRegKey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | kView32, k.Receive()) != ERROR_SUCCESS) return;
    const std::wstring at = (root == HKEY_LOCAL_MACHINE ? L"HKLM\\" : L"HKCU\\") + key + L"\\";
    out[at] = "";
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256, type = 0, size = 0;
        if (RegEnumValueW(k.Get(), i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::string data(size, '\0');
        length = 256;
        RegEnumValueW(k.Get(), i, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        out[at + name] = std::to_string(type) + ":" + data;
    }
}

// The entries in which two such maps differ, for a failure message.
inline std::string Difference(const std::map<std::wstring, std::string>& a,
                              const std::map<std::wstring, std::string>& b)
{
    std::string d;
    for (const auto& [k, v] : a)
        if (!b.count(k)) d += " only first: " + Narrow(k);
        else if (b.at(k) != v) d += " differs: " + Narrow(k);
    for (const auto& [k, v] : b)
        if (!a.count(k)) d += " only second: " + Narrow(k);
    return d;
}

// What an installation leaves: the target folder, the product's registry keys, the Start-menu groups and
// the shared system files.
struct Installed {
    std::map<std::wstring, std::string> Files, Registry, Shortcuts;
    std::vector<std::pair<std::wstring, std::uint64_t>> System;
};

inline Installed WhatIsInstalled(const std::wstring& target)
{
    Installed i;
    Contents(target, L"", i.Files);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        Values(root, L"SOFTWARE\\Zorvane\\Werbtron", i.Registry);
        Values(root, kUninstallKey, i.Registry);
        for (const wchar_t* program : {L"Trans", L"TrInt", L"ExtDict", L"TrFile"})
            Values(root, std::wstring(L"SOFTWARE\\Zorvane\\Werbix\\") + program, i.Registry);
    }
    // Links by what they point at: their bytes hold the times of their targets.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const auto link = [](const std::wstring& file) {
        const std::optional<LinkContents> c = ReadLink(file);
        return c ? Narrow(c->Target + L"|" + c->WorkingDirectory + L"|" + c->Description) : std::string("(no link)");
    };
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        const std::wstring group = ShellFolder(csidl);
        if (group.empty()) continue;
        std::map<std::wstring, std::string> files;
        Contents(group + L"\\Werbvoltan", L"", files);
        for (const auto& [name, bytes] : files)
            i.Shortcuts[std::to_wstring(csidl) + L":" + name] =
                name.back() == L'\\' ? "" : link(group + L"\\Werbvoltan\\" + name);
    }
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY}) {
        const std::wstring desktop = ShellFolder(csidl);
        if (desktop.empty()) continue;
        for (const auto& [name, size] : Listing(desktop))
            if (name.size() > 4 && name.substr(name.size() - 4) == L".lnk")
                i.Shortcuts[std::to_wstring(csidl) + L":" + name] = link(desktop + L"\\" + name);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    i.System = Listing(ProductSystemFolder());
    return i;
}

// The state of the wizard each time a label of the installation page takes a new text: seen from inside
// the run, at the points where the user could press a button.
struct TStanPrzebiegu {
    std::string Label;            // the text just set
    bool FromLine = false;        // lblPlikZ, else lblInstalacjaOpis
    bool InstalacjaTrwa = false;
    bool ZamknijEnabled = false;
    std::string ZamknijCaption;
    int Strona = 0;
};

class TObserwatorPrzebiegu {
public:
    TObserwatorPrzebiegu()
    {
        Instance() = this;
        SetWindowSubclass(frmMain->lblPlikZ.Handle(), Record, 1, 1);
        SetWindowSubclass(frmMain->lblInstalacjaOpis.Handle(), Record, 1, 0);
    }
    ~TObserwatorPrzebiegu()
    {
        if (frmMain) {
            RemoveWindowSubclass(frmMain->lblPlikZ.Handle(), Record, 1);
            RemoveWindowSubclass(frmMain->lblInstalacjaOpis.Handle(), Record, 1);
        }
        Instance() = nullptr;
    }
    TObserwatorPrzebiegu(const TObserwatorPrzebiegu&) = delete;
    TObserwatorPrzebiegu& operator=(const TObserwatorPrzebiegu&) = delete;

    std::vector<TStanPrzebiegu> Stany;
    // Called with each state as it is recorded: the test acts at that point of the run.
    std::function<void(const TStanPrzebiegu&)> OnState;

private:
    static TObserwatorPrzebiegu*& Instance()
    {
        static TObserwatorPrzebiegu* instance = nullptr;
        return instance;
    }
    static LRESULT CALLBACK Record(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR fromLine)
    {
        if (msg == WM_SETTEXT && Instance() && lp) {
            Instance()->Stany.push_back({Narrow(reinterpret_cast<const wchar_t*>(lp)), fromLine != 0,
                                         frmMain->FInstalacjaTrwa, frmMain->btnZamknij.Enabled(),
                                         frmMain->btnZamknij.Caption(), frmMain->FStrona});
            if (Instance()->OnState) Instance()->OnState(Instance()->Stany.back());
        }
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
};

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

