// Uninstallation helpers: file fingerprints, the record file on disk, registry keys of the record, and the
// removal of what a record names. No window handles: the uninstaller's form asks and shows progress.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/WinHandle.h"
#include "uninstall/RekordDeinstalacji.h"

// Paths, keys and names compared as Windows does: ordinal, letter case ignored.
bool TenSamTekst(std::string_view a, std::string_view b);

HKEY UchwytKorzenia(TKorzen korzen);
// Whether the key exists in the program's registry view.
bool KluczIstnieje(TKorzen korzen, std::string_view klucz);
// The key itself and its ancestors (not the root) that do not exist yet, outer first: asked before the key is
// created, the keys that creating it makes.
std::vector<std::string> BrakujaceKlucze(TKorzen korzen, std::string_view klucz);

// The size and SHA-256 of a file; nothing when it does not exist or cannot be read to its end.
std::optional<TPlikRekordu> OdciskPliku(std::string_view sciezka);

// Gives every file and link of the record its size and digest as they are now, drops those that are not
// there, and writes the record's text to sciezka (replacing a file there). False when nothing usable was
// written.
bool ZapiszPlikRekordu(std::string_view sciezka, TRekordDeinstalacji rekord);

// Why something the record names was left in place.
enum class TPowod : std::uint8_t {
    pwZmieniony,        // the file or link differs from what the installation left; kept by the user's answer
    pwNieUsuniety,      // it could not be read or deleted: in use, read-only, no rights
    pwNiePusty,         // a folder or key that holds what the installation did not put there
    pwInnaInstalacja,   // the registry names another installation of the product (another folder)
    pwPrzekierowany,    // a reparse point (junction, symbolic link) leads it to another place: never followed
};

struct TPozostawiony {
    std::string Co;  // a path, or "HKCU\key" / "HKCU\key \"value\""
    TPowod Powod;
};

struct TWynikUsuwania {
    int Pliki = 0;
    int Katalogi = 0;  // folders, the group folder included
    int Skroty = 0;
    int Rejestr = 0;   // values and keys
    std::vector<TPozostawiony> Pozostawione;
    std::vector<std::string> UsunieteZmienione;  // changed files removed by the user's answer
    std::vector<std::string> PoRestarcie;        // in use: the system removes them when it restarts
    // Something that a second run could still remove stays: so do a record of what is left, the uninstaller
    // and the uninstall entry.
    bool RekordPozostawiony = false;
    // All but the uninstaller and the target folder went (TObslugaUsuwania::DeinstalatorWUzyciu): the record now
    // names only those two, for the run that removes them once the uninstaller's file is free.
    bool ResztaNaPozniej = false;
};

struct TObslugaUsuwania {
    // Asked once with the files changed since the installation, when there are any: true removes them.
    std::function<bool(const std::vector<std::string>& zmienione)> UsunZmienione;
    // Before each item, with what comes next (the text shown) and how many items are done of how many.
    std::function<void(const std::string& co, int zrobione, int wszystkie)> Postep;
    // The uninstaller's file runs until this run has ended (the instance that waits for its exit code): the
    // last step is left to a later run, and the record rewritten to name just the uninstaller and its folder.
    bool DeinstalatorWUzyciu = false;
};

// The places of this product on this computer that a record may name: the current user's and all users'
// Programs and Desktop folders, the product's group names, its keys.
TMiejscaProduktu MiejscaProduktu();

// The target folder as a run holds it, from before its record is read to the end: opened without delete
// sharing, nobody can rename it or put a link in its place meanwhile.
enum class TStanCelu : std::uint8_t {
    scOtwarty,      // held, where its path says
    scBrak,         // not there
    scPrzekierowany, // a reparse point, or a path through one: it really is elsewhere
    scZablokowany,  // cannot be opened (held by another program, no rights) or not a folder
};

struct TCelDeinstalacji {
    TStanCelu Stan = TStanCelu::scBrak;
    UniqueHandle Uchwyt;  // scOtwarty: with the right to delete it when the process has it
    std::wstring Miejsce; // scOtwarty: where the system places it
};

// Opens katalog (no trailing backslash) as the target folder of a run.
TCelDeinstalacji OtworzCel(const std::string& katalog);

// Removes what the record names and nothing else: unchanged files (changed ones only when the user agrees),
// unchanged links, the values of the registry unless another installation owns them, then the keys, the group
// and the folders that are left empty, innermost first, then the uninstall entry, the record file plikRekordu,
// and last the uninstaller with the target folder: a run ended at any step is finished by the next one. A
// file is checked and deleted through one handle, and only where the record says it is: nothing is reached
// through a reparse point below the target, the Programs or the Desktop folder. Files in use are left to the next
// restart where only administrators can change their folders, and kept otherwise; when anything else that a
// second run could remove stays, the record is rewritten to what is left and the uninstaller and the uninstall
// entry stay with it. cel is the record's target folder as the caller holds it (OtworzCel); without it, the run
// opens it itself. The target folder goes through that handle.
TWynikUsuwania UsunZainstalowane(const TRekordDeinstalacji& rekord, std::string_view plikRekordu,
                                 const TMiejscaProduktu& miejsca, const TObslugaUsuwania& obsluga,
                                 TCelDeinstalacji* cel = nullptr);

// What a run of the uninstaller finds to work from in its folder.
enum class TStanZapisu : std::uint8_t {
    zsDobry,       // a sound record written for this folder
    zsResztka,     // no record, and the folder holds only a copy of the running uninstaller: what a run ended
                   // after it removed the record leaves
    zsBrak,        // no record, and not such a rest
    zsUszkodzony,  // a record that cannot be read, is damaged or reaches outside the product's places
    zsObcy,        // a sound record written for another folder
};

struct TZapisDeinstalacji {
    TStanZapisu Stan = TStanZapisu::zsBrak;
    // zsDobry, zsObcy: the record; zsResztka: the uninstaller (with the running one's size and digest) and the
    // folder; otherwise empty.
    TRekordDeinstalacji Rekord;
};

// Reads the record in katalog (no trailing backslash) for the uninstaller whose own file is obraz. Without a
// record, the folder is a finished run's rest only when it holds nothing but the product's uninstaller, that
// file has the bytes of obraz, and no uninstall entry of the product names a folder (here or elsewhere: only
// a record could say whose the entry is).
// cel is katalog as the caller holds it (OtworzCel); without it, the folder is opened here.
TZapisDeinstalacji ZapisDeinstalacji(const std::string& katalog, const std::string& obraz,
                                     const std::function<void()>& tetno = {}, const TCelDeinstalacji* cel = nullptr);

struct TOpisProduktu;
// The product's uninstall entry below the root: "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + name.
std::string KluczDeinstalacji(const TOpisProduktu& opis);
// The entry's command line for the uninstaller of an installation in katalog: its path, quoted because it
// may hold spaces (unquoted, Windows may start "C:\Program.exe" instead).
std::string PolecenieDeinstalacji(const TOpisProduktu& opis, std::string_view katalog);
