// The log of a run asked for with /LOG: UTF-8 text, a line per event, each with the local time, so that an
// administrator can read what one machine of thirty did. Written by the installer's steps and its engine, and
// by the uninstaller; a process without /LOG writes nothing.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "install/WinHandle.h"

class TProtokol {
public:
    TProtokol() = default;
    TProtokol(const TProtokol&) = delete;
    TProtokol& operator=(const TProtokol&) = delete;
    ~TProtokol() { Zamknij(); }

    // Creates (or empties) the file, and its folder when missing. False when it cannot be written.
    bool Otworz(const std::wstring& plik);
    bool Otwarty() const { return static_cast<bool>(FPlik); }
    // One line; the lines of a step are written out when the next step starts, or at the end.
    void Wpisz(std::string_view tekst);
    // A step of the run: a line that is written out at once, with what came before it.
    void Krok(std::string_view tekst);
    void Zamknij();

private:
    void Oproznij();

    UniqueHandle FPlik;
    std::string FBufor;
};

// The process's log.
extern TProtokol Protokol;

// %TEMP%\nazwa; empty when the temporary folder is unknown.
std::wstring DomyslnyProtokol(const wchar_t* nazwa);
// The system in a line: Windows version and build, 32 or 64 bits of this process and of the system, Wine's
// version when under Wine, the user's and the system's locale.
std::string OpisSystemu();
// A Windows error with its text: "5 (Access is denied.)".
std::string OpisBledu(DWORD kod);

// Writes the text to the standard output when it leads somewhere (a console the program was started from, a
// pipe or a file); false when there is none, and the caller shows a window instead.
bool WypiszNaKonsoli(std::string_view tekst);
