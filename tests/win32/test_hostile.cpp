// The real installer among hostile neighbours: DLLs planted next to the CD instance and in the temporary folder,
// a program where an unquoted path would lead, the temporary folder after many runs, a batch file that cannot
// start; and the DLLs its import table names.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "demo-driver/ReadBack.h"
#include "install/ProductView.h"
#include "install/WinHandle.h"
#include "test_faults_table.h"
#include "test_files_support.h"
#include "test_process_support.h"
#include "ui/Unicode.h"

namespace {

constexpr wchar_t kCdProgram[] = L"D:\\instalator.exe";
constexpr wchar_t kCdDialog[] = L"Instalator";
constexpr wchar_t kMainWindow[] = L"Werbfranko - Instalator";
constexpr wchar_t kMarkers[] = L"C:\\werb-canary";
constexpr wchar_t kProgramCanary[] = L"C:\\Program.exe";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// Bounds of a hang, not of the normal run: a Wine start takes about a second, a whole installation a minute.
constexpr int kStartMs = 30000;
constexpr int kInstallMs = 600000;

std::wstring Lower(std::wstring s)
{
    if (!s.empty()) CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

std::vector<std::wstring> Names(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW f{};
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(f.cFileName, L".") != 0 && wcscmp(f.cFileName, L"..") != 0) names.push_back(f.cFileName);
    } while (FindNextFileW(h, &f));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string Joined(const std::vector<std::wstring>& names)
{
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : ", ") + Narrow(n);
    return s.empty() ? "(none)" : s;
}

std::wstring ShellFolder(int csidl)
{
    wchar_t p[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, p)) ? p : L"";
}

std::wstring SystemFile(const wchar_t* name)
{
    return ProductSystemFolder() + L"\\" + name;
}

// The folder the installer proposes, the one the demo's user accepts.
std::wstring InstalledFolder()
{
    const std::wstring programFiles = ProductProgramFiles();
    if (programFiles.empty()) return {};
    return programFiles + L"\\Werbika";
}


// ---- processes ----

// This process's environment with some variables replaced, as CreateProcessW takes it.
std::vector<wchar_t> Environment(const std::map<std::wstring, std::wstring>& changes)
{
    std::vector<wchar_t> block;
    std::set<std::wstring> changed;
    for (const auto& [name, value] : changes) changed.insert(Lower(name));
    if (LPWCH env = GetEnvironmentStringsW()) {
        for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
            const std::wstring entry = p;
            const std::size_t eq = entry.find(L'=', 1);
            if (eq != std::wstring::npos && changed.count(Lower(entry.substr(0, eq)))) continue;
            block.insert(block.end(), entry.begin(), entry.end());
            block.push_back(L'\0');
        }
        FreeEnvironmentStringsW(env);
    }
    for (const auto& [name, value] : changes) {
        const std::wstring entry = name + L"=" + value;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

struct TProcess {
    UniqueHandle Handle;
    DWORD Id = 0;
};

// Detached as from Explorer; `application` null lets CreateProcessW read the command line as a user's would be.
TProcess Start(const wchar_t* application, std::wstring commandLine, const std::wstring& folder,
               std::vector<wchar_t>* environment = nullptr, HANDLE output = nullptr)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = si.hStdError = output;
    }
    PROCESS_INFORMATION pi{};
    // Detached also with an output file: no console host of its own that could outlive it holding the file.
    const DWORD flags = DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT;
    if (!CreateProcessW(application, commandLine.data(), nullptr, nullptr, output != nullptr, flags,
                        environment ? environment->data() : nullptr, folder.empty() ? nullptr : folder.c_str(), &si,
                        &pi)) {
        ADD_FAILURE() << "cannot start " << Narrow(commandLine) << ": error " << GetLastError();
        return {};
    }
    CloseHandle(pi.hThread);
    return {UniqueHandle(pi.hProcess), pi.dwProcessId};
}

bool Ended(const TProcess& p, int milliseconds)
{
    return !p.Handle || WaitForSingleObject(p.Handle.Get(), static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

// Every process whose image lies in one of these folders (compared without regard to case), or has this name.
void EndProcesses(const std::function<bool(const std::wstring&)>& ours)
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snapshot.Get(), &e); more; more = Process32NextW(snapshot.Get(), &e)) {
        UniqueHandle p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                   e.th32ProcessID));
        if (!p || !ours(Lower(ImageOf(p.Get())))) continue;
        TerminateProcess(p.Get(), 1);
        WaitForSingleObject(p.Get(), 5000);
    }
}

