// Uninstallation helpers: fingerprints, the record file, and the removal in the order that leaves folders and
// keys empty before they are tried.
#include "uninstall/untDeinstalFunkcje.h"

#include <algorithm>

#include "install/ProductView.h"
#include "install/Produkt.h"
#include "install/TKod.h"
#include "install/WinHandle.h"
#include "install/untInstalFunkcje.h"
#include "ui/Unicode.h"
#include "uninstall/Sha256.h"

namespace {

constexpr std::string_view kKluczeDeinstalacji = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool ZaczynaSieOd(std::string_view tekst, std::string_view poczatek)
{
    return tekst.size() >= poczatek.size() && TenSamTekst(tekst.substr(0, poczatek.size()), poczatek) &&
           (tekst.size() == poczatek.size() || tekst[poczatek.size()] == '\\');
}

std::string NazwaKlucza(TKorzen korzen, std::string_view klucz)
{
    return std::string(korzen == TKorzen::HKLM ? "HKLM\\" : "HKCU\\") + std::string(klucz);
}

// A string value as it is stored; nothing when the key or the value is missing or not a string.
std::optional<std::string> CzytajTekst(TKorzen korzen, std::string_view klucz, const wchar_t* nazwa)
{
    const std::wstring k = Widen(klucz);
    DWORD rozmiar = 0;
    if (GetProductValue(UchwytKorzenia(korzen), k.c_str(), nazwa, RRF_RT_REG_SZ, nullptr, nullptr, &rozmiar) !=
        ERROR_SUCCESS)
        return std::nullopt;
    std::wstring tekst(rozmiar / sizeof(wchar_t) + 1, L'\0');
    rozmiar = static_cast<DWORD>(tekst.size() * sizeof(wchar_t));
    if (GetProductValue(UchwytKorzenia(korzen), k.c_str(), nazwa, RRF_RT_REG_SZ, nullptr, tekst.data(), &rozmiar) !=
        ERROR_SUCCESS)
        return std::nullopt;
    tekst.resize(wcsnlen(tekst.c_str(), tekst.size()));
    return Narrow(tekst);
}

int Glebokosc(std::string_view sciezka)
{
    return static_cast<int>(std::count(sciezka.begin(), sciezka.end(), '\\'));
}

// Innermost first: deeper paths before their parents, and among equals the later recorded first.
std::vector<std::string> OdSrodka(std::vector<std::string> sciezki)
{
    std::reverse(sciezki.begin(), sciezki.end());
    std::stable_sort(sciezki.begin(), sciezki.end(),
                     [](const std::string& a, const std::string& b) { return Glebokosc(a) > Glebokosc(b); });
    return sciezki;
}

class TUsuwanie {
public:
    TUsuwanie(const TRekordDeinstalacji& rekord, const TObslugaUsuwania& obsluga)
        : FRekord(rekord), FObsluga(obsluga)
    {
        FWszystkie = static_cast<int>(rekord.Pliki.size() + rekord.Skroty.size() + rekord.Wartosci.size() +
                                      rekord.Klucze.size() + rekord.Grupy.size() + rekord.Katalogi.size()) + 1;
        for (TKorzen k : {TKorzen::HKCU, TKorzen::HKLM}) {
            FObceUstawienia[Indeks(k)] = UstawieniaInnejInstalacji(k);
            FObcyWpis[Indeks(k)] = WpisInnejInstalacji(k);
        }
    }

    TWynikUsuwania Wykonaj(std::string_view plikRekordu);

private:
    static int Indeks(TKorzen k) { return k == TKorzen::HKLM ? 1 : 0; }
    void Krok(const std::string& co)
    {
        if (FObsluga.Postep) FObsluga.Postep(co, FZrobione, FWszystkie);
        ++FZrobione;
    }
    void Zostaw(std::string co, TPowod powod) { FWynik.Pozostawione.push_back({std::move(co), powod}); }
    bool UsunPlik(const std::string& sciezka);
    void Pliki();
    void Skroty();
    void Wartosci();
    void Klucze();
    void Katalogi(const std::vector<std::string>& katalogi);
    bool InnejInstalacji(TKorzen korzen, std::string_view klucz) const
    {
        return ZaczynaSieOd(klucz, kKluczeDeinstalacji) ? FObcyWpis[Indeks(korzen)] : FObceUstawienia[Indeks(korzen)];
    }
    bool UstawieniaInnejInstalacji(TKorzen korzen) const;
    bool WpisInnejInstalacji(TKorzen korzen) const;

