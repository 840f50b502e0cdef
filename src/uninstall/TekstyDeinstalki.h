// The uninstaller's own texts in the two interface languages of the product: the catalogue has none for it.
#pragma once

#include <string_view>

#include "texts/untInstalTeksty.h"

enum TTekstDeinstalki : int {
    tdTytul,             // "%s": product title; the window's caption
    tdPytanie,           // "%s": product title
    tdZmienione,         // "%d %s": number of changed files, their list
    tdUsuwanie,          // "%s": product title
    tdUsunietoWszystko,  // "%s": product title
    tdUsunietoCzesc,     // "%s": product title
    tdLiczby,            // "%d %d %d %d": files, folders, shortcuts, registry entries removed
    tdPozostawiono,
    tdIInne,             // "%d": how many more
    tdBrakRekordu,       // "%s %s": product title, the record's path
    tdRekordUszkodzony,  // "%s %s": product title, the record's path
    tdRekordObcy,        // "%s %s %s": product title, the record's path, the folder it names
    tdPowodZmieniony,
    tdPowodNieUsuniety,
    tdPowodNiePusty,
    tdPowodInnaInstalacja,
    tdPowodPrzekierowany,
    tdIInneNaKoncu,       // "%d": how many more; the closing message names them
    tdUsunieteZmienione,
    tdPoRestarcie,
    tdRekordPozostawiony,  // "%s": the record's path
    tdCelNiepewny,         // "%s %s": product title, the target folder
    kLiczbaTekstowDeinstalki
};

// French for jzFrancuski, Polish for every other language; UTF-8.
std::string_view TekstDeinstalki(TJezyk jezyk, TTekstDeinstalki numer);