// ---- windows ----

struct TWindowSearch {
    std::wstring Caption;
    const wchar_t* Class;
    HWND Found;
};

BOOL CALLBACK NoteWindow(HWND w, LPARAM data)
{
    auto* s = reinterpret_cast<TWindowSearch*>(data);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (!IsWindowVisible(w) || TextOf(w) != s->Caption || (s->Class && lstrcmpiW(cls, s->Class) != 0)) return TRUE;
    s->Found = w;
    return FALSE;
}

HWND WaitForWindow(const std::wstring& caption)
{
    TWindowSearch s{caption, nullptr, nullptr};
    WaitFor([&] { return EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&s)), s.Found != nullptr; }, kStartMs);
    return s.Found;
}

HWND Button(HWND top, const std::wstring& caption)
{
    TWindowSearch s{caption, L"Button", nullptr};
    EnumChildWindows(top, NoteWindow, reinterpret_cast<LPARAM>(&s));
    return s.Found;
}

// ---- the import table ----

struct TImports {
    std::vector<std::string> Dlls;    // lower case: loaded with the process
    std::vector<std::string> Delayed; // loaded on first use, through LoadLibrary
    std::string Error;
};

TImports ReadImports(const std::string& image)
{
    TImports out;
    auto at = [&](std::size_t offset, std::size_t size) {
        return offset <= image.size() && size <= image.size() - offset ? image.data() + offset : nullptr;
    };
    IMAGE_DOS_HEADER dos;
    if (!at(0, sizeof dos)) return {{}, {}, "no DOS header"};
    std::memcpy(&dos, image.data(), sizeof dos);
    // The headers of a 32-bit and of a 64-bit image differ after the file header: the data directories move.
    IMAGE_NT_HEADERS32 nt;
    IMAGE_NT_HEADERS64 nt64;
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 || !at(dos.e_lfanew, sizeof nt))
        return {{}, {}, "no PE header"};
    std::memcpy(&nt, image.data() + dos.e_lfanew, sizeof nt);
    const bool pe64 = nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    if (nt.Signature != IMAGE_NT_SIGNATURE || (!pe64 && nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC))
        return {{}, {}, "not a PE image"};
    if (pe64) {
        if (!at(dos.e_lfanew, sizeof nt64)) return {{}, {}, "PE header cut off"};
        std::memcpy(&nt64, image.data() + dos.e_lfanew, sizeof nt64);
    }
    const std::size_t sectionsAt = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                                   nt.FileHeader.SizeOfOptionalHeader;
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    if (!at(sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER))) return {{}, {}, "sections cut off"};
    std::memcpy(sections.data(), image.data() + sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER));
    auto fileOffset = [&](DWORD rva) -> std::optional<std::size_t> {
        for (const auto& s : sections) {
            const DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size)
                return s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return std::nullopt;
    };
    auto nameAt = [&](DWORD rva) -> std::optional<std::string> {
        const auto offset = fileOffset(rva);
        if (!offset || !at(*offset, 1)) return std::nullopt;
        const std::size_t end = image.find('\0', *offset);
        if (end == std::string::npos) return std::nullopt;
        std::string name = image.substr(*offset, end - *offset);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
        return name;
    };
    const auto& dirs = pe64 ? nt64.OptionalHeader.DataDirectory : nt.OptionalHeader.DataDirectory;
    const DWORD directories = pe64 ? nt64.OptionalHeader.NumberOfRvaAndSizes : nt.OptionalHeader.NumberOfRvaAndSizes;
    if (directories <= IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT) return {{}, {}, "few directories"};
    if (const DWORD rva = dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress) {
        for (DWORD i = 0;; ++i) {
            IMAGE_IMPORT_DESCRIPTOR d;
            const auto offset = fileOffset(rva + i * sizeof d);
            if (!offset || !at(*offset, sizeof d)) return {out.Dlls, {}, "import directory cut off"};
            std::memcpy(&d, image.data() + *offset, sizeof d);
            if (d.Name == 0) break;
            const auto name = nameAt(d.Name);
            if (!name) return {out.Dlls, {}, "bad import name"};
            out.Dlls.push_back(*name);
        }
    }
    if (const DWORD rva = dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress) {
        for (DWORD i = 0;; ++i) {
            IMAGE_DELAYLOAD_DESCRIPTOR d;
            const auto offset = fileOffset(rva + i * sizeof d);
            if (!offset || !at(*offset, sizeof d)) return {out.Dlls, out.Delayed, "delay-import directory cut off"};
            std::memcpy(&d, image.data() + *offset, sizeof d);
            if (d.DllNameRVA == 0) break;
            // Old-style descriptors hold addresses, not RVAs.
            const DWORD nameRva = d.Attributes.RvaBased ? d.DllNameRVA : d.DllNameRVA - nt.OptionalHeader.ImageBase;
            const auto name = nameAt(nameRva);
            if (!name) return {out.Dlls, out.Delayed, "bad delay-import name"};
            out.Delayed.push_back(*name);
        }
    }
    return out;
}

