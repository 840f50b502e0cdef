// The uninstallation record: SHA-256 against the standard's vectors, the record's round trip, and every kind
// of damage refused as a whole; the uninstaller's texts in both languages.
#include "uninstall/RekordDeinstalacji.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "texts/Format.h"
#include "uninstall/Sha256.h"
#include "uninstall/TekstyDeinstalki.h"

namespace {

const std::string kKatalog = "C:\\Program Files (x86)\\Werbika";
const std::string kSkrot(64, 'a');

// The places of a computer whose Programs folders are C:\Menu and the user's Start Menu.
const TMiejscaProduktu kMiejsca = {
    {"C:\\users\\u\\Start Menu\\Programs", "C:\\users\\u\\Desktop", "C:\\Menu", "C:\\Pulpit"},
    {"C:\\users\\u\\Start Menu\\Programs\\Werbvoltan", "C:\\Menu\\Grupa"},
    {"SOFTWARE\\Zorvane"},
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron",
};

TOdczytRekordu Czytaj(std::string_view tekst)
{
    return CzytajRekord(tekst, kMiejsca);
}

TRekordDeinstalacji Przyklad()
{
    TRekordDeinstalacji r;
    r.Katalog = kKatalog;
    r.Jezyk = jzFrancuski;
    r.Pliki = {{kKatalog + "\\Werbika.exe", 123456, Sha256Hex("program")},
               {kKatalog + "\\Przykłady\\Polski\\list.txt", 0, Sha256Hex("")}};
    r.Katalogi = {kKatalog, kKatalog + "\\Przykłady", kKatalog + "\\Przykłady\\Polski"};
    r.Grupy = {"C:\\users\\u\\Start Menu\\Programs\\Werbvoltan"};
    r.Skroty = {{r.Grupy[0] + "\\Słownik francusko-polski.lnk", 1024, Sha256Hex("link")}};
    r.DodajKlucz(TKorzen::HKCU, "SOFTWARE\\Zorvane");
    r.DodajKlucz(TKorzen::HKLM, "SOFTWARE\\Zorvane\\Werbtron");
    r.DodajKlucz(TKorzen::HKCU, "SOFTWARE\\Zorvane");
    r.DodajWartosc(TKorzen::HKCU, "SOFTWARE\\Zorvane\\Werbtron", "Katalog");
    r.DodajWartosc(TKorzen::HKLM, "SOFTWARE\\Zorvane\\Werbtron", "Katalog");
    r.DodajWartosc(TKorzen::HKCU, "SOFTWARE\\Zorvane\\Werbtron", "Katalog");
    return r;
}

// Lines (each ended here with CR LF) under the header, closed by a correct end line: a record whose checksum
// holds, so that only the rules of its lines can refuse it.
std::string ZeSuma(const std::vector<std::string>& wiersze)
{
    std::string t = "WERBFRANKO-DEINSTALKA\t1\r\n";
    for (const std::string& w : wiersze) t += w + "\r\n";
    return t + "end\t" + std::to_string(wiersze.size() + 1) + "\t" + Sha256Hex(t) + "\r\n";
}

TWynikRekordu Wynik(const std::vector<std::string>& wiersze)
{
    return Czytaj(ZeSuma(wiersze)).Wynik;
}

const std::string kCel = "target\tC:\\W";
const std::string kJezyk = "language\t0";

} // namespace

// The processor's instructions, where there are any, and the portable code agree on every length and alignment.
TEST(Sha256, HardwareAndPortableCodeAgree)
{
    std::string data(70000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (std::size_t length : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 127u, 128u, 1000u, 4096u, 65537u, 70000u}) {
        const std::string_view part = std::string_view(data).substr(data.size() - length);
        Sha256TylkoProgramowo() = true;
        const std::string portable = Sha256Hex(part);
        Sha256TylkoProgramowo() = false;
        // Fed in pieces that split blocks unevenly, as a copy's blocks do.
        TSha256 h;
        for (std::size_t at = 0; at < part.size(); at += 777) h.Update(part.substr(at, 777));
        EXPECT_EQ(h.HexDigest(), portable) << length << (Sha256Sprzetowe() ? " (SHA instructions)" : "");
    }
}

