// Times the installation's folder copy under Wine: the wizard's own KopiujKatalog, its progress included.
// "--raw N": the same tree copied by a bare ReadFile/WriteFile loop with an N-byte buffer instead, the
// ceiling that Wine's file calls set for a copy with that buffer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Formularze.h"
#include "install/untInstalFunkcje.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
#include "wizard/untMain.h"

namespace {

bool RawCopy(const std::wstring& from, const std::wstring& to, std::vector<char>& buffer, long long& bytes, int& files)
{
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &f);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring a = from + L"\\" + name, b = to + L"\\" + name;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = CreateDirectoryW(b.c_str(), nullptr) && RawCopy(a, b, buffer, bytes, files);
            continue;
        }
        HANDLE in = CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        HANDLE out = CreateFileW(b.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD n = 0, w = 0;
        ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE;
        while (ok && ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) && n > 0) {
            ok = WriteFile(out, buffer.data(), n, &w, nullptr) && w == n;
            bytes += n;
        }
        CloseHandle(in);
        CloseHandle(out);
        ++files;
    } while (ok && FindNextFileW(find, &f));
    FindClose(find);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
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
