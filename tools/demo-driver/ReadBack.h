// Reading back what an installation left: shell links, registry values, the links product 1 is expected to get.
// For the demo's report and the tests.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <optional>
#include <string>

#include "install/WinHandle.h"

// The registry as the 32-bit product sees it (HKLM's Wow6432Node on 64-bit Windows), whatever this program's build.
inline constexpr REGSAM kView32 = KEY_WOW64_32KEY;

struct LinkContents {
    std::wstring Target;
    std::wstring WorkingDirectory;
    std::wstring Description;
};

// A .lnk file loaded through the shell link object (COM initialised on the thread); nothing when it cannot be
// loaded. The target is the one of the link's item list, which holds the names in UTF-16 and is what the shell
// resolves: Wine 8 keeps the path it returns from GetPath in the ANSI code page, so that a Polish letter on a
// Western system comes back as its nearest Latin one.
inline std::optional<LinkContents> ReadLink(const std::wstring& file)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return std::nullopt;
    std::optional<LinkContents> out;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
            wchar_t path[MAX_PATH] = {}, dir[MAX_PATH] = {}, description[INFOTIPSIZE] = {};
            PIDLIST_ABSOLUTE items = nullptr;
            if (SUCCEEDED(link->GetIDList(&items)) && items && SHGetPathFromIDListW(items, path) &&
                SUCCEEDED(link->GetWorkingDirectory(dir, MAX_PATH)) &&
                SUCCEEDED(link->GetDescription(description, INFOTIPSIZE)))
                out = LinkContents{path, dir, description};
            CoTaskMemFree(items);
        }
        persist->Release();
    }
    link->Release();
    return out;
}

struct RegString {
    DWORD Type = REG_NONE;
    std::wstring Text;
};

// A string value in the 32-bit view; nothing when the key or the value is missing.
inline std::optional<RegString> ReadRegString(HKEY root, const std::wstring& key, const wchar_t* value)
{
    UniqueRegKey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | kView32, k.Receive()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegGetValueW(k.Get(), nullptr, value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, nullptr,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(k.Get(), nullptr, value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type,
                     text.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(std::wcslen(text.c_str()));
    return RegString{type, text};
}

inline std::optional<DWORD> ReadRegDword(HKEY root, const std::wstring& key, const wchar_t* value)
{
    UniqueRegKey k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | kView32, k.Receive()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD data = 0, size = sizeof data;
    if (RegGetValueW(k.Get(), nullptr, value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

inline bool KeyExists(HKEY root, const std::wstring& key)
{
    UniqueRegKey k;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | kView32, k.Receive()) == ERROR_SUCCESS;
}

// RegDeleteTreeW in the 32-bit view: through the parent key opened in that view.
inline LSTATUS DeleteTree32(HKEY root, const std::wstring& key)
{
    const size_t slash = key.find_last_of(L'\\');
    UniqueRegKey parent;
    const LSTATUS r = RegOpenKeyExW(root, slash == std::wstring::npos ? L"" : key.substr(0, slash).c_str(), 0,
                                    KEY_ALL_ACCESS | kView32, parent.Receive());
    if (r != ERROR_SUCCESS) return r;
    return RegDeleteTreeW(parent.Get(), key.substr(slash == std::wstring::npos ? 0 : slash + 1).c_str());
}

// The product's programs in the target folder and the links they get in Polish and French, in table order.
struct Program {
    const wchar_t* File;
    const wchar_t* Link;
};
inline constexpr Program kPrograms[] = {
    {L"Werbika.exe", L"Translator francusko-polski"},
    {L"Werbilo.exe", L"Translator polsko-francuski"},
    {L"SlZewFr.exe", L"Słownik francusko-polski"},
    {L"SlZewPl.exe", L"Słownik polsko-francuski"},
    {L"fr_gram.hlp", L"Gramatyka francuska"},
    {L"fr_czas.hlp", L"Francuskie czasowniki nieregularne"},
    {L"Trans.hlp", L"Pomoc do translatora"},
    {L"Sl_Zew.hlp", L"Pomoc do słownika"},
    {L"DeInstalka.exe", L"Deinstalator"},
};
