// Times whole runs under Wine: the wizard's installation from the Options page's Next to the End page, and
// the uninstaller's run on what it installed, each watched by a probe thread for the longest wait of a
// message to the run's window and for the most handles the process held; and the bare copy and delete of the
// same tree they are held against.
//   bench_run install CD TARGET   ->  seconds files maxgap_ms maxhandles handles_before
//   bench_run uninstall TARGET    ->  seconds files maxgap_ms maxhandles handles_before  (stderr: the closing
//                                     message's first line)
//   bench_run rawcopy SRC DST     ->  seconds files   (DST is created)
//   bench_run rawdelete DIR       ->  seconds files
#include <windows.h>

#include <objbase.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Formularze.h"
#include "dialogs/untPytanie.h"
#include "install/untInstalFunkcje.h"
#include "raw_tree.h"
#include "ui/Forms.h"
#include "ui/Unicode.h"
#include "uninstall/untDeinstalka.h"
#include "wizard/untMain.h"

namespace {

using bench::Seconds;

LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// The handles this process holds. Wine 8 answers GetProcessHandleCount with success and 0 for every process,
// so where it says 0 the count comes from the system's handle table (NtQuerySystemInformation,
// SystemHandleInformation), which Wine fills from the wineserver: the entries owned by this process.
class HandleCounter {
public:
    long Count()
    {
        DWORD n = 0;
        if (GetProcessHandleCount(GetCurrentProcess(), &n) && n > 0) return static_cast<long>(n);
        return FromSystemTable();
    }

private:
    // The layout of SYSTEM_HANDLE_TABLE_ENTRY_INFO: the owner's id in the first 32 bits (on Windows its upper
    // half is a back-trace index, 0 outside debugging sessions).
    struct Entry {
        ULONG Process;
        UCHAR Type;
        UCHAR Flags;
        USHORT Value;
        PVOID Object;
        ACCESS_MASK Access;
    };
    struct Table {
        ULONG Count;
        Entry Entries[1];
    };
    using TQuery = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    static constexpr ULONG kSystemHandleInformation = 16;
    static constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

    long FromSystemTable()
    {
        if (!FQuery) {
            const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
            FQuery = ntdll ? reinterpret_cast<TQuery>(reinterpret_cast<void (*)()>(
                                 GetProcAddress(ntdll, "NtQuerySystemInformation")))
                           : nullptr;
            if (!FQuery) return -1;
        }
        // Kept between samples: the table of every process on the machine.
        if (FBuffer.empty()) FBuffer.resize(1 << 20);
        for (;;) {
            ULONG length = 0;
            const NTSTATUS s = FQuery(kSystemHandleInformation, FBuffer.data(), static_cast<ULONG>(FBuffer.size()),
                                      &length);
            if (s == kLengthMismatch && FBuffer.size() < (256u << 20)) {
                FBuffer.resize(std::max<std::size_t>(FBuffer.size() * 2, length));
                continue;
            }
            if (s < 0) return -1;
            break;
        }
        const auto* table = reinterpret_cast<const Table*>(FBuffer.data());
        const ULONG self = GetCurrentProcessId();
        long n = 0;
        for (ULONG i = 0; i < table->Count; ++i)
            if (table->Entries[i].Process == self) ++n;
        return n;
    }

