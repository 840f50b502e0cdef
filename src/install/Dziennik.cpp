// The installation journal's text: writing a line, reading the whole.
#include "install/Dziennik.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr std::string_view kWersja = "1";

struct TNazwaRodzaju {
    TRodzajWpisu Rodzaj;
    std::string_view Nazwa;
};
constexpr TNazwaRodzaju kNazwy[] = {
    {TRodzajWpisu::Przebieg, "run"},      {TRodzajWpisu::Katalog, "folder"}, {TRodzajWpisu::Plik, "file"},
    {TRodzajWpisu::Zastapiony, "replace"}, {TRodzajWpisu::Systemowy, "system"}, {TRodzajWpisu::Skrot, "link"},
    {TRodzajWpisu::Grupa, "group"},       {TRodzajWpisu::Klucz, "key"},      {TRodzajWpisu::Wartosc, "value"},
    {TRodzajWpisu::Wynik, "done"},        {TRodzajWpisu::Bez, "none"},       {TRodzajWpisu::Koniec, "end"},
};

std::uint32_t Fnv1a(std::string_view s)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : s) h = (h ^ c) * 16777619u;
    return h;
}

std::string Hex8(std::uint32_t v)
{
    char b[9];
    std::snprintf(b, sizeof b, "%08x", v);
    return b;
}

std::string Zakoduj(std::string_view pole)
{
    std::string w;
    w.reserve(pole.size());
    for (char c : pole) {
        switch (c) {
        case '%': w += "%25"; break;
        case '\t': w += "%09"; break;
        case '\r': w += "%0D"; break;
        case '\n': w += "%0A"; break;
        default: w += c;
        }
    }
    return w;
}

