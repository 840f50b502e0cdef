// The shortcuts of the product family: which links exist, for which products and languages, and the name
// of each product's Start-menu group.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "texts/untInstalTeksty.h"

// Where a row's link may go.
inline constexpr std::uint8_t kSkrotPulpitTranslatora = 1;  // desktop, when translators' links are wanted
inline constexpr std::uint8_t kSkrotPulpitSlownika = 2;     // desktop, when dictionaries' links are wanted
inline constexpr std::uint8_t kSkrotGrupa = 4;              // the Start-menu group

// A set of product numbers 0..255.
struct TZbiorProduktow {
    std::array<std::uint64_t, 4> Bity{};

    static constexpr TZbiorProduktow Z(std::initializer_list<int> numery)
    {
        TZbiorProduktow z;
        for (int n : numery)
            if (n >= 0 && n <= 255) z.Bity[static_cast<std::size_t>(n) / 64] |= std::uint64_t{1} << (n % 64);
        return z;
    }
    constexpr bool Zawiera(std::int32_t numer) const
    {
        return numer >= 0 && numer <= 255 && ((Bity[static_cast<std::size_t>(numer) / 64] >> (numer % 64)) & 1);
    }
};

// A set of interface languages 0..15.
struct TZbiorJezykow {
    std::uint16_t Bity = 0;

    static constexpr TZbiorJezykow Z(std::initializer_list<int> jezyki)
    {
        TZbiorJezykow z;
        for (int j : jezyki)
            if (j >= 0 && j <= 15) z.Bity = static_cast<std::uint16_t>(z.Bity | (1u << j));
        return z;
    }
    constexpr bool Zawiera(int jezyk) const { return jezyk >= 0 && jezyk <= 15 && ((Bity >> jezyk) & 1); }
};

struct TSkrot {
    std::uint8_t Flagi = 0;
    TZbiorProduktow Produkty;
    TZbiorJezykow Jezyki;
    const char* Plik = "";   // the program, relative to the target folder
    const char* Nazwa = "";  // the link's file name without ".lnk", and its description
};

inline constexpr int kLiczbaSkrotow = 256;
// Every shortcut of the family; unused rows have empty sets and apply to nothing.
extern const std::array<TSkrot, kLiczbaSkrotow> TabelaSkrotow;

// Whether a row is meant for the product and the interface language.
constexpr bool SkrotPasuje(const TSkrot& skrot, std::int32_t produkt, int jezyk)
{
    return skrot.Produkty.Zawiera(produkt) && skrot.Jezyki.Zawiera(jezyk);
}

inline constexpr int kLiczbaGrup = 21;         // product numbers 0..20
inline constexpr int kJezykiNazwGrup = 13;     // the family's languages 0..12
// The Start-menu group of a product in a language; empty when the product has none in that language.
const char* NazwaGrupy(std::int32_t produkt, int jezyk);