// The DLLs Windows 7 to 11 all take from the system folder whatever lies next to a program: the known DLLs
// common to all of them, and ntdll, which every process has before its first import is looked at.
const std::set<std::string>& KnownEverywhere()
{
    static const std::set<std::string> names = {
        "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll", "gdi32.dll",    "imagehlp.dll",
        "imm32.dll",    "kernel32.dll", "msctf.dll",  "msvcrt.dll",  "normaliz.dll", "nsi.dll",
        "ntdll.dll",    "ole32.dll",   "oleaut32.dll", "psapi.dll",  "rpcrt4.dll",   "sechost.dll",
        "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll",  "wldap32.dll",  "ws2_32.dll",
    };
    return names;
}

// The program's manifest asks for the common controls 6, which the loader takes from the side-by-side store.
bool ManifestRedirectsCommonControls(const std::wstring& program)
{
    HMODULE m = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!m) return false;
    bool found = false;
    if (HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const auto* text = static_cast<const char*>(LockResource(LoadResource(m, r)));
        const std::string manifest(text ? text : "", text ? SizeofResource(m, r) : 0);
        const std::size_t at = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
        const std::size_t end = manifest.find("/>", at);
        found = at != std::string::npos && manifest.substr(at, end - at).find("version=\"6.0.0.0\"") != std::string::npos;
    }
    FreeLibrary(m);
    return found;
}

} // namespace

// What the process loads before main() runs is beyond its own control: only known DLLs. A DLL loaded on first
// use comes after main() has restricted the search to the system folder; the common controls then come from
// the side-by-side store that the manifest names. Both programs: the uninstaller's first instance starts from
// the target folder.
TEST(Imports, EveryImportedDllOfBothProgramsComesFromTheSystemFolder)
{
    for (const wchar_t* variable : {L"WERB_INSTALATOR", L"WERB_DEINSTALKA"}) {
        SCOPED_TRACE(Narrow(variable));
        const std::wstring program = ThroughZ(Env(variable));
        ASSERT_FALSE(program.empty()) << Narrow(variable) << " is not set";
        const auto image = ReadBytes(program);
        ASSERT_TRUE(image) << Narrow(program);
        const TImports imports = ReadImports(*image);
        ASSERT_TRUE(imports.Error.empty()) << imports.Error;
        ASSERT_NE(std::find(imports.Dlls.begin(), imports.Dlls.end(), "kernel32.dll"), imports.Dlls.end())
            << "the table was not read";
        for (const std::string& dll : imports.Dlls)
            EXPECT_TRUE(KnownEverywhere().count(dll)) << dll << " is loaded with the process from next to the program";
        const bool sideBySide = ManifestRedirectsCommonControls(program);
        for (const std::string& dll : imports.Delayed)
            EXPECT_TRUE(KnownEverywhere().count(dll) || (dll == "comctl32.dll" && sideBySide))
                << dll << " (delay-loaded) is not taken from the system folder";
    }
}