int Cyfra(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Odkoduj(std::string_view pole)
{
    std::string w;
    w.reserve(pole.size());
    for (std::size_t i = 0; i < pole.size(); ++i) {
        if (pole[i] != '%') {
            w += pole[i];
            continue;
        }
        if (i + 2 >= pole.size()) return std::nullopt;
        const int a = Cyfra(pole[i + 1]), b = Cyfra(pole[i + 2]);
        if (a < 0 || b < 0) return std::nullopt;
        w += static_cast<char>(a * 16 + b);
        i += 2;
    }
    return w;
}

std::string NaHex(std::string_view dane)
{
    static constexpr char kCyfry[] = "0123456789abcdef";
    std::string w;
    w.reserve(dane.size() * 2);
    for (unsigned char c : dane) {
        w += kCyfry[c >> 4];
        w += kCyfry[c & 15];
    }
    return w;
}

std::optional<std::string> ZHex(std::string_view hex)
{
    if (hex.size() % 2) return std::nullopt;
    std::string w(hex.size() / 2, '\0');
    for (std::size_t i = 0; i < w.size(); ++i) {
        const int a = Cyfra(hex[2 * i]), b = Cyfra(hex[2 * i + 1]);
        if (a < 0 || b < 0) return std::nullopt;
        w[i] = static_cast<char>(a * 16 + b);
    }
    return w;
}

template <typename T>
std::optional<T> Liczba(std::string_view s)
{
    T v{};
    const auto [p, e] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || e != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string_view Korzen(TKorzen k)
{
    return k == TKorzen::HKLM ? "HKLM" : "HKCU";
}

std::vector<std::string> Pola(const TWpisDziennika& w)
{
    const auto kopia = [](const std::string& k) { return k.empty() ? std::string("-") : Zakoduj(k); };
    switch (w.Rodzaj) {
    case TRodzajWpisu::Przebieg:
        return {std::to_string(w.Numer), std::to_string(static_cast<int>(w.Jezyk)), Zakoduj(w.Sciezka)};
    case TRodzajWpisu::Katalog:
    case TRodzajWpisu::Plik:
    case TRodzajWpisu::Grupa: return {Zakoduj(w.Sciezka)};
    case TRodzajWpisu::Zastapiony:
    case TRodzajWpisu::Systemowy:
    case TRodzajWpisu::Skrot: return {Zakoduj(w.Sciezka), kopia(w.Kopia)};
    case TRodzajWpisu::Klucz: return {std::string(Korzen(w.Korzen)), Zakoduj(w.Sciezka)};
    case TRodzajWpisu::Wartosc:
        return {std::string(Korzen(w.Korzen)), Zakoduj(w.Sciezka), Zakoduj(w.Nazwa),
                w.BylaWartosc ? std::to_string(w.Typ) : std::string("-"), w.BylaWartosc ? NaHex(w.Dane) : ""};
    case TRodzajWpisu::Wynik: return {std::to_string(w.Numer), std::to_string(w.Rozmiar), w.Sha256};
    case TRodzajWpisu::Bez: return {std::to_string(w.Numer)};
    case TRodzajWpisu::Koniec:
    case TRodzajWpisu::Nieczytelny: break;
    }
    return {};
}

std::string ZPolami(std::string_view nazwa, const std::vector<std::string>& pola)
{
    std::string linia(nazwa);
    for (const std::string& p : pola) linia += "\t" + p;
    return linia + "\t" + Hex8(Fnv1a(linia)) + "\r\n";
}

std::vector<std::string_view> Podziel(std::string_view linia)
{
    std::vector<std::string_view> pola;
    for (std::size_t od = 0;;) {
        const std::size_t tab = linia.find('\t', od);
        pola.push_back(linia.substr(od, tab == std::string_view::npos ? std::string_view::npos : tab - od));
        if (tab == std::string_view::npos) return pola;
        od = tab + 1;
    }
}

std::optional<TKorzen> KorzenZ(std::string_view s)
{
    if (s == "HKCU") return TKorzen::HKCU;
    if (s == "HKLM") return TKorzen::HKLM;
    return std::nullopt;
}

// One line without its CR LF and checksum; nothing when it breaks the format.
std::optional<TWpisDziennika> Wpis(std::string_view tresc)
{
    const std::vector<std::string_view> p = Podziel(tresc);
    const TNazwaRodzaju* rodzaj = nullptr;
    for (const TNazwaRodzaju& n : kNazwy)
        if (n.Nazwa == p[0]) rodzaj = &n;
    if (!rodzaj) return std::nullopt;
    TWpisDziennika w;
    w.Rodzaj = rodzaj->Rodzaj;
    const std::size_t n = p.size() - 1;
    const auto sciezka = [&](std::size_t i, std::string& cel) {
        std::optional<std::string> s = Odkoduj(p[i]);
        if (!s || s->empty()) return false;
        cel = std::move(*s);
        return true;
    };
    const auto kopia = [&](std::size_t i) { return p[i] == "-" || sciezka(i, w.Kopia); };
    switch (w.Rodzaj) {
    case TRodzajWpisu::Przebieg: {
        if (n != 3) return std::nullopt;
        const auto pid = Liczba<std::uint32_t>(p[1]);
        const auto jezyk = Liczba<int>(p[2]);
        if (!pid || !jezyk || *jezyk < 0 || *jezyk > 6 || !sciezka(3, w.Sciezka)) return std::nullopt;
        w.Numer = *pid;
        w.Jezyk = static_cast<TJezyk>(*jezyk);
        return w;
    }
    case TRodzajWpisu::Katalog:
    case TRodzajWpisu::Plik:
    case TRodzajWpisu::Grupa:
        if (n != 1 || !sciezka(1, w.Sciezka)) return std::nullopt;
        return w;
    case TRodzajWpisu::Zastapiony:
    case TRodzajWpisu::Systemowy:
    case TRodzajWpisu::Skrot:
        if (n != 2 || !sciezka(1, w.Sciezka) || !kopia(2)) return std::nullopt;
        if (w.Rodzaj == TRodzajWpisu::Zastapiony && w.Kopia.empty()) return std::nullopt;
        return w;
    case TRodzajWpisu::Klucz: {
        const auto k = n == 2 ? KorzenZ(p[1]) : std::nullopt;
        if (!k || !sciezka(2, w.Sciezka)) return std::nullopt;
        w.Korzen = *k;
        return w;
    }
    case TRodzajWpisu::Wartosc: {
        const auto k = n == 5 ? KorzenZ(p[1]) : std::nullopt;
        if (!k || !sciezka(2, w.Sciezka)) return std::nullopt;
        std::optional<std::string> nazwa = Odkoduj(p[3]);  // the default value has an empty name
        if (!nazwa) return std::nullopt;
        w.Korzen = *k;
        w.Nazwa = std::move(*nazwa);
        if (p[4] == "-") {
            if (!p[5].empty()) return std::nullopt;
            return w;
        }
        const auto typ = Liczba<std::uint32_t>(p[4]);
        std::optional<std::string> dane = ZHex(p[5]);
        if (!typ || !dane) return std::nullopt;
        w.BylaWartosc = true;
        w.Typ = *typ;
        w.Dane = std::move(*dane);
        return w;
    }
    case TRodzajWpisu::Wynik: {
        const auto numer = n == 3 ? Liczba<std::uint32_t>(p[1]) : std::nullopt;
        const auto rozmiar = n == 3 ? Liczba<std::uint64_t>(p[2]) : std::nullopt;
        if (!numer || !rozmiar || p[3].size() != 64 || !ZHex(p[3])) return std::nullopt;
        w.Numer = *numer;
        w.Rozmiar = *rozmiar;
        w.Sha256 = std::string(p[3]);
        return w;
    }
    case TRodzajWpisu::Bez: {
        const auto numer = n == 1 ? Liczba<std::uint32_t>(p[1]) : std::nullopt;
        if (!numer) return std::nullopt;
        w.Numer = *numer;
        return w;
    }
    case TRodzajWpisu::Koniec:
        if (n != 0) return std::nullopt;
        return w;
    case TRodzajWpisu::Nieczytelny: break;
    }
    return std::nullopt;
}

// The content of a line whose checksum holds; nothing otherwise.
std::optional<std::string_view> Sprawdzona(std::string_view linia)
{
    const std::size_t tab = linia.rfind('\t');
    if (tab == std::string_view::npos || linia.size() - tab - 1 != 8) return std::nullopt;
    const std::string_view tresc = linia.substr(0, tab);
    if (linia.substr(tab + 1) != Hex8(Fnv1a(tresc))) return std::nullopt;
    return tresc;
}

} // namespace

std::string LiniaDziennika(const TWpisDziennika& wpis)
{
    for (const TNazwaRodzaju& n : kNazwy)
        if (n.Rodzaj == wpis.Rodzaj) return ZPolami(n.Nazwa, Pola(wpis));
    return {};
}

std::string NaglowekDziennika()
{
    return ZPolami(kNaglowekDziennika, {std::string(kWersja)});
}

TOdczytDziennika CzytajDziennik(std::string_view tekst)
{
    TOdczytDziennika odczyt;
    bool pierwsza = true;
    while (!tekst.empty()) {
        const std::size_t koniec = tekst.find("\r\n");
        // Without its CR LF the line was cut while being written.
        const bool cala = koniec != std::string_view::npos;
        const std::string_view linia = tekst.substr(0, cala ? koniec : tekst.size());
        tekst.remove_prefix(cala ? koniec + 2 : tekst.size());
        const std::optional<std::string_view> tresc = cala ? Sprawdzona(linia) : std::nullopt;
        if (pierwsza) {
            pierwsza = false;
            const std::vector<std::string_view> p = tresc ? Podziel(*tresc) : std::vector<std::string_view>{};
            odczyt.Naglowek = p.size() == 2 && p[0] == kNaglowekDziennika && p[1] == kWersja;
            if (!odczyt.Naglowek) return odczyt;
            continue;
        }
        std::optional<TWpisDziennika> w = tresc ? Wpis(*tresc) : std::nullopt;
        if (!w) {
            odczyt.Uszkodzone.push_back(static_cast<int>(odczyt.Wpisy.size() + 1));
            w = TWpisDziennika{.Rodzaj = TRodzajWpisu::Nieczytelny};
        }
        if (w->Rodzaj == TRodzajWpisu::Koniec) odczyt.Zakonczony = true;
        odczyt.Wpisy.push_back(std::move(*w));
    }
    return odczyt;
}
