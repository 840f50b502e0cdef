// The settings code: round trips, stability of the stored form, what it is made of, and each decoding failure.
#include "install/TKod.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

std::string Koduj(std::string_view tekst)
{
    return KodujWartosc(tekst, 1, kFlagaUstawien, kPoziomUstawien);
}

TOdkodowane Dekoduj(std::string_view kod)
{
    return DekodujWartosc(kod, 1, kFlagaUstawien, kPoziomUstawien);
}

std::string WszystkieBajty()
{
    std::string t;
    for (int i = 0; i < 256; ++i) t += static_cast<char>(i);
    return t;
}

} // namespace

TEST(SettingsCode, RoundTripsEveryKindOfText)
{
    const std::string teksty[] = {
        "0", "D:\\", "C:\\Program Files (x86)\\Werbika", "C:\\Użytkownicy\\Łucja\\Źródła żółwia", "a", "ab", "abc",
        "abcd", std::string(1000, 'x'), WszystkieBajty(),
    };
    for (const std::string& t : teksty) {
        const std::string kod = Koduj(t);
        EXPECT_NE(kod, t);
        const TOdkodowane wynik = Dekoduj(kod);
        EXPECT_EQ(wynik.Wynik, TWynikKodu::wkDobrze) << t;
        EXPECT_EQ(wynik.Tekst, t);
    }
}

TEST(SettingsCode, EmptyStaysEmpty)
{
    EXPECT_EQ(Koduj(""), "");
    const TOdkodowane wynik = Dekoduj("");
    EXPECT_EQ(wynik.Wynik, TWynikKodu::wkDobrze);
    EXPECT_EQ(wynik.Tekst, "");
}

// The installed product reads what earlier installations wrote: the stored form must never change.
TEST(SettingsCode, StoredFormIsStable)
{
    EXPECT_EQ(Koduj("0"), Koduj("0"));
    EXPECT_EQ(Koduj("0"), "ZyK");
    EXPECT_EQ(Koduj("D:\\"), "GdE6H9");
    EXPECT_EQ(Koduj("C:\\Program Files (x86)\\Werbika"), "hPnRq7stoSdPOy_4NTzVhfLFJqXSWR5HAGOMDNmWLH");
}

TEST(SettingsCode, UsesOnlyCharactersARegistryValueHoldsPlainly)
{
    const std::string kod = Koduj(WszystkieBajty() + WszystkieBajty());
    for (char c : kod) {
        const bool litera = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        EXPECT_TRUE(litera || c == '-' || c == '_') << "character " << static_cast<int>(static_cast<unsigned char>(c));
    }
}

TEST(SettingsCode, EveryByteOfTheTextChangesTheWholeCode)
{
    const std::string a = Koduj("C:\\Program Files\\Werbika1");
    const std::string b = Koduj("C:\\Program Files\\Werbika2");
    ASSERT_EQ(a.size(), b.size());
    // Mixing in both directions: even the first characters differ when only the last byte does.
    EXPECT_NE(a.substr(0, 4), b.substr(0, 4));
}

TEST(SettingsCode, KeyDependsOnProductFlagAndLevel)
{
    const std::string t = "C:\\Werbika";
    const std::string wlasny = KodujWartosc(t, 1, false, 5);
    EXPECT_NE(wlasny, KodujWartosc(t, 2, false, 5));
    EXPECT_NE(wlasny, KodujWartosc(t, 1, false, 4));
    EXPECT_NE(wlasny, KodujWartosc(t, 1, true, 5));
    // The family's key is the same for every product.
    EXPECT_EQ(KodujWartosc(t, 1, true, 5), KodujWartosc(t, 7, true, 5));
    // Decoding with other parameters is noticed, not answered with a wrong text.
    EXPECT_EQ(DekodujWartosc(wlasny, 2, false, 5).Wynik, TWynikKodu::wkSuma);
    EXPECT_EQ(DekodujWartosc(wlasny, 1, false, 4).Wynik, TWynikKodu::wkSuma);
}

TEST(SettingsCode, ParametersOutsideTheRangeLeaveTheTextUnchanged)
{
    for (auto [produkt, poziom] : {std::pair{-1, 5}, {256, 5}, {1, 0}, {1, 10}, {1, -3}}) {
        EXPECT_EQ(KodujWartosc("C:\\Werbika", produkt, false, poziom), "C:\\Werbika");
        const TOdkodowane wynik = DekodujWartosc("ZyK", produkt, false, poziom);
        EXPECT_EQ(wynik.Wynik, TWynikKodu::wkParametry);
        EXPECT_EQ(wynik.Tekst, "");
    }
    EXPECT_FALSE(TKod(1, false, 0).Poprawny());
    EXPECT_TRUE(TKod(kMaksProdukt, true, kMaksPoziom).Poprawny());
    EXPECT_TRUE(TKod(0, false, kMinPoziom).Poprawny());
}

TEST(SettingsCode, EachDecodingFailureHasItsResult)
{
    const std::string dobry = Koduj("C:\\Werbika");
    struct Przypadek {
        std::string Kod;
        TWynikKodu Wynik;
    };
    std::string zmieniony = dobry;
    zmieniony[3] = zmieniony[3] == 'H' ? 'q' : 'H';
    std::string bezKonca = dobry;
    bezKonca.back() = 'q';  // value 1: a bit that no coded text leaves set, whatever the length
    const Przypadek przypadki[] = {
        {dobry.substr(0, 2) + "!" + dobry.substr(3), TWynikKodu::wkZnak},
        {dobry.substr(0, 2) + "\xC5\x82" + dobry.substr(4), TWynikKodu::wkZnak},  // UTF-8 of a letter
        {dobry + "Hq", TWynikKodu::wkDlugosc},                                     // 4k + 1 characters
        {"H", TWynikKodu::wkDlugosc},
        {"HH", TWynikKodu::wkDlugosc},  // one byte: the check alone
        {zmieniony, TWynikKodu::wkSuma},
    };
    ASSERT_EQ(dobry.size() % 4, 3u) << "the last case needs a last group of 3 characters";
    for (const Przypadek& p : przypadki) {
        const TOdkodowane wynik = Dekoduj(p.Kod);
        EXPECT_EQ(wynik.Wynik, p.Wynik) << p.Kod;
        EXPECT_EQ(wynik.Tekst, "");
    }
    const TOdkodowane koniec = Dekoduj(bezKonca);
    EXPECT_EQ(koniec.Wynik, TWynikKodu::wkZnak) << bezKonca;
}
