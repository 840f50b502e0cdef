// Program entry: safe DLL search, COM, the interface font, the forms, and the relaunch from a CD.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>

#include "app/Formularze.h"
#include "install/untInstalFunkcje.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
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

std::wstring PierwszyArgument()
{
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!argv) return {};
    std::wstring wynik = n > 1 ? argv[1] : L"";
    LocalFree(argv);
    return wynik;
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
    if (PierwszyArgument() != L"/doit" && TypDysku(KatalogAplikacji()) == DRIVE_CDROM) {
        UruchomKopie(SciezkaAplikacji(), "instal.exe", "/doit");
        // The copy owns the installation flag from now on.
        CzyscFlageInstalacji = false;
        Application.Terminate();
        return 0;
    }
    return Application.Run(*frmMain);
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
        // Only a failure to build the windows ends here; say so rather than vanish.
        MessageBoxW(nullptr, Widen(e.what()).c_str(), L"Werbfranko", MB_ICONERROR | MB_OK);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return wynik;
}
