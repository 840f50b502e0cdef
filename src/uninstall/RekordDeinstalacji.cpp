// The uninstallation record's text: written line by line, read back only when every line keeps the rules.
#include "uninstall/RekordDeinstalacji.h"

#include <algorithm>
#include <charconv>

#include "uninstall/Sha256.h"

namespace {

constexpr std::string_view kNaglowek = "WERBFRANKO-DEINSTALKA\t1";
constexpr std::string_view kKoniecWiersza = "\r\n";

const char* NazwaKorzenia(TKorzen k)
{
    return k == TKorzen::HKLM ? "HKLM" : "HKCU";
}

std::optional<TKorzen> Korzen(std::string_view nazwa)
{
    if (nazwa == "HKCU") return TKorzen::HKCU;
    if (nazwa == "HKLM") return TKorzen::HKLM;
    return std::nullopt;
}

bool PolePoprawne(std::string_view pole)
{
    return !pole.empty() && pole.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string_view::npos;
}

std::vector<std::string_view> Pola(std::string_view wiersz)
{
    std::vector<std::string_view> pola;
    for (;;) {
        const auto tab = wiersz.find('\t');
        pola.push_back(wiersz.substr(0, tab));
        if (tab == std::string_view::npos) return pola;
        wiersz.remove_prefix(tab + 1);
    }
}

std::optional<std::uint64_t> Liczba(std::string_view tekst)
{
    // Plain decimal: no sign, no leading zeros but "0" itself.
    if (tekst.empty() || tekst.size() > 20 || (tekst.size() > 1 && tekst[0] == '0')) return std::nullopt;
    std::uint64_t v = 0;
    const auto [koniec, blad] = std::from_chars(tekst.data(), tekst.data() + tekst.size(), v);
    if (blad != std::errc() || koniec != tekst.data() + tekst.size()) return std::nullopt;
    return v;
}

bool Skrot(std::string_view tekst)
{
    return tekst.size() == 64 && std::all_of(tekst.begin(), tekst.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool KluczPoprawny(std::string_view klucz)
{
    if (!PolePoprawne(klucz) || klucz.front() == '\\' || klucz.back() == '\\') return false;
    return klucz.find("\\\\") == std::string_view::npos;
}

bool KonczySieNa(std::string_view tekst, std::string_view koncowka)
{
    if (tekst.size() < koncowka.size()) return false;
    const std::string_view ogon = tekst.substr(tekst.size() - koncowka.size());
    return std::equal(ogon.begin(), ogon.end(), koncowka.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b;
    });
}

class TPisarz {
public:
    bool Wiersz(std::initializer_list<std::string_view> pola)
    {
        bool pierwsze = true;
        for (std::string_view p : pola) {
            if (!PolePoprawne(p)) return false;
            if (!pierwsze) FTekst += '\t';
            FTekst += p;
            pierwsze = false;
        }
        FTekst += kKoniecWiersza;
        ++FWiersze;
        return true;
    }
    bool Plik(const char* rodzaj, const TPlikRekordu& p)
    {
        return Wiersz({rodzaj, std::to_string(p.Rozmiar), p.Sha256, p.Sciezka});
    }
    std::string Zakoncz()
    {
        const std::string suma = Sha256Hex(FTekst);
        Wiersz({"end", std::to_string(FWiersze), suma});
        return std::move(FTekst);
    }

private:
    std::string FTekst;
    int FWiersze = 0;
};

} // namespace

void TRekordDeinstalacji::DodajKlucz(TKorzen korzen, std::string_view klucz)
{
    for (const TKluczRekordu& k : Klucze)
        if (k.Korzen == korzen && k.Klucz == klucz) return;
    Klucze.push_back({korzen, std::string(klucz)});
}

void TRekordDeinstalacji::DodajWartosc(TKorzen korzen, std::string_view klucz, std::string_view nazwa)
{
    for (const TWartoscRekordu& w : Wartosci)
        if (w.Korzen == korzen && w.Klucz == klucz && w.Nazwa == nazwa) return;
    Wartosci.push_back({korzen, std::string(klucz), std::string(nazwa)});
}

std::optional<std::string> TekstRekordu(const TRekordDeinstalacji& r)
{
    TPisarz p;
    bool ok = p.Wiersz({kNaglowek.substr(0, kNaglowek.find('\t')), "1"}) && p.Wiersz({"target", r.Katalog}) &&
              p.Wiersz({"language", std::to_string(static_cast<int>(r.Jezyk))});
    for (const TPlikRekordu& f : r.Pliki) ok = ok && p.Plik("file", f);
    for (const std::string& k : r.Katalogi) ok = ok && p.Wiersz({"folder", k});
    for (const std::string& g : r.Grupy) ok = ok && p.Wiersz({"group", g});
    for (const TPlikRekordu& s : r.Skroty) ok = ok && p.Plik("link", s);
    for (const TKluczRekordu& k : r.Klucze) ok = ok && p.Wiersz({"key", NazwaKorzenia(k.Korzen), k.Klucz});
    for (const TWartoscRekordu& w : r.Wartosci)
        ok = ok && p.Wiersz({"value", NazwaKorzenia(w.Korzen), w.Klucz, w.Nazwa});
    if (!ok) return std::nullopt;
    return p.Zakoncz();
}

bool SciezkaBezpieczna(std::string_view s)
{
    if (!PolePoprawne(s) || s.find('/') != std::string_view::npos) return false;
    std::string_view reszta;
    if (s.size() >= 3 && s[1] == ':' && s[2] == '\\' &&
        ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'))) {
        reszta = s.substr(3);
    } else if (s.size() > 2 && s[0] == '\\' && s[1] == '\\') {
        reszta = s.substr(2);
    } else {
        return false;
    }
    // Every part below the root: not empty, not "." nor "..", no further ':' (no streams, no other drive).
    std::size_t od = 0;
    for (;;) {
        const auto ukosnik = reszta.find('\\', od);
        const std::string_view czesc = reszta.substr(od, ukosnik - od);
        if (czesc.empty() || czesc == "." || czesc == ".." || czesc.find(':') != std::string_view::npos)
            return false;
        if (ukosnik == std::string_view::npos) return true;
        od = ukosnik + 1;
    }
}

bool WKatalogu(std::string_view sciezka, std::string_view katalog)
{
    if (katalog.empty() || sciezka.size() < katalog.size() || sciezka.substr(0, katalog.size()) != katalog)
        return false;
    return sciezka.size() == katalog.size() || sciezka[katalog.size()] == '\\';
}

TOdczytRekordu CzytajRekord(std::string_view tekst)
{
    TOdczytRekordu wynik;
    const auto odrzuc = [&wynik](TWynikRekordu powod, int wiersz) {
        wynik.Wynik = powod;
        wynik.Wiersz = wiersz;
        wynik.Rekord = {};
        return wynik;
    };
    if (tekst.substr(0, kNaglowek.size() + kKoniecWiersza.size()) != std::string(kNaglowek) + "\r\n")
        return odrzuc(TWynikRekordu::wrNaglowek, 1);

    // The end line is the last one: everything before it is what its digest covers.
    if (tekst.size() < 2 || tekst.substr(tekst.size() - 2) != kKoniecWiersza) return odrzuc(TWynikRekordu::wrKoniec, 0);
    const auto poczatekKonca = tekst.rfind(kKoniecWiersza, tekst.size() - 3);
    if (poczatekKonca == std::string_view::npos) return odrzuc(TWynikRekordu::wrKoniec, 0);
    const std::string_view tresc = tekst.substr(0, poczatekKonca + 2);
    const std::vector<std::string_view> koniec = Pola(tekst.substr(tresc.size(), tekst.size() - tresc.size() - 2));
    if (koniec.size() != 3 || koniec[0] != "end") return odrzuc(TWynikRekordu::wrKoniec, 0);
    const auto liczba = Liczba(koniec[1]);
    const auto wierszy = static_cast<std::uint64_t>(std::count(tresc.begin(), tresc.end(), '\n'));
    if (!liczba || *liczba != wierszy || !Skrot(koniec[2]) || koniec[2] != Sha256Hex(tresc))
        return odrzuc(TWynikRekordu::wrSuma, static_cast<int>(wierszy) + 1);

    TRekordDeinstalacji& r = wynik.Rekord;
    bool maKatalog = false, maJezyk = false;
    int numer = 1;
    std::size_t od = kNaglowek.size() + 2;
    while (od < tresc.size()) {
        ++numer;
        const auto cr = tresc.find(kKoniecWiersza, od);
        const std::string_view wiersz = tresc.substr(od, cr - od);
        od = cr + 2;
        if (wiersz.find_first_of("\r\n") != std::string_view::npos) return odrzuc(TWynikRekordu::wrWiersz, numer);
        const std::vector<std::string_view> p = Pola(wiersz);
        for (std::string_view pole : p)
            if (!PolePoprawne(pole)) return odrzuc(TWynikRekordu::wrWiersz, numer);
        const std::string_view rodzaj = p[0];

        if (rodzaj == "target" && p.size() == 2 && !maKatalog && SciezkaBezpieczna(p[1])) {
            r.Katalog = p[1];
            maKatalog = true;
            continue;
        }
        if (rodzaj == "language" && p.size() == 2 && !maJezyk) {
            const auto j = Liczba(p[1]);
            if (!j || *j >= static_cast<std::uint64_t>(kLanguageCount)) return odrzuc(TWynikRekordu::wrWiersz, numer);
            r.Jezyk = static_cast<TJezyk>(*j);
            maJezyk = true;
            continue;
        }
        // Every entry comes after the target folder it is checked against.
        if (!maKatalog) return odrzuc(TWynikRekordu::wrWiersz, numer);
        if ((rodzaj == "file" || rodzaj == "link") && p.size() == 4) {
            const auto rozmiar = Liczba(p[1]);
            if (!rozmiar || !Skrot(p[2]) || !SciezkaBezpieczna(p[3])) return odrzuc(TWynikRekordu::wrWiersz, numer);
            const bool plik = rodzaj == "file";
            if (plik ? !WKatalogu(p[3], r.Katalog) || p[3] == r.Katalog : !KonczySieNa(p[3], ".lnk"))
                return odrzuc(TWynikRekordu::wrWiersz, numer);
            (plik ? r.Pliki : r.Skroty).push_back({std::string(p[3]), *rozmiar, std::string(p[2])});
        } else if (rodzaj == "folder" && p.size() == 2 && SciezkaBezpieczna(p[1]) && WKatalogu(p[1], r.Katalog)) {
            r.Katalogi.emplace_back(p[1]);
        } else if (rodzaj == "group" && p.size() == 2 && SciezkaBezpieczna(p[1])) {
            r.Grupy.emplace_back(p[1]);
        } else if (rodzaj == "key" && p.size() == 3 && Korzen(p[1]) && KluczPoprawny(p[2])) {
            r.Klucze.push_back({*Korzen(p[1]), std::string(p[2])});
        } else if (rodzaj == "value" && p.size() == 4 && Korzen(p[1]) && KluczPoprawny(p[2])) {
            r.Wartosci.push_back({*Korzen(p[1]), std::string(p[2]), std::string(p[3])});
        } else {
            return odrzuc(TWynikRekordu::wrWiersz, numer);
        }
    }
    if (!maKatalog || !maJezyk) return odrzuc(TWynikRekordu::wrWiersz, 0);
    return wynik;
}
