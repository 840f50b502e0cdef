// The settings code: a check byte, keyed rounds of mixing through our own byte table, 6 bits a character.
#include "install/TKod.h"

#include <algorithm>
#include <array>
#include <exception>

namespace {

// 64 characters, none of which a registry value, a .reg file or an environment expansion treats specially.
constexpr std::string_view kZnaki = "Hq3ZbN8xKcW1vTgR5sLmY0pFdJ7uAe2XiQoB6ynGhVk4ErMj9PaU_fDzCw-tSlIO";

constexpr std::array<std::int8_t, 256> OdwrotneZnaki()
{
    std::array<std::int8_t, 256> t{};
    t.fill(-1);
    for (std::size_t i = 0; i < kZnaki.size(); ++i) t[static_cast<unsigned char>(kZnaki[i])] = static_cast<std::int8_t>(i);
    return t;
}
constexpr std::array<std::int8_t, 256> kWartosciZnakow = OdwrotneZnaki();

constexpr bool ZnakiRozne()
{
    for (std::size_t i = 0; i < kZnaki.size(); ++i)
        if (kWartosciZnakow[static_cast<unsigned char>(kZnaki[i])] != static_cast<std::int8_t>(i)) return false;
    return true;
}
static_assert(kZnaki.size() == 64 && ZnakiRozne(), "the character table holds 64 different characters");

constexpr std::uint32_t Nastepny(std::uint32_t s)
{
    return s * 1664525u + 1013904223u;
}

constexpr std::uint32_t Wymieszaj(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// The byte table: a fixed shuffle of 0..255, and its inverse.
constexpr std::array<std::uint8_t, 256> TablicaBajtow()
{
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    std::uint32_t s = 0x2F6B1C93u;
    for (int i = 255; i > 0; --i) {
        s = Nastepny(s);
        const int j = static_cast<int>((s >> 8) % static_cast<std::uint32_t>(i + 1));
        std::swap(t[static_cast<std::size_t>(i)], t[static_cast<std::size_t>(j)]);
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kTablica = TablicaBajtow();

constexpr std::array<std::uint8_t, 256> Odwrotna(const std::array<std::uint8_t, 256>& t)
{
    std::array<std::uint8_t, 256> o{};
    for (int i = 0; i < 256; ++i) o[t[static_cast<std::size_t>(i)]] = static_cast<std::uint8_t>(i);
    return o;
}
constexpr std::array<std::uint8_t, 256> kOdwrotna = Odwrotna(kTablica);

std::uint32_t StanRundy(std::uint32_t klucz, int runda)
{
    return Wymieszaj(klucz + static_cast<std::uint32_t>(runda) * 0x68E31DA4u);
}

std::string DoZnakow(std::string_view bajty)
{
    std::string out;
    out.reserve((bajty.size() * 4 + 2) / 3);
    std::uint32_t bity = 0;
    int ile = 0;
    for (unsigned char b : bajty) {
        bity = (bity << 8) | b;
        ile += 8;
        while (ile >= 6) {
            ile -= 6;
            out += kZnaki[(bity >> ile) & 63];
        }
    }
    if (ile > 0) out += kZnaki[(bity << (6 - ile)) & 63];
    return out;
}

TWynikKodu ZeZnakow(std::string_view kod, std::string& bajty)
{
    // 4 characters hold 3 bytes; a last group of 1 character holds none.
    if (kod.size() % 4 == 1) return TWynikKodu::wkDlugosc;
    bajty.clear();
    bajty.reserve(kod.size() * 3 / 4);
    std::uint32_t bity = 0;
    int ile = 0;
    for (char c : kod) {
        const int v = kWartosciZnakow[static_cast<unsigned char>(c)];
        if (v < 0) return TWynikKodu::wkZnak;
        bity = (bity << 6) | static_cast<std::uint32_t>(v);
        ile += 6;
        if (ile >= 8) {
            ile -= 8;
            bajty += static_cast<char>((bity >> ile) & 0xFF);
        }
    }
    // The coder leaves the bits after the last byte zero: any other last character is not its output.
    if (ile > 0 && (bity & ((1u << ile) - 1)) != 0) return TWynikKodu::wkZnak;
    return TWynikKodu::wkDobrze;
}

} // namespace

TKod::TKod(std::int32_t produkt, bool flaga, int poziom)
{
    FPoprawny = produkt >= 0 && produkt <= kMaksProdukt && poziom >= kMinPoziom && poziom <= kMaksPoziom;
    if (!FPoprawny) return;
    FPoziom = poziom;
    std::uint32_t k = 0x57E3B1A5u;
    if (!flaga) k ^= (static_cast<std::uint32_t>(produkt) + 1u) * 0x9E3779B1u;
    FKlucz = Wymieszaj(k ^ static_cast<std::uint32_t>(poziom) * 0x85EBCA6Bu);
}

std::uint8_t TKod::Suma(std::string_view bajty) const
{
    // CRC-8 (x^8 + x^5 + x^4 + 1), started from the key.
    std::uint8_t crc = static_cast<std::uint8_t>(FKlucz);
    for (unsigned char b : bajty) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x31 : crc << 1);
    }
    return crc;
}

// Each round chains every byte to the one before it and then turns the text round, so that with two rounds
// or more every byte of the code depends on every byte of the text.
void TKod::Mieszaj(std::string& bajty) const
{
    for (int r = 0; r < FPoziom; ++r) {
        std::uint32_t s = StanRundy(FKlucz, r);
        std::uint8_t poprzedni = static_cast<std::uint8_t>(s);
        for (char& c : bajty) {
            s = Nastepny(s);
            const auto x = static_cast<std::uint8_t>((static_cast<std::uint8_t>(c) ^ (s >> 24)) + poprzedni);
            poprzedni = kTablica[x];
            c = static_cast<char>(poprzedni);
        }
        std::reverse(bajty.begin(), bajty.end());
    }
}

void TKod::Odmieszaj(std::string& bajty) const
{
    for (int r = FPoziom - 1; r >= 0; --r) {
        std::reverse(bajty.begin(), bajty.end());
        std::uint32_t s = StanRundy(FKlucz, r);
        std::uint8_t poprzedni = static_cast<std::uint8_t>(s);
        for (char& c : bajty) {
            s = Nastepny(s);
            const auto y = static_cast<std::uint8_t>(c);
            c = static_cast<char>(static_cast<std::uint8_t>(kOdwrotna[y] - poprzedni) ^ (s >> 24));
            poprzedni = y;
        }
    }
}

std::string TKod::Koduj(std::string_view tekst) const
{
    if (!FPoprawny || tekst.empty()) return std::string(tekst);
    std::string bajty(tekst);
    bajty += static_cast<char>(Suma(tekst));
    Mieszaj(bajty);
    return DoZnakow(bajty);
}

TOdkodowane TKod::Dekoduj(std::string_view kod) const
{
    if (!FPoprawny) return {TWynikKodu::wkParametry, {}};
    if (kod.empty()) return {};
    std::string bajty;
    const TWynikKodu w = ZeZnakow(kod, bajty);
    if (w != TWynikKodu::wkDobrze) return {w, {}};
    // The check byte alone: an empty text, which has no code but the empty one.
    if (bajty.size() < 2) return {TWynikKodu::wkDlugosc, {}};
    Odmieszaj(bajty);
    const auto suma = static_cast<std::uint8_t>(bajty.back());
    bajty.pop_back();
    if (Suma(bajty) != suma) return {TWynikKodu::wkSuma, {}};
    return {TWynikKodu::wkDobrze, std::move(bajty)};
}

std::string KodujWartosc(std::string_view tekst, std::int32_t produkt, bool flaga, int poziom)
{
    try {
        return TKod(produkt, flaga, poziom).Koduj(tekst);
    } catch (const std::exception&) {
        // Out of memory while coding: the contract is the text unchanged.
        return std::string(tekst);
    }
}

TOdkodowane DekodujWartosc(std::string_view kod, std::int32_t produkt, bool flaga, int poziom)
{
    return TKod(produkt, flaga, poziom).Dekoduj(kod);
}
