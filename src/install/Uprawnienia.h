// Who may change a folder: the access lists of the folders the installation makes, and whether a path leads
// through folders that only administrators can change.
#pragma once

#include <windows.h>

#include <string>

// The aces of a product folder: Administrators and the system change it and what it holds, users read and
// run, nothing inherited from the folder it is made in (Program Files' rights, wherever the user puts it).
inline constexpr wchar_t kAceKataloguProduktu[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-3-4)";

// Creates the folder with the aces given in SDDL ("D:P(...)"), owned by Administrators where the token allows
// it; the Win32 error otherwise (ERROR_ALREADY_EXISTS when something is there).
DWORD UtworzKatalogZAcl(const std::wstring& katalog, const wchar_t* ace);

// Whether nobody but the administrators and the system can change the folder, or rename or replace it or any
// folder above it: a path below it then leads to the same place after a restart. False when a descriptor
// cannot be read. Under Wine the process's user stands for the Unix owner, and other Unix users for Everyone.
bool TylkoAdministratorzyZmieniaja(const std::wstring& katalog);

// Whether the open folder has the descriptor UtworzKatalogZAcl gives a folder only administrators may change:
// owned by the administrators or the system, its access list not inherited, nobody else allowed to change
// anything. Under Wine, which keeps no descriptor and no inheritance, the owner and the aces only.
bool ChronionyDlaAdministratorow(HANDLE katalog);

// MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT (na empty: deletes z), asked only where only administrators
// can change the folders on both paths: at the restart the system follows the paths as they are then, with
// its own rights. False when refused or not asked.
bool PrzeniesPoRestarcie(const std::wstring& z, const std::wstring& na = {}, DWORD flagi = 0);
