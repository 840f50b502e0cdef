// The licence text of the CD: file names, line breaking, and the national-letter and trigger sets.
#include "wizard/TekstUmowy.h"

#include <array>

namespace {

constexpr const char* kPlikiUmow[] = {"umowapol.txt", "umowaang.txt", "umowafr.txt", "umowadeu.txt",
                                      "umowait.txt",  "umowaes.txt",  "umowaru.txt"};
static_assert(std::size(kPlikiUmow) == kLanguageCount);

constexpr std::array<bool, 256> LiteryNarodowe()
{
    std::array<bool, 256> t{};
    for (int b : {138, 140, 142, 143, 154, 156, 158, 159, 163, 165, 170, 175, 179, 185, 186, 191})
        t[static_cast<std::size_t>(b)] = true;
    for (int b = 192; b <= 255; ++b) t[static_cast<std::size_t>(b)] = b != 215 && b != 247;
    return t;
}
constexpr std::array<bool, 256> kLiteryNarodowe = LiteryNarodowe();

} // namespace

const char* PlikUmowy(TJezyk jezyk)
{
    const auto i = static_cast<std::size_t>(jezyk);
    return i < std::size(kPlikiUmow) ? kPlikiUmow[i] : "";
}

bool LiteraNarodowa(unsigned char bajt)
{
    return kLiteryNarodowe[bajt];
}

bool ZnakWyzwalajacy(unsigned char bajt)
{
    return bajt == 0xEC || bajt == 0xF1;
}

bool MaZnakWyzwalajacy(std::string_view linia)
{
    for (unsigned char b : linia)
        if (ZnakWyzwalajacy(b)) return true;
    return false;
}

std::vector<std::string> LinieTekstu(std::string_view tekst)
{
    std::vector<std::string> linie;
    std::size_t poczatek = 0;
    while (poczatek < tekst.size()) {
        const std::size_t koniec = tekst.find_first_of("\r\n", poczatek);
        if (koniec == std::string_view::npos) {
            linie.emplace_back(tekst.substr(poczatek));
            break;
        }
        linie.emplace_back(tekst.substr(poczatek, koniec - poczatek));
        poczatek = koniec + 1;
        if (tekst[koniec] == '\r' && poczatek < tekst.size() && tekst[poczatek] == '\n') ++poczatek;
    }
    return linie;
}

std::vector<TCzescLinii> CzesciLinii(std::string_view linia)
{
    std::vector<TCzescLinii> czesci;
    std::size_t poczatek = 0;
    for (std::size_t i = 0; i < linia.size(); ++i) {
        if (!LiteraNarodowa(static_cast<unsigned char>(linia[i]))) continue;
        if (i > poczatek) czesci.push_back({std::string(linia.substr(poczatek, i - poczatek)), false});
        czesci.push_back({std::string(1, linia[i]), true});
        poczatek = i + 1;
    }
    if (poczatek < linia.size()) czesci.push_back({std::string(linia.substr(poczatek)), false});
    return czesci;
}
