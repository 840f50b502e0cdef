// The description of the products of the family, indexed by the product number; this installer has row 1.
#pragma once

#include <cstdint>
#include <span>

// Names of CD files that the installation does not copy as they are: the program files it writes from its
// own resources, and the dictionaries, left out when the user does not want them. Lower case, no path.
inline constexpr const char* kProgramyProduktu1[] = {"werbika.exe"};
inline constexpr const char* kSlownikiProduktu1[] = {"slzewfr.exe", "slzewpl.exe", "frpol.sz", "polfr.sz"};
// The program keys of the programs with codes 1, 3, 5 and 7 of the product.
inline constexpr const char* kProgramyUstawienProduktu1[] = {"Trans", "TrInt", "ExtDict", "TrFile"};

struct TOpisProduktu {
    const char* Tytul;          // shown in the captions, the same in every language
    const char* NazwaKatalogu;  // the default target folder's last component
    const char* KluczUstawien;  // HKEY_CURRENT_USER / HKEY_LOCAL_MACHINE settings key
    std::span<const char* const> PlikiProgramu;  // excluded from the count and the copy
    std::span<const char* const> PlikiSlownikow; // excluded when the dictionaries are not installed
    // The registry: the product's programs read their settings and the interface language from these keys.
    const char* KluczProgramow;   // base key of the program keys
    std::span<const char* const> ProgramyUstawien;  // names of the program keys under it
    const char* NazwaDeinstalacji;  // key name under "...\CurrentVersion\Uninstall"
    const char* Deinstalator;       // the uninstaller's file name in the target folder
    const char* Wersja;
    const char* TytulJezykaProduktu;  // the uninstall entry's name in the product's own foreign language
    const char* TytulInnychJezykow;   // ... and in every other language
};

inline constexpr TOpisProduktu kOpisyProduktow[] = {
    {"Werbfranko", "Werbika", "SOFTWARE\\Zorvane\\Werbtron", kProgramyProduktu1, kSlownikiProduktu1,
     "SOFTWARE\\Zorvane\\Werbix", kProgramyUstawienProduktu1, "Werbtron", "DeInstalka.exe", "1.0", "Werbfranko",
     "Werbfranko"},
};

// The row of a product number; nullptr for numbers without one.
inline const TOpisProduktu* OpisProduktu(std::int32_t numer)
{
    constexpr std::int32_t n = static_cast<std::int32_t>(sizeof kOpisyProduktow / sizeof kOpisyProduktow[0]);
    return numer >= 1 && numer <= n ? &kOpisyProduktow[numer - 1] : nullptr;
}
