// Access lists of folders: the ones the installation makes, and the check before anything is left to a
// restart by path.
#include "install/Uprawnienia.h"

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

namespace {

bool PodWine()
{
    static const bool wine = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

// A SID kept as bytes; empty when it could not be had.
std::vector<BYTE> Sid(const wchar_t* tekst)
{
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(tekst, &sid)) return {};
    std::vector<BYTE> bajty(static_cast<const BYTE*>(sid), static_cast<const BYTE*>(sid) + GetLengthSid(sid));
    LocalFree(sid);
    return bajty;
}

std::vector<BYTE> UzytkownikProcesu()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    std::vector<BYTE> bufor(256);
    DWORD n = 0;
    const bool jest =
        GetTokenInformation(token, TokenUser, bufor.data(), static_cast<DWORD>(bufor.size()), &n) != FALSE;
    CloseHandle(token);
    if (!jest) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(bufor.data())->User.Sid;
    return std::vector<BYTE>(static_cast<const BYTE*>(sid), static_cast<const BYTE*>(sid) + GetLengthSid(sid));
}

bool Rowne(PSID sid, const std::vector<BYTE>& inny)
{
    return !inny.empty() && EqualSid(sid, const_cast<BYTE*>(inny.data()));
}

// Administrators, the system and the installer service of Windows. The user of an elevated process is not
// one of them: the same user's unelevated programs act as that SID too. Under Wine it is the Unix owner,
// whom no other account can act as.
bool Zaufany(PSID sid)
{
    static const std::vector<BYTE> trustedInstaller =
        Sid(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
    static const std::vector<BYTE> uzytkownik = PodWine() ? UzytkownikProcesu() : std::vector<BYTE>();
    return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid) ||
           Rowne(sid, trustedInstaller) || Rowne(sid, uzytkownik);
}

// Changing what the folder holds, or the folder itself.
constexpr ACCESS_MASK kZmianaZawartosci = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_EA |
                                          FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                          WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;
// Renaming or replacing a folder below, or the folder itself, or giving oneself that right.
constexpr ACCESS_MASK kZamiana = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL | MAXIMUM_ALLOWED;

// Whether only trusted SIDs own the object and are allowed any of prawa on it. Denials are not counted on:
// an allowance they would cancel still counts.
bool TylkoZaufaniMaja(PSID wlasciciel, PACL dacl, ACCESS_MASK prawa)
{
    // No DACL lets everyone in; an owner may always rewrite it.
    if (!dacl || !wlasciciel || !Zaufany(wlasciciel)) return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* naglowek = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&naglowek))) return false;
        if (naglowek->AceFlags & INHERIT_ONLY_ACE) continue;
        if (naglowek->AceType == ACCESS_DENIED_ACE_TYPE || naglowek->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE ||
            naglowek->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE || naglowek->AceType == SYSTEM_AUDIT_ACE_TYPE ||
            naglowek->AceType == SYSTEM_ALARM_ACE_TYPE)
            continue;
        // Other kinds of allowances are not read: they might grant anything.
        if (naglowek->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
        const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(naglowek);
        if (!(ace->Mask & prawa)) continue;
        PSID sid = const_cast<DWORD*>(&ace->SidStart);
        // OWNER RIGHTS are the owner's, checked above.
        if (!Zaufany(sid) && !IsWellKnownSid(sid, WinCreatorOwnerRightsSid)) return false;
    }
    return true;
}

bool TylkoZaufaniMaja(const std::wstring& katalog, ACCESS_MASK prawa)
{
    const DWORD atrybuty = GetFileAttributesW(katalog.c_str());
    if (atrybuty == INVALID_FILE_ATTRIBUTES || !(atrybuty & FILE_ATTRIBUTE_DIRECTORY) ||
        (atrybuty & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    PSECURITY_DESCRIPTOR sd = nullptr;
    PSID wlasciciel = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoW(katalog.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &wlasciciel, nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, decltype(&LocalFree)> zwolnij(sd, &LocalFree);
    return TylkoZaufaniMaja(wlasciciel, dacl, prawa);
}

// The folder part of a path without its trailing backslash, the root with it ("C:\"); empty above the root.
std::wstring Nadrzedny(const std::wstring& sciezka)
{
    const auto ukosnik = sciezka.find_last_of(L'\\');
    if (ukosnik == std::wstring::npos || ukosnik + 1 == sciezka.size()) return {};
    return ukosnik == 2 && sciezka[1] == L':' ? sciezka.substr(0, 3) : sciezka.substr(0, ukosnik);
}

} // namespace

DWORD UtworzKatalogZAcl(const std::wstring& katalog, const wchar_t* ace)
{
    DWORD blad = ERROR_INVALID_OWNER;
    for (const std::wstring& sddl : {L"O:BA" + std::wstring(ace), std::wstring(ace)}) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
            return GetLastError();
        SECURITY_ATTRIBUTES sa{sizeof sa, sd, FALSE};
        blad = CreateDirectoryW(katalog.c_str(), &sa) ? ERROR_SUCCESS : GetLastError();
        LocalFree(sd);
        // Only a token whose Administrators group may not own objects gets the second try.
        if (blad != ERROR_INVALID_OWNER) break;
    }
    return blad;
}

bool TylkoAdministratorzyZmieniaja(const std::wstring& katalog)
{
    std::wstring k = katalog;
    while (k.size() > 3 && k.back() == L'\\') k.pop_back();
    // A drive letter's path; a network share's rights are the server's.
    if (k.size() < 3 || k[1] != L':' || k[2] != L'\\') return false;
    if (!TylkoZaufaniMaja(k, kZmianaZawartosci)) return false;
    for (std::wstring wyzej = Nadrzedny(k); !wyzej.empty(); wyzej = Nadrzedny(wyzej))
        if (!TylkoZaufaniMaja(wyzej, kZamiana)) return false;
    return true;
}

bool PrzeniesPoRestarcie(const std::wstring& z, const std::wstring& na, DWORD flagi)
{
    for (const std::wstring* sciezka : {&z, &na}) {
        if (sciezka->empty()) continue;
        const std::wstring katalog = Nadrzedny(*sciezka);
        if (katalog.empty() || !TylkoAdministratorzyZmieniaja(katalog)) return false;
    }
    return MoveFileExW(z.c_str(), na.empty() ? nullptr : na.c_str(), flagi | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool ChronionyDlaAdministratorow(HANDLE katalog)
{
    PSID wlasciciel = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(katalog, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &wlasciciel,
                        nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, decltype(&LocalFree)> zwolnij(sd, &LocalFree);
    SECURITY_DESCRIPTOR_CONTROL kontrola = 0;
    DWORD wersja = 0;
    const bool chroniony =
        PodWine() || (GetSecurityDescriptorControl(sd, &kontrola, &wersja) && (kontrola & SE_DACL_PROTECTED));
    return chroniony && TylkoZaufaniMaja(wlasciciel, dacl, kZmianaZawartosci);
}
