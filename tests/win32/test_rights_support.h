// Security descriptors as the tests read them: who may change a folder.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <string>
#include <vector>

#include "install/WinHandle.h"
#include "ui/Unicode.h"

// Wine shows a file's Unix permission bits as its descriptor.
inline bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

inline std::string SidText(PSID sid)
{
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "?";
    const std::string out = Narrow(text);
    LocalFree(text);
    return out;
}

inline bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return IsWellKnownSid(sid, type);
}

// The user of this process's token, as text.
inline std::string TokenUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    UniqueHandle owned(token);
    std::vector<BYTE> buf(256);
    DWORD n = 0;
    if (!GetTokenInformation(token, TokenUser, buf.data(), static_cast<DWORD>(buf.size()), &n)) return {};
    return SidText(reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid);
}

// Allowed ACEs that give any right to change the folder or what is in it go to Administrators or the system
// only. Wine keeps no descriptor of its own for a file, only Unix permission bits: the owner's bits show as
// an ACE of the process's user, the other users' bits as one of Everyone; so there the user's ACE is the
// administrators' and Everyone must have none. Elsewhere the owner must be Administrators or the system.
inline void ExpectWritableByAdministratorsOnly(const std::wstring& folder)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                    &owner, nullptr, &dacl, nullptr, &sd),
              static_cast<DWORD>(ERROR_SUCCESS));
    std::unique_ptr<void, decltype(&LocalFree)> freeSd(sd, &LocalFree);
    ASSERT_NE(dacl, nullptr) << "a null DACL lets everyone in";
    const bool wine = UnderWine();
    const std::string user = TokenUserSid();
    constexpr ACCESS_MASK changing = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                     FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                     GENERIC_ALL;
    int granting = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&header)));
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        PSID sid = &ace->SidStart;
        EXPECT_FALSE(IsWellKnown(sid, WinWorldSid)) << "Everyone has rights " << std::hex << ace->Mask;
        if (!(ace->Mask & changing)) continue;
        const bool admins = IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinLocalSystemSid) ||
                            (wine && SidText(sid) == user);
        EXPECT_TRUE(admins) << SidText(sid) << " may change the folder: rights " << std::hex << ace->Mask;
        granting += admins;
    }
    EXPECT_GT(granting, 0) << "not even the administrators may remove the folder";
    if (!wine) {
        EXPECT_TRUE(IsWellKnown(owner, WinBuiltinAdministratorsSid) || IsWellKnown(owner, WinLocalSystemSid))
            << "owned by " << SidText(owner) << ", who may change its DACL";
    }
}

// Everyone may change the folder and what it holds (Wine: the Unix bits of other users too).
inline bool LetEveryoneChange(const std::wstring& folder)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;OICI;FA;;;WD)(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)",
                                                              SDDL_REVISION_1, &sd, nullptr))
        return false;
    const std::unique_ptr<void, decltype(&LocalFree)> free(sd, &LocalFree);
    return SetFileSecurityW(folder.c_str(), DACL_SECURITY_INFORMATION, sd) != FALSE;
}
