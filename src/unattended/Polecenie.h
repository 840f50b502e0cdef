// The command line of an unattended run: the options of the installer and of the uninstaller, the exit codes
// they return, and the rest of a command line that a relaunched copy is given unchanged.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "texts/untInstalTeksty.h"

// What the process returns, for the scripts of administrators.
enum TKodWyjscia : int {
    kwZainstalowano = 0,   // installed (the uninstaller: removed)
    kwZlePolecenie = 1,    // the command line is wrong
    kwPrzerwano = 2,       // cancelled by the user
    kwBlad = 3,            // failed and rolled back
    kwBrakMiejsca = 4,     // not enough free space
    kwBrakZrodla = 5,      // no product CD or source found
    kwInnaInstalacja = 6,  // another installation of the product is running
    kwNiecofnieta = 7,     // an earlier interrupted installation could not be undone
    kwPozostawiono = 8,    // the uninstaller removed the product but kept items (listed in the log)
    kwBrakRekordu = 9,     // the uninstaller found no usable record
};

enum class TTryb { Okna, Cichy, BardzoCichy };
enum class TProgram { Instalator, Deinstalator };

struct TPolecenie {
    TTryb Tryb = TTryb::Okna;           // /SILENT, /VERYSILENT
    bool BezKomunikatow = false;        // /SUPPRESSMSGBOXES
    std::optional<std::string> Katalog; // /DIR
    std::optional<TJezyk> Jezyk;        // /LANG
    bool BezSlownikow = false;          // /NODICTIONARIES
    std::optional<std::string> Zrodlo;  // /SOURCE
    std::optional<std::string> Log;     // /LOG; empty for the default file
    bool Pomoc = false;                 // /? or /HELP
    bool Opcje = false;                 // any argument was given
    std::string Blad;                   // the first argument not understood, as given; empty when all were
    bool BrakWartosci = false;          // ... because its value is missing

    // Nobody is there to answer: a question takes its default answer and a message goes to the log only.
    // A very silent run shows no window at all, so it never asks.
    bool BezPytan() const { return Tryb == TTryb::BardzoCichy || BezKomunikatow; }
};

// Reads the arguments (without the program's name; UTF-8): options start with '/' or '-', in any order, names
// in any letter case, a value after '='. The uninstaller knows only the modes, /SUPPRESSMSGBOXES, /LOG and help.
TPolecenie CzytajPolecenie(const std::vector<std::string>& argumenty, TProgram program);

// The command line after the program's name, as typed: the name ends by the rules CreateProcess parses it by
// (quoted, or up to the first blank); the blanks after it are dropped.
std::wstring_view ResztaPolecenia(std::wstring_view linia);

// The arguments again as a command line for a copy that runs in another folder, each after a blank: quoted as
// CommandLineToArgvW reads it back, and the file of /LOG and the folder of /SOURCE made full paths by pelna,
// since a name relative to this process's folder would mean the copy's.
std::string PolecenieDlaKopii(const std::vector<std::string>& argumenty,
                              const std::function<std::string(const std::string&)>& pelna);

// The options and the exit codes, in the interface language, for /? and /HELP (CR LF lines).
std::string TekstPomocy(TJezyk jezyk, TProgram program);
// The message for an argument that was not understood.
std::string TekstBleduPolecenia(TJezyk jezyk, const TPolecenie& polecenie);
