// The uninstallation record "DeInstalka.dat": what a successful installation put on the system, in a text
// format the uninstaller reads back; writing, reading and the checks that keep a damaged record harmless.
//
// The format (version 1). UTF-8 without a byte-order mark; every line ends with CR LF; the fields of a line
// are separated by one TAB. Paths are absolute Windows paths on a drive ("C:\..."), without a trailing
// backslash, exactly as the installer wrote them. Registry roots are "HKCU" or "HKLM", keys are paths below the
// root in the installer's (32-bit) registry view.
//
//   WERBFRANKO-DEINSTALKA<TAB>1                         first line
//   target<TAB>PATH                                     the target folder; once, before the entries
//   language<TAB>N                                      the interface language of the installation (TJezyk)
//   file<TAB>SIZE<TAB>SHA256<TAB>PATH                   a file written into the target folder
//   folder<TAB>PATH                                     a folder the installation created, outer before inner
//   group<TAB>PATH                                      the Start-menu group folder
//   link<TAB>SIZE<TAB>SHA256<TAB>PATH                   a shortcut (".lnk") the installation made
//   key<TAB>ROOT<TAB>KEY                                a key removed once it holds nothing
//   value<TAB>ROOT<TAB>KEY<TAB>NAME                     a value the installation wrote
//   end<TAB>LINES<TAB>SHA256                            last line
//
// SIZE is the size in bytes in decimal; SHA256 is 64 lower-case hex digits. In the end line LINES counts the
// lines before it (the first line included) and SHA256 is the digest of every byte before it: a record that
// was cut short or garbled by accident no longer matches and is refused as a whole. The digest is no secret
// and proves nothing about who wrote the record: anyone who can write the target folder can write a record
// with a matching end line. What keeps an edited record harmless are the rules of its lines, checked against
// the places of this product on this computer: files and folders lie in the target folder (the target itself
// may be a folder entry); the group is a Programs folder (of the user or of all users) plus the product's group
// name; a link ends in ".lnk" and lies in such a group or directly in a Programs or Desktop folder; keys and
// values lie at or below the vendor's key ("SOFTWARE\Zorvane") or in the product's uninstall entry (whose
// parent, the list of programs, may be a key entry too: the installation creates it when missing). No part of
// a path is empty, ".", "..", a device name (CON, NUL, COM1...) or ends in a dot or a space; UNC, "\\?\" and
// "\\.\" forms are refused. The record does not name itself: the uninstaller removes it after the entries.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "texts/untInstalTeksty.h"

inline constexpr const char* kPlikRekordu = "DeInstalka.dat";

enum class TKorzen : std::uint8_t { HKCU, HKLM };

// A file as it was left: its size and SHA-256.
struct TPlikRekordu {
    std::string Sciezka;
    std::uint64_t Rozmiar = 0;
    std::string Sha256;
};

struct TKluczRekordu {
    TKorzen Korzen = TKorzen::HKCU;
    std::string Klucz;
};

struct TWartoscRekordu {
    TKorzen Korzen = TKorzen::HKCU;
    std::string Klucz;
    std::string Nazwa;
};

struct TRekordDeinstalacji {
    std::string Katalog;  // the target folder
    TJezyk Jezyk = jzPolski;
    std::vector<TPlikRekordu> Pliki;
    std::vector<std::string> Katalogi;
    std::vector<std::string> Grupy;
    std::vector<TPlikRekordu> Skroty;
    std::vector<TKluczRekordu> Klucze;
    std::vector<TWartoscRekordu> Wartosci;

    // Each key and value once: the installer records as it writes, and writes some keys in two steps.
    void DodajKlucz(TKorzen korzen, std::string_view klucz);
    void DodajWartosc(TKorzen korzen, std::string_view klucz, std::string_view nazwa);
};

// The record's text; nothing when a field cannot be written (a TAB, CR, LF or NUL in it, an empty path).
std::optional<std::string> TekstRekordu(const TRekordDeinstalacji& rekord);

enum class TWynikRekordu : std::uint8_t {
    wrDobrze,
    wrNaglowek,  // not a record of this format and version
    wrKoniec,    // no end line, or bytes after it: cut short or appended to
    wrSuma,      // the end line does not match what stands before it
    wrWiersz,    // a line the format does not know, or a field out of its rules
};

struct TOdczytRekordu {
    TWynikRekordu Wynik = TWynikRekordu::wrDobrze;
    int Wiersz = 0;  // the line at fault (from 1), 0 when the fault is not one line's
    TRekordDeinstalacji Rekord;
};

// Where, outside the target folder, a record of this product may name things on this computer.
struct TMiejscaProduktu {
    std::vector<std::string> FolderySkrotow;  // the Programs and Desktop folders of the user and of all users
    std::vector<std::string> Grupy;           // every Programs folder + every group name of the product
    std::vector<std::string> KluczeProduktu;  // the vendor's keys: keys and values at or below them
    std::string KluczDeinstalacji;            // the product's uninstall entry
};

// The list of installed programs the uninstall entry lies in, below the root.
inline constexpr const char* kKluczeDeinstalacji = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Reads a record; any fault, an entry outside the product's places included, refuses the whole record
// (Rekord is then empty). tetno, when given, is called every thousand lines or so: a record of a large
// installation takes a while.
TOdczytRekordu CzytajRekord(std::string_view tekst, const TMiejscaProduktu& miejsca,
                            const std::function<void()>& tetno = {});

// Whether a path is absolute on a drive ("C:\...") and every part of it a plain name: not empty, not "." or
// "..", no device name, no ':' or wildcard, no dot or space at its end.
bool SciezkaBezpieczna(std::string_view sciezka);
// Whether sciezka is katalog itself or lies below it (bytes compared as written).
bool WKatalogu(std::string_view sciezka, std::string_view katalog);
// The same with ASCII letters compared without regard to case, as Windows compares paths and keys.
bool WKataloguBezWielkosci(std::string_view sciezka, std::string_view katalog);
