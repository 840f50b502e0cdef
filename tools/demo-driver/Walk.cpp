// The walk: a user's way through the installer started from D:, pressing the real buttons of each page.
#include <windows.h>

#include <algorithm>

#include "Checks.h"
#include "Desktop.h"
#include "Stages.h"
#include "install/Produkt.h"
#include "texts/Format.h"
#include "ui/Unicode.h"

namespace {

const wchar_t kForm[] = L"WerbForm";
const wchar_t kButton[] = L"Button";
const wchar_t kLabel[] = L"WerbLabel";

class TWalk {
public:
    TWalk(const TDemoArgs& args) : FArgs(args), FChecks(args.Expect) {}
    int Run();

private:
    std::string T(int numer) const { return PobierzTekst(FArgs.Jezyk, numer); }
    std::string Tytul() const { return OpisProduktu(1)->Tytul; }
    void Shot(const char* name, HWND window);
    HWND WaitForForm(const std::string& caption);
    HWND WaitForChild(HWND top, const wchar_t* cls, const std::string& text);
    bool Press(HWND top, const std::string& caption);

    bool CdDialog();
    bool Intro();
    bool Licence();
    bool Options();
    bool Installation();
    void CancelAndConfirm();
    void NoteTemp(const char* when);

    const TDemoArgs& FArgs;
    TChecks FChecks;
    TState FState;
    HWND FMain = nullptr;
    DWORD FPid = 0;
};

void TWalk::Shot(const char* name, HWND window)
{
    Screenshot(FArgs.Shots, name, window);
}

HWND TWalk::WaitForForm(const std::string& caption)
{
    HWND found = nullptr;
    WaitUntil([&] {
        auto forms = TopLevel(kForm, &caption);
        found = forms.empty() ? nullptr : forms.front();
        return found != nullptr;
    });
    return found;
}

HWND TWalk::WaitForChild(HWND top, const wchar_t* cls, const std::string& text)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = VisibleChild(top, cls, text)) != nullptr; });
    return found;
}

bool TWalk::Press(HWND top, const std::string& caption)
{
    HWND b = VisibleChild(top, kButton, caption);
    if (b) Click(b);
    return FChecks.Check(nullptr, b != nullptr, "pressed \"" + caption + "\"");
}

