// The uninstaller's entry: from the installed folder it hands over to a copy of itself in the temporary
// folder, which can then remove that folder; the copy (or a run that cannot hand over) does the work.
#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "install/Produkt.h"
#include "install/WinHandle.h"
#include "install/untInstalFunkcje.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
#include "uninstall/untDeinstalka.h"

namespace {

// Said by the uninstaller to its copy, followed by its process id and the installed folder.
constexpr wchar_t kKopia[] = L"/doit";

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

int Uruchom()
{
    WybierzCzcionke();
    Application.Initialize();
    NumerProduktu = 1;
    JezykProduktu = jzFrancuski;
    const TOpisProduktu* opis = OpisProduktu(NumerProduktu);

    const std::vector<std::wstring> argumenty = Argumenty();
    std::string katalog;
    UniqueHandle rodzic;
    if (argumenty.size() >= 4 && argumenty[1] == kKopia) {
        rodzic = Rodzic(argumenty[2], opis->Deinstalator);
        katalog = BezUkosnika(Narrow(argumenty[3]));
    } else {
        katalog = BezUkosnika(KatalogAplikacji());
        // Quoted folder without its trailing backslash, which would escape the closing quote.
        const std::string parametry =
            Narrow(kKopia) + " " + std::to_string(GetCurrentProcessId()) + " \"" + katalog + "\"";
        if (UruchomKopie(SciezkaAplikacji(), opis->Deinstalator, parametry)) return 0;
        // Already in the temporary folder, or no copy could start: work from here; this file then stays.
    }

    TfrmDeinstalka okno;
    TfrmPytanie pytanie;
    return Deinstaluj(katalog, okno, pytanie, rodzic.Get());
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
