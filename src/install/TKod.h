// The settings code: text to a string of table characters that any registry value holds, and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How the values of the product's settings key are coded; the product's programs decode with the same.
inline constexpr bool kFlagaUstawien = false;
inline constexpr int kPoziomUstawien = 5;

// The parameters the code accepts: a product number of the family, a level (rounds of mixing).
inline constexpr std::int32_t kMaksProdukt = 255;
inline constexpr int kMinPoziom = 1;
inline constexpr int kMaksPoziom = 9;

// Outcome of decoding. Every failure leaves the text empty.
enum class TWynikKodu : std::uint8_t {
    wkDobrze,     // decoded
    wkParametry,  // product number or level outside the accepted range
    wkZnak,       // a character outside the code table, or a last character with bits no code sets
    wkDlugosc,    // a length that no coded text has
    wkSuma,       // the check does not match: a damaged value, or one coded with other parameters
};

struct TOdkodowane {
    TWynikKodu Wynik = TWynikKodu::wkDobrze;
    std::string Tekst;
};

// The code of one product number, flag and level. The flag makes the key the family's (true), so that
// every product reads the value, or the product's own (false).
class TKod {
public:
    TKod(std::int32_t produkt, bool flaga, int poziom);

    bool Poprawny() const { return FPoprawny; }
    // The same text always gives the same code; empty stays empty. Without Poprawny(): the text unchanged.
    std::string Koduj(std::string_view tekst) const;
    TOdkodowane Dekoduj(std::string_view kod) const;

private:
    void Mieszaj(std::string& bajty) const;
    void Odmieszaj(std::string& bajty) const;
    std::uint8_t Suma(std::string_view bajty) const;

    std::uint32_t FKlucz = 0;
    int FPoziom = 0;
    bool FPoprawny = false;
};

// The settings encoder: the text coded, or the text unchanged when it cannot be coded (parameters outside
// the range, out of memory).
std::string KodujWartosc(std::string_view tekst, std::int32_t produkt, bool flaga, int poziom);
// Its decoder. An empty value is an empty text.
TOdkodowane DekodujWartosc(std::string_view kod, std::int32_t produkt, bool flaga, int poziom);
