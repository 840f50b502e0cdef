// The description of the products of the family, indexed by the product number; this installer has row 1.
#pragma once

#include <cstdint>

struct TOpisProduktu {
    const char* Tytul;          // shown in the captions, the same in every language
    const char* NazwaKatalogu;  // the default target folder's last component
    const char* KluczUstawien;  // HKEY_CURRENT_USER / HKEY_LOCAL_MACHINE settings key
};

inline constexpr TOpisProduktu kOpisyProduktow[] = {
    {"Werbfranko", "Werbika", "SOFTWARE\\Zorvane\\Werbtron"},
};

// The row of a product number; nullptr for numbers without one.
inline const TOpisProduktu* OpisProduktu(std::int32_t numer)
{
    constexpr std::int32_t n = static_cast<std::int32_t>(sizeof kOpisyProduktow / sizeof kOpisyProduktow[0]);
    return numer >= 1 && numer <= n ? &kOpisyProduktow[numer - 1] : nullptr;
}