// The names of a folder's entries that match the pattern, each after a space: its files, or its folders.
std::string EntriesOf(const std::wstring& folder, const wchar_t* pattern, bool folders)
{
    std::string names;
    WIN32_FIND_DATAW f{};
    HANDLE h = FindFirstFileW(Join(folder, pattern).c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (((f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders) names += " " + Narrow(f.cFileName);
    } while (FindNextFileW(h, &f));
    FindClose(h);
    return names;
}

void TWalk::NoteTemp(const char* when)
{
    wchar_t buf[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buf);
    std::string names = EntriesOf(buf, L"*", false);
    // The copy and its batch file live in a folder of their own: its name, then what it holds.
    const std::string folders = EntriesOf(buf, RelaunchFolders().c_str(), true);
    for (size_t at = 1; at < folders.size();) {
        const size_t end = std::min(folders.find(' ', at), folders.size());
        const std::string folder = folders.substr(at, end - at);
        const std::string inside = EntriesOf(Join(buf, Widen(folder)), L"*", false);
        names += " " + folder + "\\(" + (inside.empty() ? "empty" : inside.substr(1)) + ")";
        at = end + 1;
    }
    FChecks.Note(std::string("%TEMP% ") + when + ":" + (names.empty() ? " (empty)" : names));
}

bool TWalk::CdDialog()
{
    Print("== the CD dialog");
    const std::string caption = Format(T(txtCdTitle), {Tytul()});
    const std::string other = Format(PobierzTekst(FArgs.Jezyk == jzPolski ? jzFrancuski : jzPolski, txtCdTitle),
                                     {Tytul()});
    HWND cd = nullptr;
    WaitUntil([&] {
        for (const std::string* c : {&caption, &other}) {
            auto forms = TopLevel(kForm, c);
            if (!forms.empty()) cd = forms.front();
        }
        return cd != nullptr;
    });
    if (!FChecks.Check(nullptr, cd != nullptr, "the CD dialog appears")) return false;
    const std::string seen = TextOf(cd);
    FChecks.Check(nullptr, seen == caption,
                  "its caption is \"" + caption + "\"" + (seen == caption ? "" : " (shown: \"" + seen + "\")"));

    // The dialog belongs to the copy in %TEMP%: the CD instance has handed over and ended.
    FPid = ProcessOf(cd);
    const std::wstring image = LongPath(ImageOfProcess(FPid));
    std::wstring name;
    FChecks.Check(nullptr, InRelaunchFolder(image, &name) && SamePath(name, L"instal.exe"),
                  "the wizard runs from the temporary copy in a folder of its own " + Narrow(image));
    bool cdEnded = true;
    for (DWORD pid : ProcessesNamed(L"instalator.exe")) cdEnded = WaitForProcessEnd(pid) && cdEnded;
    FChecks.Check(nullptr, cdEnded, "D:\\instalator.exe has ended after starting its copy");
    NoteTemp("while the wizard runs");

    HWND combo = nullptr;
    for (HWND c : VisibleChildren(cd, L"ComboBox")) combo = c;
    const std::string drive = combo ? ControlText(combo) : std::string();
    FChecks.Check(nullptr, drive == "D:\\", "the drive list offers D:\\ (selected: \"" + drive + "\")");

    Shot("cd-dialog", cd);
    return Press(cd, T(txtOK));
}

bool TWalk::Intro()
{
    Print("== the Intro page");
    const std::string caption = Format(T(txtInstallerTitle), {Tytul()});
    FMain = WaitForForm(caption);
    if (!FChecks.Check(nullptr, FMain != nullptr, "the wizard's window \"" + caption + "\" appears")) return false;
    const std::string welcome = Format(T(txtWelcome), {Tytul(), Tytul()});
    HWND label = WaitForChild(FMain, kLabel, welcome);
    if (!FChecks.Check(nullptr, label != nullptr, "the Intro page shows the welcome text")) return false;
    Shot("intro", FMain);
    return Press(FMain, T(txtNext));
}

// The licence file the page must show: the language's own, else the Polish one; decoded with its code page.
std::string ExpectedLicence(TJezyk jezyk)
{
    std::wstring file = jezyk == jzFrancuski ? L"D:\\umowafr.txt" : L"D:\\umowapol.txt";
    UINT codePage = jezyk == jzFrancuski ? 1252 : 1250;
    if (!FileExists(file)) {
        file = L"D:\\umowapol.txt";
        codePage = 1250;
    }
    const auto bytes = ReadWholeFile(file);
    if (!bytes || bytes->empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, bytes->data(), static_cast<int>(bytes->size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes->data(), static_cast<int>(bytes->size()), wide.data(), n);
    return Narrow(wide);
}

// Line ends as LF, without the trailing ones: the control and the file end lines differently.
std::string Lines(std::string s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            out += s[i];
        }
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string FirstDifference(const std::string& want, const std::string& got)
{
    if (got.empty()) return "the control is empty";
    size_t line = 1, start = 0, i = 0;
    for (; i < want.size() && i < got.size() && want[i] == got[i]; ++i)
        if (want[i] == '\n') {
            ++line;
            start = i + 1;
        }
    const auto lineAt = [&](const std::string& s) { return s.substr(start, s.find('\n', start) - start); };
    return "line " + std::to_string(line) + " differs: wanted \"" + lineAt(want) + "\", shown \"" + lineAt(got) +
           "\"";
}

bool TWalk::Licence()
{
    Print("== the Licence page");
    HWND accept = WaitForChild(FMain, kButton, T(txtAcceptLicence));
    if (!FChecks.Check(nullptr, accept != nullptr, "the Licence page shows \"" + T(txtAcceptLicence) + "\""))
        return false;
    HWND next = VisibleChild(FMain, kButton, T(txtNext));
    // The page's controls may show a moment before its buttons are set: wait for that, then check.
    WaitUntil([&] { return next && !IsWindowEnabled(next); }, 5000);
    FChecks.Check(nullptr, next && !IsWindowEnabled(next), "Next waits for the agreement to be accepted");

    HWND edit = nullptr;
    for (HWND e : VisibleChildren(FMain, L"RICHEDIT50W")) edit = e;
    const std::string want = Lines(ExpectedLicence(FArgs.Jezyk));
    const std::string shown = edit ? Lines(ControlText(edit)) : std::string();
    FChecks.Check("licence", !want.empty() && shown == want,
                  want.empty() ? std::string("the CD has no licence file to show")
                  : shown == want ? "the page shows the CD's licence, letters right: \"" +
                                        want.substr(0, want.find('\n')) + "\""
                                  : "the page shows the CD's licence: " + FirstDifference(want, shown));

    Click(accept);
    const bool enabled = WaitUntil([&] { return Checked(accept) && next && IsWindowEnabled(next); });
    FChecks.Check(nullptr, enabled, "accepting the agreement enables Next");
    Shot("licence", FMain);
    return Press(FMain, T(txtNext));
}

// The labels whose text starts as the template does before its "%s".
std::string LabelLike(HWND top, const std::string& templ)
{
    const std::string head = templ.substr(0, templ.find('%'));
    for (HWND l : VisibleChildren(top, kLabel)) {
        const std::string text = TextOf(l);
        if (!head.empty() && text.rfind(head, 0) == 0) return text;
    }
    return {};
}

bool TWalk::Options()
{
    Print("== the Options page");
    HWND change = WaitForChild(FMain, kButton, T(txtChangeFolder));
    if (!FChecks.Check(nullptr, change != nullptr, "the Options page shows \"" + T(txtChangeFolder) + "\""))
        return false;
    const std::string target = FState["target"];
    FChecks.Check(nullptr, VisibleChild(FMain, kLabel, target) != nullptr, "the proposed folder is " + target);
    FChecks.Note(LabelLike(FMain, T(txtFreeSpace)) + "; " + LabelLike(FMain, T(txtRequiredSpace)));
    Shot("options", FMain);

    // The folder browser, opened and cancelled: the folder stays.
    Click(change);
    HWND browser = WaitForForm(T(txtSelectDirectory));
    if (FChecks.Check(nullptr, browser != nullptr, "\"" + T(txtChangeFolder) + "\" opens the folder browser")) {
        Shot("browser", browser);
        Press(browser, T(txtCancel));
        FChecks.Check(nullptr, WaitUntil([&] { return !IsWindowVisible(browser); }), "Cancel closes the browser");
        FChecks.Check(nullptr, WaitForChild(FMain, kLabel, target) != nullptr, "the folder is still " + target);
    }
    return Press(FMain, T(txtNext));
}

bool TWalk::Installation()
{
    Print("== the Installation and End pages");
    const std::string installing = Format(T(txtInstalling), {Tytul()});
    bool seen = false;
    std::string stray;
    HWND finish = nullptr;
    WaitUntil(
        [&] {
            if (!seen && VisibleChild(FMain, kLabel, installing)) {
                seen = true;
                Shot("install", FMain);
                if (FArgs.Cancel) CancelAndConfirm();
            }
            // A question or message of the installer now would wait for a user the walk does not play.
            for (HWND f : TopLevel(kForm))
                if (f != FMain && ProcessOf(f) == FPid) {
                    stray = TextOf(f);
                    for (HWND l : VisibleChildren(f, kLabel)) stray += " / " + TextOf(l);
                }
            return !stray.empty() || (finish = VisibleChild(FMain, kButton, T(txtFinish))) != nullptr;
        },
        600000);
    FChecks.Check(nullptr, stray.empty(), stray.empty() ? "no dialog interrupts the installation"
                                                        : "a dialog interrupts the installation: " + stray);
    FChecks.Note(seen ? "the Installation page was shown"
                      : "the Installation page passed too fast to be seen (or was not shown)");
    if (!FChecks.Check(nullptr, finish != nullptr, "the End page is reached (\"" + T(txtFinish) + "\")"))
        return false;

    std::string outcome = "none of the End page texts";
    bool ok = false;
    for (auto [numer, name] : {std::pair{txtDoneOk, "success"}, std::pair{txtDoneError, "error"},
                               std::pair{txtDoneAborted, "cancelled"}})
        if (VisibleChild(FMain, kLabel, T(numer))) {
            outcome = name;
            ok = numer == txtDoneOk;
        }
    if (FArgs.Cancel)
        FChecks.Check(nullptr, outcome == "cancelled",
                      "the End page reports the cancellation (it shows: " + outcome + ")");
    else
        FChecks.Check("success", ok, "the End page reports success (it shows: " + outcome + ")");
    FState["outcome"] = outcome;
    Shot("end", FMain);

    Click(finish);
    FChecks.Check(nullptr, WaitUntil([&] { return !IsWindow(FMain); }), "Finish closes the wizard");
    FChecks.Check(nullptr, WaitForProcessEnd(FPid), "the wizard's process has ended");
    return true;
}

// Abort while the files are copied, then Yes to the question whether to stop: the run rolls back.
void TWalk::CancelAndConfirm()
{
    Press(FMain, T(txtAbort));
    HWND question = nullptr;
    const bool asked = WaitUntil([&] {
        for (HWND f : TopLevel(kForm))
            if (f != FMain && ProcessOf(f) == FPid && VisibleChild(f, kLabel, T(txtAskAbortInstall))) question = f;
        return question != nullptr;
    });
    if (!FChecks.Check(nullptr, asked, "Abort asks \"" + T(txtAskAbortInstall) + "\"")) return;
    Shot("cancel-question", question);
    Press(question, T(txtYes));
    FChecks.Check(nullptr, WaitUntil([&] { return !IsWindowVisible(question); }), "Yes closes the question");
}

int TWalk::Run()
{
    FState = StateBefore(FArgs.Jezyk);
    const bool walked = CdDialog() && Intro() && Licence() && Options() && Installation();
    FChecks.Check(nullptr, walked, "the walk went through every page");
    if (!FArgs.State.empty()) WriteState(FArgs.State, FState);
    return FChecks.Finish("walk");
}

} // namespace

int Walk(const TDemoArgs& args)
{
    TWalk walk(args);
    return walk.Run();
}
