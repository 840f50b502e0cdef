// The installation journal: one line per change, written before the change is made, with what undoing it
// needs; its text form and its reading. Portable: the engine (Instalacja) writes it and replays it.
//
// UTF-8 text, one entry a line ending in CR LF, fields separated by TAB; a field holding '%', TAB, CR or LF
// has them as %25, %09, %0D, %0A. The last field of every line is the FNV-1a hash (8 lower-case hex digits)
// of the bytes before its TAB: a line torn by a power cut or garbled shows.
//
//   WERBFRANKO-DZIENNIK  1                                 first line
//   run      PID  LANGUAGE  TARGET                         the run: its process, interface language, folder
//   folder   PATH                                          a folder about to be created
//   file     PATH                                          a file about to be created (nothing there before)
//   replace  PATH  BACKUP                                  a file about to be replaced: first renamed BACKUP
//   system   PATH  BACKUP|-                                a system file installed (- : none was there)
//   link     PATH  BACKUP|-                                a shortcut written, replacing BACKUP or nothing
//   group    PATH                                          a Start-menu group folder about to be created
//   key      HKCU|HKLM  KEY                                a registry key about to be created
//   value    HKCU|HKLM  KEY  NAME  TYPE|-  HEX             a value about to be written; what it held before
//                                                          (type and data in hex), or - when it did not exist
//   done     N  SIZE  SHA256                               entry N was written: its size and digest
//   none     N                                             entry N changed nothing (it was there already)
//   end                                                    the run succeeded; nothing is to be undone
//
// Entries are numbered from 1 in the order of their lines after the first; done, none and end lines count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "texts/untInstalTeksty.h"
#include "uninstall/RekordDeinstalacji.h"

inline constexpr const char* kNaglowekDziennika = "WERBFRANKO-DZIENNIK";

enum class TRodzajWpisu : std::uint8_t { Przebieg, Katalog, Plik, Zastapiony, Systemowy, Skrot, Grupa, Klucz,
                                         Wartosc, Wynik, Bez, Koniec, Nieczytelny };

struct TWpisDziennika {
    TRodzajWpisu Rodzaj = TRodzajWpisu::Plik;
    std::string Sciezka;        // a path; for key and value entries the key
    std::string Kopia;          // replace, system, link: where the old file was kept ("" none)
    TKorzen Korzen = TKorzen::HKCU;
    std::string Nazwa;          // a value's name
    bool BylaWartosc = false;   // a value: whether it existed before
    std::uint32_t Typ = 0;      // and then its type
    std::string Dane;           // and its data
    std::uint32_t Numer = 0;    // done, none: the entry it speaks of; run: the process
    std::uint64_t Rozmiar = 0;  // done: bytes written
    std::string Sha256;         // done: their digest
    TJezyk Jezyk = jzPolski;    // run
};

// One line of the journal with its CR LF.
std::string LiniaDziennika(const TWpisDziennika& wpis);
// The first line.
std::string NaglowekDziennika();

struct TOdczytDziennika {
    bool Naglowek = false;                 // the first line is a journal's of this version
    std::vector<TWpisDziennika> Wpisy;     // every line after the first; index + 1 is the entry number
    std::vector<int> Uszkodzone;           // entries that could not be read (torn or garbled): Nieczytelny
    bool Zakonczony = false;               // an end line was read
};

// Reads a journal; what cannot be read is listed, never guessed at. A last line without CR LF is torn.
TOdczytDziennika CzytajDziennik(std::string_view tekst);
