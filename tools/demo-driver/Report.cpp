// The report: what the walk installed, read back from the disk, the shell links and the registry.
#include <windows.h>

#include <optional>
#include <vector>

#include "Checks.h"
#include "Desktop.h"
#include "ReadBack.h"
#include "Stages.h"
#include "install/ProductView.h"
#include "install/Produkt.h"
#include "install/untInstalFunkcje.h"
#include "ui/Unicode.h"

// The settings code lands with the registry step; until then the report shows the stored values only.
#if __has_include("install/TKod.h")
#include "install/TKod.h"
#define WERB_HAS_SETTINGS_CODE 1
#endif

namespace {

struct TDecoded {
    bool Available;  // false in a tree without the settings code: the value is then only shown
    bool Ok;
    std::string Text;
};

// The settings as the installed product reads them back.
TDecoded Decoded(const std::string& stored)
{
#if WERB_HAS_SETTINGS_CODE
    const TOdkodowane d = DekodujWartosc(stored, 1, kFlagaUstawien, kPoziomUstawien);
    return {true, d.Wynik == TWynikKodu::wkDobrze, d.Tekst};
#else
    (void)stored;
    return {false, false, {}};
#endif
}

// The programs the installer writes from its resources, and the names its CD carries them under.
const wchar_t* const kBuiltIn[] = {L"Werbika.exe", L"Werbilo.exe", L"SlZewFr.exe", L"SlZewPl.exe"};

// The product's Start-menu group as a user expects to find it.
const wchar_t kGroup[] = L"Werbvoltan";

struct TEntry {
    std::wstring Relative;  // path below the walked folder
    bool Folder;
    ULONGLONG Size;
};

// Every entry below a folder, parents before children, in the order of the listing.
void Walk(const std::wstring& root, const std::wstring& relative, std::vector<TEntry>& out)
{
    WIN32_FIND_DATAW f{};
    HANDLE h = FindFirstFileW(Join(Join(root, relative), L"*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = f.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
        const bool folder = f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        out.push_back({rel, folder, (ULONGLONG(f.nFileSizeHigh) << 32) | f.nFileSizeLow});
        if (folder) Walk(root, rel, out);
    } while (FindNextFileW(h, &f));
    FindClose(h);
}

std::wstring NameOf(const std::wstring& relative)
{
    const size_t slash = relative.find_last_of(L'\\');
    return slash == std::wstring::npos ? relative : relative.substr(slash + 1);
}

bool IsBuiltIn(const std::wstring& relative)
{
    for (const wchar_t* b : kBuiltIn)
        if (SamePath(relative, b)) return true;
    return false;
}

std::wstring Text(const std::optional<RegString>& value)
{
    return value ? value->Text : std::wstring();
}

bool SameBytes(const std::wstring& a, const std::wstring& b)
{
    const auto x = ReadWholeFile(a);
    const auto y = ReadWholeFile(b);
    return x && y && *x == *y;
}

class TReport {
public:
    explicit TReport(const TDemoArgs& args) : FArgs(args), FChecks(args.Expect), FState(ReadState(args.State)) {}
    int Run();

private:
    void Files();
    void Copy();
    void BuiltIn();
    void SystemFiles();
    void Shortcuts();
    void Registry();
    void Leftovers();
    void NothingStayed();
    // A registry text the report shows and checks; encoded ones compared after decoding when possible.
    void Value(HKEY root, const char* rootName, const std::wstring& key, const wchar_t* name,
               const std::optional<std::string>& want, bool encoded);

    const TDemoArgs& FArgs;
    TChecks FChecks;
    TState FState;
    std::wstring FTarget;
    std::vector<TEntry> FInstalled;
};

void TReport::Files()
{
    Print("== installed files in " + Narrow(FTarget));
    if (!FolderExists(FTarget)) {
        FChecks.Note("(the folder does not exist)");
        return;
    }
    Walk(FTarget, L"", FInstalled);
    ULONGLONG total = 0;
    for (const TEntry& e : FInstalled) {
        char size[32];
        wsprintfA(size, "%10I64u", e.Size);
        Print(std::string("  ") + (e.Folder ? "    folder" : size) + "  " + Narrow(e.Relative));
        total += e.Size;
    }
    FChecks.Note(std::to_string(FInstalled.size()) + " entries, " + std::to_string(total) + " bytes");
}

void TReport::Copy()
{
    Print("== the CD's files in the target folder");
    const std::string lista = ListaWykluczen(1, true);
    std::vector<TEntry> cd;
    Walk(L"D:\\", L"", cd);
    int arrived = 0;
    std::string missing;
    for (const TEntry& e : cd) {
        // Below an excluded folder nothing is copied either.
        bool excluded = false;
        for (size_t from = 0; !excluded;) {
            const size_t slash = e.Relative.find(L'\\', from);
            excluded = NaLiscieWykluczen(lista, Narrow(e.Relative.substr(from, slash - from)));
            if (slash == std::wstring::npos) break;
            from = slash + 1;
        }
        if (excluded || IsBuiltIn(e.Relative)) continue;
        const std::wstring there = Join(FTarget, e.Relative);
        const bool ok = e.Folder ? FolderExists(there) : SameBytes(Join(L"D:\\", e.Relative), there);
        if (ok)
            ++arrived;
        else if (missing.size() < 300)
            missing += " " + Narrow(e.Relative);
    }
    FChecks.Check("copy", missing.empty() && arrived > 0,
                  missing.empty() ? std::to_string(arrived) + " files and folders of the CD arrived byte for byte"
                                  : "not arrived (or not the same bytes):" + missing);

    std::string stray;
    for (const TEntry& e : FInstalled)
        if (NaLiscieWykluczen(lista, Narrow(NameOf(e.Relative))) && !IsBuiltIn(e.Relative))
            stray += " " + Narrow(e.Relative);
    FChecks.Check("copy", stray.empty(),
                  stray.empty() ? "nothing excluded arrived (autorun.inf at any depth, the licence files, "
                                  "instalator.exe, comctl32.dll/.ocx)"
                                : "excluded names arrived:" + stray);
}

void TReport::BuiltIn()
{
    Print("== the programs written from the installer's resources, against the packed programs");
    FChecks.Note("packed programs: " + Narrow(FArgs.Samples));
    for (const wchar_t* b : kBuiltIn) {
        const std::wstring packed = Join(FArgs.Samples, b);
        const std::wstring installed = Join(FTarget, b);
        if (!FileExists(packed)) {
            FChecks.Check("builtin", false, Narrow(b) + ": no packed program at " + Narrow(packed));
            continue;
        }
        const bool same = SameBytes(packed, installed);
        const bool fromCd = !same && FileExists(Join(L"D:\\", b)) && SameBytes(Join(L"D:\\", b), installed);
        FChecks.Check("builtin", same,
                      Narrow(b) + (same                         ? " is the packed program, byte for byte"
                                   : !FileExists(installed)     ? " is not installed"
                                   : fromCd                     ? " is the CD's stand-in, not the packed program"
                                                                : " differs from the packed program"));
    }
}

void TReport::SystemFiles()
{
    Print("== shared system files");
    const std::wstring system = ProductSystemFolder();
    for (const TSystemFile& s : kSystemFiles) {
        const std::wstring installed = Join(system, s.Name);
        // What was there before decides: absent or older than required means the CD's copy must be there.
        const bool existed = FState[Narrow(s.Name) + " existed"] == "1";
        const std::string before = FState[Narrow(s.Name) + " version"];
        const auto [major, minor] = MajorMinor(before);
        const bool newEnough = existed && (major > s.Major || (major == s.Major && minor >= s.Minor));
        const bool isCds = SameBytes(Join(L"D:\\", s.Name), installed);
        const std::string now = Narrow(installed) + (FileExists(installed)
                                                         ? " (FileVersion \"" + FileVersionOf(installed) + "\")"
                                                         : " (absent)");
        const std::string required = std::to_string(s.Major) + "." + std::to_string(s.Minor);
        if (newEnough)
            FChecks.Check("system", !isCds, now + ": was \"" + before + "\", new enough for " + required +
                                                (isCds ? ", yet replaced by the CD's" : ", kept"));
        else
            FChecks.Check("system", isCds, now + (existed ? ": was \"" + before + "\", older than " : ": was absent, required ") +
                                               required + (isCds ? ", now the CD's copy" : ", not the CD's copy"));
    }
}

void TReport::Shortcuts()
{
    Print(std::string("== Start-menu group \"") + Narrow(kGroup) + "\"");
    const std::wstring shellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const std::wstring programs = Text(ReadRegString(HKEY_CURRENT_USER, shellFolders, L"Programs"));
    if (!FChecks.Check("shortcuts", !programs.empty(), "HKCU Shell Folders \"Programs\": " + Narrow(programs)))
        return;
    const std::wstring group = Join(programs, kGroup);
    if (!FChecks.Check("shortcuts", FolderExists(group), "the group folder " + Narrow(group) + " exists")) return;

    int found = 0;
    for (const Program& s : kPrograms) {
        const std::wstring file = Join(group, std::wstring(s.Link) + L".lnk");
        const std::wstring program = Join(FTarget, s.File);
        const std::optional<LinkContents> link = FileExists(file) ? ReadLink(file) : std::nullopt;
        if (!FileExists(program)) {
            FChecks.Check("shortcuts", !FileExists(file), Narrow(s.Link) + ".lnk: none, as " + Narrow(s.File) +
                                                              " is not installed");
            continue;
        }
        if (!link) {
            FChecks.Check("shortcuts", false, Narrow(s.Link) + ".lnk is missing or unreadable");
            continue;
        }
        ++found;
        const bool ok = SamePath(link->Target, program) && SamePath(link->WorkingDirectory, FTarget + L"\\") &&
                        link->Description == s.Link;
        FChecks.Check("shortcuts", ok,
                      Narrow(s.Link) + ".lnk -> " + Narrow(link->Target) + "  (in " +
                          Narrow(link->WorkingDirectory) + ", \"" + Narrow(link->Description) + "\")");
    }
    std::vector<TEntry> all;
    Walk(group, L"", all);
    FChecks.Check("shortcuts", static_cast<int>(all.size()) == found,
                  std::to_string(all.size()) + " entries in the group, " + std::to_string(found) + " expected");

    // The product has no desktop shortcuts.
    const std::wstring desktop = Text(ReadRegString(HKEY_CURRENT_USER, shellFolders, L"Desktop"));
    std::string onDesktop;
    for (const Program& s : kPrograms)
        if (!desktop.empty() && FileExists(Join(desktop, std::wstring(s.Link) + L".lnk")))
            onDesktop += " " + Narrow(s.Link);
    FChecks.Check("shortcuts", onDesktop.empty(),
                  onDesktop.empty() ? "no desktop shortcuts" : "desktop shortcuts:" + onDesktop);
}

void TReport::Value(HKEY root, const char* rootName, const std::wstring& key, const wchar_t* name,
                    const std::optional<std::string>& want, bool encoded)
{
    const std::optional<RegString> value = ReadRegString(root, key, name);
    const std::string label = std::string(rootName) + "\\" + Narrow(key) + " \"" + Narrow(name) + "\"";
    if (!value) {
        FChecks.Check("registry", false, label + " is missing");
        return;
    }
    const std::string stored = Narrow(value->Text);
    if (!encoded || !want) {
        FChecks.Check("registry", !want || stored == *want, label + " = \"" + stored + "\"");
        return;
    }
    const TDecoded plain = Decoded(stored);
    if (!plain.Available)
        FChecks.Check("registry", !stored.empty(), label + " = \"" + stored + "\" (encoded; no decoder in this build)");
    else if (!plain.Ok)
        FChecks.Check("registry", false, label + " = \"" + stored + "\" does not decode");
    else
        FChecks.Check("registry", plain.Text == *want && stored != *want,
                      label + " = \"" + stored + "\", decoded \"" + plain.Text + "\"" +
                          (stored == *want ? " (stored as plain text)" : ""));
}

void TReport::Registry()
{
    Print("== registry (the 32-bit view, as the installer and the product see it)");
    const TOpisProduktu* opis = OpisProduktu(1);
    const std::wstring product = Widen(opis->KluczUstawien);
    const std::string target = Narrow(FTarget);
    for (auto [root, rootName] : {std::pair{HKEY_CURRENT_USER, "HKCU"}, std::pair{HKEY_LOCAL_MACHINE, "HKLM"}}) {
        Value(root, rootName, product, L"Katalog", target, true);
        Value(root, rootName, product, L"CD", std::string("D:\\"), true);
        Value(root, rootName, product, L"Wersja", std::string("1.0"), false);
        Value(root, rootName, product, L"SlZewnFr", std::string("0"), true);
        Value(root, rootName, product, L"SlZewnPl", std::string("0"), true);
    }
    const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
    Value(HKEY_CURRENT_USER, "HKCU", uninstall, L"DisplayName", std::string(opis->Tytul), false);
    const std::string deinstalka = target + "\\DeInstalka.exe";
    const std::optional<RegString> command = ReadRegString(HKEY_CURRENT_USER, uninstall, L"UninstallString");
    const std::string shown = command ? Narrow(command->Text) : std::string();
    // Quoted, so that a path with spaces starts the right program; unquoted as the table has it is taken too.
    const bool quoted = shown == "\"" + deinstalka + "\"";
    FChecks.Check("registry", command && (quoted || shown == deinstalka),
                  "HKCU\\" + Narrow(uninstall) + " \"UninstallString\" = " +
                      (!command ? std::string("missing") : quoted ? shown + " (quoted)" : "\"" + shown + "\""));
    FChecks.Check("registry", !KeyExists(HKEY_LOCAL_MACHINE, uninstall),
                  "no uninstall entry under HKLM (the all-users switch is off)");

    const DWORD jezyk = FState["language"] == "fr" ? jzFrancuski : jzPolski;
    for (const wchar_t* program : {L"Trans", L"TrInt", L"ExtDict", L"TrFile"}) {
        const std::wstring key = L"SOFTWARE\\Zorvane\\Werbix\\" + std::wstring(program);
        const std::optional<DWORD> v = ReadRegDword(HKEY_CURRENT_USER, key, L"JezykInterfejsu");
        FChecks.Check("registry", v && *v == jezyk,
                      "HKCU\\" + Narrow(key) + " \"JezykInterfejsu\" = " + (v ? std::to_string(*v) : "missing") +
                          " (wanted " + std::to_string(jezyk) + ")");
    }
}

void TReport::Leftovers()
{
    Print("== after the installer ended");
    // The batch file deletes the copy once it has ended, then itself: give it the time it takes.
    // The copy and its batch file live in a folder of their own, which goes last.
    std::string left;
    const std::wstring folders = RelaunchFolders();
    WaitUntil([&] { return (left = InTemp({L"instal*.exe", L"delme*.bat", folders.c_str()})).empty(); }, 30000);
    FChecks.Check(nullptr, left.empty(),
                  left.empty() ? "%TEMP% holds no instal.exe, no delme.bat and no folder " + Narrow(folders) + " of a copy"
                               : "left in %TEMP%:" + left);
    const std::optional<DWORD> flag =
        ReadRegDword(HKEY_CURRENT_USER, Widen(OpisProduktu(1)->KluczUstawien), L"InstallationInProgress");
    FChecks.Check(nullptr, flag && *flag == 0,
                  "HKCU\\SOFTWARE\\Zorvane\\Werbtron \"InstallationInProgress\" = " +
                      (flag ? std::to_string(*flag) : std::string("missing")));
    FChecks.Check(nullptr, ProcessesNamed(L"instal.exe").empty(), "no instal.exe is running");
}

// After a confirmed cancel: the target folder, the group, the settings, the uninstall entry and the system files
// are as they were before the run (the walk started on a fresh prefix: none of the product's was there).
void TReport::NothingStayed()
{
    Print("== after the cancelled installation");
    FChecks.Check(nullptr, !FolderExists(FTarget), "the target folder " + Narrow(FTarget) + " is gone");
    const std::wstring shellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const std::wstring programs = Text(ReadRegString(HKEY_CURRENT_USER, shellFolders, L"Programs"));
    FChecks.Check(nullptr, !programs.empty() && !FolderExists(Join(programs, kGroup)),
                  "no Start-menu group " + Narrow(Join(programs, kGroup)));
    const TOpisProduktu* opis = OpisProduktu(1);
    const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Werbtron";
    for (auto [root, rootName] : {std::pair{HKEY_CURRENT_USER, "HKCU"}, std::pair{HKEY_LOCAL_MACHINE, "HKLM"}}) {
        for (const wchar_t* name : {L"Katalog", L"CD", L"Wersja"})
            FChecks.Check(nullptr, !ReadRegString(root, Widen(opis->KluczUstawien), name),
                          std::string(rootName) + "\\" + opis->KluczUstawien + " \"" + Narrow(name) + "\" is not set");
        FChecks.Check(nullptr, !KeyExists(root, uninstall),
                      std::string(rootName) + "\\" + Narrow(uninstall) + " does not exist");
    }
    const std::wstring system = ProductSystemFolder();
    for (const TSystemFile& s : kSystemFiles) {
        const std::wstring file = Join(system, s.Name);
        const bool existed = FState[Narrow(s.Name) + " existed"] == "1";
        const bool same = existed ? FileExists(file) && FileVersionOf(file) == FState[Narrow(s.Name) + " version"]
                                  : !FileExists(file);
        FChecks.Check(nullptr, same, Narrow(file) + (existed ? " is as it was" : " is still absent"));
    }
}

int TReport::Run()
{
    FTarget = Widen(FState["target"]);
    if (FTarget.empty()) {
        FChecks.Check(nullptr, false, "the walk recorded no target folder (it stopped before the Options page)");
        return FChecks.Finish("report");
    }
    if (FArgs.Cancel) {
        NothingStayed();
    } else {
        Files();
        Copy();
        BuiltIn();
        SystemFiles();
        Shortcuts();
        Registry();
    }
    Leftovers();
    return FChecks.Finish("report");
}

} // namespace

int Report(const TDemoArgs& args)
{
    TReport report(args);
    return report.Run();
}