    TQuery FQuery = nullptr;
    std::vector<char> FBuffer;
};

// Every 20 ms: a WM_NULL sent to the run's window, timed from the send to its answer (the answer comes only
// when the run's thread takes its messages), and a count of the process's handles. Keeps the maxima.
class Probe {
public:
    explicit Probe(HWND window) : FWindow(window)
    {
        FBefore = FCounter.Count();
        FThread = CreateThread(nullptr, 0, &Probe::Run, this, 0, nullptr);
    }
    ~Probe() { Stop(); }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // Takes messages until the probe has ended: its last WM_NULL must not wait on a thread that stopped
    // looking, or the wait would count as a gap.
    void Stop()
    {
        if (!FThread) return;
        FStop = true;
        while (MsgWaitForMultipleObjects(1, &FThread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        CloseHandle(FThread);
        FThread = nullptr;
    }

    double MaxGapMs() const { return FMaxGapMs; }
    long MaxHandles() const { return FMaxHandles; }
    long HandlesBefore() const { return FBefore; }
    // What the probe cost: its samples, and the mean time a handle count took (the system table's walk
    // grows with every handle of every process).
    void Report() const
    {
        std::fprintf(stderr, "bench_run: probe: %d samples, a handle count took %.2f ms on average\n", FSamples,
                     FSamples ? FCountingSeconds * 1000.0 / FSamples : 0.0);
    }

private:
    static DWORD WINAPI Run(LPVOID self)
    {
        static_cast<Probe*>(self)->Loop();
        return 0;
    }

    void Loop()
    {
        while (!FStop) {
            const LARGE_INTEGER t0 = Now();
            DWORD_PTR answer = 0;
            // A send that times out is sent again, timed from the first: the gap is the whole wait.
            while (!SendMessageTimeoutW(FWindow, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer) &&
                   GetLastError() == ERROR_TIMEOUT && IsWindow(FWindow)) {
            }
            const double ms = Seconds(t0, Now()) * 1000.0;
            FMaxGapMs = std::max(FMaxGapMs, ms);
            const LARGE_INTEGER c0 = Now();
            FMaxHandles = std::max(FMaxHandles, FCounter.Count());
            FCountingSeconds += Seconds(c0, Now());
            ++FSamples;
            Sleep(20);
        }
    }

    HWND FWindow;
    HANDLE FThread = nullptr;
    std::atomic<bool> FStop{false};
    HandleCounter FCounter;
    double FMaxGapMs = 0;
    double FCountingSeconds = 0;
    int FSamples = 0;
    long FMaxHandles = 0;
    long FBefore = 0;
};

// Every question a run shows gets its answer from choose (its text, whether it has a No button: true
// presses Yes or OK); the hook stays armed for the next one.
class Answers {
public:
    using TChoice = bool (*)(Answers&, TfrmPytanie&);
    explicit Answers(TChoice choose) : FChoose(choose) { Arm(); }
    ~Answers() { Application.OnNextModalShown(nullptr); }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    std::vector<std::string> Asked;

private:
    void Arm()
    {
        Application.OnNextModalShown([this](TForm& f) {
            auto& d = static_cast<TfrmPytanie&>(f);
            Asked.push_back(d.lblPytanie.Caption());
            Arm();
            const bool yes = FChoose(*this, d);
            (yes || !d.btnNie.Visible() ? d.btnTak : d.btnNie).Click();
        });
    }
    TChoice FChoose;
};

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

void StartUp()
{
    WybierzCzcionke();
    Application.Initialize();
    NumerProduktu = 1;
    JezykProduktu = jzFrancuski;
}

int Install(const std::wstring& cd, const std::wstring& target)
{
    StartUp();
    // The copy the CD instance starts: it owns the installation flag.
    CzyscFlageInstalacji = true;
    TFormularze formularze;
    OknoAplikacji = frmMain->Handle();
    // The CD folder given, as the CD dialog would have given its drive's root.
    std::string zrodlo = Narrow(cd);
    if (zrodlo.empty() || zrodlo.back() != '\\') zrodlo += '\\';
    frmMain->FKatalogZrodlowy = zrodlo;
    // Every question of an installation (another run's journal, low space) is answered Yes or OK.
    Answers answers([](Answers&, TfrmPytanie&) { return true; });

    frmMain->Show();
    Application.ProcessMessages();
    frmMain->UstawJezyk(jzPolski);
    frmMain->btnDalej.Click();
    frmMain->rdbUmowaAkceptuje.SetChecked(true);
    frmMain->btnDalej.Click();
    if (frmMain->FStrona != stOpcje) {
        std::fprintf(stderr, "bench_run: the wizard is on page %d, not on the Options page\n", frmMain->FStrona);
        return 1;
    }
    frmMain->lblKatalog.SetCaption(Narrow(target));

    Probe probe(frmMain->Handle());
    const LARGE_INTEGER t0 = Now();
    frmMain->btnDalej.Click();
    const LARGE_INTEGER t1 = Now();
    probe.Stop();
    probe.Report();

    for (const std::string& q : answers.Asked) std::fprintf(stderr, "bench_run: answered: %s\n", FirstLine(q).c_str());
    if (frmMain->FStrona != stKoniec || !frmMain->FSukces) {
        std::fprintf(stderr, "bench_run: the installation did not succeed (page %d): %s\n", frmMain->FStrona,
                     frmMain->lblKoniec.Caption().c_str());
        return 1;
    }
    std::printf("%.3f %zu %.1f %ld %ld\n", Seconds(t0, t1), frmMain->FSkopiowanePliki.size(), probe.MaxGapMs(),
                probe.MaxHandles(), probe.HandlesBefore());
    return 0;
}

int CountFiles(const std::wstring& folder)
{
    WIN32_FIND_DATAW f;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &f);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        n += (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? CountFiles(folder + L"\\" + name) : 1;
    } while (FindNextFileW(find, &f));
    FindClose(find);
    return n;
}

int Uninstall(const std::wstring& target)
{
    StartUp();
    const int files = CountFiles(target);
    TfrmDeinstalka okno;
    TfrmPytanie pytanie;
    // The confirmation: Yes; a question about changed files: No (the user's work stays); the closing
    // message: OK, its text kept.
    static std::string closing;
    Answers answers([](Answers& a, TfrmPytanie& d) {
        if (a.Asked.size() == 1) return true;
        if (!d.btnNie.Visible()) closing = a.Asked.back();
        return false;
    });

    Probe probe(okno.Handle());
    const LARGE_INTEGER t0 = Now();
    int result = 0;
    try {
        result = Deinstaluj(Narrow(target), okno, pytanie, nullptr);
    } catch (const std::exception& e) {
        // A run out of handles cannot even build its closing message: its figures up to there still count.
        std::fprintf(stderr, "bench_run: the uninstallation ended with: %s\n", e.what());
        result = -1;
    }
    const LARGE_INTEGER t1 = Now();
    probe.Stop();
    probe.Report();

    if (!closing.empty()) std::fprintf(stderr, "bench_run: closing message: %s\n", FirstLine(closing).c_str());
    std::printf("%.3f %d %.1f %ld %ld\n", Seconds(t0, t1), files, probe.MaxGapMs(), probe.MaxHandles(),
                probe.HandlesBefore());
    if (result != 0 || GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "bench_run: WARNING: the uninstaller returned %d and the target folder %s\n", result,
                     GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES ? "is still there" : "is gone");
        return 1;
    }
    return 0;
}

int RawCopy(const std::wstring& from, const std::wstring& to)
{
    if (!CreateDirectoryW(to.c_str(), nullptr)) return 1;
    // The installer's buffer size.
    std::vector<char> buffer(32768);
    long long bytes = 0;
    int files = 0;
    const LARGE_INTEGER t0 = Now();
    if (!bench::RawCopy(from, to, buffer, bytes, files)) return 1;
    std::printf("%.3f %d\n", Seconds(t0, Now()), files);
    return 0;
}

int RawDelete(const std::wstring& folder)
{
    int files = 0;
    const LARGE_INTEGER t0 = Now();
    if (!bench::RawDelete(folder, files)) return 1;
    std::printf("%.3f %d\n", Seconds(t0, Now()), files);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc = 2;
    try {
        if (mode == L"install" && argc == 4) rc = Install(argv[2], argv[3]);
        else if (mode == L"uninstall" && argc == 3) rc = Uninstall(argv[2]);
        else if (mode == L"rawcopy" && argc == 4) rc = RawCopy(argv[2], argv[3]);
        else if (mode == L"rawdelete" && argc == 3) rc = RawDelete(argv[2]);
        else
            std::fprintf(stderr, "usage: bench_run install CD TARGET | uninstall TARGET | rawcopy SOURCE TARGET"
                                 " | rawdelete FOLDER\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_run: %s\n", e.what());
        rc = 1;
    }
    std::fflush(stdout);
    if (SUCCEEDED(com)) CoUninitialize();
    return rc;
}
