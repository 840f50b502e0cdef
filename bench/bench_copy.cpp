// Times the installation's folder copy under Wine: the wizard's own KopiujKatalog, its progress included.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/Formularze.h"
#include "install/untInstalFunkcje.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
#include "wizard/untMain.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_copy SOURCE TARGET (TARGET is created)\n");
        return 2;
    }
    const std::string zrodlo = Narrow(argv[1]);
    const std::string cel = Narrow(argv[2]);
    if (!CreateDirectoryW(argv[2], nullptr)) {
        std::fprintf(stderr, "bench_copy: cannot create %s\n", cel.c_str());
        return 1;
    }
    NumerProduktu = 1;
    JezykProduktu = jzFrancuski;
    CzyscFlageInstalacji = false;
    WybierzCzcionke();
    Application.Initialize();
    TFormularze formularze;
    frmMain->FKatalogDocelowy = cel;

    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    try {
        frmMain->KopiujKatalog(zrodlo, cel, ListaWykluczen(1, true));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_copy: %s\n", e.what());
        return 1;
    }
    QueryPerformanceCounter(&t1);
    const double s = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
    std::printf("%.3f %lld %zu\n", s, static_cast<long long>(frmMain->FSkopiowanoBajtow),
                frmMain->FSkopiowanePliki.size());
    return 0;
}
