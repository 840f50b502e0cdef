// The installation journal's text: every kind of entry read back as written, a line torn or garbled shown and
// never guessed at; the journal's texts in both languages.
#include "install/Dziennik.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "install/TekstyInstalacji.h"
#include "uninstall/Sha256.h"

namespace {

std::vector<TWpisDziennika> Przyklad()
{
    TWpisDziennika przebieg{.Rodzaj = TRodzajWpisu::Przebieg, .Sciezka = "C:\\Program Files (x86)\\Werbika"};
    przebieg.Numer = 4242;
    przebieg.Jezyk = jzFrancuski;
    TWpisDziennika stara{.Rodzaj = TRodzajWpisu::Wartosc, .Sciezka = "SOFTWARE\\Zorvane\\Werbtron"};
    stara.Korzen = TKorzen::HKLM;
    stara.Nazwa = "Katalog";
    stara.BylaWartosc = true;
    stara.Typ = 1;
    stara.Dane = std::string("C\0:\0\\\0\t\0\r\n%\0\0", 14);  // any bytes, a TAB, CR LF and % among them
    TWpisDziennika nowa{.Rodzaj = TRodzajWpisu::Wartosc, .Sciezka = "SOFTWARE\\Zorvane\\Werbix\\Trans"};
    nowa.Nazwa = "";  // the default value
    TWpisDziennika klucz{.Rodzaj = TRodzajWpisu::Klucz, .Sciezka = "SOFTWARE\\Zorvane"};
    klucz.Korzen = TKorzen::HKLM;
    TWpisDziennika wynik{.Rodzaj = TRodzajWpisu::Wynik};
    wynik.Numer = 3;
    wynik.Rozmiar = 5000000000ull;
    wynik.Sha256 = Sha256Hex("program");
    TWpisDziennika bez{.Rodzaj = TRodzajWpisu::Bez};
    bez.Numer = 2;
    return {przebieg,
            {.Rodzaj = TRodzajWpisu::Katalog, .Sciezka = "C:\\Program Files (x86)\\Werbika"},
            {.Rodzaj = TRodzajWpisu::Plik, .Sciezka = "C:\\W\\Przykłady\\50% tab\tname.txt"},
            {.Rodzaj = TRodzajWpisu::Zastapiony, .Sciezka = "C:\\W\\a.txt", .Kopia = "C:\\W\\a.txt.werb-old"},
            {.Rodzaj = TRodzajWpisu::Systemowy, .Sciezka = "C:\\windows\\syswow64\\comctl32.ocx"},
            {.Rodzaj = TRodzajWpisu::Skrot, .Sciezka = "C:\\Menu\\Werbvoltan\\Słownik.lnk", .Kopia = "C:\\k.lnk"},
            {.Rodzaj = TRodzajWpisu::Grupa, .Sciezka = "C:\\Menu\\Werbvoltan"},
            klucz,
            stara,
            nowa,
            wynik,
            bez,
            {.Rodzaj = TRodzajWpisu::Koniec}};
}

std::string Tekst(const std::vector<TWpisDziennika>& wpisy)
{
    std::string t = NaglowekDziennika();
    for (const TWpisDziennika& w : wpisy) t += LiniaDziennika(w);
    return t;
}

void TakiSam(const TWpisDziennika& a, const TWpisDziennika& b)
{
    EXPECT_EQ(a.Rodzaj, b.Rodzaj);
    EXPECT_EQ(a.Sciezka, b.Sciezka);
    EXPECT_EQ(a.Kopia, b.Kopia);
    EXPECT_EQ(a.Korzen, b.Korzen);
    EXPECT_EQ(a.Nazwa, b.Nazwa);
    EXPECT_EQ(a.BylaWartosc, b.BylaWartosc);
    EXPECT_EQ(a.Typ, b.Typ);
    EXPECT_EQ(a.Dane, b.Dane);
    EXPECT_EQ(a.Numer, b.Numer);
    EXPECT_EQ(a.Rozmiar, b.Rozmiar);
    EXPECT_EQ(a.Sha256, b.Sha256);
    EXPECT_EQ(a.Jezyk, b.Jezyk);
}

} // namespace

TEST(Dziennik, EveryKindOfEntryIsReadBackAsWrittenOneReadableLineEach)
{
    const std::vector<TWpisDziennika> wpisy = Przyklad();
    const std::string tekst = Tekst(wpisy);
    const TOdczytDziennika o = CzytajDziennik(tekst);
    ASSERT_TRUE(o.Naglowek);
    EXPECT_TRUE(o.Uszkodzone.empty());
    EXPECT_TRUE(o.Zakonczony);
    ASSERT_EQ(o.Wpisy.size(), wpisy.size());
    for (std::size_t i = 0; i < wpisy.size(); ++i) {
        SCOPED_TRACE(i);
        TakiSam(o.Wpisy[i], wpisy[i]);
    }
    // Readable text: one line an entry, the TAB of a name escaped so that the fields stay apart.
    EXPECT_NE(tekst.find("replace\tC:\\W\\a.txt\tC:\\W\\a.txt.werb-old\t"), std::string::npos);
    EXPECT_NE(tekst.find("50%25 tab%09name.txt"), std::string::npos);
    std::size_t linie = 0;
    for (std::size_t p = tekst.find("\r\n"); p != std::string::npos; p = tekst.find("\r\n", p + 2)) ++linie;
    EXPECT_EQ(linie, wpisy.size() + 1);
}

