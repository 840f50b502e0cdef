// Installation helpers: relaunch from a temporary copy, the installation flag, drives and free space, the
// exclusion list and folder size, interface font and languages.
#include "install/untInstalFunkcje.h"

#include <objbase.h>
#include <shellapi.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "install/Produkt.h"
#include "install/WinHandle.h"
#include "ui/Unicode.h"

std::int32_t NumerProduktu = 1;
TJezyk JezykProduktu = jzFrancuski;
bool CzyscFlageInstalacji = true;
HWND OknoAplikacji = nullptr;
std::string CzcionkaInterfejsu = "Arial";

namespace {

// More numbered names than any temporary folder holds; the search gives up after them.
constexpr int MaxNumberedNames = 10000;

std::wstring WithTrailingBackslash(std::wstring path)
{
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring WithoutTrailingBackslash(std::wstring path)
{
    if (path.size() > 1 && path.back() == L'\\') path.pop_back();
    return path;
}

// The folder part of a path, up to and including its last '\' or ':'.
std::wstring FolderOf(const std::wstring& path)
{
    const auto pos = path.find_last_of(L"\\:");
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

bool AnythingAt(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileAt(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring LowerCase(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring TemporaryFolder()
{
    wchar_t buf[261] = {};
    DWORD n = GetTempPathW(261, buf);
    if (n > 0 && n < 261) return WithTrailingBackslash(std::wstring(buf, n));
    n = GetWindowsDirectoryW(buf, 261);
    if (n > 0 && n < 261) return WithTrailingBackslash(std::wstring(buf, n));
    return L"C:\\";
}

bool IsAscii(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c >= 0x80) return false;
    return true;
}

std::optional<std::string> AnsiLossless(const std::wstring& text)
{
    if (text.empty()) return std::string();
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(),
                            n, nullptr, &lossy) != n || lossy)
        return std::nullopt;
    return out;
}

std::wstring ShortPath(const std::wstring& path)
{
    const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return {};
    std::wstring out(n, L'\0');
    const DWORD m = GetShortPathNameW(path.c_str(), out.data(), n);
    if (m == 0 || m >= n) return {};
    out.resize(m);
    return out;
}

// An existing path as the batch file may spell it. cmd reads batch files in the OEM code page, so only ASCII
// reads back the same as the ANSI bytes written: a non-ASCII path is replaced by its short form when that is
// ASCII; otherwise the long path in ANSI, or the short one, whichever converts without loss.
std::optional<std::string> PathForBatch(const std::wstring& path)
{
    if (IsAscii(path)) return AnsiLossless(path);
    const std::wstring shortPath = ShortPath(path);
    if (!shortPath.empty() && IsAscii(shortPath)) return AnsiLossless(shortPath);
    if (auto ansi = AnsiLossless(path)) return ansi;
    if (!shortPath.empty()) return AnsiLossless(shortPath);
    return std::nullopt;
}

// cmd expands %NAME% on its command line, and Wine's ShellExecute in the file name: a path with a % is handed
// to them by its short form when that has none.
std::wstring SafeFromExpansion(const std::wstring& path)
{
    if (path.find(L'%') == std::wstring::npos) return path;
    const std::wstring shortPath = ShortPath(path);
    return !shortPath.empty() && shortPath.find(L'%') == std::wstring::npos ? shortPath : path;
}

// Inside a batch file cmd expands %NAME% even between quotes; a doubled % stands for one.
std::string EscapePercent(const std::string& text)
{
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::optional<std::string> BatchText(const std::wstring& copy, const std::wstring& batch)
{
    const auto k = PathForBatch(copy);
    const auto b = PathForBatch(batch);
    if (!k || !b) return std::nullopt;
    const std::string kq = "\"" + EscapePercent(*k) + "\"";
    const std::string bq = "\"" + EscapePercent(*b) + "\"";
    return ":repeat\r\n"
           "del " + kq + "\r\n"
           "if exist " + kq + " goto repeat\r\n"
           "del " + bq + "\r\n";
}

bool WriteDeletingBatch(const std::wstring& batch, const std::wstring& copy)
{
    UniqueHandle file(CreateFileW(batch.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    // The batch file exists now, so its short form can be asked for.
    const auto text = BatchText(copy, batch);
    return text && WriteAll(file.Get(), *text);
}

} // namespace

std::optional<std::string> DeletingBatchText(std::string_view kopia, std::string_view plikWsadowy)
{
    return BatchText(Widen(kopia), Widen(plikWsadowy));
}

namespace {

// ShellExecute may hand the start to shell extensions, which want COM on the calling thread.
class ComScope {
public:
    ComScope() : FInitialised(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope()
    {
        if (FInitialised) CoUninitialize();
    }

private:
    bool FInitialised;
};

} // namespace

bool UruchomKopie(std::string_view plik, std::string_view nazwaKopii, std::string_view parametry)
{
    const std::wstring source = Widen(plik);
    if (source.empty() || !FileAt(source)) return false;

    const std::wstring temp = TemporaryFolder();
    if (LowerCase(temp) == LowerCase(FolderOf(source))) return false;

    const std::wstring copyName = Widen(nazwaKopii);
    std::wstring copy = temp + copyName;
    std::wstring batch = temp + L"delme.bat";
    for (int n = 0; AnythingAt(copy) || AnythingAt(batch); ++n) {
        if (n >= MaxNumberedNames) return false;
        copy = temp + std::to_wstring(n) + copyName;
        batch = temp + std::to_wstring(n) + L"delme.bat";
    }

    if (!CopyFileW(source.c_str(), copy.c_str(), FALSE)) return false;
    // Files copied from a CD are read-only; the batch could never delete such a copy.
    if (!SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_ARCHIVE)) {
        DeleteFileW(copy.c_str());
        return false;
    }
    if (!WriteDeletingBatch(batch, copy)) {
        DeleteFileW(batch.c_str());
        DeleteFileW(copy.c_str());
        return false;
    }

    const std::wstring folder = WithoutTrailingBackslash(temp);
    {
        ComScope com;
        const std::wstring arguments = Widen(parametry);
        const auto started = reinterpret_cast<INT_PTR>(
            ShellExecuteW(OknoAplikacji, L"open", SafeFromExpansion(copy).c_str(), arguments.c_str(),
                          SafeFromExpansion(folder).c_str(), SW_SHOWNORMAL));
        if (started <= 32) {
            // Nothing runs either file: leave no trace.
            DeleteFileW(batch.c_str());
            DeleteFileW(copy.c_str());
            return false;
        }
    }

    // Always quoted: the folder may hold spaces or characters that cmd would interpret.
    std::wstring commandLine = L"\"" + SafeFromExpansion(batch) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | IDLE_PRIORITY_CLASS,
                        nullptr, folder.c_str(), &si, &pi)) {
        // The copy runs and holds its file; only the batch file can go.
        DeleteFileW(batch.c_str());
        return false;
    }
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    // A batch at normal thread priority would only take more processor time: not worth a failure.
    SetThreadPriority(thread.Get(), THREAD_PRIORITY_IDLE);
    if (ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        TerminateProcess(process.Get(), 1);
        return false;
    }
    return true;
}

void UstawFlageInstalacji(std::int32_t produkt, bool wartosc)
{
    const TOpisProduktu* opis = OpisProduktu(produkt);
    if (!opis || !opis->KluczUstawien) return;
    const std::wstring path = Widen(opis->KluczUstawien);
    UniqueRegKey key;
    const LSTATUS opened =
        wartosc ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, key.Receive(), nullptr)
                : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.Receive());
    if (opened != ERROR_SUCCESS || !key) return;
    const DWORD value = wartosc ? 1 : 0;
    // Failure is silent: the flag is advisory.
    RegSetValueExW(key.Get(), L"InstallationInProgress", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
}

std::string SciezkaAplikacji()
{
    std::vector<wchar_t> buf(MAX_PATH + 1);
    while (buf.size() <= 65536) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
        buf.resize(buf.size() * 2);
    }
    return {};
}

std::string KatalogAplikacji()
{
    return Narrow(FolderOf(Widen(SciezkaAplikacji())));
}

std::string KorzenDysku(std::string_view sciezka)
{
    std::string drive;
    if (sciezka.size() >= 2 && sciezka[1] == ':') {
        drive = std::string(sciezka.substr(0, 2));
    } else if (sciezka.size() >= 3 && sciezka[0] == '\\' && sciezka[1] == '\\' && sciezka[2] != '\\') {
        // "\\server\share": up to the separator after the share name.
        const auto server = sciezka.find('\\', 2);
        const auto share = server == std::string_view::npos ? server : sciezka.find('\\', server + 1);
        drive = std::string(sciezka.substr(0, share));
    }
    if (drive.empty()) return {};
    if (drive.back() != '\\') drive += '\\';
    return drive;
}

int TypDysku(std::string_view sciezka)
{
    const std::string root = KorzenDysku(sciezka);
    if (root.empty()) return 0;
    return static_cast<int>(GetDriveTypeW(Widen(root).c_str()));
}

namespace {

struct CharsetSearch {
    BYTE Charset;
    bool Found;
};

int CALLBACK NoteCharset(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data)
{
    auto* search = reinterpret_cast<CharsetSearch*>(data);
    if (font->lfCharSet != search->Charset) return 1;
    search->Found = true;
    return 0;
}

} // namespace

bool RodzinaMaZestaw(std::string_view rodzina, BYTE zestaw)
{
    const std::wstring face = Widen(rodzina);
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    ScreenDC dc;
    if (!dc) return false;
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, face.size());
    CharsetSearch search{zestaw, false};
    EnumFontFamiliesExW(dc.Get(), &wanted, NoteCharset, reinterpret_cast<LPARAM>(&search), 0);
    return search.Found;
}

