// What the shortcut, registry and licence tests share: COM, the expected links and values, a value put back.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "demo-driver/ReadBack.h"
#include "install/TKod.h"
#include "install/WinHandle.h"
#include "test_files_support.h"
#include "texts/untInstalTeksty.h"
#include "ui/Unicode.h"

// The shell link object needs COM on the test thread, as the program initialises it at start-up.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

inline bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// A folder of the shell (CSIDL_...), without trailing backslash; empty when it has none.
inline std::wstring ShellPath(int csidl)
{
    wchar_t buf[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
    return buf;
}

// The names of the files in a folder that match a pattern ("*.lnk").
inline std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\" + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

// Takes a string value away for one test and puts it back after.
class TemporaryRegString {
public:
    TemporaryRegString(HKEY root, std::wstring key, std::wstring value) : FRoot(root), FKey(key), FValue(value)
    {
        FOld = ReadRegString(root, FKey, FValue.c_str());
    }
    ~TemporaryRegString()
    {
        UniqueRegKey k;
        if (RegOpenKeyExW(FRoot, FKey.c_str(), 0, KEY_SET_VALUE | kView32, k.Receive()) != ERROR_SUCCESS) return;
        if (FOld)
            RegSetValueExW(k.Get(), FValue.c_str(), 0, FOld->Type, reinterpret_cast<const BYTE*>(FOld->Text.c_str()),
                           static_cast<DWORD>((FOld->Text.size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(k.Get(), FValue.c_str());
    }
    TemporaryRegString(const TemporaryRegString&) = delete;
    TemporaryRegString& operator=(const TemporaryRegString&) = delete;

    bool Remove()
    {
        UniqueRegKey k;
        if (RegOpenKeyExW(FRoot, FKey.c_str(), 0, KEY_SET_VALUE | kView32, k.Receive()) != ERROR_SUCCESS) return false;
        const LSTATUS r = RegDeleteValueW(k.Get(), FValue.c_str());
        return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
    }

private:
    HKEY FRoot;
    std::wstring FKey;
    std::wstring FValue;
    std::optional<RegString> FOld;
};

// Exactly these links in the group, each to its program in target, started there, described by its name.
inline void ExpectLinks(const std::wstring& group, const std::wstring& target, const std::vector<Program>& links)
{
    EXPECT_EQ(FilesIn(group, L"*").size(), links.size()) << "files in " << Narrow(group);
    for (const Program& p : links) {
        const std::wstring file = group + L"\\" + p.Link + L".lnk";
        const std::optional<LinkContents> link = ReadLink(file);
        ASSERT_TRUE(link) << "no link " << Narrow(file);
        EXPECT_TRUE(SameText(link->Target, target + L"\\" + p.File)) << Narrow(link->Target);
        EXPECT_EQ(link->WorkingDirectory, target + L"\\");
        EXPECT_EQ(link->Description, p.Link);
    }
}

inline const std::wstring kProductKey = L"SOFTWARE\\Zorvane\\Werbtron";
inline const std::wstring kProgramsBase = L"SOFTWARE\\Zorvane\\Werbix";
inline const std::wstring kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
inline const wchar_t* const kProgramKeys[] = {L"Trans", L"TrInt", L"ExtDict", L"TrFile"};

// A value of the settings key as the product reads it: a string, decoded.
inline std::string Decoded(HKEY root, const wchar_t* value)
{
    const std::optional<RegString> s = ReadRegString(root, kProductKey, value);
    if (!s) return "<missing>";
    if (s->Type != REG_SZ) return "<not REG_SZ>";
    const TOdkodowane d = DekodujWartosc(Narrow(s->Text), 1, kFlagaUstawien, kPoziomUstawien);
    return d.Wynik == TWynikKodu::wkDobrze ? d.Tekst : "<undecodable>";
}

// The settings key of one root after an installation into target from D:.
inline void ExpectSettings(HKEY root, const std::string& target)
{
    EXPECT_EQ(Decoded(root, L"Katalog"), target);
    EXPECT_EQ(Decoded(root, L"CD"), "D:\\");
    EXPECT_EQ(Decoded(root, L"SlZewnFr"), "0");
    EXPECT_EQ(Decoded(root, L"SlZewnPl"), "0");
    const std::optional<RegString> wersja = ReadRegString(root, kProductKey, L"Wersja");
    ASSERT_TRUE(wersja);
    EXPECT_EQ(wersja->Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(wersja->Text, L"1.0");
    // Coded, not plain: the folder itself is not what is stored.
    EXPECT_NE(ReadRegString(root, kProductKey, L"Katalog")->Text, Widen(target));
}

inline void ExpectUninstallEntry(HKEY root, const std::wstring& target)
{
    const std::optional<RegString> name = ReadRegString(root, kUninstallKey, L"DisplayName");
    const std::optional<RegString> command = ReadRegString(root, kUninstallKey, L"UninstallString");
    ASSERT_TRUE(name && command);
    EXPECT_EQ(name->Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(name->Text, L"Werbfranko");
    EXPECT_EQ(command->Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(command->Text, L"\"" + target + L"\\DeInstalka.exe\"");
}

// The four program keys of the user hold the language; the machine has none.
inline void ExpectProgramKeys(DWORD jezyk)
{
    for (const wchar_t* program : kProgramKeys) {
        const std::wstring key = kProgramsBase + L"\\" + program;
        EXPECT_EQ(ReadRegDword(HKEY_CURRENT_USER, key, L"JezykInterfejsu"), jezyk) << Narrow(program);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << Narrow(program);
    }
}

// The interface language and the column the program keys record for it.
struct LanguageCase {
    TJezyk Jezyk;
    DWORD Expected;
};

// Everything an installation leaves outside its folder: settings, program keys, uninstall entry, the groups.
inline void ForgetSettingsAndGroups()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        DeleteTree32(root, L"SOFTWARE\\Zorvane");
        DeleteTree32(root, kUninstallKey);
    }
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        const std::wstring programs = ShellPath(csidl);
        if (!programs.empty()) RemoveTree(programs + L"\\Werbvoltan");
    }
}