    const TRekordDeinstalacji& FRekord;
    const TObslugaUsuwania& FObsluga;
    TWynikUsuwania FWynik;
    int FZrobione = 0;
    int FWszystkie = 0;
    bool FObceUstawienia[2] = {};
    bool FObcyWpis[2] = {};
};

// The settings key names the installed folder: a later installation elsewhere has taken the settings over.
bool TUsuwanie::UstawieniaInnejInstalacji(TKorzen korzen) const
{
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    if (!opis) return false;
    const std::optional<std::string> katalog = CzytajTekst(korzen, opis->KluczUstawien, L"Katalog");
    if (!katalog) return false;
    const TOdkodowane d = DekodujWartosc(*katalog, NumerProduktu, kFlagaUstawien, kPoziomUstawien);
    // A value that does not decode cannot be shown to be ours: it stays.
    return d.Wynik != TWynikKodu::wkDobrze || !TenSamTekst(d.Tekst, FRekord.Katalog);
}

bool TUsuwanie::WpisInnejInstalacji(TKorzen korzen) const
{
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    if (!opis) return false;
    const std::optional<std::string> polecenie = CzytajTekst(korzen, KluczDeinstalacji(*opis), L"UninstallString");
    return polecenie && !TenSamTekst(*polecenie, PolecenieDeinstalacji(*opis, FRekord.Katalog));
}

bool TUsuwanie::UsunPlik(const std::string& sciezka)
{
    if (DeleteFileW(Widen(sciezka).c_str())) return true;
    // Gone already (by the user, or a second uninstallation): nothing to remove, nothing kept.
    if (GetFileAttributesW(Widen(sciezka).c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    Zostaw(sciezka, TPowod::pwNieUsuniety);
    return false;
}

void TUsuwanie::Pliki()
{
    enum TStan { Niezmieniony, Zmieniony, Brak, Nieczytelny };
    std::vector<TStan> stany;
    std::vector<std::string> zmienione;
    for (const TPlikRekordu& p : FRekord.Pliki) {
        const std::optional<TPlikRekordu> teraz = OdciskPliku(p.Sciezka);
        TStan stan = Niezmieniony;
        if (!teraz)
            stan = GetFileAttributesW(Widen(p.Sciezka).c_str()) == INVALID_FILE_ATTRIBUTES ? Brak : Nieczytelny;
        else if (teraz->Rozmiar != p.Rozmiar || teraz->Sha256 != p.Sha256)
            stan = Zmieniony;
        if (stan == Zmieniony) zmienione.push_back(p.Sciezka);
        stany.push_back(stan);
    }
    const bool usunZmienione = !zmienione.empty() && FObsluga.UsunZmienione && FObsluga.UsunZmienione(zmienione);

    // Newest first, as they were written.
    for (std::size_t i = FRekord.Pliki.size(); i-- > 0;) {
        const std::string& sciezka = FRekord.Pliki[i].Sciezka;
        Krok(sciezka);
        if (stany[i] == Brak) continue;
        if (stany[i] == Nieczytelny) {
            Zostaw(sciezka, TPowod::pwNieUsuniety);
        } else if (stany[i] == Zmieniony && !usunZmienione) {
            Zostaw(sciezka, TPowod::pwZmieniony);
        } else if (UsunPlik(sciezka)) {
            ++FWynik.Pliki;
        }
    }
}

void TUsuwanie::Skroty()
{
    for (std::size_t i = FRekord.Skroty.size(); i-- > 0;) {
        const TPlikRekordu& s = FRekord.Skroty[i];
        Krok(s.Sciezka);
        const std::optional<TPlikRekordu> teraz = OdciskPliku(s.Sciezka);
        if (!teraz) {
            if (GetFileAttributesW(Widen(s.Sciezka).c_str()) != INVALID_FILE_ATTRIBUTES)
                Zostaw(s.Sciezka, TPowod::pwNieUsuniety);
            continue;
        }
        // A link rewritten since (by another installation, or the user) is not this installation's any more.
        if (teraz->Rozmiar != s.Rozmiar || teraz->Sha256 != s.Sha256) {
            Zostaw(s.Sciezka, TPowod::pwZmieniony);
            continue;
        }
        if (UsunPlik(s.Sciezka)) ++FWynik.Skroty;
    }
}

void TUsuwanie::Wartosci()
{
    for (const TWartoscRekordu& w : FRekord.Wartosci) {
        const std::string opis = NazwaKlucza(w.Korzen, w.Klucz) + " \"" + w.Nazwa + "\"";
        Krok(opis);
        UniqueRegKey klucz;
        if (RegOpenKeyExW(UchwytKorzenia(w.Korzen), Widen(w.Klucz).c_str(), 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE | kProductView, klucz.Receive()) != ERROR_SUCCESS) {
            // A missing key holds nothing to remove; one that exists but cannot be opened stays as it is.
            if (KluczIstnieje(w.Korzen, w.Klucz)) Zostaw(opis, TPowod::pwNieUsuniety);
            continue;
        }
        const std::wstring nazwa = Widen(w.Nazwa);
        if (RegQueryValueExW(klucz.Get(), nazwa.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        if (InnejInstalacji(w.Korzen, w.Klucz)) {
            Zostaw(opis, TPowod::pwInnaInstalacja);
            continue;
        }
        if (RegDeleteValueW(klucz.Get(), nazwa.c_str()) == ERROR_SUCCESS)
            ++FWynik.Rejestr;
        else
            Zostaw(opis, TPowod::pwNieUsuniety);
    }
}

void TUsuwanie::Klucze()
{
    std::vector<TKluczRekordu> klucze = FRekord.Klucze;
    std::reverse(klucze.begin(), klucze.end());
    std::stable_sort(klucze.begin(), klucze.end(), [](const TKluczRekordu& a, const TKluczRekordu& b) {
        return Glebokosc(a.Klucz) > Glebokosc(b.Klucz);
    });
    for (const TKluczRekordu& k : klucze) {
        const std::string opis = NazwaKlucza(k.Korzen, k.Klucz);
        Krok(opis);
        DWORD podklucze = 0, wartosci = 0;
        bool zbadany = false;
        {
            UniqueRegKey otwarty;
            if (RegOpenKeyExW(UchwytKorzenia(k.Korzen), Widen(k.Klucz).c_str(), 0, KEY_QUERY_VALUE | kProductView,
                              otwarty.Receive()) != ERROR_SUCCESS)
                continue;
            zbadany = RegQueryInfoKeyW(otwarty.Get(), nullptr, nullptr, nullptr, &podklucze, nullptr, nullptr,
                                       &wartosci, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        }
        if (!zbadany) {
            Zostaw(opis, TPowod::pwNieUsuniety);
        } else if (podklucze != 0 || wartosci != 0) {
            // What holds the values of another installation of the product says so; anything else is foreign.
            Zostaw(opis, InnejInstalacji(k.Korzen, k.Klucz) ? TPowod::pwInnaInstalacja : TPowod::pwNiePusty);
        } else if (DeleteProductKey(UchwytKorzenia(k.Korzen), Widen(k.Klucz).c_str()) == ERROR_SUCCESS) {
            ++FWynik.Rejestr;
        } else {
            Zostaw(opis, TPowod::pwNieUsuniety);
        }
    }
}

void TUsuwanie::Katalogi(const std::vector<std::string>& katalogi)
{
    for (const std::string& k : OdSrodka(katalogi)) {
        Krok(k);
        const std::wstring w = Widen(k);
        if (RemoveDirectoryW(w.c_str())) {
            ++FWynik.Katalogi;
            continue;
        }
        const DWORD blad = GetLastError();
        if (GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        Zostaw(k, blad == ERROR_DIR_NOT_EMPTY ? TPowod::pwNiePusty : TPowod::pwNieUsuniety);
    }
}

TWynikUsuwania TUsuwanie::Wykonaj(std::string_view plikRekordu)
{
    Pliki();
    Skroty();
    Wartosci();
    Klucze();
    // The record goes last of the files: until then a second run could still finish the work.
    Krok(std::string(plikRekordu));
    DeleteFileW(Widen(plikRekordu).c_str());
    Katalogi(FRekord.Grupy);
    Katalogi(FRekord.Katalogi);
    return std::move(FWynik);
}

} // namespace

bool TenSamTekst(std::string_view a, std::string_view b)
{
    const std::wstring x = Widen(a), y = Widen(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

HKEY UchwytKorzenia(TKorzen korzen)
{
    return korzen == TKorzen::HKLM ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool KluczIstnieje(TKorzen korzen, std::string_view klucz)
{
    UniqueRegKey k;
    return RegOpenKeyExW(UchwytKorzenia(korzen), Widen(klucz).c_str(), 0, KEY_READ | kProductView, k.Receive()) ==
           ERROR_SUCCESS;
}

std::vector<std::string> BrakujaceKlucze(TKorzen korzen, std::string_view klucz)
{
    std::vector<std::string> brakujace;
    for (std::size_t od = 0;;) {
        const auto ukosnik = klucz.find('\\', od);
        const std::string_view czesc = klucz.substr(0, ukosnik);
        if (!KluczIstnieje(korzen, czesc)) brakujace.emplace_back(czesc);
        if (ukosnik == std::string_view::npos) return brakujace;
        od = ukosnik + 1;
    }
}

std::optional<TPlikRekordu> OdciskPliku(std::string_view sciezka)
{
    const UniqueHandle plik(CreateFileW(Widen(sciezka).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!plik) return std::nullopt;
    TSha256 skrot;
    std::uint64_t rozmiar = 0;
    std::vector<char> bufor(65536);
    for (;;) {
        DWORD przeczytano = 0;
        if (!ReadFile(plik.Get(), bufor.data(), static_cast<DWORD>(bufor.size()), &przeczytano, nullptr))
            return std::nullopt;
        if (przeczytano == 0) break;
        skrot.Update(bufor.data(), przeczytano);
        rozmiar += przeczytano;
    }
    return TPlikRekordu{std::string(sciezka), rozmiar, skrot.HexDigest()};
}

bool ZapiszPlikRekordu(std::string_view sciezka, TRekordDeinstalacji rekord)
{
    for (auto* lista : {&rekord.Pliki, &rekord.Skroty}) {
        std::vector<TPlikRekordu> odcisniete;
        for (const TPlikRekordu& p : *lista)
            if (std::optional<TPlikRekordu> o = OdciskPliku(p.Sciezka)) odcisniete.push_back(std::move(*o));
        *lista = std::move(odcisniete);
    }
    const std::optional<std::string> tekst = TekstRekordu(rekord);
    if (!tekst) return false;
    const UniqueHandle plik = NowyPlik(sciezka);
    DWORD zapisano = 0;
    return plik && WriteFile(plik.Get(), tekst->data(), static_cast<DWORD>(tekst->size()), &zapisano, nullptr) &&
           zapisano == tekst->size();
}

TWynikUsuwania UsunZainstalowane(const TRekordDeinstalacji& rekord, std::string_view plikRekordu,
                                 const TObslugaUsuwania& obsluga)
{
    TUsuwanie usuwanie(rekord, obsluga);
    return usuwanie.Wykonaj(plikRekordu);
}

std::string KluczDeinstalacji(const TOpisProduktu& opis)
{
    return std::string(kKluczeDeinstalacji) + "\\" + opis.NazwaDeinstalacji;
}

std::string PolecenieDeinstalacji(const TOpisProduktu& opis, std::string_view katalog)
{
    std::string sciezka(katalog);
    if (sciezka.empty() || sciezka.back() != '\\') sciezka += '\\';
    return "\"" + sciezka + opis.Deinstalator + "\"";
}