void WybierzCzcionke()
{
    CzcionkaInterfejsu = "Arial";
    if (RodzinaMaZestaw("Arial", EASTEUROPE_CHARSET)) return;
    if (RodzinaMaZestaw("Tahoma", EASTEUROPE_CHARSET)) CzcionkaInterfejsu = "Tahoma";
}

namespace {

// Character set of every language of the product family, indexed by TJezyk. Languages 7 to 12 are never
// used by this installer; they get the Central European set, the default of the family.
constexpr std::array<BYTE, 13> ZestawyJezykow = {
    EASTEUROPE_CHARSET,  // 0 Polish
    EASTEUROPE_CHARSET,  // 1 English
    ANSI_CHARSET,        // 2 French
    EASTEUROPE_CHARSET,  // 3 German
    ANSI_CHARSET,        // 4 Italian
    ANSI_CHARSET,        // 5 Spanish
    RUSSIAN_CHARSET,     // 6 Russian
    EASTEUROPE_CHARSET, EASTEUROPE_CHARSET, EASTEUROPE_CHARSET,
    EASTEUROPE_CHARSET, EASTEUROPE_CHARSET, EASTEUROPE_CHARSET,
};

struct LokalJezyka {
    LCID Lokal;
    TJezyk Jezyk;
};

constexpr LokalJezyka LokaleJezykow[] = {
    {1031, jzNiemiecki}, {2055, jzNiemiecki}, {3079, jzNiemiecki}, {4103, jzNiemiecki}, {5127, jzNiemiecki},
    {1034, jzHiszpanski}, {2058, jzHiszpanski}, {3082, jzHiszpanski},
    {1036, jzFrancuski}, {2060, jzFrancuski}, {3084, jzFrancuski},
    {1040, jzWloski}, {2064, jzWloski},
    {1049, jzRosyjski},
};

} // namespace

