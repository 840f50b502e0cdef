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

char Mala(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool TenSamAscii(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Mala(x) == Mala(y);
           });
}

// A name Windows opens as a device in any folder, with or without an extension: "nul.txt" is NUL.
bool NazwaUrzadzenia(std::string_view nazwa)
{
    nazwa = nazwa.substr(0, nazwa.find('.'));
    while (!nazwa.empty() && nazwa.back() == ' ') nazwa.remove_suffix(1);
    for (std::string_view u : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (TenSamAscii(nazwa, u)) return true;
    if (nazwa.size() < 4) return false;
    const std::string_view rodzaj = nazwa.substr(0, 3), numer = nazwa.substr(3);
    if (!TenSamAscii(rodzaj, "com") && !TenSamAscii(rodzaj, "lpt")) return false;
    // COM0..COM9, and the superscript digits one to three ("COM¹") that Windows counts too.
    return (numer.size() == 1 && numer[0] >= '0' && numer[0] <= '9') ||
           numer == "\xc2\xb9" || numer == "\xc2\xb2" || numer == "\xc2\xb3";
}

// One part of a path: a plain name that names the same file whatever layer of Windows reads it.
bool CzescPoprawna(std::string_view czesc)
{
    if (czesc.empty() || czesc == "." || czesc == "..") return false;
    if (czesc.back() == '.' || czesc.back() == ' ') return false;
    for (char c : czesc)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return false;
    return !NazwaUrzadzenia(czesc);
}

// A key of the product: at or below one of its vendor's keys, or its own uninstall entry.
bool KluczProduktu(std::string_view klucz, const TMiejscaProduktu& m, bool wartosc)
{
    for (const std::string& k : m.KluczeProduktu)
        if (WKataloguBezWielkosci(klucz, k)) return true;
    if (!m.KluczDeinstalacji.empty() && TenSamAscii(klucz, m.KluczDeinstalacji)) return true;
    // The list of programs holds other programs' entries: only its emptiness lets it go, never a value.
    return !wartosc && TenSamAscii(klucz, kKluczeDeinstalacji);
}

bool WJednym(std::string_view sciezka, const std::vector<std::string>& foldery)
{
    return std::any_of(foldery.begin(), foldery.end(),
                       [&](const std::string& f) { return !f.empty() && TenSamAscii(sciezka, f); });
}

// A link directly in a group of the product or in a Programs or Desktop folder.
bool SkrotProduktu(std::string_view sciezka, const TMiejscaProduktu& m)
{
    if (!KonczySieNa(sciezka, ".lnk")) return false;
    const std::string_view folder = sciezka.substr(0, sciezka.rfind('\\'));
    return WJednym(folder, m.Grupy) || WJednym(folder, m.FolderySkrotow);
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
    // A drive only: a UNC path would send the administrator's credentials to another machine, and "\\?\" or
    // "\\.\" pass by the checks of the names.
    if (s.size() < 4 || s[1] != ':' || s[2] != '\\' || !((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')))
        return false;
    const std::string_view reszta = s.substr(3);
    std::size_t od = 0;
    for (;;) {
        const auto ukosnik = reszta.find('\\', od);
        if (!CzescPoprawna(reszta.substr(od, ukosnik - od))) return false;
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

bool WKataloguBezWielkosci(std::string_view sciezka, std::string_view katalog)
{
    if (katalog.empty() || sciezka.size() < katalog.size() || !TenSamAscii(sciezka.substr(0, katalog.size()), katalog))
        return false;
    return sciezka.size() == katalog.size() || sciezka[katalog.size()] == '\\';
}

TOdczytRekordu CzytajRekord(std::string_view tekst, const TMiejscaProduktu& miejsca, const std::function<void()>& tetno)
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
        if (tetno && numer % 1024 == 0) tetno();
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
        // Every entry comes after the target folder it is checked against, and after the language.
        if (!maKatalog || !maJezyk) return odrzuc(TWynikRekordu::wrWiersz, numer);
        if ((rodzaj == "file" || rodzaj == "link") && p.size() == 4) {
            const auto rozmiar = Liczba(p[1]);
            if (!rozmiar || !Skrot(p[2]) || !SciezkaBezpieczna(p[3])) return odrzuc(TWynikRekordu::wrWiersz, numer);
            const bool plik = rodzaj == "file";
            if (plik ? !WKatalogu(p[3], r.Katalog) || p[3] == r.Katalog : !SkrotProduktu(p[3], miejsca))
                return odrzuc(TWynikRekordu::wrWiersz, numer);
            (plik ? r.Pliki : r.Skroty).push_back({std::string(p[3]), *rozmiar, std::string(p[2])});
        } else if (rodzaj == "folder" && p.size() == 2 && SciezkaBezpieczna(p[1]) && WKatalogu(p[1], r.Katalog)) {
            r.Katalogi.emplace_back(p[1]);
        } else if (rodzaj == "group" && p.size() == 2 && SciezkaBezpieczna(p[1]) && WJednym(p[1], miejsca.Grupy)) {
            r.Grupy.emplace_back(p[1]);
        } else if (rodzaj == "key" && p.size() == 3 && Korzen(p[1]) && KluczPoprawny(p[2]) &&
                   KluczProduktu(p[2], miejsca, false)) {
            r.Klucze.push_back({*Korzen(p[1]), std::string(p[2])});
        } else if (rodzaj == "value" && p.size() == 4 && Korzen(p[1]) && KluczPoprawny(p[2]) &&
                   KluczProduktu(p[2], miejsca, true)) {
            r.Wartosci.push_back({*Korzen(p[1]), std::string(p[2]), std::string(p[3])});
        } else {
            return odrzuc(TWynikRekordu::wrWiersz, numer);
        }
    }
    if (!maKatalog || !maJezyk) return odrzuc(TWynikRekordu::wrWiersz, 0);
    return wynik;
}
