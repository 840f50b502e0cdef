// The installation's state: the journal on disk, the changes made through it, roll-back and the record.
#include "install/Instalacja.h"

#include "unattended/Protokol.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <set>
#include <unordered_set>

#include "install/IoError.h"
#include "install/ProductView.h"
#include "install/Uprawnienia.h"
#include "install/untInstalFunkcje.h"
#include "ui/Unicode.h"
#include "uninstall/untDeinstalFunkcje.h"

namespace {

constexpr wchar_t kMutex[] = L"Local\\Werbfranko-instalacja";
constexpr wchar_t kWzorDziennika[] = L"instalacja-*.dziennik";
// New files and folders are flushed in groups: a power cut loses at most this many of their entries.
constexpr int kGrupaBezUtrwalenia = 256;

// The mutex and whether this thread holds it, for the whole process.
struct TBlokada {
    UniqueHandle Mutex;
    bool Zajeta = false;
};

TBlokada& Blokada()
{
    static TBlokada b;
    return b;
}

// The journals of the runs this process has open, by lower-case path.
std::set<std::wstring>& OtwarteDzienniki()
{
    static std::set<std::wstring> otwarte;
    return otwarte;
}

} // namespace

void ZwolnijInstalacje()
{
    TBlokada& b = Blokada();
    if (b.Zajeta && b.Mutex) ReleaseMutex(b.Mutex.Get());
    b.Zajeta = false;
}