TEST(Sha256, GivesTheStandardsDigests)
{
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, GivesTheSameDigestWhateverThePiecesAre)
{
    std::string dane;
    for (int i = 0; i < 1000; ++i) dane += static_cast<char>(i * 7 + i / 13);
    // Pieces across the 64-byte blocks and the 56-byte padding limit.
    for (std::size_t kawalek : {1u, 55u, 56u, 63u, 64u, 65u, 999u}) {
        TSha256 h;
        for (std::size_t od = 0; od < dane.size(); od += kawalek) h.Update(std::string_view(dane).substr(od, kawalek));
        EXPECT_EQ(h.HexDigest(), Sha256Hex(dane)) << "pieces of " << kawalek;
    }
}

TEST(UninstallRecord, ReadsBackWhatWasWrittenKeysAndValuesOnce)
{
    const TRekordDeinstalacji r = Przyklad();
    ASSERT_EQ(r.Klucze.size(), 2u);
    ASSERT_EQ(r.Wartosci.size(), 2u);
    const std::optional<std::string> tekst = TekstRekordu(r);
    ASSERT_TRUE(tekst);
    EXPECT_EQ(tekst->substr(0, 25), "WERBFRANKO-DEINSTALKA\t1\r\n");
    EXPECT_NE(tekst->find("file\t123456\t" + Sha256Hex("program") + "\t" + kKatalog + "\\Werbika.exe\r\n"),
              std::string::npos);

    const TOdczytRekordu o = Czytaj(*tekst);
    ASSERT_EQ(o.Wynik, TWynikRekordu::wrDobrze) << "line " << o.Wiersz;
    const TRekordDeinstalacji& b = o.Rekord;
    EXPECT_EQ(b.Katalog, r.Katalog);
    EXPECT_EQ(b.Jezyk, jzFrancuski);
    ASSERT_EQ(b.Pliki.size(), r.Pliki.size());
    for (std::size_t i = 0; i < b.Pliki.size(); ++i) {
        EXPECT_EQ(b.Pliki[i].Sciezka, r.Pliki[i].Sciezka);
        EXPECT_EQ(b.Pliki[i].Rozmiar, r.Pliki[i].Rozmiar);
        EXPECT_EQ(b.Pliki[i].Sha256, r.Pliki[i].Sha256);
    }
    EXPECT_EQ(b.Katalogi, r.Katalogi);
    EXPECT_EQ(b.Grupy, r.Grupy);
    ASSERT_EQ(b.Skroty.size(), 1u);
    EXPECT_EQ(b.Skroty[0].Sciezka, r.Skroty[0].Sciezka);
    ASSERT_EQ(b.Klucze.size(), 2u);
    EXPECT_EQ(b.Klucze[1].Korzen, TKorzen::HKLM);
    EXPECT_EQ(b.Klucze[1].Klucz, "SOFTWARE\\Zorvane\\Werbtron");
    ASSERT_EQ(b.Wartosci.size(), 2u);
    EXPECT_EQ(b.Wartosci[1].Korzen, TKorzen::HKLM);
    EXPECT_EQ(b.Wartosci[1].Nazwa, "Katalog");
}

TEST(UninstallRecord, RefusesAFieldItCannotWrite)
{
    for (const char* zly : {"a\tb", "a\r\nb", "a\nb"}) {
        TRekordDeinstalacji r = Przyklad();
        r.Pliki[0].Sciezka = kKatalog + "\\" + zly;
        EXPECT_FALSE(TekstRekordu(r));
    }
    TRekordDeinstalacji r = Przyklad();
    r.Katalog.clear();
    EXPECT_FALSE(TekstRekordu(r)) << "an empty target";
}

