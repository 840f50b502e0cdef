// Installation helpers: relaunch from a temporary copy, the installation flag, drives and free space, the
// exclusion list and folder size, interface font and languages.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "texts/untInstalTeksty.h"

// Start-up values, fixed by the program entry before the first form exists.
extern std::int32_t NumerProduktu;   // row of every per-product table; 1
extern TJezyk JezykProduktu;         // the product's foreign language; jzFrancuski
extern bool CzyscFlageInstalacji;    // false once this process handed over to its copy
extern HWND OknoAplikacji;           // owner window of the relaunch; nullptr until the application window exists
extern std::string CzcionkaInterfejsu;  // "Arial" or "Tahoma", chosen by WybierzCzcionke

// Copies plik into the temporary folder as nazwaKopii (numbered when taken), starts the copy with
// parametry and a hidden batch file that deletes the copy once it has ended. True when both run.
// Silent: every failure returns false.
bool UruchomKopie(std::string_view plik, std::string_view nazwaKopii, std::string_view parametry);

// The four lines (CR LF, ANSI) of the batch file that deletes the copy until it can, then itself. Both files
// must exist: a path that cmd could misread (non-ASCII) is spelled by its short form. Empty when some path
// cannot be spelled in the ANSI code page at all.
std::optional<std::string> DeletingBatchText(std::string_view kopia, std::string_view plikWsadowy);

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
// exclusion list together with what lies below it. Sizes are 64-bit; an unreadable folder counts 0.
std::int64_t RozmiarKatalogu(std::string_view katalog, std::string_view lista);

// Drive number of a path: 0 for an empty path, else its first character in upper case minus 64 (D: gives 4).
int NumerDysku(std::string_view sciezka);
// Bytes free to this user on a drive (0 the current drive, 1 A:, ...); -1 when the drive does not exist or
// cannot be queried.
std::int64_t WolneMiejsceDysku(int numer);
