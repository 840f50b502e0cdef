// Installation helpers: relaunch from a temporary copy, the installation flag, drives and free space, the
// exclusion list and folder size, interface font and languages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "install/WinHandle.h"
#include "texts/untInstalTeksty.h"
#include "uninstall/Sha256.h"

// Start-up values, fixed by the program entry before the first form exists.
extern std::int32_t NumerProduktu;   // row of every per-product table; 1
extern TJezyk JezykProduktu;         // the product's foreign language; jzFrancuski
extern bool CzyscFlageInstalacji;    // false once this process handed over to its copy
extern HWND OknoAplikacji;           // owner window of the relaunch; nullptr until the application window exists
extern std::string CzcionkaInterfejsu;  // "Arial" or "Tahoma", chosen by WybierzCzcionke

// Copies plik into a new folder of its own inside the temporary folder as nazwaKopii (numbered when taken),
// starts the copy with parametry (and that folder as its current folder) and a hidden cmd that runs a batch
// file deleting the copy once it has ended, then the folder. An elevated process makes the folder writable for
// administrators only; a handle that shares no deleting keeps the folder in place from its making on, and the
// copy keeps the batch file open so that nobody can write it while it runs. True when both run. Silent: every
// failure returns false; a folder that cannot be made ends the relaunch as a copy that cannot be made does.
// kopia, when given, receives the copy's process once it runs (also when the cmd then fails to start).
bool UruchomKopie(std::string_view plik, std::string_view nazwaKopii, std::string_view parametry,
                  UniqueHandle* kopia = nullptr);

// Waits for the copy to end, the thread's messages answered meanwhile (a window of this process that does not
// answer holds up every program that broadcasts), and returns its exit code.
int KodZakonczenia(HANDLE proces);

// The name of that folder: the prefix, 16 random hexadecimal digits, the suffix.
inline constexpr char kRelaunchFolderPrefix[] = "werb-";
inline constexpr char kRelaunchFolderSuffix[] = ".tmp";

// Where an open file or folder really is ("C:\..."), every reparse point on the way resolved; empty when the
// system cannot say, or on a network.
std::wstring MiejsceUchwytu(HANDLE h);

// What the relaunch's cmd runs in the private folder folderName: the batch file, then the folder removed from
// its parent. Names only, in ASCII: nothing of the user's temporary folder's path reaches cmd's line.
std::wstring RelaunchCommands(const std::wstring& batchName, const std::wstring& folderName);

// The batch file (CR LF, ASCII) that cmd runs in the copy's folder: it deletes the copy until it can, a second
// apart and a minute at most, then itself. kopia and plikWsadowy are names in that folder, never paths: only
// ASCII letters, digits, '.', '-' and '_', so that no code page, short name or cmd expansion changes them.
// Empty for any other name.
std::optional<std::string> DeletingBatchText(std::string_view kopia, std::string_view plikWsadowy);

// The process is a member of Administrators, that is elevated: its relaunch folder is then its own.
bool RunsAsAdministrator();

// HKCU "InstallationInProgress" of the product's settings key: 1 (creating the key) or 0 (existing key only).
void UstawFlageInstalacji(std::int32_t produkt, bool wartosc);

// The running executable: its full path, and its folder with trailing backslash ("" on failure).
std::string SciezkaAplikacji();
std::string KatalogAplikacji();

// Root of the drive of a path: "C:\x" -> "C:\", "\\server\share\x" -> "\\server\share\", "foo" -> "".
std::string KorzenDysku(std::string_view sciezka);
// GetDriveTypeW of that root; 0 when the path names no drive.
int TypDysku(std::string_view sciezka);
// The roots of the drives of one type ("D:\"), in capitals, in the system's order.
std::vector<std::string> NapedyTypu(UINT typ);

// True when the system's font enumeration reports a font of the family in that character set.
bool RodzinaMaZestaw(std::string_view rodzina, BYTE zestaw);
// Sets CzcionkaInterfejsu: Arial, unless Arial lacks EASTEUROPE_CHARSET and Tahoma has it.
void WybierzCzcionke();

// Character set of a language of the product family (0..12); EASTEUROPE_CHARSET for unknown ones.
BYTE ZestawZnakow(TJezyk jezyk);

// Language of a locale identifier; jzPolski for every locale without its own row.
TJezyk JezykLokalu(LCID lokal);
// Language of the current thread's locale.
TJezyk JezykSystemu();

// The exclusion list: entries "<name>" of CD files and folders that are neither counted nor copied. The fixed
// names, the product's program files, the running installer's own file name in lower case, and the
// product's dictionaries unless slowniki. Empty for a product number without a row.
std::string ListaWykluczen(std::int32_t produkt, bool slowniki);
// Whether "<nazwa>" is an entry of lista, letter case ignored by the Windows rules.
bool NaLiscieWykluczen(std::string_view lista, std::string_view nazwa);

