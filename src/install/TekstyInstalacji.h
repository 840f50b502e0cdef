// The installer's texts about its journal, in the two interface languages: the catalogue has none for them.
#pragma once

#include <string_view>

#include "texts/untInstalTeksty.h"

enum TTekstInstalacji : int {
    tiPrzerwana,          // "%s": product title; an earlier installation was interrupted and is undone now
    tiNieCofnieto,        // "%s": the list of what could not be undone
    tiInnaInstalacja,     // "%s": product title; another installation of it is running
    tiBrakDziennika,      // "%s": the folder of the journal that cannot be written
    tiBladWycofywanie,    // a failed installation being undone
    tiBrakZrodla,         // "%s", "%s": product title, the folder looked in; no product CD found there or on a drive
    kLiczbaTekstowInstalacji
};

// French for jzFrancuski, Polish for every other language; UTF-8.
std::string_view TekstInstalacji(TJezyk jezyk, TTekstInstalacji numer);