BYTE ZestawZnakow(TJezyk jezyk)
{
    const auto i = static_cast<std::size_t>(jezyk);
    return i < ZestawyJezykow.size() ? ZestawyJezykow[i] : static_cast<BYTE>(EASTEUROPE_CHARSET);
}

TJezyk JezykLokalu(LCID lokal)
{
    for (const auto& row : LokaleJezykow)
        if (row.Lokal == lokal) return row.Jezyk;
    return jzPolski;
}

TJezyk JezykSystemu()
{
    return JezykLokalu(GetThreadLocale());
}

namespace {

// CD files that are never counted nor copied: the pseudo-entries of a listing, the licences, installers of
// the family, the autorun file, the system files and the font the installation handles itself, and other
// products' set-up programs.
constexpr const char* kStaleWykluczenia[] = {
    ".", "..", "umowapol.txt", "umowaang.txt", "umowadeu.txt", "umowafr.txt", "instalator.exe", "instaluj.exe",
    "instalka.exe", "autorun.inf", "comctl32.dll", "comctl32.ocx", "stedt.ttf", "SAPI51tts.exe",
    "SyntezaMowy.exe", "start.exe", "InstalatorAng3.exe", "InstalatorDeu3.exe",
};

void DodajWpis(std::string& lista, std::string_view nazwa)
{
    lista += '<';
    lista += nazwa;
    lista += '>';
}

// The search in RozmiarKatalogu compares lower-cased UTF-16, so that the list is lowered only once per walk.
bool NaLiscieMalymi(const std::wstring& listaMalymi, const std::wstring& nazwa)
{
    return listaMalymi.find(LowerCase(L"<" + nazwa + L">")) != std::wstring::npos;
}

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : FHandle(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle()
    {
        if (FHandle != INVALID_HANDLE_VALUE) FindClose(FHandle);
    }
    HANDLE Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE FHandle;
};

std::int64_t RozmiarDrzewa(const std::wstring& katalog, const std::wstring& listaMalymi)
{
    WIN32_FIND_DATAW wpis{};
    // Every entry whatever its attributes: FindFirstFile filters none unless asked.
    const FindHandle szukaj(
        FindFirstFileExW((katalog + L"\\*").c_str(), FindExInfoBasic, &wpis, FindExSearchNameMatch, nullptr, 0));
    if (!szukaj) return 0;
    std::int64_t suma = 0;
    do {
        const std::wstring nazwa = wpis.cFileName;
        // The pseudo-entries are skipped even when a caller's list lacks them: they would loop or climb.
        if (nazwa == L"." || nazwa == L".." || NaLiscieMalymi(listaMalymi, nazwa)) continue;
        if (wpis.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            suma += RozmiarDrzewa(katalog + L"\\" + nazwa, listaMalymi);
        } else {
            suma += static_cast<std::int64_t>((static_cast<std::uint64_t>(wpis.nFileSizeHigh) << 32) |
                                              wpis.nFileSizeLow);
        }
    } while (FindNextFileW(szukaj.Get(), &wpis));
    return suma;
}

} // namespace

