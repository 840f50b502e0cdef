// The shortcut and group tables as the installation reads them, and the licence text's lines and letters.
#include "install/Skroty.h"
#include "wizard/TekstUmowy.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Pasujace(std::int32_t produkt, int jezyk)
{
    std::vector<std::string> pliki;
    for (const TSkrot& s : TabelaSkrotow)
        if (SkrotPasuje(s, produkt, jezyk)) pliki.push_back(s.Plik);
    return pliki;
}

std::string Sklej(const std::vector<TCzescLinii>& czesci)
{
    std::string t;
    for (const TCzescLinii& c : czesci) t += c.Tekst;
    return t;
}

} // namespace

TEST(ShortcutTable, NumbersOutsideTheSetsMatchNothing)
{
    EXPECT_EQ(Pasujace(1, jzPolski).size(), 9u);
    for (std::int32_t produkt : {-1, 0, 2, 255, 256, 257, 65536 + 1})
        EXPECT_TRUE(Pasujace(produkt, jzPolski).empty()) << produkt;
    for (int jezyk : {-1, 16, 17, 18, 256 + jzPolski})
        EXPECT_TRUE(Pasujace(1, jezyk).empty()) << jezyk;

    TSkrot brzeg{kSkrotGrupa, TZbiorProduktow::Z({0, 63, 64, 255}), TZbiorJezykow::Z({0, 15}), "a", "a"};
    for (std::int32_t p : {0, 63, 64, 255}) EXPECT_TRUE(SkrotPasuje(brzeg, p, 15)) << p;
    for (std::int32_t p : {1, 62, 65, 254, 256, -1}) EXPECT_FALSE(SkrotPasuje(brzeg, p, 0)) << p;
    // Numbers outside the set's range are not put into it.
    const TZbiorJezykow poza = TZbiorJezykow::Z({16, -1});
    EXPECT_EQ(poza.Bity, 0);
}

TEST(GroupNames, ProductOneHasItsGroupInTheFirstFourLanguages)
{
    for (int j = 0; j < 4; ++j) EXPECT_STREQ(NazwaGrupy(1, j), "Werbvoltan") << j;
    for (int j = 4; j < kJezykiNazwGrup; ++j) EXPECT_STREQ(NazwaGrupy(1, j), "") << j;
    for (auto [p, j] : {std::pair{-1, 0}, {0, 0}, {2, 0}, {20, 2}, {21, 0}, {1, -1}, {1, 13}, {1000, 1000}})
        EXPECT_STREQ(NazwaGrupy(p, j), "") << p << "/" << j;
}

TEST(LicenceText, LanguagesWithoutAFileHaveNoName)
{
    EXPECT_STREQ(PlikUmowy(jzRosyjski), "umowaru.txt");
    EXPECT_STREQ(PlikUmowy(static_cast<TJezyk>(7)), "");
    EXPECT_STREQ(PlikUmowy(static_cast<TJezyk>(255)), "");
}

TEST(LicenceText, LinesEndAtCrLfOrBoth)
{
    using L = std::vector<std::string>;
    EXPECT_EQ(LinieTekstu(""), L{});
    EXPECT_EQ(LinieTekstu("a"), L{"a"});
    EXPECT_EQ(LinieTekstu("a\r\n"), L{"a"});
    EXPECT_EQ(LinieTekstu("a\r\nb\nc\rd"), (L{"a", "b", "c", "d"}));
    EXPECT_EQ(LinieTekstu("a\r\n\r\nb\r\n"), (L{"a", "", "b"}));
    EXPECT_EQ(LinieTekstu("\n\n"), (L{"", ""}));
    // LF CR is two breaks; CR CR LF too.
    EXPECT_EQ(LinieTekstu("a\n\rb"), (L{"a", "", "b"}));
    EXPECT_EQ(LinieTekstu("a\r\r\nb"), (L{"a", "", "b"}));
    EXPECT_EQ(LinieTekstu("\r"), L{""});
}

TEST(LicenceText, NationalLettersAndTriggers)
{
    // Windows-1250: Š Ś Ž Ź š ś ž ź Ł Ą Ş Ż ł ą ş ż.
    const std::set<int> pojedyncze = {138, 140, 142, 143, 154, 156, 158, 159, 163, 165, 170, 175, 179, 185, 186, 191};
    for (int b = 0; b < 256; ++b) {
        const bool oczekiwana = pojedyncze.count(b) || (b >= 192 && b != 215 && b != 247);
        EXPECT_EQ(LiteraNarodowa(static_cast<unsigned char>(b)), oczekiwana) << b;
    }
    EXPECT_TRUE(ZnakWyzwalajacy(0xEC));
    EXPECT_TRUE(ZnakWyzwalajacy(0xF1));
    EXPECT_FALSE(ZnakWyzwalajacy(0xEB));
    EXPECT_FALSE(ZnakWyzwalajacy(0xF2));
    EXPECT_FALSE(MaZnakWyzwalajacy("Zaj\xEA\xE6 umow\xEA"));
    EXPECT_TRUE(MaZnakWyzwalajacy("dzie\xF1"));
}

TEST(LicenceText, LineCutIntoPiecesAndTypedLetters)
{
    // "Łódź, ×2": Ł ó and ź are typed, × is not a letter.
    const std::string linia = "\xA3\xF3" "d\x9F, \xD7" "2";
    const std::vector<TCzescLinii> czesci = CzesciLinii(linia);
    ASSERT_EQ(czesci.size(), 5u);
    EXPECT_TRUE(czesci[0].Wpisana && czesci[0].Tekst == "\xA3");
    EXPECT_TRUE(czesci[1].Wpisana && czesci[1].Tekst == "\xF3");
    EXPECT_TRUE(!czesci[2].Wpisana && czesci[2].Tekst == "d");
    EXPECT_TRUE(czesci[3].Wpisana && czesci[3].Tekst == "\x9F");
    EXPECT_TRUE(!czesci[4].Wpisana && czesci[4].Tekst == ", \xD7" "2");
    EXPECT_EQ(Sklej(czesci), linia);

    EXPECT_TRUE(CzesciLinii("").empty());
    const std::vector<TCzescLinii> bez = CzesciLinii("plain text");
    ASSERT_EQ(bez.size(), 1u);
    EXPECT_FALSE(bez[0].Wpisana);
    EXPECT_EQ(bez[0].Tekst, "plain text");
}
