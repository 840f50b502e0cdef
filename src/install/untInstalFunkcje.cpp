// Installation helpers: relaunch from a temporary copy, the installation flag, drives and free space, the
// exclusion list and folder size, interface font and languages.
#include "install/untInstalFunkcje.h"

#include <aclapi.h>
#include <ntsecapi.h>
#include <objbase.h>
#include <sddl.h>
#include <sfc.h>
#include <shellapi.h>
#include <shlobj.h>
#include <winver.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "install/IoError.h"
#include "install/ProductView.h"
#include "install/Produkt.h"
#include "install/Uprawnienia.h"
#include "install/WinHandle.h"
#include "ui/SystemLibrary.h"
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

bool WriteAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// A name the batch may spell as it is: cmd gives none of these characters a meaning, and ASCII reads the same
// in every code page.
bool PlainName(std::string_view name)
{
    if (name.empty() || name.front() == '.') return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
              c == '_'))
            return false;
    return true;
}

// How many times the batch tries to delete the copy, a second apart: whoever holds the copy open keeps the
// elevated cmd no longer than this; the copy then stays.
constexpr int DeleteTries = 60;

std::optional<std::string> BatchText(std::string_view copy, std::string_view batch)
{
    if (!PlainName(copy) || !PlainName(batch)) return std::nullopt;
    const std::string k = "\"" + std::string(copy) + "\"";
    // ping is the pause both Windows' and Wine's cmd have without a console; timeout wants one.
    return "set /a werbtries=0\r\n"
           ":repeat\r\n"
           "del " + k + "\r\n"
           "if exist " + k + " if %werbtries% lss " + std::to_string(DeleteTries) +
           " (set /a werbtries+=1 >nul & ping -n 2 127.0.0.1 >nul & goto repeat)\r\n"
           "del \"" + std::string(batch) + "\"\r\n";
}

} // namespace

bool RunsAsAdministrator()
{
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins))
        return false;
    BOOL member = FALSE;
    const bool checked = CheckTokenMembership(nullptr, admins, &member);
    FreeSid(admins);
    return checked && member;
}