// The real installer on D:, the CD-ROM drive, with what the CD dialog looks for; whole installations by the demo's
// user; everything they leave outside the temporary folder removed after each case.
class Hostile : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // A program that a canary breaks must end, not wait in Wine's debugger; the started programs inherit this.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        Cd() = ThroughZ(Env(L"WERB_CDROM"));
        if (Cd().empty()) return;
        Cd() += L"\\";
        const std::wstring program = ThroughZ(Env(L"WERB_INSTALATOR"));
        const std::wstring uninstaller = ThroughZ(Env(L"WERB_DEINSTALKA"));
        for (const auto& [from, name] : {std::pair{program, L"instalator.exe"}, std::pair{uninstaller, L"DeInstalka.exe"}}) {
            const std::wstring to = Cd() + name;
            ForceDelete(to);
            // Read-only, as every file on a CD.
            if (CopyFileW(from.c_str(), to.c_str(), FALSE)) SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_READONLY);
            OnCd().push_back(to);
        }
        for (const wchar_t* marker : {L"Werbilo2.exe", L"UmowaPol.txt"}) {
            const std::wstring path = Cd() + marker;
            if (!Exists(path) && WriteBytes(path, "x")) OnCd().push_back(path);
        }
    }

    static void TearDownTestSuite()
    {
        for (const auto& path : OnCd()) ForceDelete(path);
        OnCd().clear();
    }

    static std::wstring& Cd()
    {
        static std::wstring path;
        return path;
    }
    static std::vector<std::wstring>& OnCd()
    {
        static std::vector<std::wstring> paths;
        return paths;
    }

    void SetUp() override
    {
        ASSERT_FALSE(Cd().empty()) << "WERB_CDROM is not set";
        ASSERT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_CDROM));
        ASSERT_TRUE(Exists(kCdProgram)) << "the installer did not reach D:";
        FTemp = TempFolder();
        ASSERT_FALSE(FTemp.empty());
        FWork = ThroughZ(Env(L"WERB_HOSTILE_WORK"));
        ASSERT_FALSE(FWork.empty()) << "WERB_HOSTILE_WORK is not set";
        CreateDirectoryW(FWork.c_str(), nullptr);
        FTarget = InstalledFolder();
        ASSERT_FALSE(FTarget.empty());
        FOcxExisted = Exists(SystemFile(L"comctl32.ocx"));
        RemoveTree(kMarkers);
        ForgetInstallation();
        FTempBefore = Names(FTemp);
    }

    void TearDown() override
    {
        const std::wstring temp = Lower(FTemp), target = Lower(FTarget);
        EndProcesses([&](const std::wstring& image) {
            return image.rfind(temp, 0) == 0 || image.rfind(target, 0) == 0 || image == Lower(kProgramCanary) ||
                   image == Lower(std::wstring(kCdProgram));
        });
        for (const auto& path : FPlanted) ForceDelete(path);
        for (const auto& key : FOverrides) RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        // What the batch files would have removed, had the copies ended normally.
        for (const auto& name : Names(FTemp))
            if (OfACopy(name) && std::find(FTempBefore.begin(), FTempBefore.end(), name) == FTempBefore.end())
                RemoveTree(FTemp + name);
        if (FCmdDisabled) {
            UniqueRegKey k;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, KEY_SET_VALUE, k.Receive()) ==
                ERROR_SUCCESS)
                RegDeleteValueW(k.Get(), L"cmd.exe");
            FCmdDisabled = false;
        }
        ForceDelete(kProgramCanary);
        RemoveTree(kMarkers);
        ForgetInstallation();
    }

    void ForgetInstallation()
    {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            DeleteTree32(root, L"SOFTWARE\\Zorvane");
            DeleteTree32(root, kUninstallKey);
        }
        for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY}) {
            const std::wstring folder = ShellFolder(csidl);
            if (folder.empty()) continue;
            RemoveTree(folder + L"\\Werbvoltan");
        }
        RemoveTree(FTarget);
        if (!FOcxExisted) ForceDelete(SystemFile(L"comctl32.ocx"));
    }

    // One installation as a user does it: D:\instalator.exe, the wizard walked through by the demo's user to
    // a successful End page and Finish; then the batch file removes the copy.
    void InstallFromCd(std::vector<wchar_t>* environment = nullptr)
    {
        const std::wstring log = FWork + L"\\walk" + std::to_wstring(++FWalks) + L".log";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        UniqueHandle output(CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(output) << Narrow(log);
        TProcess cd = Start(kCdProgram, L"\"D:\\instalator.exe\"", L"D:\\", environment);
        ASSERT_TRUE(cd.Handle);
        const std::wstring driver = ThroughZ(Env(L"WERB_DRIVER"));
        TProcess walk = Start(driver.c_str(),
                              L"\"" + driver + L"\" walk --lang pl --expect success --state \"" + FWork +
                                  L"\\walk.state\"",
                              FWork, environment, output.Get());
        ASSERT_TRUE(walk.Handle);
        const bool walked = Ended(walk, kInstallMs);
        DWORD code = 1;
        GetExitCodeProcess(walk.Handle.Get(), &code);
        output.Reset();
        EXPECT_TRUE(walked && code == 0) << "the walk did not succeed:\n" << ReadBytes(log).value_or("(no log)");
        EXPECT_TRUE(Ended(cd, kStartMs)) << "the CD instance is still running";
        EXPECT_TRUE(BatchFilesDone()) << "left in " << Narrow(FTemp) << ": " << Joined(Names(FTemp));
    }

    // A copy, its batch file, or a folder that holds them (the relaunch makes one in %TEMP% for each copy).
    bool OfACopy(const std::wstring& name)
    {
        const std::wstring n = Lower(name);
        const DWORD a = GetFileAttributesW((FTemp + name).c_str());
        return n.find(L"instal.exe") != std::wstring::npos || n.find(L"delme.bat") != std::wstring::npos ||
               (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY));
    }

    // The new folders in %TEMP%, with trailing backslash.
    std::vector<std::wstring> NewFolders()
    {
        std::vector<std::wstring> folders;
        for (const auto& name : Names(FTemp)) {
            const DWORD a = GetFileAttributesW((FTemp + name).c_str());
            if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
                std::find(FTempBefore.begin(), FTempBefore.end(), name) == FTempBefore.end())
                folders.push_back(FTemp + name + L"\\");
        }
        return folders;
    }

    // The copies ended: their batch files remove them, then themselves, then the copies' folders.
    bool BatchFilesDone()
    {
        return WaitFor(
            [&] {
                for (const auto& name : Names(FTemp))
                    if (OfACopy(name) && std::find(FTempBefore.begin(), FTempBefore.end(), name) == FTempBefore.end())
                        return false;
                return true;
            },
            kStartMs);
    }

    // Wine would take its own DLLs whatever lies next to a program; these programs are told to prefer files
    // (per program in the registry: WINEDLLOVERRIDES in the environment block of a started process is not
    // seen by Wine 8's loader).
    void PreferNative(const std::vector<std::wstring>& programs, const std::vector<std::wstring>& dlls)
    {
        for (const auto& program : programs) {
            const std::wstring key = L"Software\\Wine\\AppDefaults\\" + program;
            UniqueRegKey k;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (key + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                                      KEY_SET_VALUE, nullptr, k.Receive(), nullptr),
                      ERROR_SUCCESS);
            FOverrides.push_back(key);
            for (const auto& d : dlls) {
                const wchar_t value[] = L"native,builtin";
                ASSERT_EQ(RegSetValueExW(k.Get(), d.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
                          ERROR_SUCCESS);
            }
        }
    }

    std::wstring FTemp, FWork, FTarget;
    std::vector<std::wstring> FTempBefore;
    std::vector<std::wstring> FPlanted;
    std::vector<std::wstring> FOverrides;
    bool FOcxExisted = false;
    bool FCmdDisabled = false;  // Wine's cmd.exe disabled for the prefix until TearDown
    int FWalks = 0;
};

