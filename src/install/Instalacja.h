// The installation's state: every change made through the journal, written ahead of it; roll-back after a
// cancel, a failure or a crash as one replay of the journal, newest first; the uninstall record made from it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "install/Dziennik.h"
#include "install/WinHandle.h"
#include "uninstall/RekordDeinstalacji.h"
#include "uninstall/Sha256.h"

// Where the journals of runs live: %LOCALAPPDATA%\Werbfranko (no trailing backslash); empty when unknown.
std::wstring KatalogDziennikow();

// The product's mutex: held by the process that runs an installation, so that a journal whose writer is
// alive is never taken for an interrupted one. True when this process holds it (also when it was abandoned).
bool ZajmijInstalacje();
void ZwolnijInstalacje();
// The exit code of a test build that ended itself after a journal entry (WERB_KILL_AT).
inline constexpr UINT kKodZabicia = 57;

// What a roll-back could not give back: a description of each item.
struct TWynikWycofania {
    int Cofniete = 0;
    std::vector<std::string> Niecofniete;
};

class TInstalacja {
public:
    TInstalacja() = default;
    TInstalacja(const TInstalacja&) = delete;
    TInstalacja& operator=(const TInstalacja&) = delete;
    // An open journal stays on disk as it is: a run that did not end is the next start's to undo.
    ~TInstalacja() = default;

    // Opens a new journal for a run into katalog. False when it cannot be written: nothing may be changed then.
    bool Rozpocznij(const std::string& katalog, TJezyk jezyk);
    bool Trwa() const { return static_cast<bool>(FPlik); }
    // Drops a run that changed nothing it must keep (the options check answered No): journal deleted.
    void Porzuc();

    // A folder, created unless it exists; true when this call created it. A product folder (the target) made by
    // an administrator gets the product folder's access list (kAceKataloguProduktu); the folders below inherit it.
    bool UtworzKatalog(const std::string& sciezka, bool produktu = false);
    // A file written by zapisz, which creates it (NowyPlik) and feeds the digest; false or an exception from it
    // undo this file at once. An existing file is first renamed aside (mozeIstniec false: the caller knows the
    // name is free). A read-only file is refused without a change (zapisz then fails, as it cannot create it).
    bool ZapiszPlik(const std::string& sciezka, bool mozeIstniec, const std::function<bool(TOdcisk&)>& zapisz);
    // A file outside the target folder (the system folder): created or replaced, the old one kept aside.
    // zapisz copies it into place; false when it did not (nothing is changed then).
    bool ZapiszPlikSystemowy(const std::string& sciezka, const std::function<bool()>& zapisz);
    // A shortcut written by zapisz; an existing one is kept aside.
    bool ZapiszSkrot(const std::string& sciezka, const std::function<bool()>& zapisz);
    // The Start-menu group, created unless it exists; true when it exists afterwards.
    bool UtworzGrupe(const std::string& sciezka);
    // Opens a key of the product's view, creating it and its missing parents, each journalled first.
    bool OtworzKlucz(TKorzen korzen, const std::string& klucz, UniqueRegKey& otwarty);
    // A value written into an open key, its earlier value journalled first; false when it could not be written.
    bool ZapiszWartosc(TKorzen korzen, const std::string& klucz, HKEY otwarty, const std::string& nazwa, DWORD typ,
                       const void* dane, DWORD rozmiar);

    // The uninstall record of the run so far, from the journal: nothing is read from disk.
    TRekordDeinstalacji Rekord() const;
    // The run succeeded: the record (written through the journal into the target folder), the end line, then the
    // backups and the journal go. False when the record could not be written (the run is then to be undone).
    bool Zakoncz(const TRekordDeinstalacji& rekord, const std::string& plikRekordu);

    // The run stands as it is: the end line, then the copies kept aside and the journal go.
    void Zatwierdz();

    // How many changes a roll-back has to undo.
    int DoCofniecia() const;
    // Undoes the run, newest first, calling krok after each item; the journal goes when everything came back.
    TWynikWycofania Wycofaj(const std::function<void()>& krok = {});

    // Views of the journal: the files written into the target folder and the folders created, in order.
    std::vector<std::string> SkopiowanePliki;
    std::vector<std::string> UtworzoneKatalogi;
    const std::vector<TWpisDziennika>& Wpisy() const { return FWpisy; }
    const std::wstring& SciezkaDziennika() const { return FSciezka; }
    // How often the journal was flushed to the disk in this run (the benchmark's figure).
    int Utrwalenia() const { return FUtrwalenia; }

private:
    // Writes the entry (with any held back) to the file, and flushes when utrwal; odloz holds it back for the
    // next entry's write instead.
    std::uint32_t Dopisz(const TWpisDziennika& wpis, bool utrwal, bool odloz = false);
    void DopiszWynik(std::uint32_t numer, TOdcisk& odcisk);
    void DopiszBez(std::uint32_t numer);
    void Utrwal();
    void Zamknij();

    UniqueHandle FPlik;
    std::wstring FSciezka;
    std::vector<TWpisDziennika> FWpisy;
    std::unordered_map<std::wstring, std::uint32_t> FPlikiPrzebiegu;  // lower-case path -> its entry
    std::string FBufor;
    int FNiezapisane = 0;
    int FUtrwalenia = 0;
};

// Undoes the entries of a journal newest first (a cancelled, failed or interrupted run); krok after each.
TWynikWycofania WycofajWpisy(const std::vector<TWpisDziennika>& wpisy, const std::function<void()>& krok);

// The journals of runs that did not end, found at a start, with what reading them gave.
struct TPrzerwanaInstalacja {
    std::wstring Plik;
    TOdczytDziennika Odczyt;
};
// Only when this process can take the product's mutex, which it then holds when any are found (release it
// with ZwolnijInstalacje after undoing them); finished journals met on the way are cleared.
std::vector<TPrzerwanaInstalacja> PrzerwaneInstalacje();
// Undoes an interrupted run and removes its journal; what could not be undone or read is reported.
TWynikWycofania WycofajPrzerwana(const TPrzerwanaInstalacja& przerwana, const std::function<void()>& krok = {});
