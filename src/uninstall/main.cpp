// The uninstaller's entry: from the installed folder it hands over to a copy of itself in the temporary
// folder, which can then remove that folder; the copy (or a run that cannot hand over) does the work.
#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "install/Produkt.h"
#include "install/WinHandle.h"
#include "install/untInstalFunkcje.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
#include "unattended/Polecenie.h"
#include "unattended/Protokol.h"
#include "uninstall/untDeinstalka.h"

namespace {

// Said by the uninstaller to its copy, followed by its process id and the installed folder.
constexpr wchar_t kKopia[] = L"/doit";
// The same to the copy that removes the uninstaller and its folder once that process has ended: the one a
// script waits for, whose file stays in use until the work is done.
constexpr wchar_t kReszta[] = L"/doitrest";

std::vector<std::wstring> Argumenty()
{
    std::vector<std::wstring> wynik;
    int n = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i) wynik.emplace_back(argv[i]);
        LocalFree(argv);
    }
    return wynik;
}

std::string BezUkosnika(std::string katalog)
{
    if (!katalog.empty() && katalog.back() == '\\') katalog.pop_back();
    return katalog;
}

// The relaunching instance, to wait for; only when the id still names a process of the uninstaller's file.
UniqueHandle Rodzic(const std::wstring& id, const char* plik)
{
    const DWORD pid = wcstoul(id.c_str(), nullptr, 10);
    UniqueHandle proces(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!proces) return proces;
    wchar_t obraz[MAX_PATH * 2] = {};
    DWORD dlugosc = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(proces.Get(), 0, obraz, &dlugosc)) return {};
    const std::string nazwa = Narrow(std::wstring_view(obraz, dlugosc));
    const auto ukosnik = nazwa.find_last_of('\\');
    if (!TenSamTekst(ukosnik == std::string::npos ? nazwa : nazwa.substr(ukosnik + 1), plik)) return {};
    return proces;
}

// /? and a command line not understood: answered by the first instance, which then ends.
int OdpowiedzNaPolecenie(const TPolecenie& polecenie)
{
    const TJezyk jezyk = JezykDeinstalacji(nullptr);
    const bool pomoc = polecenie.Blad.empty();
    const std::string tekst =
        pomoc ? TekstPomocy(jezyk, TProgram::Deinstalator) : TekstBleduPolecenia(jezyk, polecenie);
    if (!pomoc && polecenie.Log)
        Protokol.Otworz(polecenie.Log->empty() ? DomyslnyProtokol(L"Werbfranko-deinstalacja.log")
                                               : Widen(*polecenie.Log));
    Protokol.Wpisz("Command line: " + Narrow(GetCommandLineW()));
    Protokol.Wpisz(tekst);
    const int kod = pomoc ? kwZainstalowano : kwZlePolecenie;
    Protokol.Krok("Outcome: exit code " + std::to_string(kod));
    if ((pomoc && WypiszNaKonsoli(tekst)) || (!pomoc && polecenie.BezPytan())) return kod;
    TfrmDeinstalka okno;
    TfrmPytanie pytanie;
    okno.UstawJezyk(jezyk);
    pytanie.UstawJezyk(jezyk);
    PokazPytanie(pytanie, okno, tekst, rpOK);
    return kod;
}

int Uruchom()
{
    WybierzCzcionke();
    Application.Initialize();
    NumerProduktu = 1;
    JezykProduktu = jzFrancuski;
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);

    const std::vector<std::wstring> argumenty = Argumenty();
    const bool kopia = argumenty.size() >= 4 && (argumenty[1] == kKopia || argumenty[1] == kReszta);
    std::vector<std::string> opcje;
    for (std::size_t i = kopia ? 4 : 1; i < argumenty.size(); ++i) opcje.push_back(Narrow(argumenty[i]));
    const TPolecenie polecenie = CzytajPolecenie(opcje, TProgram::Deinstalator);
    if (!polecenie.Blad.empty() || polecenie.Pomoc) return OdpowiedzNaPolecenie(polecenie);

    std::string katalog;
    UniqueHandle rodzic;
    if (kopia) {
        rodzic = Rodzic(argumenty[2], opis->Deinstalator);
        katalog = BezUkosnika(Narrow(argumenty[3]));
    } else {
        katalog = BezUkosnika(KatalogAplikacji());
        // Quoted folder without its trailing backslash, which would escape the closing quote.
        const std::string parametry = Narrow(kKopia) + " " + std::to_string(GetCurrentProcessId()) + " \"" +
                                      katalog + "\"" + PolecenieDlaKopii(opcje, PelnaSciezka);
        UniqueHandle proces;
        if (UruchomKopie(SciezkaAplikacji(), opis->Deinstalator, parametry, &proces)) {
            // A script that gave options waits for the outcome; a user starting it from the list does not.
            if (!polecenie.Opcje || !proces) return 0;
            return KodZakonczenia(proces.Get());
        }
        // Already in the temporary folder, or no copy could start: work from here; this file then stays.
    }

    if (polecenie.Log)
        Protokol.Otworz(polecenie.Log->empty() ? DomyslnyProtokol(L"Werbfranko-deinstalacja.log")
                                               : Widen(*polecenie.Log));
    Protokol.Wpisz("Command line: " + Narrow(GetCommandLineW()));
    Protokol.Krok(OpisSystemu());

    // The first instance waits for this one's exit code with its file, the uninstaller, in use: a copy of
    // that file removes it and its folder once the first instance has ended.
    std::function<bool()> dokoncz;
    if (kopia && argumenty[1] == kKopia && polecenie.Opcje && rodzic)
        dokoncz = [&] {
            const std::string parametry = Narrow(kReszta) + " " + Narrow(argumenty[2]) + " \"" + katalog +
                                          "\" /VERYSILENT";
            return UruchomKopie(katalog + "\\" + opis->Deinstalator, opis->Deinstalator, parametry);
        };

    TfrmDeinstalka okno;
    TfrmPytanie pytanie;
    const int kod = Deinstaluj(katalog, okno, pytanie, rodzic.Get(), {}, polecenie, dokoncz);
    Protokol.Zamknij();
    return kod;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The copy runs from the temporary folder, where anyone can drop a DLL: libraries from the system folder.
    using TUstawKatalogi = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto ustaw = kernel ? reinterpret_cast<TUstawKatalogi>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(kernel, "SetDefaultDllDirectories")))
                              : nullptr;
    if (ustaw) ustaw(LOAD_LIBRARY_SEARCH_SYSTEM32);

    int wynik = 1;
    try {
        wynik = Uruchom();
    } catch (const std::exception& e) {
        // Only a failure to build the windows ends here; say so rather than vanish.
        MessageBoxW(nullptr, Widen(e.what()).c_str(), L"Werbfranko", MB_ICONERROR | MB_OK);
    }
    return wynik;
}