namespace {

// Administrators and the system may change the folder and what it holds, everyone else may read and run.
// Not inherited from the temporary folder, which the user may change. Owned by Administrators; OWNER RIGHTS
// take the owner's implicit right to rewrite the DACL away, for a system where the owner cannot be set.
constexpr wchar_t kPrivateAces[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;AU)(A;OICI;0x1200a9;;;S-1-3-4)";

// Creates the folder with the administrators' descriptor; the Win32 error otherwise.
DWORD CreateProtectedFolder(const std::wstring& folder)
{
    return UtworzKatalogZAcl(folder, kPrivateAces);
}

// 16 hexadecimal digits from the system's random generator; empty when it fails.
std::wstring RandomHex()
{
    unsigned char bytes[8] = {};
    if (!RtlGenRandom(bytes, sizeof bytes)) return {};
    std::wstring out;
    for (unsigned char b : bytes) {
        out += L"0123456789abcdef"[b >> 4];
        out += L"0123456789abcdef"[b & 15];
    }
    return out;
}

// Whether the handle leads to name directly inside the folder the other handle leads to.
bool IsIn(HANDLE item, HANDLE folder, const std::wstring& name)
{
    const std::wstring inner = MiejsceUchwytu(folder);
    return !inner.empty() && LowerCase(MiejsceUchwytu(item)) == LowerCase(WithTrailingBackslash(inner) + name);
}

bool IsEmptyFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW data{};
    FindHandle find(FindFirstFileW((WithTrailingBackslash(folder) + L"*").c_str(), &data));
    if (!find) return false;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") return false;
    } while (FindNextFileW(find.Get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

// A folder made for this relaunch, and a handle on it that shares no deleting: while it is open nobody can
// rename or remove the folder, so its path keeps leading to it.
struct PrivateFolder {
    std::wstring Path;  // with trailing backslash
    std::wstring Name;  // ASCII: the prefix, the random digits, the suffix
    UniqueHandle Held;
};

// Opens the folder just made as name in temp and checks it is that one: the user may rename it away and put
// a folder or a link of their own under its name in the moment before the handle holds it.
UniqueHandle HoldNewFolder(const std::wstring& temp, const std::wstring& name, bool admin)
{
    const std::wstring folder = temp + name;
    UniqueHandle held(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    UniqueHandle parent(CreateFileW(temp.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!held || !parent || !GetFileInformationByHandle(held.Get(), &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !IsIn(held.Get(), parent.Get(), name) || !IsEmptyFolder(folder) ||
        (admin && !ChronionyDlaAdministratorow(held.Get())))
        return {};
    return held;
}

// Made in the temporary folder; an elevated process makes it writable for administrators only: the copy and its
// batch file run elevated, and the rest of the temporary folder belongs to the unelevated user. Not held when
// none can be made.
PrivateFolder MakePrivateFolder(const std::wstring& temp)
{
    const bool admin = RunsAsAdministrator();
    // A name that exists already (taken by chance or by someone guessing) is never used: another one is drawn.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::wstring random = RandomHex();
        if (random.empty()) return {};
        const std::wstring name = Widen(kRelaunchFolderPrefix) + random + Widen(kRelaunchFolderSuffix);
        const std::wstring folder = temp + name;
        const DWORD error =
            admin ? CreateProtectedFolder(folder) : (CreateDirectoryW(folder.c_str(), nullptr) ? 0 : GetLastError());
        if (error == ERROR_SUCCESS) {
            UniqueHandle held = HoldNewFolder(temp, name, admin);
            // What stands there now may be someone else's: it stays as it is.
            if (!held) return {};
            return {folder + L"\\", name, std::move(held)};
        }
        if (error != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

// Whether the folder (with trailing backslash) is one that MakePrivateFolder made inside temp.
bool IsPrivateFolder(const std::wstring& folder, const std::wstring& temp)
{
    const std::wstring inner = WithoutTrailingBackslash(folder);
    const std::wstring name = inner.substr(FolderOf(inner).size());
    const std::wstring prefix = Widen(kRelaunchFolderPrefix), suffix = Widen(kRelaunchFolderSuffix);
    return LowerCase(FolderOf(inner)) == LowerCase(temp) && name.size() > prefix.size() + suffix.size() &&
           LowerCase(name.substr(0, prefix.size())) == prefix &&
           LowerCase(name.substr(name.size() - suffix.size())) == suffix;
}

// The system's own command interpreter: COMSPEC and the search path belong to the unelevated user.
std::wstring CommandInterpreter()
{
    return SystemFolderFile(L"cmd.exe");
}

// cmd's environment: the system's folders only. The user's PATH and PATHEXT would choose which ping runs
// elevated, and nothing of the user's is expanded in the batch.
std::wstring SystemEnvironment()
{
    wchar_t windows[MAX_PATH] = {}, system[MAX_PATH] = {};
    const UINT w = GetSystemWindowsDirectoryW(windows, MAX_PATH), s = GetSystemDirectoryW(system, MAX_PATH);
    if (w == 0 || w >= MAX_PATH || s == 0 || s >= MAX_PATH) return {};
    std::wstring block;
    // Sorted by name, as the system keeps an environment.
    for (const std::wstring& entry : {L"PATH=" + std::wstring(system, s), std::wstring(L"PATHEXT=.COM;.EXE"),
                                      L"SystemRoot=" + std::wstring(windows, w)}) {
        block += entry;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

// Gives the process its own handle of the same open file or folder: what this one holds it holds until it ends.
bool HandTo(HANDLE process, HANDLE handle)
{
    HANDLE theirs = nullptr;
    return process && DuplicateHandle(GetCurrentProcess(), handle, process, &theirs, 0, FALSE, DUPLICATE_SAME_ACCESS);
}

} // namespace

// Where an open file or folder really is ("C:\..."), every reparse point on the way resolved; empty when the
// system cannot say, or on a network.
std::wstring MiejsceUchwytu(HANDLE h)
{
    std::wstring bufor(MAX_PATH, L'\0');
    for (int proba = 0; proba < 2; ++proba) {
        const DWORD n = GetFinalPathNameByHandleW(h, bufor.data(), static_cast<DWORD>(bufor.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < bufor.size()) {
            bufor.resize(n);
            if (bufor.rfind(L"\\\\?\\UNC\\", 0) == 0) return {};
            if (bufor.rfind(L"\\\\?\\", 0) == 0) bufor.erase(0, 4);
            return bufor;
        }
        bufor.assign(n + 1, L'\0');
    }
    return {};
}

std::wstring RelaunchCommands(const std::wstring& batchName, const std::wstring& folderName)
{
    return L"call " + batchName + L" & cd .. & (rmdir " + folderName + L" || (ping -n 2 127.0.0.1 >nul & rmdir " +
           folderName + L"))";
}

std::optional<std::string> DeletingBatchText(std::string_view kopia, std::string_view plikWsadowy)
{
    return BatchText(kopia, plikWsadowy);
}

std::string PelnaSciezka(const std::string& nazwa)
{
    wchar_t pelna[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameW(Widen(nazwa).c_str(), MAX_PATH * 2, pelna, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? Narrow(std::wstring_view(pelna, n)) : std::string();
}

int KodZakonczenia(HANDLE proces)
{
    while (MsgWaitForMultipleObjects(1, &proces, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DWORD kod = 0;
    return GetExitCodeProcess(proces, &kod) ? static_cast<int>(kod) : 1;
}

bool UruchomKopie(std::string_view plik, std::string_view nazwaKopii, std::string_view parametry,
                  UniqueHandle* kopia)
{
    const std::wstring source = Widen(plik);
    if (source.empty() || !FileAt(source)) return false;

    const std::wstring temp = TemporaryFolder();
    const std::wstring sourceFolder = FolderOf(source);
    if (LowerCase(temp) == LowerCase(sourceFolder) || IsPrivateFolder(sourceFolder, temp)) return false;

    PrivateFolder folder = MakePrivateFolder(temp);
    if (!folder.Held) return false;
    const std::wstring folderPath = WithoutTrailingBackslash(folder.Path);

    std::string copyName(nazwaKopii), batchName = "delme.bat";
    for (int n = 0; AnythingAt(folder.Path + Widen(copyName)) || AnythingAt(folder.Path + Widen(batchName)); ++n) {
        if (n >= MaxNumberedNames) {
            folder.Held.Reset();
            RemoveDirectoryW(folderPath.c_str());
            return false;
        }
        copyName = std::to_string(n) + std::string(nazwaKopii);
        batchName = std::to_string(n) + "delme.bat";
    }
    const std::optional<std::string> text = BatchText(copyName, batchName);
    const std::wstring copy = folder.Path + Widen(copyName), batch = folder.Path + Widen(batchName);

    UniqueHandle heldCopy, heldBatch;
    // Set once the name is known to lead to the file made: only then is it deleted by that name.
    bool madeCopy = false, madeBatch = false;
    // Undoes what a failed relaunch made: the files, then the folder, which the held handle would keep.
    auto leaveNoTrace = [&] {
        heldBatch.Reset();
        heldCopy.Reset();
        if (madeBatch) DeleteFileW(batch.c_str());
        if (madeCopy) DeleteFileW(copy.c_str());
        folder.Held.Reset();
        RemoveDirectoryW(folderPath.c_str());
        return false;
    };
    if (!text) return leaveNoTrace();

    // The folder is held and, elevated, closed to the user: the name leads into it.
    if (!CopyFileW(source.c_str(), copy.c_str(), TRUE)) return leaveNoTrace();
    madeCopy = true;
    // Files copied from a CD are read-only; the batch could never delete such a copy.
    if (!SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_ARCHIVE)) return leaveNoTrace();
    // Nobody changes or replaces the copy between here and its start.
    heldCopy.Reset(CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!heldCopy || !IsIn(heldCopy.Get(), folder.Held.Get(), Widen(copyName))) {
        madeCopy = false;
        return leaveNoTrace();
    }

    // One handle writes the batch file and keeps every other writer out while it or a copy of it lives. cmd
    // reads a batch file sharing writing and deleting, and the batch's last line deletes it.
    heldBatch.Reset(CreateFileW(batch.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!heldBatch || !IsIn(heldBatch.Get(), folder.Held.Get(), Widen(batchName))) return leaveNoTrace();
    madeBatch = true;
    if (!WriteAll(heldBatch.Get(), *text)) return leaveNoTrace();

    {
        // The program itself, not what a file type's open command names.
        std::wstring commandLine = L"\"" + copy + L"\"";
        if (!parametry.empty()) commandLine += L" " + Widen(parametry);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            folderPath.c_str(), &si, &pi))
            return leaveNoTrace();
        UniqueHandle copyProcess(pi.hProcess), copyThread(pi.hThread);
        // The copy keeps the batch file closed to writers and the folder in place as long as it lives. Without
        // them the folder's descriptor is the only guard: not worth a failure.
        HandTo(copyProcess.Get(), heldBatch.Get());
        HandTo(copyProcess.Get(), folder.Held.Get());
        // This process has the foreground; the copy's window takes it over.
        AllowSetForegroundWindow(pi.dwProcessId);
        if (ResumeThread(copyThread.Get()) == static_cast<DWORD>(-1)) {
            TerminateProcess(copyProcess.Get(), 1);
            WaitForSingleObject(copyProcess.Get(), 5000);
            return leaveNoTrace();
        }
        if (kopia) *kopia = std::move(copyProcess);
    }
    heldCopy.Reset();

    // The system's cmd, without the user's AutoRun commands, delayed expansion or environment; every name on
    // its line is one this function made. It starts in the folder, which cannot be renamed or removed while it
    // is anyone's current folder, and leaves it to remove it: a line after the batch's last would never run, as
    // cmd no longer finds the file that deleted itself. Without a console: a console host would start in the
    // folder too and keep it until cmd has ended. The folder is tried once more a second later: Wine lets the
    // copy's file go before the copy's handles of the folder.
    const std::wstring interpreter = CommandInterpreter();
    std::wstring environment = SystemEnvironment();
    std::wstring commandLine = L"cmd /d /v:off /s /c \"" + RelaunchCommands(Widen(batchName), folder.Name) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    const bool started =
        !interpreter.empty() && !environment.empty() &&
        CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       CREATE_SUSPENDED | IDLE_PRIORITY_CLASS | DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT,
                       environment.data(), folderPath.c_str(), &si, &pi);
    UniqueHandle process(started ? pi.hProcess : nullptr), thread(started ? pi.hThread : nullptr);
    // A batch at normal thread priority would only take more processor time: not worth a failure.
    if (started) SetThreadPriority(thread.Get(), THREAD_PRIORITY_IDLE);
    if (!started || ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        if (started) TerminateProcess(process.Get(), 1);
        // The copy runs and holds its file; the batch file goes when the copy lets it go. The copy and then its
        // folder go at the next restart (an administrator's right, which the manifest asks for), where the
        // user cannot swap the temporary folder for a link by then.
        heldBatch.Reset();
        DeleteFileW(batch.c_str());
        if (PrzeniesPoRestarcie(copy)) PrzeniesPoRestarcie(folderPath);
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
        wartosc ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | kProductView, nullptr, key.Receive(), nullptr)
                : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS | kProductView, key.Receive());
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

std::int64_t RozmiarDrzewa(const std::wstring& katalog, const std::wstring& listaMalymi,
                           const std::function<void()>& tetno)
{
    if (tetno) tetno();
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
            suma += RozmiarDrzewa(katalog + L"\\" + nazwa, listaMalymi, tetno);
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

std::int64_t RozmiarKatalogu(std::string_view katalog, std::string_view lista, const std::function<void()>& tetno)
{
    // An empty path names no folder; "\*" would list the root of the current drive.
    if (katalog.empty()) return 0;
    return RozmiarDrzewa(Widen(katalog), LowerCase(Widen(lista)), tetno);
}

bool KatalogIstnieje(std::string_view katalog)
{
    const DWORD a = GetFileAttributesW(Widen(katalog).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- File copy and system files ----

UniqueHandle NowyPlik(std::string_view sciezka)
{
    const std::wstring plik = Widen(sciezka);
    // Mostly the name is free: one look-up of it (a directory scan under Wine) instead of two.
    UniqueHandle nowy(CreateFileW(plik.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (nowy || GetLastError() != ERROR_FILE_EXISTS) return nowy;
    const DWORD a = GetFileAttributesW(plik.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return UniqueHandle();
    }
    return UniqueHandle(
        CreateFileW(plik.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void KopiujPlikBlokami(std::string_view zrodlo, std::string_view cel, std::span<std::uint8_t> bufor,
                       const std::function<void(std::uint32_t)>& poBloku, TOdcisk* odcisk)
{
    const UniqueHandle wejscie(CreateFileW(Widen(zrodlo).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!wejscie) throw EInOutError("cannot open " + std::string(zrodlo));
    const UniqueHandle wyjscie = NowyPlik(cel);
    if (!wyjscie) throw EInOutError("cannot create " + std::string(cel));
    const DWORD blok = static_cast<DWORD>(std::min<std::size_t>(bufor.size(), 1u << 30));
    for (;;) {
        DWORD przeczytano = 0;
        if (!ReadFile(wejscie.Get(), bufor.data(), blok, &przeczytano, nullptr))
            throw EInOutError("cannot read " + std::string(zrodlo));
        if (przeczytano == 0) return;
        DWORD zapisano = 0;
        if (!WriteFile(wyjscie.Get(), bufor.data(), przeczytano, &zapisano, nullptr) || zapisano != przeczytano)
            throw EInOutError("cannot write " + std::string(cel));
        if (odcisk) odcisk->Dodaj(bufor.data(), przeczytano);
        poBloku(przeczytano);
        // A synchronous read of a file comes back short only at its end: no call to be told so again.
        if (przeczytano < blok) return;
    }
}

namespace {

// version.dll and sfc.dll are not known DLLs: taken by name they could be loaded from the CD's folder. Where
// the system refused to load them, every installed system file would count as versionless and be replaced.
HMODULE BibliotekaSystemowa(const wchar_t* nazwa)
{
    return LoadSystemLibrary(nazwa);
}

// GetProcAddress's result as the function type it has; the detour through void(*)() says the cast is meant.
template <typename T>
T Funkcja(HMODULE m, const char* nazwa)
{
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(m, nazwa)));
}

struct TFunkcjeWersji {
    decltype(&GetFileVersionInfoSizeW) Rozmiar = nullptr;
    decltype(&GetFileVersionInfoW) Pobierz = nullptr;
    decltype(&VerQueryValueW) Zapytaj = nullptr;
};

const TFunkcjeWersji& FunkcjeWersji()
{
    static const TFunkcjeWersji f = [] {
        TFunkcjeWersji w;
        if (HMODULE m = BibliotekaSystemowa(L"version.dll")) {
            w.Rozmiar = Funkcja<decltype(w.Rozmiar)>(m, "GetFileVersionInfoSizeW");
            w.Pobierz = Funkcja<decltype(w.Pobierz)>(m, "GetFileVersionInfoW");
            w.Zapytaj = Funkcja<decltype(w.Zapytaj)>(m, "VerQueryValueW");
        }
        return w;
    }();
    return f;
}

bool ChronionyPrzezSystem(const std::wstring& sciezka)
{
    using TSfcIsFileProtected = BOOL(WINAPI*)(HANDLE, LPCWSTR);
    static const TSfcIsFileProtected chroniony = [] {
        HMODULE m = BibliotekaSystemowa(L"sfc.dll");
        return m ? Funkcja<TSfcIsFileProtected>(m, "SfcIsFileProtected") : nullptr;
    }();
    return chroniony && chroniony(nullptr, sciezka.c_str());
}

// A decimal field of a version text; 0 when it is not a number or does not fit.
void BezTylkoDoOdczytu(const std::wstring& sciezka)
{
    const DWORD a = GetFileAttributesW(sciezka.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(sciezka.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
}

int PoleWersji(std::string_view tekst)
{
    if (tekst.empty() || tekst.size() > 9) return 0;
    int v = 0;
    for (char c : tekst) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
    }
    return v;
}

} // namespace

bool WersjaPlikuCoNajmniej(std::string_view sciezka, int major, int minor)
{
    const TFunkcjeWersji& f = FunkcjeWersji();
    if (!f.Rozmiar || !f.Pobierz || !f.Zapytaj) return false;
    const std::wstring plik = Widen(sciezka);
    DWORD uchwyt = 0;
    const DWORD rozmiar = f.Rozmiar(plik.c_str(), &uchwyt);
    if (rozmiar == 0) return false;
    std::vector<std::uint8_t> blok(static_cast<std::size_t>(rozmiar) + 1, 0);
    if (!f.Pobierz(plik.c_str(), 0, rozmiar, blok.data())) return false;

    void* tlumaczenie = nullptr;
    UINT dlugosc = 0;
    if (!f.Zapytaj(blok.data(), L"\\VarFileInfo\\Translation", &tlumaczenie, &dlugosc) || !tlumaczenie ||
        dlugosc < 4)
        return false;
    const auto* b = static_cast<const std::uint8_t*>(tlumaczenie);
    // Language word, then code-page word, each little-endian: the key is language then code page in hex.
    char klucz[9] = {};
    std::snprintf(klucz, sizeof klucz, "%.2x%.2x%.2x%.2x", b[1], b[0], b[3], b[2]);

    void* wartosc = nullptr;
    dlugosc = 0;
    const std::wstring zapytanie = L"\\StringFileInfo\\" + Widen(klucz) + L"\\FileVersion";
    if (!f.Zapytaj(blok.data(), zapytanie.c_str(), &wartosc, &dlugosc) || !wartosc || dlugosc == 0) return false;
    // The length counts characters and may include the terminator; the block beyond was zero-filled.
    const std::wstring_view tekstW(static_cast<const wchar_t*>(wartosc), dlugosc);
    const std::string wersja = Narrow(tekstW.substr(0, tekstW.find(L'\0')));

    const auto kropka = wersja.find('.');
    const int instMajor = PoleWersji(std::string_view(wersja).substr(0, kropka));
    int instMinor = 0;
    if (kropka != std::string::npos) {
        const std::string_view reszta = std::string_view(wersja).substr(kropka + 1);
        instMinor = PoleWersji(reszta.substr(0, reszta.find('.')));
    }
    return instMajor > major || (instMajor == major && instMinor >= minor);
}

bool InstalujPlikSystemowy(std::string_view nazwa, std::string_view zrodlo, int major, int minor,
                           const TZmianaSystemowa& zmien)
{
    // The product is 32-bit: its shared files belong in the 32-bit system folder.
    std::wstring katalog = ProductSystemFolder();
    if (katalog.empty()) return true;
    if (katalog.back() != L'\\') katalog += L'\\';
    const std::wstring systemowy = katalog + Widen(nazwa);
    if (GetFileAttributesW(systemowy.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // A file the system protects is its own to update: replacing it would be undone or break it.
        if (ChronionyPrzezSystem(systemowy)) return true;
        if (WersjaPlikuCoNajmniej(Narrow(systemowy), major, minor)) return true;
    }
    const std::wstring zrodlowy = Widen(std::string(zrodlo) + std::string(nazwa));
    // Without a source there is nothing to install: the installed file stays where it is.
    if (GetFileAttributesW(zrodlowy.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    const auto kopiuj = [&] {
        // A read-only file in the way (a copy from a real CD) is still replaced; the new one is left writable.
        BezTylkoDoOdczytu(systemowy);
        if (!CopyFileW(zrodlowy.c_str(), systemowy.c_str(), FALSE)) return false;
        BezTylkoDoOdczytu(systemowy);
        return true;
    };
    return zmien ? zmien(Narrow(systemowy), kopiuj) : kopiuj();
}

// ---- end of file copy and system files ----

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

// ---- Shortcuts and the registry settings; the code page of a language ----

namespace {

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A string value read as it stands (an expandable one unexpanded); empty when the key or the value is
// missing or holds no string. The key is opened for reading only.
std::string ReadRegistryString(HKEY root, const wchar_t* key, const wchar_t* value)
{
    UniqueRegKey opened;
    if (RegOpenKeyExW(root, key, 0, KEY_READ | kProductView, opened.Receive()) != ERROR_SUCCESS) return {};
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
        const LSTATUS r = RegQueryValueExW(opened.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                                           &size);
        if (r == ERROR_MORE_DATA) {
            // Changed between the calls, perhaps: ask again with the size it gave.
            buf.resize(size / sizeof(wchar_t) + 1);
            continue;
        }
        if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
        // The data need not end with a NUL, nor hold whole characters.
        std::wstring text(buf.data(), std::min<std::size_t>(size / sizeof(wchar_t), buf.size()));
        const auto end = text.find(L'\0');
        if (end != std::wstring::npos) text.resize(end);
        return Narrow(text);
    }
    return {};
}

std::string ShellFolder(bool wszyscy, const wchar_t* shared, const wchar_t* own)
{
    std::string folder;
    if (wszyscy) folder = ReadRegistryString(HKEY_LOCAL_MACHINE, kShellFolders, shared);
    if (folder.empty()) folder = ReadRegistryString(HKEY_CURRENT_USER, kShellFolders, own);
    return folder;
}

// A COM interface pointer, released once.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr()
    {
        if (FPtr) FPtr->Release();
    }
    T* operator->() const { return FPtr; }
    void** Receive() { return reinterpret_cast<void**>(&FPtr); }
    explicit operator bool() const { return FPtr != nullptr; }

private:
    T* FPtr = nullptr;
};

} // namespace

std::string FolderProgramy(bool wszyscy)
{
    return ShellFolder(wszyscy, L"Common Programs", L"Programs");
}

std::string FolderPulpit(bool wszyscy)
{
    return ShellFolder(wszyscy, L"Common Desktop", L"Desktop");
}

bool UtworzSkrot(std::string_view cel, std::string_view plikSkrotu, std::string_view opis)
{
    try {
        const std::wstring target = Widen(cel);
        ComPtr<IShellLinkW> link;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Receive())))
            return false;
        ComPtr<IPersistFile> file;
        if (FAILED(link->QueryInterface(IID_IPersistFile, file.Receive()))) return false;
        if (FAILED(link->SetPath(target.c_str()))) return false;
        if (FAILED(link->SetWorkingDirectory(FolderOf(target).c_str()))) return false;
        if (FAILED(link->SetDescription(Widen(opis).c_str()))) return false;
        return SUCCEEDED(file->Save(Widen(plikSkrotu).c_str(), FALSE));
    } catch (const std::exception&) {
        // Out of memory for a path: this link is not made, as for any other failure.
        return false;
    }
}

bool PlikIstnieje(std::string_view sciezka)
{
    return !sciezka.empty() && FileAt(Widen(sciezka));
}

std::optional<std::string> CzytajPlik(std::string_view sciezka)
{
    UniqueHandle file(CreateFileW(Widen(sciezka).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string data;
    char buf[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buf, sizeof buf, &got, nullptr)) return std::nullopt;
        if (got == 0) return data;
        data.append(buf, got);
    }
}

UINT StronaKodowa(TJezyk jezyk)
{
    CHARSETINFO info{};
    if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<DWORD_PTR>(ZestawZnakow(jezyk))), &info,
                             TCI_SRCCHARSET))
        return info.ciACP;
    return 1250;
}

std::string ZeStronyKodowej(std::string_view bajty, UINT strona)
{
    if (bajty.empty()) return {};
    const int n = MultiByteToWideChar(strona, 0, bajty.data(), static_cast<int>(bajty.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(strona, 0, bajty.data(), static_cast<int>(bajty.size()), text.data(), n);
    return Narrow(text);
}

TRegistry::~TRegistry()
{
    CloseKey();
}

void TRegistry::SetRootKey(HKEY root)
{
    CloseKey();
    FRoot = root;
}

void TRegistry::SetAccess(REGSAM access)
{
    FAccess = access;
}

bool TRegistry::OpenKey(std::string_view key, bool create)
{
    CloseKey();
    const std::wstring path = Widen(key);
    HKEY opened = nullptr;
    const LSTATUS r = create ? RegCreateKeyExW(FRoot, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                               FAccess | kProductView, nullptr, &opened, nullptr)
                             : RegOpenKeyExW(FRoot, path.c_str(), 0, FAccess | kProductView, &opened);
    if (r != ERROR_SUCCESS) return false;
    FKey = opened;
    return true;
}

void TRegistry::CloseKey()
{
    if (FKey) RegCloseKey(FKey);
    FKey = nullptr;
}

void TRegistry::Write(std::string_view name, DWORD type, const void* data, DWORD size)
{
    if (!FKey) throw ERegistryError("no open key for \"" + std::string(name) + "\"");
    const LSTATUS r = RegSetValueExW(FKey, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
    if (r != ERROR_SUCCESS)
        throw ERegistryError("cannot write \"" + std::string(name) + "\", error " + std::to_string(r));
}

void TRegistry::WriteString(std::string_view name, std::string_view value)
{
    const std::wstring text = Widen(value);
    Write(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value)
{
    const DWORD data = static_cast<DWORD>(value);
    Write(name, REG_DWORD, &data, sizeof data);
}