std::string ListaWykluczen(std::int32_t produkt, bool slowniki)
{
    const TOpisProduktu* opis = OpisProduktu(produkt);
    if (!opis) return {};
    std::string lista;
    for (const char* n : kStaleWykluczenia) DodajWpis(lista, n);
    for (const char* n : opis->PlikiProgramu) DodajWpis(lista, n);
    const std::wstring sciezka = Widen(SciezkaAplikacji());
    const auto ukosnik = sciezka.find_last_of(L"\\/:");
    DodajWpis(lista, Narrow(LowerCase(ukosnik == std::wstring::npos ? sciezka : sciezka.substr(ukosnik + 1))));
    if (!slowniki)
        for (const char* n : opis->PlikiSlownikow) DodajWpis(lista, n);
    return lista;
}

bool NaLiscieWykluczen(std::string_view lista, std::string_view nazwa)
{
    return NaLiscieMalymi(LowerCase(Widen(lista)), Widen(nazwa));
}

std::int64_t RozmiarKatalogu(std::string_view katalog, std::string_view lista)
{
    // An empty path names no folder; "\*" would list the root of the current drive.
    if (katalog.empty()) return 0;
    return RozmiarDrzewa(Widen(katalog), LowerCase(Widen(lista)));
}

int NumerDysku(std::string_view sciezka)
{
    if (sciezka.empty()) return 0;
    std::wstring pierwszy = Widen(sciezka);
    pierwszy.resize(1);
    CharUpperBuffW(pierwszy.data(), 1);
    return static_cast<int>(pierwszy[0]) - 64;
}

std::int64_t WolneMiejsceDysku(int numer)
{
    if (numer < 0 || numer > 26) return -1;
    std::wstring korzen;
    if (numer > 0) {
        korzen = {static_cast<wchar_t>(L'A' + numer - 1), L':', L'\\'};
        const UINT typ = GetDriveTypeW(korzen.c_str());
        if (typ == DRIVE_NO_ROOT_DIR || typ == DRIVE_UNKNOWN) return -1;
    }
    ULARGE_INTEGER dlaUzytkownika{}, calosc{}, wolne{};
    // Drive 0 is the drive of the current folder, as a null root means.
    if (!GetDiskFreeSpaceExW(numer > 0 ? korzen.c_str() : nullptr, &dlaUzytkownika, &calosc, &wolne)) return -1;
    return dlaUzytkownika.QuadPart > static_cast<ULONGLONG>(INT64_MAX) ? INT64_MAX
                                                                      : static_cast<std::int64_t>(dlaUzytkownika.QuadPart);
}

std::vector<std::string> NapedyTypu(UINT typ)
{
    std::vector<std::string> korzenie;
    wchar_t bufor[5000] = {};
    const DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(bufor) - 1), bufor);
    if (n == 0 || n >= std::size(bufor)) return korzenie;
    for (const wchar_t* p = bufor; *p; p += wcslen(p) + 1) {
        std::wstring naped = p;
        CharUpperBuffW(naped.data(), static_cast<DWORD>(naped.size()));
        if (GetDriveTypeW(naped.c_str()) == typ) korzenie.push_back(Narrow(naped));
    }
    return korzenie;
}