// Bytes of the files in a folder tree (katalog without trailing backslash), skipping every entry on the
// exclusion list together with what lies below it. Sizes are 64-bit; an unreadable folder counts 0. tetno,
// when given, is called at every folder.
std::int64_t RozmiarKatalogu(std::string_view katalog, std::string_view lista,
                             const std::function<void()>& tetno = {});

// The full path of a name relative to the current folder (GetFullPathName); empty when it cannot be made.
std::string PelnaSciezka(const std::string& nazwa);

// Whether a folder of that path exists.
bool KatalogIstnieje(std::string_view katalog);

// Creates (or truncates) a normal file for writing. A read-only file refuses, as on Windows, also where the
// file system would let the write through (Wine run as root). An empty handle on failure.
UniqueHandle NowyPlik(std::string_view sciezka);

// Size of the installation's one copy buffer.
inline constexpr std::size_t kRozmiarBuforaKopii = 32768;

// Copies zrodlo into cel, a new normal file (an existing one is truncated), one read and one write of bufor
// per block, calling poBloku with the size of each block written; odcisk, when given, takes the bytes as they
// are written. Raises EInOutError naming the file when either cannot be opened, read or written; a partly
// written target stays.
void KopiujPlikBlokami(std::string_view zrodlo, std::string_view cel, std::span<std::uint8_t> bufor,
                       const std::function<void(std::uint32_t)>& poBloku, TOdcisk* odcisk = nullptr);

// A shared file of the system folder that the installation updates when the installed one is older.
struct TPlikSystemowy {
    const char* Nazwa;
    int Major;
    int Minor;
};
inline constexpr TPlikSystemowy kPlikiSystemowe[] = {{"comctl32.dll", 4, 72}, {"comctl32.ocx", 5, 1}};

// Whether the "FileVersion" of the file's first translation is at least major.minor; false without version
// information. Fields that are not numbers count 0.
bool WersjaPlikuCoNajmniej(std::string_view sciezka, int major, int minor);

// Copies zrodlo (with trailing backslash) + nazwa into the system folder unless the file there is new enough
// or protected by the system. True when the system folder then holds a usable copy (or there is none).
// zmien, when given, makes the change: it is called with the system file's path and the copy, which it runs
// once it has recorded what undoing the change needs (the installation's journal); it returns whether the
// file was put in place.
using TZmianaSystemowa = std::function<bool(const std::string& plik, const std::function<bool()>& kopiuj)>;
bool InstalujPlikSystemowy(std::string_view nazwa, std::string_view zrodlo, int major, int minor,
                           const TZmianaSystemowa& zmien = {});

// Drive number of a path: 0 for an empty path, else its first character in upper case minus 64 (D: gives 4).
int NumerDysku(std::string_view sciezka);
// Bytes free to this user on a drive (0 the current drive, 1 A:, ...); -1 when the drive does not exist or
// cannot be queried.
std::int64_t WolneMiejsceDysku(int numer);

// ---- Shortcuts and the registry settings; the code page of a language ----

// The Start-menu Programs folder and the Desktop folder from the "Shell Folders" values: the shared ones
// when wszyscy and the system has them, else the user's; empty when unknown. Nothing is created.
std::string FolderProgramy(bool wszyscy);
std::string FolderPulpit(bool wszyscy);

// A shell link (".lnk") to cel, started in cel's folder, with that description; an existing link is
// overwritten. False on any error.
bool UtworzSkrot(std::string_view cel, std::string_view plikSkrotu, std::string_view opis);

// Whether a file (not a folder) of that path exists.
bool PlikIstnieje(std::string_view sciezka);
// The bytes of a whole file; nothing when it cannot be opened or read.
std::optional<std::string> CzytajPlik(std::string_view sciezka);

// The ANSI code page of a language's character set (1250, 1252, 1251), and single-byte text of that code
// page as UTF-8.
UINT StronaKodowa(TJezyk jezyk);
std::string ZeStronyKodowej(std::string_view bajty, UINT strona);

// A registry value that could not be written.
class ERegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One open key at a time under a root, with the access that OpenKey asks for. Opening reports failure by
// its result; writing raises ERegistryError.
class TRegistry {
public:
    TRegistry() = default;
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;
    ~TRegistry();

    void SetRootKey(HKEY root);  // closes the open key
    void SetAccess(REGSAM access);
    // Closes the open key and opens key (a path below the root), creating it when allowed and missing.
    bool OpenKey(std::string_view key, bool create);
    void CloseKey();
    void WriteString(std::string_view name, std::string_view value);   // REG_SZ
    void WriteInteger(std::string_view name, std::int32_t value);      // REG_DWORD

private:
    void Write(std::string_view name, DWORD type, const void* data, DWORD size);

    HKEY FRoot = HKEY_CURRENT_USER;
    REGSAM FAccess = KEY_ALL_ACCESS;
    HKEY FKey = nullptr;
};