TEST(UninstallRecord, DamageOfAnyKindRefusesTheWholeRecord)
{
    const std::string t = *TekstRekordu(Przyklad());
    EXPECT_EQ(Czytaj("").Wynik, TWynikRekordu::wrNaglowek);
    EXPECT_EQ(Czytaj("WERBFRANKO-DEINSTALKA\t2\r\n" + t.substr(25)).Wynik, TWynikRekordu::wrNaglowek);
    EXPECT_EQ(Czytaj(t.substr(0, t.size() / 2)).Wynik, TWynikRekordu::wrKoniec) << "cut short";
    EXPECT_EQ(Czytaj(t.substr(0, t.size() - 1)).Wynik, TWynikRekordu::wrKoniec) << "no CR LF at the end";
    EXPECT_EQ(Czytaj(t + "file\t1\t" + kSkrot + "\t" + kKatalog + "\\x\r\n").Wynik, TWynikRekordu::wrKoniec)
        << "a line after the end";

    // One byte changed anywhere before the end line: the digest tells.
    for (std::size_t i = 25; i < t.rfind("end\t"); i += 7) {
        std::string zmieniony = t;
        zmieniony[i] = zmieniony[i] == 'x' ? 'y' : 'x';
        const TOdczytRekordu o = Czytaj(zmieniony);
        EXPECT_NE(o.Wynik, TWynikRekordu::wrDobrze) << "byte " << i;
        EXPECT_TRUE(o.Rekord.Pliki.empty() && o.Rekord.Katalog.empty()) << "byte " << i;
    }
    // The line count of the end line is checked too.
    std::string liczba = t;
    const auto koniec = liczba.rfind("end\t");
    liczba.replace(koniec + 4, liczba.find('\t', koniec + 4) - koniec - 4, "99");
    EXPECT_EQ(Czytaj(liczba).Wynik, TWynikRekordu::wrSuma);
}

TEST(UninstallRecord, ALineOutOfTheRulesRefusesTheRecordEvenWithAMatchingChecksum)
{
    ASSERT_EQ(Wynik({kCel, kJezyk, "file\t5\t" + kSkrot + "\tC:\\W\\a.txt", "folder\tC:\\W\\sub", "folder\tC:\\W",
                     "group\tC:\\Menu\\Grupa", "link\t1\t" + kSkrot + "\tC:\\Menu\\Grupa\\a.LNK",
                     "key\tHKLM\tSOFTWARE\\Zorvane", "value\tHKCU\tSOFTWARE\\Zorvane\\Werbtron\tKatalog"}),
              TWynikRekordu::wrDobrze);

    const std::vector<std::string> zle = {
        "file\t5\t" + kSkrot + "\tC:\\Windows\\system32\\a.dll",  // outside the target folder
        "file\t5\t" + kSkrot + "\tC:\\Wx\\a.txt",                 // a sibling that starts alike
        "file\t5\t" + kSkrot + "\tC:\\W",                         // the target itself as a file
        "file\t5\t" + kSkrot + "\tC:\\W\\..\\x.txt",              // climbing out
        "file\t5\t" + kSkrot + "\tC:\\W\\.\\x.txt",
        "file\t5\t" + kSkrot + "\tC:\\W\\\\x.txt",                // an empty part
        "file\t5\t" + kSkrot + "\tC:\\W\\x.txt:strumien",         // a stream
        "file\t5\t" + kSkrot + "\tC:\\W/x.txt",
        "file\t5\t" + kSkrot + "\tW\\x.txt",                      // relative
        "file\t05\t" + kSkrot + "\tC:\\W\\x.txt",                 // not plain decimal
        "file\t-5\t" + kSkrot + "\tC:\\W\\x.txt",
        "file\t5\t" + std::string(64, 'A') + "\tC:\\W\\x.txt",   // upper-case digest
        "file\t5\t" + std::string(63, 'a') + "\tC:\\W\\x.txt",
        "file\t5\t" + kSkrot + "\tC:\\W\\x.txt\textra",
        "file\t5\t" + kSkrot,
        "folder\tC:\\Users",                                      // a folder outside the target
        "link\t1\t" + kSkrot + "\tC:\\Menu\\a.exe",                   // a link that is no .lnk
        "key\tHKCR\tSOFTWARE\\X",
        "key\tHKCU\t\\SOFTWARE",
        "key\tHKCU\tSOFTWARE\\",
        "value\tHKCU\tSOFTWARE\\X\t",
        "language\t7",
        "target\tC:\\Inny",                                       // a second target
        "plik\tC:\\W\\x.txt",                                     // an unknown kind
        "",
    };
    for (const std::string& w : zle)
        EXPECT_EQ(Wynik({kCel, kJezyk, w}), TWynikRekordu::wrWiersz) << w;
    EXPECT_EQ(Wynik({kJezyk, "folder\tC:\\W", kCel}), TWynikRekordu::wrWiersz) << "an entry before the target";
    EXPECT_EQ(Wynik({kCel, "folder\tC:\\W", kJezyk}), TWynikRekordu::wrWiersz) << "an entry before the language";
    EXPECT_EQ(Wynik({kCel}), TWynikRekordu::wrWiersz) << "no language";
    EXPECT_EQ(Wynik({kJezyk}), TWynikRekordu::wrWiersz) << "no target";
}