// The programs that start from a folder someone else may write to: D:\instalator.exe (a CD image, a network
// share) and the installed DeInstalka.exe. Their copies run from private folders that nobody else can write to.
TEST_F(Hostile, PlantedDllsBesideTheCdInstallerAndTheInstalledUninstallerAreNeverLoaded)
{
    const std::wstring canaries = ThroughZ(Env(L"WERB_CANARIES"));
    std::vector<std::wstring> dlls;
    {
        const std::wstring list = Env(L"WERB_CANARY_DLLS");
        for (std::size_t from = 0; from < list.size();) {
            const std::size_t comma = std::min(list.find(L',', from), list.size());
            dlls.push_back(list.substr(from, comma - from));
            from = comma + 1;
        }
    }
    ASSERT_FALSE(canaries.empty() || dlls.empty()) << "WERB_CANARIES or WERB_CANARY_DLLS is not set";
    const auto plant = [&](const std::wstring& folder) {
        for (const auto& d : dlls) {
            const std::wstring to = folder + d + L".dll";
            ForceDelete(to);
            ASSERT_TRUE(CopyFileW((canaries + L"\\" + d + L".dll").c_str(), to.c_str(), FALSE)) << Narrow(to);
            FPlanted.push_back(to);
        }
    };
    plant(Cd());
    ASSERT_FALSE(HasFatalFailure());
    // Wine's own user32 imports version.dll while the process starts, with the program's folder on the search
    // path; Windows' does not. Preferring a file there would measure Wine, not the installer: version.dll stays
    // Wine's, and the installer's own loads of it are covered by loading it from the system folder only.
    std::vector<std::wstring> preferred;
    for (const auto& d : dlls)
        if (d != L"version") preferred.push_back(d);
    PreferNative({L"instalator.exe", L"instal.exe", L"DeInstalka.exe", L"werb-loader.exe"}, preferred);
    ASSERT_FALSE(HasFatalFailure());

    // The hole the test looks for is visible: a program on D: that loads a DLL by its bare name takes the canary.
    {
        const std::wstring loader = Cd() + L"werb-loader.exe";
        ASSERT_TRUE(CopyFileW((canaries + L"\\werb-loader.exe").c_str(), loader.c_str(), FALSE));
        FPlanted.push_back(loader);
        TProcess p = Start(loader.c_str(), L"\"" + loader + L"\" sfc.dll", L"D:\\");
        ASSERT_TRUE(Ended(p, kStartMs));
        EXPECT_TRUE(Exists(std::wstring(kMarkers) + L"\\sfc.dll.loaded"))
            << "a DLL loaded by its bare name from D: left no marker: the canaries cannot show a hole";
        RemoveTree(kMarkers);
    }

    InstallFromCd();
    EXPECT_EQ(Names(kMarkers), std::vector<std::wstring>{}) << "loaded by the installer: " << Joined(Names(kMarkers));
    ASSERT_FALSE(HasFatalFailure());

    // The uninstaller as the uninstall entry starts it: its first instance hands over to its copy and ends.
    const std::wstring uninstaller = FTarget + L"\\DeInstalka.exe";
    ASSERT_TRUE(Exists(uninstaller));
    plant(FTarget + L"\\");
    ASSERT_FALSE(HasFatalFailure());
    TProcess first = Start(uninstaller.c_str(), L"\"" + uninstaller + L"\"", L"C:\\");
    ASSERT_TRUE(first.Handle);
    EXPECT_TRUE(Ended(first, kStartMs)) << "the uninstaller in the target folder did not hand over";
    // The copy waits at its question: not an uninstallation this test makes.
    EndProcesses([](const std::wstring& image) { return image.size() >= 15 && image.substr(image.size() - 15) == L"\\deinstalka.exe"; });
    EXPECT_EQ(Names(kMarkers), std::vector<std::wstring>{}) << "loaded by the uninstaller: " << Joined(Names(kMarkers));
}