namespace {

std::wstring Klucz(const std::string& sciezka)
{
    std::wstring k = Widen(sciezka);
    if (!k.empty()) CharLowerBuffW(k.data(), static_cast<DWORD>(k.size()));
    return k;
}

// A free name beside plik for keeping it aside.
std::string NazwaKopii(const std::string& plik)
{
    for (int n = 1; n < 1000; ++n) {
        std::string kopia = plik + ".werb-old" + (n > 1 ? std::to_string(n) : "");
        if (GetFileAttributesW(Widen(kopia).c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_FILE_NOT_FOUND)
            return kopia;
    }
    return {};
}

bool Istnieje(const std::wstring& sciezka)
{
    return GetFileAttributesW(sciezka.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Deletes a file, also a read-only one; true when it is not there afterwards.
bool UsunPlik(const std::wstring& sciezka)
{
    const DWORD a = GetFileAttributesW(sciezka.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return true;
    if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(sciezka.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(sciezka.c_str()) || !Istnieje(sciezka);
}

// The kept file takes its place again, with its bytes and attributes; at the next restart when the place is
// held by a running program.
bool Przywroc(const std::string& plik, const std::string& kopia, bool naRestart)
{
    const std::wstring p = Widen(plik), k = Widen(kopia);
    // Not there: the rename aside never happened, or this was undone already.
    if (!Istnieje(k)) return true;
    UsunPlik(p);
    if (MoveFileExW(k.c_str(), p.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    return naRestart && PrzeniesPoRestarcie(k, p, MOVEFILE_REPLACE_EXISTING);
}

std::string NazwaKlucza(TKorzen k, const std::string& klucz)
{
    return std::string(k == TKorzen::HKLM ? "HKLM\\" : "HKCU\\") + klucz;
}

bool UsunPustyKlucz(TKorzen korzen, const std::string& klucz)
{
    const std::wstring k = Widen(klucz);
    DWORD podklucze = 0, wartosci = 0;
    {
        UniqueRegKey otwarty;
        const LSTATUS r = RegOpenKeyExW(UchwytKorzenia(korzen), k.c_str(), 0, KEY_QUERY_VALUE | kProductView, otwarty.Receive());
        if (r == ERROR_FILE_NOT_FOUND) return true;
        if (r != ERROR_SUCCESS ||
            RegQueryInfoKeyW(otwarty.Get(), nullptr, nullptr, nullptr, &podklucze, nullptr, nullptr, &wartosci, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
    }
    // What another program put there since keeps the key.
    if (podklucze || wartosci) return false;
    return DeleteProductKey(UchwytKorzenia(korzen), k.c_str()) == ERROR_SUCCESS;
}

bool PrzywrocWartosc(const TWpisDziennika& w)
{
    UniqueRegKey klucz;
    const LSTATUS r = RegOpenKeyExW(UchwytKorzenia(w.Korzen), Widen(w.Sciezka).c_str(), 0, KEY_SET_VALUE | kProductView,
                                    klucz.Receive());
    // Without its key the value is gone already, and it had none before unless the key was there.
    if (r == ERROR_FILE_NOT_FOUND) return !w.BylaWartosc;
    if (r != ERROR_SUCCESS) return false;
    const std::wstring nazwa = Widen(w.Nazwa);
    if (!w.BylaWartosc) {
        const LSTATUS d = RegDeleteValueW(klucz.Get(), nazwa.c_str());
        return d == ERROR_SUCCESS || d == ERROR_FILE_NOT_FOUND;
    }
    return RegSetValueExW(klucz.Get(), nazwa.c_str(), 0, w.Typ, reinterpret_cast<const BYTE*>(w.Dane.data()),
                          static_cast<DWORD>(w.Dane.size())) == ERROR_SUCCESS;
}

// Undoes one change; false when it could not be given back.
bool Cofnij(const TWpisDziennika& w)
{
    switch (w.Rodzaj) {
    case TRodzajWpisu::Plik: return UsunPlik(Widen(w.Sciezka));
    case TRodzajWpisu::Zastapiony: return Przywroc(w.Sciezka, w.Kopia, false);
    case TRodzajWpisu::Systemowy:
    case TRodzajWpisu::Skrot:
        if (w.Kopia.empty()) {
            const std::wstring p = Widen(w.Sciezka);
            return UsunPlik(p) || PrzeniesPoRestarcie(p);
        }
        return Przywroc(w.Sciezka, w.Kopia, true);
    case TRodzajWpisu::Katalog:
    case TRodzajWpisu::Grupa: {
        // One that holds what the run did not put there stays, as it should: the user's, or there before.
        const std::wstring p = Widen(w.Sciezka);
        return RemoveDirectoryW(p.c_str()) || GetLastError() == ERROR_DIR_NOT_EMPTY || !Istnieje(p);
    }
    case TRodzajWpisu::Klucz: return UsunPustyKlucz(w.Korzen, w.Sciezka);
    case TRodzajWpisu::Wartosc: return PrzywrocWartosc(w);
    default: return true;
    }
}

bool Zmiana(TRodzajWpisu r)
{
    switch (r) {
    case TRodzajWpisu::Katalog:
    case TRodzajWpisu::Plik:
    case TRodzajWpisu::Zastapiony:
    case TRodzajWpisu::Systemowy:
    case TRodzajWpisu::Skrot:
    case TRodzajWpisu::Grupa:
    case TRodzajWpisu::Klucz:
    case TRodzajWpisu::Wartosc: return true;
    default: return false;
    }
}

// The numbers of the entries that a none line says changed nothing.
std::unordered_set<std::uint32_t> Bez(const std::vector<TWpisDziennika>& wpisy)
{
    std::unordered_set<std::uint32_t> bez;
    for (const TWpisDziennika& w : wpisy)
        if (w.Rodzaj == TRodzajWpisu::Bez) bez.insert(w.Numer);
    return bez;
}

std::string Opis(const TWpisDziennika& w)
{
    if (w.Rodzaj == TRodzajWpisu::Klucz) return NazwaKlucza(w.Korzen, w.Sciezka);
    if (w.Rodzaj == TRodzajWpisu::Wartosc) return NazwaKlucza(w.Korzen, w.Sciezka) + " \"" + w.Nazwa + "\"";
    return w.Sciezka;
}

// A line of the log about one item; nothing is built without a log.
void Zanotuj(std::string_view co, const std::string& sciezka)
{
    if (Protokol.Otwarty()) Protokol.Wpisz(std::string(co) + ": " + sciezka);
}

// A registry value as the log shows it: the key, the name, and a text or a number.
std::string OpisWartosci(TKorzen korzen, const std::string& klucz, const std::string& nazwa, DWORD typ,
                         const void* dane, DWORD rozmiar)
{
    std::string opis = NazwaKlucza(korzen, klucz) + " \"" + nazwa + "\" = ";
    if (typ == REG_DWORD && rozmiar == sizeof(DWORD)) {
        DWORD liczba = 0;
        memcpy(&liczba, dane, sizeof liczba);
        return opis + std::to_string(liczba);
    }
    if (typ == REG_SZ) {
        std::wstring tekst(static_cast<const wchar_t*>(dane), rozmiar / sizeof(wchar_t));
        while (!tekst.empty() && tekst.back() == L'\0') tekst.pop_back();
        return opis + "\"" + Narrow(tekst) + "\"";
    }
    return opis + "(" + std::to_string(rozmiar) + " bytes of type " + std::to_string(typ) + ")";
}

// The copies kept aside by a run that ended well are not needed any more.
void UsunKopie(const std::vector<TWpisDziennika>& wpisy)
{
    const std::unordered_set<std::uint32_t> bez = Bez(wpisy);
    for (std::size_t i = 0; i < wpisy.size(); ++i) {
        const TWpisDziennika& w = wpisy[i];
        if (w.Kopia.empty() || bez.count(static_cast<std::uint32_t>(i + 1))) continue;
        const std::wstring k = Widen(w.Kopia);
        // A system file kept aside may be loaded by a running program: it goes at the next restart.
        if (!UsunPlik(k)) PrzeniesPoRestarcie(k);
    }
}

void UsunDziennik(const std::wstring& plik)
{
    DeleteFileW(plik.c_str());
    // The folder is the product's own; it goes with its last journal.
    RemoveDirectoryW(KatalogDziennikow().c_str());
}

} // namespace

std::wstring KatalogDziennikow()
{
    wchar_t p[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, p)) || !*p) return {};
    return std::wstring(p) + L"\\Werbfranko";
}

bool ZajmijInstalacje()
{
    TBlokada& b = Blokada();
    if (b.Zajeta) return true;
    if (!b.Mutex) b.Mutex.Reset(CreateMutexW(nullptr, FALSE, kMutex));
    if (!b.Mutex) return false;
    const DWORD w = WaitForSingleObject(b.Mutex.Get(), 0);
    // Abandoned: its owner ended without releasing it, which is what an interrupted run leaves.
    b.Zajeta = w == WAIT_OBJECT_0 || w == WAIT_ABANDONED;
    return b.Zajeta;
}

// ---- the run ----

bool TInstalacja::Rozpocznij(const std::string& katalog, TJezyk jezyk)
{
    if (Trwa()) return true;
    if (!ZajmijInstalacje()) return false;
    const std::wstring folder = KatalogDziennikow();
    if (folder.empty()) return false;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int proba = 0; proba < 100 && !FPlik; ++proba) {
        FSciezka = folder + L"\\instalacja-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(GetTickCount() + proba) + L".dziennik";
        FPlik.Reset(CreateFileW(FSciezka.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!FPlik) {
        ZwolnijInstalacje();
        return false;
    }
    OtwarteDzienniki().insert(Klucz(Narrow(FSciezka)));
    FWpisy.clear();
    FPlikiPrzebiegu.clear();
    SkopiowanePliki.clear();
    UtworzoneKatalogi.clear();
    FUtrwalenia = 0;
    FBufor = NaglowekDziennika();
    TWpisDziennika przebieg{.Rodzaj = TRodzajWpisu::Przebieg, .Sciezka = katalog};
    przebieg.Numer = GetCurrentProcessId();
    przebieg.Jezyk = jezyk;
    Dopisz(przebieg, true);
    return true;
}

void TInstalacja::Zamknij()
{
    FPlik.Reset();
    OtwarteDzienniki().erase(Klucz(Narrow(FSciezka)));
    UsunDziennik(FSciezka);
    FSciezka.clear();
    FWpisy.clear();
    FPlikiPrzebiegu.clear();
    ZwolnijInstalacje();
}

void TInstalacja::Porzuc()
{
    if (Trwa()) Zamknij();
    SkopiowanePliki.clear();
    UtworzoneKatalogi.clear();
}

void TInstalacja::Utrwal()
{
    FlushFileBuffers(FPlik.Get());
    FNiezapisane = 0;
    ++FUtrwalenia;
}

std::uint32_t TInstalacja::Dopisz(const TWpisDziennika& wpis, bool utrwal, bool odloz)
{
    if (!Trwa()) throw EInOutError("no installation journal");
    const std::size_t bylo = FBufor.size();
    FBufor += LiniaDziennika(wpis);
    FWpisy.push_back(wpis);
    if (!odloz) {
        // Every line of a change reaches the file before the change: a killed process loses none of them.
        DWORD zapisano = 0;
        if (!WriteFile(FPlik.Get(), FBufor.data(), static_cast<DWORD>(FBufor.size()), &zapisano, nullptr) ||
            zapisano != FBufor.size()) {
            // Not written, not counted: the file's entries and the numbers in memory stay the same.
            FWpisy.pop_back();
            FBufor.resize(bylo);
            throw EInOutError("cannot write the installation journal");
        }
        FBufor.clear();
        if (utrwal || ++FNiezapisane >= kGrupaBezUtrwalenia) Utrwal();
    }
    const auto numer = static_cast<std::uint32_t>(FWpisy.size());
#ifdef WERB_TEST_KILL
    // The test build only: ends the process as a crash would, once the entry the test names is on the disk.
    static const unsigned long zabij = [] {
        const wchar_t* k = _wgetenv(L"WERB_KILL_AT");
        return k ? std::wcstoul(k, nullptr, 10) : 0ul;
    }();
    if (numer == zabij) TerminateProcess(GetCurrentProcess(), kKodZabicia);
#endif
    return numer;
}

void TInstalacja::DopiszWynik(std::uint32_t numer, TOdcisk& odcisk)
{
    TWpisDziennika w{.Rodzaj = TRodzajWpisu::Wynik};
    w.Numer = numer;
    w.Rozmiar = odcisk.Rozmiar;
    w.Sha256 = odcisk.Skrot.HexDigest();
    // Only the record reads a result, and the record is made from memory; undoing needs none. It goes to the
    // file with the next entry: one write a file fewer.
    Dopisz(w, false, true);
}

void TInstalacja::DopiszBez(std::uint32_t numer)
{
    TWpisDziennika w{.Rodzaj = TRodzajWpisu::Bez};
    w.Numer = numer;
    Dopisz(w, false);
}

bool TInstalacja::UtworzKatalog(const std::string& sciezka, bool produktu)
{
    const std::uint32_t n = Dopisz({.Rodzaj = TRodzajWpisu::Katalog, .Sciezka = sciezka}, false);
    const std::wstring p = Widen(sciezka);
    // Made with default rights, a folder outside Program Files inherits from its parent: C:\ lets every user
    // change what is in it, and the next administrator would run what they put there.
    const bool utworzony = produktu && RunsAsAdministrator()
                               ? UtworzKatalogZAcl(p, kAceKataloguProduktu) == ERROR_SUCCESS
                               : CreateDirectoryW(p.c_str(), nullptr) != FALSE;
    if (!utworzony) {
        // There already (a folder the user keeps) or not made: the roll-back must not touch it.
        DopiszBez(n);
        return false;
    }
    UtworzoneKatalogi.push_back(sciezka);
    Zanotuj("Folder created", sciezka);
    return true;
}

bool TInstalacja::ZapiszPlik(const std::string& sciezka, bool mozeIstniec, const std::function<bool(TOdcisk&)>& zapisz)
{
    const std::wstring klucz = Klucz(sciezka);
    const auto wczesniej = FPlikiPrzebiegu.find(klucz);
    std::uint32_t n = 0;
    TWpisDziennika wpis;
    if (wczesniej != FPlikiPrzebiegu.end()) {
        // Written by this run already: undoing that entry covers this write too.
        n = wczesniej->second;
    } else {
        const DWORD a = mozeIstniec ? GetFileAttributesW(Widen(sciezka).c_str()) : INVALID_FILE_ATTRIBUTES;
        if (a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
            // Left as it is: the write that follows cannot create the file and says so.
            Zanotuj("File kept, it is read-only", sciezka);
            TOdcisk odcisk;
            return zapisz(odcisk);
        }
        if (a != INVALID_FILE_ATTRIBUTES) {
            wpis = {.Rodzaj = TRodzajWpisu::Zastapiony, .Sciezka = sciezka, .Kopia = NazwaKopii(sciezka)};
            if (wpis.Kopia.empty()) throw EInOutError("no name to keep " + sciezka + " aside");
            // Undoing this needs the entry: it reaches the disk before the file moves.
            n = Dopisz(wpis, true);
            if (!MoveFileExW(Widen(sciezka).c_str(), Widen(wpis.Kopia).c_str(), 0)) {
                DopiszBez(n);
                throw EInOutError("cannot keep " + sciezka + " aside");
            }
        } else {
            wpis = {.Rodzaj = TRodzajWpisu::Plik, .Sciezka = sciezka};
            n = Dopisz(wpis, false);
        }
    }
    TOdcisk odcisk;
    bool dobrze = false;
    try {
        dobrze = zapisz(odcisk);
    } catch (...) {
        // What it replaced comes back at once rather than a partial copy.
        if (wczesniej == FPlikiPrzebiegu.end()) {
            Cofnij(wpis);
            DopiszBez(n);
        }
        throw;
    }
    if (!dobrze) {
        if (wczesniej == FPlikiPrzebiegu.end()) {
            Cofnij(wpis);
            DopiszBez(n);
        }
        Zanotuj("File not written, the earlier one stays", sciezka);
        return false;
    }
    Zanotuj(wczesniej != FPlikiPrzebiegu.end()         ? "File written again"
            : wpis.Rodzaj == TRodzajWpisu::Zastapiony ? "File replaced (the earlier one kept aside to the end)"
                                                       : "File copied",
            sciezka);
    DopiszWynik(n, odcisk);
    if (wczesniej == FPlikiPrzebiegu.end()) {
        FPlikiPrzebiegu.emplace(klucz, n);
        SkopiowanePliki.push_back(sciezka);
    }
    return true;
}

namespace {

// A change of a file outside the target folder: kept aside when there, journalled and flushed before it.
// The entry's number, 0 when nothing was changed.
template <typename Dopisz, typename Bez>
std::uint32_t ZmienZKopia(TRodzajWpisu rodzaj, const std::string& sciezka, const std::function<bool()>& zapisz,
                 Dopisz&& dopisz, Bez&& bez)
{
    const std::wstring p = Widen(sciezka);
    const DWORD a = GetFileAttributesW(p.c_str());
    TWpisDziennika wpis{.Rodzaj = rodzaj, .Sciezka = sciezka};
    if (a != INVALID_FILE_ATTRIBUTES) {
        if (a & FILE_ATTRIBUTE_DIRECTORY) return 0;
        wpis.Kopia = NazwaKopii(sciezka);
        if (wpis.Kopia.empty()) return 0;
    }
    const std::uint32_t n = dopisz(wpis);
    if (!wpis.Kopia.empty()) {
        // A copy from a real CD is read-only: kept so, it could be neither restored nor deleted later.
        if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(p.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
        // Replaced in place it could not be given back: without its copy aside it is not replaced at all.
        if (!MoveFileExW(p.c_str(), Widen(wpis.Kopia).c_str(), 0)) {
            if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(p.c_str(), a);
            bez(n);
            return 0;
        }
    }
    if (zapisz()) return n;
    Cofnij(wpis);
    bez(n);
    return 0;
}

} // namespace

bool TInstalacja::ZapiszPlikSystemowy(const std::string& sciezka, const std::function<bool()>& zapisz)
{
    const bool zmieniony =
        ZmienZKopia(
            TRodzajWpisu::Systemowy, sciezka, zapisz, [this](const TWpisDziennika& w) { return Dopisz(w, true); },
            [this](std::uint32_t n) { DopiszBez(n); }) != 0;
    Zanotuj(zmieniony ? "System file updated (the older one kept aside to the end)"
                      : "System file kept, it could not be updated",
            sciezka);
    return zmieniony;
}

bool TInstalacja::ZapiszSkrot(const std::string& sciezka, const std::function<bool()>& zapisz)
{
    const std::uint32_t n = ZmienZKopia(
        TRodzajWpisu::Skrot, sciezka, zapisz, [this](const TWpisDziennika& w) { return Dopisz(w, !w.Kopia.empty()); },
        [this](std::uint32_t n) { DopiszBez(n); });
    Zanotuj(n ? "Shortcut" : "Shortcut not written", sciezka);
    if (n == 0) return false;
    // The shell writes the link itself: its few hundred bytes are read once for the record.
    if (const std::optional<TPlikRekordu> odcisk = OdciskPliku(sciezka)) {
        TWpisDziennika w{.Rodzaj = TRodzajWpisu::Wynik};
        w.Numer = n;
        w.Rozmiar = odcisk->Rozmiar;
        w.Sha256 = odcisk->Sha256;
        Dopisz(w, false);
    }
    return true;
}

bool TInstalacja::UtworzGrupe(const std::string& sciezka)
{
    const std::wstring p = Widen(sciezka);
    if (KatalogIstnieje(sciezka)) {
        Zanotuj("Start-menu group there already", sciezka);
        return true;
    }
    const std::uint32_t n = Dopisz({.Rodzaj = TRodzajWpisu::Grupa, .Sciezka = sciezka}, false);
    if (CreateDirectoryW(p.c_str(), nullptr)) {
        Zanotuj("Start-menu group created", sciezka);
        return true;
    }
    DopiszBez(n);
    return KatalogIstnieje(sciezka);
}

bool TInstalacja::OtworzKlucz(TKorzen korzen, const std::string& klucz, UniqueRegKey& otwarty)
{
    for (const std::string& nowy : BrakujaceKlucze(korzen, klucz)) {
        TWpisDziennika w{.Rodzaj = TRodzajWpisu::Klucz, .Sciezka = nowy};
        w.Korzen = korzen;
        Dopisz(w, false);
    }
    return RegCreateKeyExW(UchwytKorzenia(korzen), Widen(klucz).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS | kProductView, nullptr, otwarty.Receive(), nullptr) == ERROR_SUCCESS;
}

bool TInstalacja::ZapiszWartosc(TKorzen korzen, const std::string& klucz, HKEY otwarty, const std::string& nazwa,
                                DWORD typ, const void* dane, DWORD rozmiar)
{
    const std::wstring n = Widen(nazwa);
    TWpisDziennika w{.Rodzaj = TRodzajWpisu::Wartosc, .Sciezka = klucz};
    w.Korzen = korzen;
    w.Nazwa = nazwa;
    DWORD staryTyp = 0, staryRozmiar = 0;
    if (RegQueryValueExW(otwarty, n.c_str(), nullptr, &staryTyp, nullptr, &staryRozmiar) == ERROR_SUCCESS) {
        w.Dane.resize(staryRozmiar);
        for (int proba = 0; proba < 4; ++proba) {
            staryRozmiar = static_cast<DWORD>(w.Dane.size());
            const LSTATUS r = RegQueryValueExW(otwarty, n.c_str(), nullptr, &staryTyp,
                                               reinterpret_cast<BYTE*>(w.Dane.data()), &staryRozmiar);
            if (r == ERROR_MORE_DATA) {
                w.Dane.resize(staryRozmiar);
                continue;
            }
            if (r == ERROR_SUCCESS) {
                w.Dane.resize(staryRozmiar);
                w.BylaWartosc = true;
                w.Typ = staryTyp;
            }
            break;
        }
        // A value there that cannot be read could not be given back: it is not overwritten.
        if (!w.BylaWartosc) return false;
    }
    // An earlier value is lost without its entry: that one reaches the disk first.
    const std::uint32_t numer = Dopisz(w, w.BylaWartosc);
    if (RegSetValueExW(otwarty, n.c_str(), 0, typ, static_cast<const BYTE*>(dane), rozmiar) == ERROR_SUCCESS) {
        if (Protokol.Otwarty()) Protokol.Wpisz("Registry value " + OpisWartosci(korzen, klucz, nazwa, typ, dane, rozmiar));
        return true;
    }
    const DWORD blad = GetLastError();
    DopiszBez(numer);
    if (Protokol.Otwarty())
        Protokol.Wpisz("Registry value not written: " + OpisWartosci(korzen, klucz, nazwa, typ, dane, rozmiar) +
                       ", error " + OpisBledu(blad));
    return false;
}

// ---- the record and the end ----

TRekordDeinstalacji TInstalacja::Rekord() const
{
    TRekordDeinstalacji rekord;
    const std::unordered_set<std::uint32_t> bez = Bez(FWpisy);
    // The last result of each file entry: a file written twice is recorded as it was left.
    std::unordered_map<std::uint32_t, const TWpisDziennika*> wyniki;
    for (const TWpisDziennika& w : FWpisy)
        if (w.Rodzaj == TRodzajWpisu::Wynik) wyniki[w.Numer] = &w;
    std::set<std::pair<int, std::string>> kluczeNowe;
    for (std::size_t i = 0; i < FWpisy.size(); ++i) {
        const TWpisDziennika& w = FWpisy[i];
        const auto numer = static_cast<std::uint32_t>(i + 1);
        if (w.Rodzaj == TRodzajWpisu::Przebieg) {
            rekord.Katalog = w.Sciezka;
            rekord.Jezyk = w.Jezyk;
        }
        if (bez.count(numer)) continue;
        const auto wynik = wyniki.find(numer);
        switch (w.Rodzaj) {
        case TRodzajWpisu::Plik:
        case TRodzajWpisu::Zastapiony:
            if (wynik != wyniki.end())
                rekord.Pliki.push_back({w.Sciezka, wynik->second->Rozmiar, wynik->second->Sha256});
            break;
        case TRodzajWpisu::Katalog:
            // The parents a command line's target folder was given stay: the uninstaller removes only what lies
            // in the target folder, and a record naming more is refused as damaged.
            if (WKatalogu(w.Sciezka, rekord.Katalog)) rekord.Katalogi.push_back(w.Sciezka);
            break;
        case TRodzajWpisu::Grupa: rekord.Grupy.push_back(w.Sciezka); break;
        case TRodzajWpisu::Skrot:
            if (wynik != wyniki.end())
                rekord.Skroty.push_back({w.Sciezka, wynik->second->Rozmiar, wynik->second->Sha256});
            break;
        case TRodzajWpisu::Klucz: kluczeNowe.insert({static_cast<int>(w.Korzen), w.Sciezka}); break;
        case TRodzajWpisu::Wartosc: {
            // The vendor's keys belong to the product family and go once empty; of the system's list of
            // programs only the keys this run created.
            const bool rodziny = !WKataloguBezWielkosci(w.Sciezka, kKluczeDeinstalacji);
            for (auto od = w.Sciezka.find('\\'); od != std::string::npos; od = w.Sciezka.find('\\', od + 1)) {
                const std::string przodek = w.Sciezka.substr(0, od);
                if ((rodziny && przodek.find('\\') != std::string::npos) ||
                    kluczeNowe.count({static_cast<int>(w.Korzen), przodek}))
                    rekord.DodajKlucz(w.Korzen, przodek);
            }
            rekord.DodajKlucz(w.Korzen, w.Sciezka);
            rekord.DodajWartosc(w.Korzen, w.Sciezka, w.Nazwa);
            break;
        }
        default: break;
        }
    }
    return rekord;
}

bool TInstalacja::Zakoncz(const TRekordDeinstalacji& rekord, const std::string& plikRekordu)
{
    const std::optional<std::string> tekst = TekstRekordu(rekord);
    if (!tekst) return false;
    const bool zapisany = ZapiszPlik(plikRekordu, true, [&](TOdcisk& odcisk) {
        const UniqueHandle plik = NowyPlik(plikRekordu);
        DWORD zapisano = 0;
        if (!plik || !WriteFile(plik.Get(), tekst->data(), static_cast<DWORD>(tekst->size()), &zapisano, nullptr) ||
            zapisano != tekst->size() || !FlushFileBuffers(plik.Get()))
            return false;
        odcisk.Dodaj(tekst->data(), tekst->size());
        return true;
    });
    if (!zapisany) return false;
    Zatwierdz();
    return true;
}

void TInstalacja::Zatwierdz()
{
    if (!Trwa()) return;
    // From the end line on, the run stands: nothing of it is undone any more.
    Dopisz({.Rodzaj = TRodzajWpisu::Koniec}, true);
    UsunKopie(FWpisy);
    Zamknij();
}

int TInstalacja::DoCofniecia() const
{
    const std::unordered_set<std::uint32_t> bez = Bez(FWpisy);
    int n = 0;
    for (std::size_t i = 0; i < FWpisy.size(); ++i)
        if (Zmiana(FWpisy[i].Rodzaj) && !bez.count(static_cast<std::uint32_t>(i + 1))) ++n;
    return n;
}

TWynikWycofania TInstalacja::Wycofaj(const std::function<void()>& krok)
{
    TWynikWycofania wynik;
    if (!Trwa()) return wynik;
    FPlik.Reset();
    wynik = WycofajWpisy(FWpisy, krok);
    // What could not be given back is reported; the journal has served either way.
    Zamknij();
    SkopiowanePliki.clear();
    UtworzoneKatalogi.clear();
    return wynik;
}

TWynikWycofania WycofajWpisy(const std::vector<TWpisDziennika>& wpisy, const std::function<void()>& krok)
{
    TWynikWycofania wynik;
    const std::unordered_set<std::uint32_t> bez = Bez(wpisy);
    for (std::size_t i = wpisy.size(); i-- > 0;) {
        const TWpisDziennika& w = wpisy[i];
        if (!Zmiana(w.Rodzaj) || bez.count(static_cast<std::uint32_t>(i + 1))) continue;
        if (Cofnij(w)) ++wynik.Cofniete;
        else wynik.Niecofniete.push_back(Opis(w));
        if (krok) krok();
    }
    return wynik;
}

// ---- at the next start ----

std::vector<TPrzerwanaInstalacja> PrzerwaneInstalacje()
{
    std::vector<TPrzerwanaInstalacja> przerwane;
    const std::wstring folder = KatalogDziennikow();
    if (folder.empty() || !ZajmijInstalacje()) return przerwane;
    WIN32_FIND_DATAW d{};
    const FindHandle szukaj(FindFirstFileW((folder + L"\\" + kWzorDziennika).c_str(), &d));
    if (szukaj) {
        do {
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring plik = folder + L"\\" + d.cFileName;
            const std::optional<std::string> tekst = CzytajPlik(Narrow(plik));
            TPrzerwanaInstalacja p{plik, tekst ? CzytajDziennik(*tekst) : TOdczytDziennika{}};
            // A run this process has open is not interrupted. (Not told by the process number: Wine gives a
            // new process the number of one that ended.)
            if (OtwarteDzienniki().count(Klucz(Narrow(plik)))) continue;
            if (p.Odczyt.Zakonczony && p.Odczyt.Uszkodzone.empty()) {
                // It ended well and was stopped while clearing up: its copies aside go, and so does it.
                UsunKopie(p.Odczyt.Wpisy);
                DeleteFileW(plik.c_str());
                continue;
            }
            przerwane.push_back(std::move(p));
        } while (FindNextFileW(szukaj.Get(), &d));
    }
    if (przerwane.empty()) {
        RemoveDirectoryW(folder.c_str());
        ZwolnijInstalacje();
    }
    return przerwane;
}

TWynikWycofania WycofajPrzerwana(const TPrzerwanaInstalacja& przerwana, const std::function<void()>& krok)
{
    TWynikWycofania wynik;
    const TOdczytDziennika& o = przerwana.Odczyt;
    if (!o.Naglowek) {
        // Not a journal this program can read: nothing in it is acted on.
        wynik.Niecofniete.push_back(Narrow(przerwana.Plik));
        return wynik;
    }
    // A line torn at the very end announced a change that had not begun; one torn before is reported.
    std::vector<TWpisDziennika> wpisy = o.Wpisy;
    std::vector<int> uszkodzone = o.Uszkodzone;
    if (!uszkodzone.empty() && uszkodzone.back() == static_cast<int>(wpisy.size())) {
        uszkodzone.pop_back();
        wpisy.pop_back();
    }
    if (o.Zakonczony) {
        UsunKopie(wpisy);
    } else {
        wynik = WycofajWpisy(wpisy, krok);
    }
    for (int n : uszkodzone)
        wynik.Niecofniete.push_back(Narrow(przerwana.Plik) + " #" + std::to_string(n));
    UsunDziennik(przerwana.Plik);
    return wynik;
}
