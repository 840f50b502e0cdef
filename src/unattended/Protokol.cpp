// The log: lines collected in memory and written out at every step, so that 50,000 copied files do not cost
// 50,000 writes, and a step that hangs still shows where it began.
#include "unattended/Protokol.h"

#include <cstdio>
#include <vector>

#include "ui/Unicode.h"

TProtokol Protokol;

namespace {

constexpr std::size_t kBuforProtokolu = 65536;

bool UtworzFolderyNad(const std::wstring& plik)
{
    const std::size_t ukosnik = plik.find_last_of(L"\\/");
    if (ukosnik == std::wstring::npos || ukosnik < 3) return true;
    const std::wstring folder = plik.substr(0, ukosnik);
    const DWORD atrybuty = GetFileAttributesW(folder.c_str());
    if (atrybuty != INVALID_FILE_ATTRIBUTES) return (atrybuty & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return UtworzFolderyNad(folder) && (CreateDirectoryW(folder.c_str(), nullptr) ||
                                        GetLastError() == ERROR_ALREADY_EXISTS);
}

std::string Czas()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char tekst[32];
    std::snprintf(tekst, sizeof tekst, "%04u-%02u-%02u %02u:%02u:%02u.%03u  ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return tekst;
}

} // namespace

bool TProtokol::Otworz(const std::wstring& plik)
{
    Zamknij();
    if (plik.empty() || !UtworzFolderyNad(plik)) return false;
    // Readable by a watching administrator while it grows; never a link's target by surprise: a new file.
    FPlik.Reset(CreateFileW(plik.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FPlik) return false;
    // The byte order mark tells Notepad of older systems that this is UTF-8.
    FBufor = "\xEF\xBB\xBF";
    return true;
}

void TProtokol::Wpisz(std::string_view tekst)
{
    if (!FPlik) return;
    FBufor += Czas();
    // One event a line: a message's own line breaks are indented under it.
    for (char c : tekst) {
        if (c == '\r') continue;
        FBufor += c == '\n' ? std::string_view("\r\n                         ") : std::string_view(&c, 1);
    }
    FBufor += "\r\n";
    if (FBufor.size() >= kBuforProtokolu) Oproznij();
}

void TProtokol::Krok(std::string_view tekst)
{
    Wpisz(tekst);
    Oproznij();
}

void TProtokol::Oproznij()
{
    if (!FPlik || FBufor.empty()) return;
    DWORD zapisane = 0;
    WriteFile(FPlik.Get(), FBufor.data(), static_cast<DWORD>(FBufor.size()), &zapisane, nullptr);
    FBufor.clear();
}

void TProtokol::Zamknij()
{
    Oproznij();
    FPlik.Reset();
}

std::wstring DomyslnyProtokol(const wchar_t* nazwa)
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return {};
    return std::wstring(temp, n) + nazwa;
}

std::string OpisSystemu()
{
    // GetVersionEx lies to programs without a manifest entry for newer systems: the kernel's own numbers.
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW wersja{};
    wersja.dwOSVersionInfoSize = sizeof wersja;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (auto f = ntdll ? reinterpret_cast<TRtlGetVersion>(
                             reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")))
                       : nullptr)
        f(&wersja);
    std::string opis = "Windows " + std::to_string(wersja.dwMajorVersion) + "." +
                       std::to_string(wersja.dwMinorVersion) + " build " + std::to_string(wersja.dwBuildNumber);
    BOOL wow = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow);
    const bool system64 = sizeof(void*) == 8 || wow;
    opis += std::string(system64 ? ", 64-bit system" : ", 32-bit system") +
            (sizeof(void*) == 8 ? ", 64-bit process" : ", 32-bit process");
    using TWineVersion = const char*(__cdecl*)();
    if (auto f = ntdll ? reinterpret_cast<TWineVersion>(
                             reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "wine_get_version")))
                       : nullptr)
        opis += std::string(", Wine ") + f();
    opis += ", user locale " + std::to_string(GetUserDefaultLCID()) + ", system locale " +
            std::to_string(GetSystemDefaultLCID()) + ", ANSI code page " + std::to_string(GetACP());
    return opis;
}

std::string OpisBledu(DWORD kod)
{
    wchar_t* tekst = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, kod, 0, reinterpret_cast<LPWSTR>(&tekst), 0, nullptr);
    std::string opis = std::to_string(kod);
    if (n && tekst) {
        std::wstring w(tekst, n);
        while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L' ')) w.pop_back();
        opis += " (" + Narrow(w) + ")";
    }
    if (tekst) LocalFree(tekst);
    return opis;
}

bool WypiszNaKonsoli(std::string_view tekst)
{
    HANDLE wyjscie = GetStdHandle(STD_OUTPUT_HANDLE);
    // A GUI program has no console of its own: the one of the command prompt that started it, when there is one.
    if ((!wyjscie || wyjscie == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        wyjscie = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!wyjscie || wyjscie == INVALID_HANDLE_VALUE) return false;
    const std::string linia = std::string(tekst) + "\r\n";
    DWORD tryb = 0, zapisane = 0;
    if (GetConsoleMode(wyjscie, &tryb)) {
        // A console shows UTF-16 whatever its code page.
        const std::wstring w = Widen(linia);
        return WriteConsoleW(wyjscie, w.c_str(), static_cast<DWORD>(w.size()), &zapisane, nullptr) != 0;
    }
    return WriteFile(wyjscie, linia.data(), static_cast<DWORD>(linia.size()), &zapisane, nullptr) != 0;
}