TEST_F(Hostile, UninstallEntryStartsDeInstalkaNotAProgramOnTheWay)
{
    InstallFromCd();
    ASSERT_FALSE(HasFailure());
    std::optional<RegString> line = ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString");
    if (!line) line = ReadRegString(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString");
    ASSERT_TRUE(line) << "no uninstall entry";
    const std::wstring uninstaller = FTarget + L"\\DeInstalka.exe";
    ASSERT_TRUE(Exists(uninstaller));
    ASSERT_NE(FTarget.find(L' '), std::wstring::npos) << "the target has no space: an unquoted path would do";

    const std::wstring canary = ThroughZ(Env(L"WERB_CANARIES")) + L"\\Program.exe";
    ASSERT_TRUE(CopyFileW(canary.c_str(), kProgramCanary, FALSE));
    const std::wstring ran = std::wstring(kMarkers) + L"\\Program.exe.ran";

    // The canary is where the unquoted path leads.
    {
        TProcess p = Start(nullptr, uninstaller, L"C:\\");
        ASSERT_TRUE(p.Handle);
        if (!Ended(p, kStartMs)) TerminateProcess(p.Handle.Get(), 1);
        EXPECT_TRUE(Exists(ran)) << "the unquoted path did not lead to the canary: it cannot show the fault";
        RemoveTree(kMarkers);
    }

    TProcess p = Start(nullptr, line->Text, L"C:\\");
    ASSERT_TRUE(p.Handle) << Narrow(line->Text);
    EXPECT_EQ(Lower(ImageOf(p.Handle.Get())), Lower(uninstaller)) << Narrow(line->Text);
    TerminateProcess(p.Handle.Get(), 1);
    Ended(p, kStartMs);
    EXPECT_FALSE(Exists(ran)) << "C:\\Program.exe ran from " << Narrow(line->Text);
}

TEST_F(Hostile, TemporaryFolderKeepsNothingAfterInstallationsAndAKilledCopy)
{
    for (int i = 0; i < 3; ++i) {
        InstallFromCd();
        ASSERT_FALSE(HasFailure()) << "installation " << i + 1;
        ForgetInstallation();
    }

    // Killed in the middle of the wizard: the batch file still removes the copy.
    TProcess cd = Start(kCdProgram, L"\"D:\\instalator.exe\"", L"D:\\");
    ASSERT_TRUE(Ended(cd, kStartMs)) << "the CD instance did not hand over";
    HWND dialog = WaitForWindow(kCdDialog);
    ASSERT_NE(dialog, nullptr) << "the copy showed no CD dialog";
    HWND ok = Button(dialog, L"OK");
    ASSERT_NE(ok, nullptr);
    PostMessageW(ok, BM_CLICK, 0, 0);
    HWND main = WaitForWindow(kMainWindow);
    ASSERT_NE(main, nullptr) << "no main window after OK";
    UniqueHandle copy(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(main)));
    ASSERT_TRUE(copy);
    ASSERT_TRUE(TerminateProcess(copy.Get(), 1));
    WaitForSingleObject(copy.Get(), static_cast<DWORD>(kStartMs));

    EXPECT_TRUE(BatchFilesDone()) << "left: " << Joined(Names(FTemp));
    std::vector<std::wstring> added;
    for (const auto& name : Names(FTemp))
        if (std::find(FTempBefore.begin(), FTempBefore.end(), name) == FTempBefore.end()) added.push_back(name);
    EXPECT_EQ(added, std::vector<std::wstring>{}) << "new in " << Narrow(FTemp) << ": " << Joined(added);
}