TEST(Dziennik, ALineTornOrGarbledIsListedAndItsNeighboursStillRead)
{
    const std::vector<TWpisDziennika> wpisy = Przyklad();
    const std::string tekst = Tekst({wpisy.begin(), wpisy.end() - 1});

    // Cut anywhere inside the last line (a kill or a power cut while it was written): that one entry is torn.
    const std::string ostatnia = LiniaDziennika(wpisy[wpisy.size() - 2]);
    for (std::size_t ile = 1; ile < ostatnia.size(); ++ile) {
        const TOdczytDziennika o = CzytajDziennik(tekst.substr(0, tekst.size() - ile));
        ASSERT_EQ(o.Wpisy.size(), wpisy.size() - 1) << ile;
        EXPECT_EQ(o.Uszkodzone, std::vector<int>{static_cast<int>(wpisy.size() - 1)}) << ile;
        EXPECT_EQ(o.Wpisy.back().Rodzaj, TRodzajWpisu::Nieczytelny);
        EXPECT_FALSE(o.Zakonczony);
    }

    // One byte changed in the middle of a line: the checksum shows it, and only that line is lost.
    for (const char* co : {"a.txt.werb-old", "HKLM", "Werbvoltan\t"}) {
        std::string zmieniony = tekst;
        const std::size_t p = zmieniony.find(co);
        ASSERT_NE(p, std::string::npos);
        zmieniony[p] ^= 1;
        const TOdczytDziennika o = CzytajDziennik(zmieniony);
        ASSERT_EQ(o.Uszkodzone.size(), 1u) << co;
        const int n = o.Uszkodzone.front();
        EXPECT_EQ(o.Wpisy[n - 1].Rodzaj, TRodzajWpisu::Nieczytelny) << co;
        for (std::size_t i = 0; i < o.Wpisy.size(); ++i)
            if (static_cast<int>(i + 1) != n) TakiSam(o.Wpisy[i], wpisy[i]);
    }

    // Lines that keep their checksum but break the format are not guessed at either.
    for (const std::string& zla : {std::string("replace\tC:\\a\t-"), std::string("done\t1\t5\tabc"),
                                   std::string("value\tHKCR\tK\tN\t-\t"), std::string("file\t"),
                                   std::string("folder\tC:\\%zz"), std::string("bogus\tC:\\a")}) {
        // FNV-1a, the journal's checksum, over the bad content.
        std::string z = tekst + zla + "\t";
        std::uint32_t h = 2166136261u;
        for (unsigned char c : zla) h = (h ^ c) * 16777619u;
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", h);
        z += std::string(hex) + "\r\n";
        const TOdczytDziennika o = CzytajDziennik(z);
        EXPECT_EQ(o.Uszkodzone, std::vector<int>{static_cast<int>(wpisy.size())}) << zla;
    }

    // Not a journal at all: nothing is read from it.
    EXPECT_FALSE(CzytajDziennik("WERBFRANKO-DEINSTALKA\t1\r\n").Naglowek);
    EXPECT_FALSE(CzytajDziennik("").Naglowek);
}

TEST(TekstyInstalacji, EveryTextInBothLanguagesWithItsArguments)
{
    for (int n = 0; n < kLiczbaTekstowInstalacji; ++n) {
        const auto t = static_cast<TTekstInstalacji>(n);
        EXPECT_FALSE(TekstInstalacji(jzPolski, t).empty()) << n;
        EXPECT_FALSE(TekstInstalacji(jzFrancuski, t).empty()) << n;
        EXPECT_NE(TekstInstalacji(jzPolski, t), TekstInstalacji(jzFrancuski, t)) << n;
        // Every other language is shown in Polish, the interface's only other language.
        EXPECT_EQ(TekstInstalacji(jzNiemiecki, t), TekstInstalacji(jzPolski, t)) << n;
        const bool argument = n != tiBladWycofywanie;
        EXPECT_EQ(TekstInstalacji(jzPolski, t).find("%s") != std::string_view::npos, argument) << n;
        EXPECT_EQ(TekstInstalacji(jzFrancuski, t).find("%s") != std::string_view::npos, argument) << n;
    }
    EXPECT_TRUE(TekstInstalacji(jzPolski, kLiczbaTekstowInstalacji).empty());
}
