// Uninstallation helpers: fingerprints, the record file, and the removal in the order that leaves folders and
// keys empty before they are tried.
#include "uninstall/untDeinstalFunkcje.h"

#include <algorithm>

#include "install/ProductView.h"
#include "install/Produkt.h"
#include "install/Skroty.h"
#include "install/TKod.h"
#include "install/WinHandle.h"
#include "install/Uprawnienia.h"
#include "install/untInstalFunkcje.h"
#include "ui/Unicode.h"
#include "uninstall/Sha256.h"

namespace {

bool ZaczynaSieOd(std::string_view tekst, std::string_view poczatek)
{
    return tekst.size() >= poczatek.size() && TenSamTekst(tekst.substr(0, poczatek.size()), poczatek) &&
           (tekst.size() == poczatek.size() || tekst[poczatek.size()] == '\\');
}

bool TenSamTekstW(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
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

// Where a folder really is, reparse points followed: the start of every place checked below it.
std::wstring MiejsceFolderu(std::string_view folder)
{
    const UniqueHandle h(CreateFileW(Widen(folder).c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h ? MiejsceUchwytu(h.Get()) : std::wstring();
}

enum class TOtwarcie : std::uint8_t {
    Otwarty,      // the handle holds what the record names, where it names it
    Brak,         // nothing there
    Obcy,         // a reparse point, or a path through one to another place
    Zablokowany,  // cannot be opened, or not of the recorded kind (a folder for a file)
};

struct TOtwarty {
    TOtwarcie Stan = TOtwarcie::Brak;
    UniqueHandle Uchwyt;
    bool Usuwalny = false;  // opened for deletion; false: in use by another program, opened to read only
};

// Opens a recorded file or folder without following a reparse point at its end, and keeps it only when the
// system places it where oczekiwane says: then nothing on the way led elsewhere. A file is shared for reading
// only, so that nothing changes or renames it between its digest and its deletion.
TOtwarty OtworzWMiejscu(const std::string& sciezka, const std::wstring& oczekiwane, bool katalog)
{
    const std::wstring w = Widen(sciezka);
    const DWORD flagi = FILE_FLAG_OPEN_REPARSE_POINT | (katalog ? FILE_FLAG_BACKUP_SEMANTICS : FILE_FLAG_SEQUENTIAL_SCAN);
    TOtwarty o;
    o.Uchwyt = UniqueHandle(katalog ? CreateFileW(w.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, flagi, nullptr)
                                    : CreateFileW(w.c_str(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES,
                                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, flagi, nullptr));
    o.Usuwalny = static_cast<bool>(o.Uchwyt);
    if (!o.Uchwyt) {
        const DWORD blad = GetLastError();
        if (blad == ERROR_FILE_NOT_FOUND || blad == ERROR_PATH_NOT_FOUND) return o;
        // Where it is, whoever holds it: reading the attributes conflicts with no program's sharing.
        const UniqueHandle gdzie(CreateFileW(w.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, flagi, nullptr));
        o.Stan = gdzie && !TenSamTekstW(MiejsceUchwytu(gdzie.Get()), oczekiwane) ? TOtwarcie::Obcy
                                                                                 : TOtwarcie::Zablokowany;
        if (o.Stan == TOtwarcie::Obcy) return o;
        // Held by a program that lets others read: reading still shows whether the file is ours.
        if (katalog || blad != ERROR_SHARING_VIOLATION) return o;
        o.Uchwyt = UniqueHandle(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flagi,
                                            nullptr));
        if (!o.Uchwyt) return o;
    }
    FILE_ATTRIBUTE_TAG_INFO atrybuty{};
    if (!GetFileInformationByHandleEx(o.Uchwyt.Get(), FileAttributeTagInfo, &atrybuty, sizeof atrybuty)) {
        o.Stan = TOtwarcie::Zablokowany;
        return o;
    }
    const bool folder = (atrybuty.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool punkt = (atrybuty.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (oczekiwane.empty() || !TenSamTekstW(MiejsceUchwytu(o.Uchwyt.Get()), oczekiwane) || (punkt && !katalog))
        o.Stan = TOtwarcie::Obcy;
    else if (folder != katalog)
        o.Stan = TOtwarcie::Zablokowany;
    else
        o.Stan = TOtwarcie::Otwarty;
    // A recorded folder that is itself a reparse point (its handle the link's own) is only unlinked.
    return o;
}

// Why a file that is there but was not checked stays: a reparse point leads elsewhere, or it cannot be read.
TPowod PowodOdlozenia(const TOtwarty& o)
{
    return o.Stan == TOtwarcie::Obcy ? TPowod::pwPrzekierowany : TPowod::pwNieUsuniety;
}

// The size and digest of what an open file holds, read from its start; tetno is called between the blocks of
// a large file, so that the window keeps answering.
std::optional<TPlikRekordu> OdciskUchwytu(HANDLE h, const std::string& sciezka, const std::function<void()>& tetno)
{
    LARGE_INTEGER poczatek{};
    if (!SetFilePointerEx(h, poczatek, nullptr, FILE_BEGIN)) return std::nullopt;
    TSha256 skrot;
    std::uint64_t rozmiar = 0;
    // One buffer for the thousands of files of a run.
    static thread_local std::vector<char> bufor(65536);
    for (;;) {
        DWORD przeczytano = 0;
        if (!ReadFile(h, bufor.data(), static_cast<DWORD>(bufor.size()), &przeczytano, nullptr)) return std::nullopt;
        if (przeczytano == 0) break;
        skrot.Update(bufor.data(), przeczytano);
        rozmiar += przeczytano;
        if (rozmiar % (64 * bufor.size()) == 0) tetno();
    }
    return TPlikRekordu{sciezka, rozmiar, skrot.HexDigest()};
}

// Deletes what the handle holds once it is closed. A read-only file loses that attribute first (files copied
// from a CD keep it); when the deletion still fails the attribute comes back.
DWORD UsunPrzezUchwyt(HANDLE h)
{
    FILE_DISPOSITION_INFO usun{TRUE};
    if (SetFileInformationByHandle(h, FileDispositionInfo, &usun, sizeof usun)) return ERROR_SUCCESS;
    const DWORD blad = GetLastError();
    FILE_BASIC_INFO atrybuty{};
    if (blad != ERROR_ACCESS_DENIED || !GetFileInformationByHandleEx(h, FileBasicInfo, &atrybuty, sizeof atrybuty) ||
        !(atrybuty.FileAttributes & FILE_ATTRIBUTE_READONLY))
        return blad;
    const DWORD przedtem = atrybuty.FileAttributes;
    atrybuty.FileAttributes = przedtem & ~FILE_ATTRIBUTE_READONLY;
    if (atrybuty.FileAttributes == 0) atrybuty.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(h, FileBasicInfo, &atrybuty, sizeof atrybuty)) return blad;
    if (SetFileInformationByHandle(h, FileDispositionInfo, &usun, sizeof usun)) return ERROR_SUCCESS;
    const DWORD drugi = GetLastError();
    atrybuty.FileAttributes = przedtem;
    SetFileInformationByHandle(h, FileBasicInfo, &atrybuty, sizeof atrybuty);
    return drugi;
}

class TUsuwanie {
public:
    TUsuwanie(const TRekordDeinstalacji& rekord, const TMiejscaProduktu& miejsca, const TObslugaUsuwania& obsluga,
              TCelDeinstalacji* cel)
        : FRekord(rekord), FMiejsca(miejsca), FObsluga(obsluga)
    {
        if (!cel) {
            FWlasnyCel = OtworzCel(rekord.Katalog);
            cel = &FWlasnyCel;
        }
        FCel = cel;
        for (const std::string& k : rekord.Katalogi)
            if (!TenSamTekst(k, rekord.Katalog)) FKatalogiWewnatrz.push_back(k);
        // The record and the last step (the uninstaller and the target folder) are one step each.
        FWszystkie = static_cast<int>(rekord.Pliki.size() + rekord.Skroty.size() + rekord.Wartosci.size() +
                                      rekord.Klucze.size() + rekord.Grupy.size() + FKatalogiWewnatrz.size()) + 2;
        for (TKorzen k : {TKorzen::HKCU, TKorzen::HKLM}) {
            FObceUstawienia[Indeks(k)] = UstawieniaInnejInstalacji(k);
            FObcyWpis[Indeks(k)] = WpisInnejInstalacji(k);
        }
        // Its place as the handle held since before the record was read says: not worked out again by path.
        if (FCel->Stan == TStanCelu::scOtwarty) FMiejsceCelu = FCel->Miejsce;
        for (const std::string& f : miejsca.FolderySkrotow) FMiejscaFolderow.push_back(MiejsceFolderu(f));
        if (const TOpisProduktu* opis = OpisProduktu(NumerProduktu)) {
            FDeinstalator = rekord.Katalog + "\\" + opis->Deinstalator;
            FKluczWpisu = KluczDeinstalacji(*opis);
        }
        FReszta.Katalog = rekord.Katalog;
        FReszta.Jezyk = rekord.Jezyk;
        FReszta.Katalogi = rekord.Katalogi;
        FReszta.Grupy = rekord.Grupy;
    }

    TWynikUsuwania Wykonaj(const std::string& plikRekordu);

private:
    static int Indeks(TKorzen k) { return k == TKorzen::HKLM ? 1 : 0; }
    void Krok(const std::string& co)
    {
        if (FObsluga.Postep) FObsluga.Postep(co, FZrobione, FWszystkie);
        ++FZrobione;
    }
    // The progress of the current step told again, for what takes long within it.
    std::function<void()> Tetno(const std::string& co) const
    {
        return [this, &co] {
            if (FObsluga.Postep) FObsluga.Postep(co, FZrobione > 0 ? FZrobione - 1 : 0, FWszystkie);
        };
    }
    void Zostaw(std::string co, TPowod powod)
    {
        // What a second run could still remove keeps the record; the user's choices and foreign content do not.
        if (powod == TPowod::pwNieUsuniety || powod == TPowod::pwPrzekierowany) FNiedokonczone = true;
        FWynik.Pozostawione.push_back({std::move(co), powod});
    }
    // Where the system must place a recorded path: the real place of the folder it was recorded below (the
    // target, a Programs or Desktop folder) and the rest as recorded. Empty when there is no such folder.
    std::wstring Oczekiwane(const std::string& sciezka) const;
    // Opens a recorded file where the record says it is and reads its size and digest; nothing when it is not
    // there, not where the record says, or cannot be read (o says which).
    std::optional<TPlikRekordu> Odcisk(const std::string& sciezka, TOtwarty& o) const;
    // Deletes an opened file of ours, or leaves it to the next restart when a program holds it.
    bool Usun(TOtwarty& o, const std::string& sciezka);
    bool NaRestart(const std::string& sciezka);
    // The target folder as held since the start, handed over to be deleted.
    TOtwarty OtwartyCel();
    void Pliki();
    void Skroty();
    void Wartosci(bool wpis);
    void Klucze(bool wpis);
    // Each folder a step of its own, unless krok is false (a step already taken for it).
    void Katalogi(const std::vector<std::string>& katalogi, bool krok = true);
    bool UsunRekord(const std::string& plikRekordu);
    bool ZapiszReszte(const std::string& plikRekordu);
    bool Wpisu(std::string_view klucz) const
    {
        return !FKluczWpisu.empty() && (TenSamTekst(klucz, FKluczWpisu) || ZaczynaSieOd(FKluczWpisu, klucz));
    }
    bool InnejInstalacji(TKorzen korzen, std::string_view klucz) const
    {
        return ZaczynaSieOd(klucz, kKluczeDeinstalacji) ? FObcyWpis[Indeks(korzen)] : FObceUstawienia[Indeks(korzen)];
    }
    bool UstawieniaInnejInstalacji(TKorzen korzen) const;
    bool WpisInnejInstalacji(TKorzen korzen) const;

    const TRekordDeinstalacji& FRekord;
    const TMiejscaProduktu& FMiejsca;
    const TObslugaUsuwania& FObsluga;
    TWynikUsuwania FWynik;
    TRekordDeinstalacji FReszta;  // what stays of the record's entries
    TCelDeinstalacji FWlasnyCel;  // held here when the caller holds none
    TCelDeinstalacji* FCel = nullptr;
    std::wstring FMiejsceCelu;
    std::vector<std::wstring> FMiejscaFolderow;  // of FMiejsca.FolderySkrotow, in its order
    std::string FDeinstalator;  // the uninstaller in the target folder: it goes last, or stays with the record
    std::string FKluczWpisu;    // the uninstall entry: the same
    std::vector<std::string> FKatalogiWewnatrz;  // the recorded folders but the target folder itself
    std::optional<TOtwarty> FOtwartyDeinstalator;
    std::optional<TPlikRekordu> FPlikDeinstalatora;
    bool FNiedokonczone = false;
    int FZrobione = 0;
    int FWszystkie = 0;
    bool FObceUstawienia[2] = {};
    bool FObcyWpis[2] = {};
};

std::wstring TUsuwanie::Oczekiwane(const std::string& sciezka) const
{
    const auto ponizej = [&](const std::string& folder, const std::wstring& miejsce) {
        return miejsce.empty() ? std::wstring() : miejsce + Widen(std::string_view(sciezka).substr(folder.size()));
    };
    if (WKatalogu(sciezka, FRekord.Katalog)) return ponizej(FRekord.Katalog, FMiejsceCelu);
    for (std::size_t i = 0; i < FMiejsca.FolderySkrotow.size(); ++i)
        if (WKataloguBezWielkosci(sciezka, FMiejsca.FolderySkrotow[i]))
            return ponizej(FMiejsca.FolderySkrotow[i], FMiejscaFolderow[i]);
    return {};
}

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
    const std::string nasze = PolecenieDeinstalacji(*opis, FRekord.Katalog);
    if (const std::optional<std::string> polecenie = CzytajTekst(korzen, KluczDeinstalacji(*opis), L"UninstallString"))
        return !TenSamTekst(*polecenie, nasze);
    // A run ended between the two values leaves the quiet one: its uninstaller path says whose it is.
    const std::optional<std::string> cichy = CzytajTekst(korzen, KluczDeinstalacji(*opis), L"QuietUninstallString");
    return cichy && !TenSamTekst(std::string_view(*cichy).substr(0, nasze.size()), nasze);
}

bool TUsuwanie::NaRestart(const std::string& sciezka)
{
    if (!PrzeniesPoRestarcie(Widen(sciezka))) return false;
    FWynik.PoRestarcie.push_back(sciezka);
    return true;
}

TOtwarty TUsuwanie::OtwartyCel()
{
    TOtwarty o;
    switch (FCel->Stan) {
    case TStanCelu::scOtwarty:
        o.Stan = TOtwarcie::Otwarty;
        o.Uchwyt = std::move(FCel->Uchwyt);
        o.Usuwalny = true;
        FCel->Stan = TStanCelu::scZablokowany;
        break;
    case TStanCelu::scBrak: o.Stan = TOtwarcie::Brak; break;
    case TStanCelu::scPrzekierowany: o.Stan = TOtwarcie::Obcy; break;
    case TStanCelu::scZablokowany: o.Stan = TOtwarcie::Zablokowany; break;
    }
    return o;
}

std::optional<TPlikRekordu> TUsuwanie::Odcisk(const std::string& sciezka, TOtwarty& o) const
{
    o = OtworzWMiejscu(sciezka, Oczekiwane(sciezka), false);
    if (o.Stan != TOtwarcie::Otwarty) return std::nullopt;
    return OdciskUchwytu(o.Uchwyt.Get(), sciezka, Tetno(sciezka));
}

bool TUsuwanie::Usun(TOtwarty& o, const std::string& sciezka)
{
    const DWORD blad = o.Usuwalny ? UsunPrzezUchwyt(o.Uchwyt.Get()) : ERROR_SHARING_VIOLATION;
    o.Uchwyt = UniqueHandle();
    if (blad == ERROR_SUCCESS) return true;
    // Held open by another program, or a running program's file (which refuses deletion while mapped).
    if (!NaRestart(sciezka)) Zostaw(sciezka, TPowod::pwNieUsuniety);
    return false;
}

// One handle at a time, held from the file's check (where it is, then its digest) to its deletion: however
// many files, the uninstaller holds a few. Unchanged files go in the first pass; a changed one is closed, and
// once the user has agreed to remove it, opened and checked again: it goes only if it still has the bytes
// the question was about.
void TUsuwanie::Pliki()
{
    struct TZmieniony {
        std::size_t Indeks;
        TPlikRekordu Teraz;
    };
    std::vector<TZmieniony> zmienione;
    std::vector<std::size_t> zostaja;  // indices of what stays in the record
    const auto zostaw = [&](std::size_t i, TPowod powod) {
        Zostaw(FRekord.Pliki[i].Sciezka, powod);
        zostaja.push_back(i);
    };
    // The file is ours and unchanged, or changed as the user agreed: deleted, or kept to the end.
    const auto usun = [&](std::size_t i, TOtwarty& o, bool zmieniony) {
        const TPlikRekordu& p = FRekord.Pliki[i];
        if (!FDeinstalator.empty() && TenSamTekst(p.Sciezka, FDeinstalator)) {
            // Until the end: a second run needs it.
            FOtwartyDeinstalator = std::move(o);
            FPlikDeinstalatora = p;
            if (zmieniony) FWynik.UsunieteZmienione.push_back(p.Sciezka);
        } else if (Usun(o, p.Sciezka)) {
            ++FWynik.Pliki;
            if (zmieniony) FWynik.UsunieteZmienione.push_back(p.Sciezka);
        } else if (FWynik.PoRestarcie.empty() || FWynik.PoRestarcie.back() != p.Sciezka) {
            zostaja.push_back(i);
        }
    };

    // Newest first, as they were written.
    for (std::size_t i = FRekord.Pliki.size(); i-- > 0;) {
        const TPlikRekordu& p = FRekord.Pliki[i];
        Krok(p.Sciezka);
        TOtwarty o;
        const std::optional<TPlikRekordu> teraz = Odcisk(p.Sciezka, o);
        if (o.Stan == TOtwarcie::Brak) continue;
        // Kept without a question: their content is not known or not where the record says.
        if (!teraz) {
            zostaw(i, PowodOdlozenia(o));
        } else if (teraz->Rozmiar != p.Rozmiar || teraz->Sha256 != p.Sha256) {
            zmienione.push_back({i, *teraz});
        } else {
            usun(i, o, false);
        }
    }

    std::vector<std::string> sciezki;
    for (const TZmieniony& z : zmienione) sciezki.push_back(FRekord.Pliki[z.Indeks].Sciezka);
    const bool usunZmienione = !sciezki.empty() && FObsluga.UsunZmienione && FObsluga.UsunZmienione(sciezki);
    for (const TZmieniony& z : zmienione) {
        const std::string& sciezka = FRekord.Pliki[z.Indeks].Sciezka;
        if (!usunZmienione) {
            zostaw(z.Indeks, TPowod::pwZmieniony);
            continue;
        }
        Tetno(sciezka)();
        TOtwarty o;
        const std::optional<TPlikRekordu> teraz = Odcisk(sciezka, o);
        if (o.Stan == TOtwarcie::Brak) continue;
        if (!teraz)
            zostaw(z.Indeks, PowodOdlozenia(o));
        else if (teraz->Rozmiar != z.Teraz.Rozmiar || teraz->Sha256 != z.Teraz.Sha256)
            // Changed again while the question was up: not the file the user agreed to remove.
            zostaw(z.Indeks, TPowod::pwZmieniony);
        else
            usun(z.Indeks, o, true);
    }
    // In the order they were recorded, as a second run expects them.
    std::sort(zostaja.begin(), zostaja.end());
    for (std::size_t i : zostaja) FReszta.Pliki.push_back(FRekord.Pliki[i]);
}

void TUsuwanie::Skroty()
{
    for (std::size_t i = FRekord.Skroty.size(); i-- > 0;) {
        const TPlikRekordu& s = FRekord.Skroty[i];
        Krok(s.Sciezka);
        TOtwarty o;
        const std::optional<TPlikRekordu> teraz = Odcisk(s.Sciezka, o);
        if (o.Stan == TOtwarcie::Brak) continue;
        if (!teraz) {
            Zostaw(s.Sciezka, PowodOdlozenia(o));
            FReszta.Skroty.push_back(s);
        } else if (teraz->Rozmiar != s.Rozmiar || teraz->Sha256 != s.Sha256) {
            // A link rewritten since (by another installation, or the user) is not this installation's any more.
            Zostaw(s.Sciezka, TPowod::pwZmieniony);
        } else if (Usun(o, s.Sciezka)) {
            ++FWynik.Skroty;
        } else if (FWynik.PoRestarcie.empty() || FWynik.PoRestarcie.back() != s.Sciezka) {
            FReszta.Skroty.push_back(s);
        }
    }
    std::reverse(FReszta.Skroty.begin(), FReszta.Skroty.end());
}

void TUsuwanie::Wartosci(bool wpis)
{
    for (const TWartoscRekordu& w : FRekord.Wartosci) {
        if (Wpisu(w.Klucz) != wpis) continue;
        const std::string opis = NazwaKlucza(w.Korzen, w.Klucz) + " \"" + w.Nazwa + "\"";
        Krok(opis);
        UniqueRegKey klucz;
        if (RegOpenKeyExW(UchwytKorzenia(w.Korzen), Widen(w.Klucz).c_str(), 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE | kProductView, klucz.Receive()) != ERROR_SUCCESS) {
            // A missing key holds nothing to remove; one that exists but cannot be opened stays as it is.
            if (KluczIstnieje(w.Korzen, w.Klucz)) {
                Zostaw(opis, TPowod::pwNieUsuniety);
                FReszta.Wartosci.push_back(w);
            }
            continue;
        }
        const std::wstring nazwa = Widen(w.Nazwa);
        if (RegQueryValueExW(klucz.Get(), nazwa.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        if (InnejInstalacji(w.Korzen, w.Klucz)) {
            Zostaw(opis, TPowod::pwInnaInstalacja);
            continue;
        }
        if (RegDeleteValueW(klucz.Get(), nazwa.c_str()) == ERROR_SUCCESS) {
            ++FWynik.Rejestr;
        } else {
            Zostaw(opis, TPowod::pwNieUsuniety);
            FReszta.Wartosci.push_back(w);
        }
    }
}

void TUsuwanie::Klucze(bool wpis)
{
    std::vector<TKluczRekordu> klucze;
    for (const TKluczRekordu& k : FRekord.Klucze)
        if (Wpisu(k.Klucz) == wpis) klucze.push_back(k);
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
            continue;
        } else {
            Zostaw(opis, TPowod::pwNieUsuniety);
        }
        FReszta.Klucze.push_back(k);
    }
}

void TUsuwanie::Katalogi(const std::vector<std::string>& katalogi, bool krok)
{
    for (const std::string& k : OdSrodka(katalogi)) {
        if (krok) Krok(k);
        TOtwarty o = TenSamTekst(k, FRekord.Katalog) ? OtwartyCel() : OtworzWMiejscu(k, Oczekiwane(k), true);
        if (o.Stan == TOtwarcie::Brak) continue;
        if (o.Stan != TOtwarcie::Otwarty) {
            Zostaw(k, o.Stan == TOtwarcie::Obcy ? TPowod::pwPrzekierowany : TPowod::pwNieUsuniety);
            continue;
        }
        const DWORD blad = UsunPrzezUchwyt(o.Uchwyt.Get());
        o.Uchwyt = UniqueHandle();
        if (blad == ERROR_SUCCESS) {
            ++FWynik.Katalogi;
            continue;
        }
        // A folder that only files waiting for the restart keep goes after them.
        const bool czeka = std::any_of(FWynik.PoRestarcie.begin(), FWynik.PoRestarcie.end(),
                                       [&](const std::string& p) { return WKataloguBezWielkosci(p, k); });
        if (blad == ERROR_DIR_NOT_EMPTY && czeka && NaRestart(k)) continue;
        Zostaw(k, blad == ERROR_DIR_NOT_EMPTY ? TPowod::pwNiePusty : TPowod::pwNieUsuniety);
    }
}

bool TUsuwanie::UsunRekord(const std::string& plikRekordu)
{
    TOtwarty o = OtworzWMiejscu(plikRekordu, Oczekiwane(plikRekordu), false);
    // A run that works from what an ended run left has no record to remove.
    if (o.Stan == TOtwarcie::Brak) return true;
    return o.Stan == TOtwarcie::Otwarty && o.Usuwalny && UsunPrzezUchwyt(o.Uchwyt.Get()) == ERROR_SUCCESS;
}

// Rewrites the record in its place, through a handle checked as every other file's.
bool TUsuwanie::ZapiszReszte(const std::string& plikRekordu)
{
    const std::optional<std::string> tekst = TekstRekordu(FReszta);
    if (!tekst) return false;
    const UniqueHandle plik(CreateFileW(Widen(plikRekordu).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO atrybuty{};
    if (!plik || !GetFileInformationByHandleEx(plik.Get(), FileAttributeTagInfo, &atrybuty, sizeof atrybuty) ||
        (atrybuty.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        !TenSamTekstW(MiejsceUchwytu(plik.Get()), Oczekiwane(plikRekordu)))
        return false;
    DWORD zapisano = 0;
    return WriteFile(plik.Get(), tekst->data(), static_cast<DWORD>(tekst->size()), &zapisano, nullptr) &&
           zapisano == tekst->size() && SetEndOfFile(plik.Get());
}

// The order lets a run ended at any step (killed, the power gone) be finished by the next one. Everything the
// uninstall entry and the record do not need goes first; then the entry; then the record; the uninstaller
// and the target folder last, in one step. Until the entry is gone it starts the uninstaller; until the record
// is gone the uninstaller in the target folder finds it; after that the folder holds only the uninstaller,
// which a run without a record recognises as its own copy (ZapisDeinstalacji).
TWynikUsuwania TUsuwanie::Wykonaj(const std::string& plikRekordu)
{
    Pliki();
    Skroty();
    Wartosci(false);
    Klucze(false);
    Katalogi(FRekord.Grupy);
    Katalogi(FKatalogiWewnatrz);
    if (!FNiedokonczone) {
        Wartosci(true);
        Klucze(true);
    }
    Krok(plikRekordu);
    if (FNiedokonczone) {
        // The uninstaller, what is left of its entry and a record of what is left, so that a second run can
        // finish the work.
        if (FPlikDeinstalatora) FReszta.Pliki.push_back(*FPlikDeinstalatora);
        for (const TWartoscRekordu& w : FRekord.Wartosci)
            if (Wpisu(w.Klucz)) FReszta.DodajWartosc(w.Korzen, w.Klucz, w.Nazwa);
        for (const TKluczRekordu& k : FRekord.Klucze)
            if (Wpisu(k.Klucz)) FReszta.DodajKlucz(k.Korzen, k.Klucz);
        FOtwartyDeinstalator.reset();
        // Unwritten, the whole record stays: what is gone is skipped by the next run.
        ZapiszReszte(plikRekordu);
        FWynik.RekordPozostawiony = true;
        return std::move(FWynik);
    }
    if (FObsluga.DeinstalatorWUzyciu && FPlikDeinstalatora && FOtwartyDeinstalator) {
        // The record stays as one of the last step alone: whatever runs next (the run started for it, or the
        // user) finishes from there.
        FOtwartyDeinstalator.reset();
        TRekordDeinstalacji reszta;
        reszta.Katalog = FRekord.Katalog;
        reszta.Jezyk = FRekord.Jezyk;
        reszta.Pliki.push_back(*FPlikDeinstalatora);
        for (const std::string& k : FRekord.Katalogi)
            if (TenSamTekst(k, FRekord.Katalog)) reszta.Katalogi.push_back(k);
        FReszta = std::move(reszta);
        if (ZapiszReszte(plikRekordu)) {
            FWynik.ResztaNaPozniej = true;
            return std::move(FWynik);
        }
        Zostaw(plikRekordu, TPowod::pwNieUsuniety);
        FWynik.RekordPozostawiony = true;
        return std::move(FWynik);
    }
    if (!UsunRekord(plikRekordu)) {
        // Without the uninstaller next to it a record that stays would be one nothing can start.
        FOtwartyDeinstalator.reset();
        Zostaw(plikRekordu, TPowod::pwNieUsuniety);
        FWynik.RekordPozostawiony = true;
        return std::move(FWynik);
    }
    // One step: between the two, nothing would be left to start a next run.
    const bool celZapisany = std::any_of(FRekord.Katalogi.begin(), FRekord.Katalogi.end(),
                                         [&](const std::string& k) { return TenSamTekst(k, FRekord.Katalog); });
    Krok(celZapisany || !FPlikDeinstalatora ? FRekord.Katalog : FPlikDeinstalatora->Sciezka);
    if (FOtwartyDeinstalator && FPlikDeinstalatora && Usun(*FOtwartyDeinstalator, FPlikDeinstalatora->Sciezka))
        ++FWynik.Pliki;
    FOtwartyDeinstalator.reset();
    if (celZapisany) Katalogi({FRekord.Katalog}, false);
    return std::move(FWynik);
}

} // namespace

bool TenSamTekst(std::string_view a, std::string_view b)
{
    return TenSamTekstW(Widen(a), Widen(b));
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

TMiejscaProduktu MiejscaProduktu()
{
    TMiejscaProduktu m;
    for (bool wszyscy : {false, true}) {
        const std::string programy = FolderProgramy(wszyscy);
        if (!programy.empty()) {
            m.FolderySkrotow.push_back(programy);
            // The group's name follows the interface language of the installation: each is the product's.
            for (int j = 0; j < kLanguageCount; ++j)
                if (const char* nazwa = NazwaGrupy(NumerProduktu, j); nazwa && *nazwa)
                    m.Grupy.push_back(programy + "\\" + nazwa);
        }
        const std::string pulpit = FolderPulpit(wszyscy);
        if (!pulpit.empty()) m.FolderySkrotow.push_back(pulpit);
    }
    if (const TOpisProduktu* opis = OpisProduktu(NumerProduktu)) {
        for (std::string_view klucz : {opis->KluczUstawien, opis->KluczProgramow}) {
            const std::string producent(klucz.substr(0, klucz.rfind('\\')));
            if (std::find(m.KluczeProduktu.begin(), m.KluczeProduktu.end(), producent) == m.KluczeProduktu.end())
                m.KluczeProduktu.push_back(producent);
        }
        m.KluczDeinstalacji = KluczDeinstalacji(*opis);
    }
    return m;
}

TZapisDeinstalacji ZapisDeinstalacji(const std::string& katalog, const std::string& obraz,
                                     const std::function<void()>& tetno, const TCelDeinstalacji* cel)
{
    TZapisDeinstalacji z;
    const std::optional<std::string> tekst = CzytajPlik(katalog + "\\" + kPlikRekordu);
    if (tekst) {
        TOdczytRekordu odczyt = CzytajRekord(*tekst, MiejscaProduktu(), tetno);
        if (odczyt.Wynik != TWynikRekordu::wrDobrze) {
            z.Stan = TStanZapisu::zsUszkodzony;
            return z;
        }
        // Copied elsewhere, a record would still name the files of the folder it was written in.
        z.Stan = TenSamTekst(odczyt.Rekord.Katalog, katalog) ? TStanZapisu::zsDobry : TStanZapisu::zsObcy;
        z.Rekord = std::move(odczyt.Rekord);
        return z;
    }
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);
    if (!opis || !SciezkaBezpieczna(katalog)) return z;
    for (TKorzen k : {TKorzen::HKCU, TKorzen::HKLM})
        for (const wchar_t* nazwa : {L"UninstallString", L"QuietUninstallString"})
            if (CzytajTekst(k, KluczDeinstalacji(*opis), nazwa)) return z;
    // Nothing in the folder but the uninstaller, as a plain file: no record (one that cannot be read is there).
    // Listed through the held folder: a listing by path would also be refused by its sharing.
    TCelDeinstalacji otwarty;
    if (!cel) {
        otwarty = OtworzCel(katalog);
        cel = &otwarty;
    }
    if (cel->Stan != TStanCelu::scOtwarty) return z;
    bool deinstalator = false, inne = false;
    alignas(8) static thread_local BYTE bufor[16384];
    for (FILE_INFO_BY_HANDLE_CLASS klasa = FileFullDirectoryRestartInfo; !inne;
         klasa = FileFullDirectoryInfo) {
        if (!GetFileInformationByHandleEx(cel->Uchwyt.Get(), klasa, bufor, sizeof bufor)) {
            if (GetLastError() != ERROR_NO_MORE_FILES) return z;
            break;
        }
        for (std::size_t przesuniecie = 0;;) {
            const auto* f = reinterpret_cast<const FILE_FULL_DIR_INFO*>(bufor + przesuniecie);
            const std::wstring nazwa(f->FileName, f->FileNameLength / sizeof(wchar_t));
            if (nazwa != L"." && nazwa != L"..") {
                if (!(f->FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
                    TenSamTekstW(nazwa, Widen(opis->Deinstalator)))
                    deinstalator = true;
                else
                    inne = true;
            }
            if (f->NextEntryOffset == 0) break;
            przesuniecie += f->NextEntryOffset;
        }
    }
    if (!deinstalator || inne) return z;
    const std::optional<TPlikRekordu> wlasny = OdciskPliku(obraz);
    std::optional<TPlikRekordu> tutaj = OdciskPliku(katalog + "\\" + opis->Deinstalator);
    if (!wlasny || !tutaj || wlasny->Rozmiar != tutaj->Rozmiar || wlasny->Sha256 != tutaj->Sha256) return z;
    TRekordDeinstalacji r;
    r.Katalog = katalog;
    r.Pliki.push_back(std::move(*tutaj));
    r.Katalogi.push_back(katalog);
    // The rules of a written record hold for this one too.
    const std::optional<std::string> zapis = TekstRekordu(r);
    if (!zapis || CzytajRekord(*zapis, MiejscaProduktu()).Wynik != TWynikRekordu::wrDobrze) return z;
    z.Stan = TStanZapisu::zsResztka;
    z.Rekord = std::move(r);
    return z;
}

TCelDeinstalacji OtworzCel(const std::string& katalog)
{
    TCelDeinstalacji cel;
    const std::wstring w = Widen(katalog);
    const DWORD dostep = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    const DWORD flagi = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    cel.Uchwyt = UniqueHandle(CreateFileW(w.c_str(), dostep | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, flagi, nullptr));
    // Without the right to delete it, held all the same: it stays at the end.
    if (!cel.Uchwyt && GetLastError() == ERROR_ACCESS_DENIED)
        cel.Uchwyt = UniqueHandle(CreateFileW(w.c_str(), dostep, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, flagi, nullptr));
    if (!cel.Uchwyt) {
        const DWORD blad = GetLastError();
        cel.Stan = blad == ERROR_FILE_NOT_FOUND || blad == ERROR_PATH_NOT_FOUND ? TStanCelu::scBrak
                                                                              : TStanCelu::scZablokowany;
        return cel;
    }
    FILE_ATTRIBUTE_TAG_INFO atrybuty{};
    if (!GetFileInformationByHandleEx(cel.Uchwyt.Get(), FileAttributeTagInfo, &atrybuty, sizeof atrybuty) ||
        !(atrybuty.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        cel.Uchwyt.Reset();
        cel.Stan = TStanCelu::scZablokowany;
        return cel;
    }
    // A link itself, or a folder reached through one on the way: the record's paths would lead elsewhere.
    const std::wstring miejsce = MiejsceUchwytu(cel.Uchwyt.Get());
    if ((atrybuty.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !TenSamTekstW(miejsce, w)) {
        cel.Uchwyt.Reset();
        cel.Stan = TStanCelu::scPrzekierowany;
        return cel;
    }
    cel.Stan = TStanCelu::scOtwarty;
    cel.Miejsce = miejsce;
    return cel;
}

TWynikUsuwania UsunZainstalowane(const TRekordDeinstalacji& rekord, std::string_view plikRekordu,
                                 const TMiejscaProduktu& miejsca, const TObslugaUsuwania& obsluga,
                                 TCelDeinstalacji* cel)
{
    TUsuwanie usuwanie(rekord, miejsca, obsluga, cel);
    return usuwanie.Wykonaj(std::string(plikRekordu));
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
