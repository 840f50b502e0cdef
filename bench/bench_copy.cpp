// Times the installation's folder copy under Wine: the wizard's own KopiujKatalog, its progress included.
// "--raw N": the same tree copied by a bare ReadFile/WriteFile loop with an N-byte buffer instead, the
// ceiling that Wine's file calls set for a copy with that buffer. "--flush N FILE": what a journal line costs
// written alone and written then flushed to the disk, over N lines.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Formularze.h"
#include "raw_tree.h"
#include "install/untInstalFunkcje.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
#include "wizard/untMain.h"

namespace {

using bench::RawCopy;
using bench::Seconds;

// Microseconds a journal line takes: written (WriteFile), and written then flushed (FlushFileBuffers).
int FlushCost(int n, const wchar_t* file)
{
    const std::string line = "file\tC:\\Program Files (x86)\\Werbika\\Dane\\Pod\\plik-000000.txt\t0123abcd\r\n";
    double seconds[2] = {};
    for (int flush = 0; flush < 2; ++flush) {
        HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 1;
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        for (int i = 0; i < n; ++i) {
            DWORD w = 0;
            WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &w, nullptr);
            if (flush) FlushFileBuffers(h);
        }
        QueryPerformanceCounter(&t1);
        CloseHandle(h);
        DeleteFileW(file);
        seconds[flush] = Seconds(t0, t1);
    }
    std::printf("%.2f %.2f\n", seconds[0] * 1e6 / n, seconds[1] * 1e6 / n);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wstring(argv[1]) == L"--flush") return FlushCost(std::max(1, _wtoi(argv[2])), argv[3]);
    if (argc == 5 && std::wstring(argv[1]) == L"--raw") {
        std::vector<char> buffer(static_cast<std::size_t>(std::wcstoul(argv[2], nullptr, 10)));
        if (buffer.empty() || !CreateDirectoryW(argv[4], nullptr)) return 1;
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        long long bytes = 0;
        int files = 0;
        if (!RawCopy(argv[3], argv[4], buffer, bytes, files)) return 1;
        QueryPerformanceCounter(&t1);
        std::printf("%.3f %lld %d\n", static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart),
                    bytes, files);
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_copy SOURCE TARGET (TARGET is created) | bench_copy --raw BYTES SOURCE TARGET\n");
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
    // The copy writes through the run's journal, as in the installation.
    if (!frmMain->FInstalacja.Rozpocznij(cel, jzPolski)) {
        std::fprintf(stderr, "bench_copy: cannot write the journal\n");
        return 1;
    }

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
    std::printf("%.3f %lld %zu %zu %d\n", s, static_cast<long long>(frmMain->FSkopiowanoBajtow),
                frmMain->FSkopiowanePliki.size(), frmMain->FInstalacja.Wpisy().size(),
                frmMain->FInstalacja.Utrwalenia());
    // The copy stays for the script to delete; the journal goes.
    frmMain->FInstalacja.Porzuc();
    return 0;
}