// Spaces and Polish letters in %TEMP%: the copy runs from there, installs, and its batch file removes it.
TEST_F(Hostile, TemporaryFolderWithSpacesAndPolishLetters)
{
    if (Env(L"WERB_UNICODE_NAMES").empty()) GTEST_SKIP() << "needs a UTF-8 locale on the Unix side";
    const std::wstring folder = FTemp + L"Tymczasowe zażółć ąę";
    RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    FTemp = folder + L"\\";
    FTempBefore.clear();
    std::vector<wchar_t> environment = Environment({{L"TEMP", folder}, {L"TMP", folder}});
    InstallFromCd(&environment);
    const bool walked = !HasFailure();
    const int left = static_cast<int>(Names(FTemp).size());
    EXPECT_EQ(left, 0) << "left in " << Narrow(folder) << ": " << Joined(Names(FTemp));
    EXPECT_TRUE(Exists(FTarget + L"\\Werbika.exe"));
    DWORD flag = 1, size = sizeof flag;
    const bool flagRead = RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Zorvane\\Werbtron", L"InstallationInProgress",
                                       RRF_RT_REG_DWORD, nullptr, &flag, &size) == ERROR_SUCCESS;
    EXPECT_TRUE(flagRead && flag == 0) << "the installation flag was left set";
    FaultTable().push_back({"Polish letters and spaces in the temporary folder", walked ? "End: 161" : "not End: 161",
                            left, flagRead && flag == 0 ? 0 : 1});
    RemoveTree(folder);
}

