// The shortcut table and the group names; only the rows of this installer's product are filled.
#include "install/Skroty.h"

namespace {

constexpr TZbiorProduktow kProdukt1 = TZbiorProduktow::Z({1});
constexpr TZbiorJezykow kPolskiFrancuski = TZbiorJezykow::Z({jzPolski, jzFrancuski});
constexpr TZbiorJezykow kPomoc = TZbiorJezykow::Z({jzPolski, jzAngielski, jzFrancuski});

using TNazwyGrupy = std::array<const char*, kJezykiNazwGrup>;
constexpr TNazwyGrupy kBezGrupy = {"", "", "", "", "", "", "", "", "", "", "", "", ""};

constexpr std::array<TNazwyGrupy, kLiczbaGrup> NazwyGrup()
{
    std::array<TNazwyGrupy, kLiczbaGrup> t{};
    t.fill(kBezGrupy);
    t[1] = {"Werbvoltan", "Werbvoltan", "Werbvoltan", "Werbvoltan", "", "", "", "", "", "", "", "", ""};
    return t;
}
constexpr std::array<TNazwyGrupy, kLiczbaGrup> kNazwyGrup = NazwyGrup();

} // namespace

const std::array<TSkrot, kLiczbaSkrotow> TabelaSkrotow = {{
    {kSkrotGrupa, kProdukt1, kPolskiFrancuski, "Werbika.exe", "Translator francusko-polski"},
    {kSkrotGrupa, kProdukt1, kPolskiFrancuski, "Werbilo.exe", "Translator polsko-francuski"},
    {kSkrotGrupa, kProdukt1, kPolskiFrancuski, "SlZewFr.exe", "Słownik francusko-polski"},
    {kSkrotGrupa, kProdukt1, kPolskiFrancuski, "SlZewPl.exe", "Słownik polsko-francuski"},
    {kSkrotGrupa, kProdukt1, kPolskiFrancuski, "fr_gram.hlp", "Gramatyka francuska"},
    {kSkrotGrupa, kProdukt1, kPolskiFrancuski, "fr_czas.hlp", "Francuskie czasowniki nieregularne"},
    {kSkrotGrupa, kProdukt1, kPomoc, "Trans.hlp", "Pomoc do translatora"},
    {kSkrotGrupa, kProdukt1, kPomoc, "Sl_Zew.hlp", "Pomoc do słownika"},
    {kSkrotGrupa, kProdukt1, kPolskiFrancuski, "deinstalka.exe", "Deinstalator"},
}};

const char* NazwaGrupy(std::int32_t produkt, int jezyk)
{
    if (produkt < 0 || produkt >= kLiczbaGrup || jezyk < 0 || jezyk >= kJezykiNazwGrup) return "";
    return kNazwyGrup[static_cast<std::size_t>(produkt)][static_cast<std::size_t>(jezyk)];
}