TEST(UninstallRecord, AnEntryOutsideTheProductsPlacesRefusesTheRecord)
{
    const std::string wpis = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
    ASSERT_EQ(Wynik({kCel, kJezyk, "group\tC:\\Menu\\Grupa", "group\tc:\\menu\\GRUPA",
                     "link\t1\t" + kSkrot + "\tC:\\Menu\\Grupa\\a.lnk", "link\t1\t" + kSkrot + "\tC:\\Menu\\a.lnk",
                     "link\t1\t" + kSkrot + "\tC:\\users\\u\\Desktop\\a.lnk",
                     "key\tHKCU\tSOFTWARE\\Zorvane", "key\tHKLM\tsoftware\\zorvane\\Werbix\\Trans",
                     "value\tHKCU\tSOFTWARE\\Zorvane\\Werbtron\tKatalog", "key\tHKCU\t" + wpis,
                     "value\tHKCU\t" + wpis + "\tUninstallString",
                     "key\tHKCU\tSOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}),
              TWynikRekordu::wrDobrze);

    const std::vector<std::string> obce = {
        "link\t1\t" + kSkrot + "\tC:\\Windows\\a.lnk",                // any readable shortcut
        "link\t1\t" + kSkrot + "\tC:\\Menu\\Inna\\a.lnk",             // another program's group
        "link\t1\t" + kSkrot + "\tC:\\Menu\\Grupa\\pod\\a.lnk",       // deeper than the group
        "group\tC:\\Menu\\Inna",                                      // an empty folder elsewhere
        "group\tC:\\Windows",
        "group\tC:\\Menu",                                            // the Programs folder itself
        "key\tHKLM\tSOFTWARE\\Microsoft",
        "key\tHKCU\tSOFTWARE\\Zorvanex",
        "key\tHKCU\tSOFTWARE",
        "key\tHKCU\tSOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Inny",
        "value\tHKCU\tSOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\tWerbika",
        "value\tHKCU\tSOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\tx",  // the list itself
        "value\tHKLM\t" + wpis + "\\Pod\tx",
    };
    for (const std::string& w : obce)
        EXPECT_EQ(Wynik({kCel, kJezyk, w}), TWynikRekordu::wrWiersz) << w;
}

TEST(UninstallRecord, DeviceNamesOddEndsAndForeignFormsAreRefusedInEveryPathField)
{
    const std::vector<std::string> zle = {
        "CON", "nul.txt", "Aux", "prn .log", "COM1", "lpt9.dat", "COM\u00b9", "conout$", "x.", "x ", "a?b", "a*b",
        "a<b", "a|b", "a\"b", "a\x01b",
    };
    for (const std::string& n : zle) {
        EXPECT_FALSE(SciezkaBezpieczna("C:\\W\\" + n + "\\x.txt")) << n;
        EXPECT_FALSE(SciezkaBezpieczna("C:\\W\\" + n)) << n;
        EXPECT_EQ(Wynik({"target\tC:\\W\\" + n, kJezyk}), TWynikRekordu::wrWiersz) << n;
        EXPECT_EQ(Wynik({kCel, kJezyk, "file\t5\t" + kSkrot + "\tC:\\W\\" + n}), TWynikRekordu::wrWiersz) << n;
        EXPECT_EQ(Wynik({kCel, kJezyk, "folder\tC:\\W\\" + n}), TWynikRekordu::wrWiersz) << n;
    }
    // Names that only look alike are names.
    for (const std::string n : {"CONSOLE", "nulle.txt", "COM10", "lpt", "x.y", "x y", "Przykłady"}) {
        EXPECT_TRUE(SciezkaBezpieczna("C:\\W\\" + std::string(n))) << n;
        EXPECT_EQ(Wynik({kCel, kJezyk, "file\t5\t" + kSkrot + "\tC:\\W\\" + n}), TWynikRekordu::wrDobrze) << n;
    }
    for (const std::string p : {"\\\\?\\C:\\W", "\\\\.\\C:\\W", "\\\\serwer\\udzial\\W", "\\\\?\\UNC\\serwer\\W"}) {
        EXPECT_FALSE(SciezkaBezpieczna(p)) << p;
        EXPECT_EQ(Wynik({"target\t" + p, kJezyk}), TWynikRekordu::wrWiersz) << p;
        EXPECT_EQ(Wynik({kCel, kJezyk, "group\t" + p}), TWynikRekordu::wrWiersz) << p;
        EXPECT_EQ(Wynik({kCel, kJezyk, "link\t1\t" + kSkrot + "\t" + p + "\\a.lnk"}), TWynikRekordu::wrWiersz) << p;
    }
}

TEST(UninstallRecord, PathRules)
{
    EXPECT_TRUE(SciezkaBezpieczna("C:\\a\\b"));
    EXPECT_FALSE(SciezkaBezpieczna("\\\\serwer\\udzial\\a"));
    EXPECT_FALSE(SciezkaBezpieczna("C:\\"));
    EXPECT_FALSE(SciezkaBezpieczna("C:a"));
    EXPECT_FALSE(SciezkaBezpieczna("\\a"));
    EXPECT_TRUE(WKatalogu("C:\\a\\b", "C:\\a"));
    EXPECT_TRUE(WKatalogu("C:\\a", "C:\\a"));
    EXPECT_FALSE(WKatalogu("C:\\ab", "C:\\a"));
    EXPECT_FALSE(WKatalogu("C:\\a", ""));
}

TEST(UninstallTexts, EveryTextInBothLanguagesWithTheSamePlaceholders)
{
    for (int n = 0; n < kLiczbaTekstowDeinstalki; ++n) {
        const auto numer = static_cast<TTekstDeinstalki>(n);
        const std::string_view pl = TekstDeinstalki(jzPolski, numer);
        const std::string_view fr = TekstDeinstalki(jzFrancuski, numer);
        EXPECT_FALSE(pl.empty()) << n;
        EXPECT_FALSE(fr.empty()) << n;
        EXPECT_NE(pl, fr) << n;
        EXPECT_EQ(PlaceholderKinds(pl), PlaceholderKinds(fr)) << n;
        EXPECT_EQ(TekstDeinstalki(jzAngielski, numer), pl) << "other languages read Polish";
    }
    EXPECT_EQ(PlaceholderKinds(TekstDeinstalki(jzPolski, tdLiczby)), "dddd");
    EXPECT_EQ(PlaceholderKinds(TekstDeinstalki(jzPolski, tdRekordObcy)), "sss");
    EXPECT_TRUE(TekstDeinstalki(jzPolski, kLiczbaTekstowDeinstalki).empty());
}