// With no command interpreter the batch file cannot start: the running copy and its folder are left to the next
// restart, the batch file goes with the copy. The interpreter is the system's own whatever COMSPEC says, so the
// test takes Wine's away for the prefix.
TEST_F(Hostile, CopyWhoseBatchFileCannotStartIsDeletedAtTheNextRestart)
{
    ASSERT_EQ(std::find(FTempBefore.begin(), FTempBefore.end(), L"instal.exe"), FTempBefore.end());
    UniqueRegKey session;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, session.Receive()),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    std::vector<BYTE> saved;
    const bool hadPending = RegQueryValueExW(session.Get(), kPendingRenames, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (hadPending) {
        saved.resize(size);
        RegQueryValueExW(session.Get(), kPendingRenames, nullptr, &type, saved.data(), &size);
    }
    {
        UniqueRegKey overrides;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, overrides.Receive(), nullptr),
                  ERROR_SUCCESS);
        FCmdDisabled = true;
        const wchar_t disabled[] = L"";
        ASSERT_EQ(RegSetValueExW(overrides.Get(), L"cmd.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>(disabled),
                                 sizeof disabled),
                  ERROR_SUCCESS);
    }

    std::vector<wchar_t> environment = Environment({{L"COMSPEC", L"C:\\werb-no-such-folder\\cmd.exe"}});
    TProcess cd = Start(kCdProgram, L"\"D:\\instalator.exe\"", L"D:\\", &environment);
    ASSERT_TRUE(Ended(cd, kStartMs)) << "the CD instance did not hand over";
    HWND dialog = WaitForWindow(kCdDialog);
    EXPECT_NE(dialog, nullptr) << "the copy did not start";
    const std::vector<std::wstring> folders = NewFolders();
    // No ASSERT from here on: the pending renames are put back at the end.
    EXPECT_EQ(folders.size(), 1u) << "new in " << Narrow(FTemp) << ": " << Joined(Names(FTemp));
    const std::wstring folder = folders.size() == 1 ? folders.front() : FTemp + L"(no folder of the copy)\\";
    EXPECT_TRUE(Exists(folder + L"instal.exe"));

    std::vector<wchar_t> pending(1);
    DWORD bytes = 0;
    if (RegQueryValueExW(session.Get(), kPendingRenames, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
        pending.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        RegQueryValueExW(session.Get(), kPendingRenames, nullptr, &type, reinterpret_cast<BYTE*>(pending.data()), &bytes);
    }
    // Pairs of source and target; an empty target deletes.
    std::vector<std::wstring> strings;
    for (const wchar_t* p = pending.data(); p < pending.data() + bytes / sizeof(wchar_t); p += wcslen(p) + 1)
        strings.emplace_back(p);
    // The copy first, then its folder, which is empty by then.
    std::size_t copyAt = strings.size(), folderAt = strings.size();
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (!strings[i + 1].empty()) continue;
        if (Lower(strings[i]) == Lower(L"\\??\\" + folder + L"instal.exe")) copyAt = i;
        if (Lower(strings[i]) == Lower(L"\\??\\" + folder.substr(0, folder.size() - 1))) folderAt = i;
    }
    EXPECT_LT(copyAt, strings.size()) << "no deletion of " << Narrow(folder) << "instal.exe is pending; the value holds "
                                      << strings.size() << " strings";
    EXPECT_LT(folderAt, strings.size()) << "no deletion of " << Narrow(folder) << " is pending";
    EXPECT_LT(copyAt, folderAt) << "the folder would be deleted before the copy in it";

    if (dialog) {
        if (HWND cancel = Button(dialog, L"Anuluj")) PostMessageW(cancel, BM_CLICK, 0, 0);
        UniqueHandle copy(OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(dialog)));
        if (copy) WaitForSingleObject(copy.Get(), static_cast<DWORD>(kStartMs));
    }
    EXPECT_TRUE(WaitFor([&] { return !Exists(folder + L"delme.bat"); }, kStartMs))
        << "a batch file that never ran stays behind";
    if (hadPending)
        RegSetValueExW(session.Get(), kPendingRenames, 0, type, saved.data(), static_cast<DWORD>(saved.size()));
    else
        RegDeleteValueW(session.Get(), kPendingRenames);
}
