// Program entry: safe DLL search, COM, the interface font, the forms, and the relaunch from a CD.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/Formularze.h"
#include "install/untInstalFunkcje.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
#include "unattended/Polecenie.h"
#include "unattended/Protokol.h"
#include "wizard/untMain.h"

namespace {

// The copy runs from the temporary folder, where anyone can drop a DLL: load libraries from the system
// folder only. Through GetProcAddress because older systems lack the function.
void ZabezpieczLadowanieBibliotek()
{
    using SetDirs = BOOL(WINAPI*)(DWORD);
    if (HMODULE k = GetModuleHandleW(L"kernel32.dll")) {
        if (auto f = reinterpret_cast<SetDirs>(reinterpret_cast<void*>(GetProcAddress(k, "SetDefaultDllDirectories"))))
            f(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

// A run that must show no window, not even for a failure nobody is there to read.
bool BezOkien = false;

// The arguments after the program's name, in UTF-8.
std::vector<std::string> Argumenty()
{
    std::vector<std::string> wynik;
    int n = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 1; i < n; ++i) wynik.push_back(Narrow(argv[i]));
        LocalFree(argv);
    }
    return wynik;
}

// A message before or instead of the wizard: on the console or in a window, or only in the log when nobody is
// to read it.
void Powiedz(const TPolecenie& polecenie, const std::string& tekst, bool konsola)
{
    Protokol.Wpisz("Message: " + tekst);
    if (polecenie.BezPytan() && !konsola) return;
    if (konsola && WypiszNaKonsoli(tekst)) return;
    if (polecenie.Tryb == TTryb::BardzoCichy) return;
    MessageBoxW(nullptr, Widen(tekst).c_str(), L"Werbfranko", MB_OK | (konsola ? MB_ICONINFORMATION : MB_ICONERROR));
}

void OtworzProtokol(const TPolecenie& polecenie)
{
    if (!polecenie.Log) return;
    const std::wstring plik = polecenie.Log->empty() ? DomyslnyProtokol(L"Werbfranko-instalacja.log")
                                                      : Widen(*polecenie.Log);
    if (!Protokol.Otworz(plik)) return;
    Protokol.Krok("Werbfranko installer " + SciezkaAplikacji());
    Protokol.Wpisz("Command line: " + Narrow(ResztaPolecenia(GetCommandLineW())));
    Protokol.Wpisz("System: " + OpisSystemu());
}

int Uruchom()
{
    WybierzCzcionke();
    Application.Initialize();
    NumerProduktu = 1;
    JezykProduktu = jzFrancuski;

    TFormularze formularze;
    OknoAplikacji = frmMain->Handle();

    // Case-sensitive on purpose: only the copy started by the CD instance says exactly this.
    std::vector<std::string> argumenty = Argumenty();
    const bool kopia = !argumenty.empty() && argumenty.front() == "/doit";
    if (kopia) argumenty.erase(argumenty.begin());
    const TPolecenie polecenie = CzytajPolecenie(argumenty, TProgram::Instalator);
    BezOkien = polecenie.BezPytan();
    const TJezyk systemu = JezykSystemu();
    const TJezyk jezyk = polecenie.Jezyk.value_or(systemu == JezykProduktu ? systemu : jzPolski);
    // Checked before the relaunch: a mistake is told at once, and no copy is left for it.
    if (!polecenie.Blad.empty() || polecenie.Pomoc) {
        OtworzProtokol(polecenie);
        if (polecenie.Pomoc && polecenie.Blad.empty()) {
            Powiedz(polecenie, TekstPomocy(jezyk, TProgram::Instalator), true);
            return kwZainstalowano;
        }
        Powiedz(polecenie, TekstBleduPolecenia(jezyk, polecenie), false);
        Protokol.Krok("Outcome: exit code 1 (the command line is wrong)");
        return kwZlePolecenie;
    }

    if (!kopia && TypDysku(KatalogAplikacji()) == DRIVE_CDROM) {
        // The copy gets the options after the word that makes it the copy; it runs in its own folder.
        UniqueHandle proces;
        UruchomKopie(SciezkaAplikacji(), "instal.exe", "/doit" + PolecenieDlaKopii(argumenty, PelnaSciezka), &proces);
        // The copy owns the installation flag from now on.
        CzyscFlageInstalacji = false;
        Application.Terminate();
        // A script that gave options waits for the outcome; a user's click from the CD does not.
        if (!polecenie.Opcje) return 0;
        if (proces) return KodZakonczenia(proces.Get());
        OtworzProtokol(polecenie);
        // Without the copy's process no copy runs: UruchomKopie hands it out as soon as the copy does.
        Protokol.Krok("The installer could not start its copy in the temporary folder, error " +
                      OpisBledu(GetLastError()));
        return kwBlad;
    }

    OtworzProtokol(polecenie);
    frmMain->UstawPolecenie(polecenie);
    if (polecenie.Tryb != TTryb::Okna) return frmMain->InstalujBezKreatora();
    Application.Run(*frmMain);
    const int kod = frmMain->KodWyjscia();
    Protokol.Krok("Outcome of the wizard: exit code " + std::to_string(kod));
    return kod;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    ZabezpieczLadowanieBibliotek();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int wynik = 1;
    try {
        wynik = Uruchom();
    } catch (const std::exception& e) {
        // Only a failure to build the windows or of the checks ends here; say so rather than vanish. The forms are
        // gone by now, and with them anything the checks had begun.
        Protokol.Krok(std::string("Failed: ") + e.what() + ", exit code 3");
        if (!BezOkien) MessageBoxW(nullptr, Widen(e.what()).c_str(), L"Werbfranko", MB_ICONERROR | MB_OK);
        wynik = kwBlad;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return wynik;
}
