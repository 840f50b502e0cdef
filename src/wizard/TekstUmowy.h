// The licence text of the CD: its file per language, its lines, and which bytes of a line are typed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "texts/untInstalTeksty.h"

// The licence file of a language in the CD root; empty for a language without one.
const char* PlikUmowy(TJezyk jezyk);

// Bytes that are letters of a national alphabet in the file's code page: Š Ś Ž Ź š ś ž ź Ł Ą Ş Ż ł ą ş ż
// in Windows-1250, and the upper quarter but × and ÷.
bool LiteraNarodowa(unsigned char bajt);
// ě and ń in Windows-1250 (ì and ñ in Windows-1252): a line that holds one is typed on every system.
bool ZnakWyzwalajacy(unsigned char bajt);
bool MaZnakWyzwalajacy(std::string_view linia);

// The lines of a text: a line ends at CR, LF or CR LF; a break at the very end opens no further line.
std::vector<std::string> LinieTekstu(std::string_view tekst);

// A line cut into what goes in as one piece of text and the national letters, each typed on its own.
struct TCzescLinii {
    std::string Tekst;
    bool Wpisana = false;  // one byte, a national letter
};
std::vector<TCzescLinii> CzesciLinii(std::string_view linia);
