// The demo's user, a console program under Wine: "walk" goes through the installer's wizard, "report" says
// what it installed, "uninstall" removes it through the uninstall entry and shows that it is gone, "silent" and
// "silent-uninstall" do both as an administrator's script does, "before"
// only notes what the report compares with (when a person does the walking). Exit status 1 when an expected
// check failed, 2 on a bad command line.
#include <windows.h>

#include <objbase.h>

#include <string>

#include "Desktop.h"
#include "Stages.h"
#include "install/ProductView.h"
#include "install/Produkt.h"
#include "ui/Unicode.h"

namespace {

const char kUsage[] =
    "usage: demo_driver walk|report|uninstall|silent|silent-uninstall|before --lang pl|fr --state FILE [--shots] [--expect \"FEATURES\"] "
    "[--samples FOLDER] [--cancel]";

} // namespace

bool WriteState(const std::wstring& path, const TState& state)
{
    std::string text;
    for (const auto& [key, value] : state) text += key + "=" + value + "\n";
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(h);
    return ok;
}

TState StateBefore(TJezyk jezyk)
{
    TState state;
    state["language"] = jezyk == jzFrancuski ? "fr" : "pl";
    // The installer proposes the program-files folder of the 32-bit view: the product is a 32-bit program.
    const std::wstring programFiles = ProductProgramFiles();
    state["target"] = (programFiles.empty() ? std::string("C:") : Narrow(programFiles)) + "\\" +
                      OpisProduktu(1)->NazwaKatalogu;
    const std::wstring system = ProductSystemFolder();
    for (const TSystemFile& s : kSystemFiles) {
        state[Narrow(s.Name) + " existed"] = FileExists(Join(system, s.Name)) ? "1" : "0";
        state[Narrow(s.Name) + " version"] = FileVersionOf(Join(system, s.Name));
    }
    return state;
}

TState ReadState(const std::wstring& path)
{
    TState state;
    const auto text = ReadWholeFile(path);
    if (!text) return state;
    size_t from = 0;
    while (from < text->size()) {
        size_t end = text->find('\n', from);
        if (end == std::string::npos) end = text->size();
        const std::string line = text->substr(from, end - from);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) state[line.substr(0, eq)] = line.substr(eq + 1);
        from = end + 1;
    }
    return state;
}

int wmain(int argc, wchar_t** argv)
{
    // Window rectangles in the pixels of the screen, as the screenshots crop them, at every DPI.
    SetProcessDPIAware();
    if (argc < 2) {
        Print(kUsage);
        return 2;
    }
    const std::wstring stage = argv[1];
    TDemoArgs args;
    for (int i = 2; i < argc; ++i) {
        const std::wstring a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == L"--shots") {
            args.Shots = true;
        } else if (a == L"--cancel") {
            args.Cancel = true;
        } else if (a == L"--lang" && hasValue) {
            const std::wstring v = argv[++i];
            if (v != L"pl" && v != L"fr") {
                Print(kUsage);
                return 2;
            }
            args.Jezyk = v == L"fr" ? jzFrancuski : jzPolski;
        } else if (a == L"--state" && hasValue) {
            args.State = argv[++i];
        } else if (a == L"--expect" && hasValue) {
            args.Expect = Narrow(argv[++i]);
        } else if (a == L"--samples" && hasValue) {
            args.Samples = argv[++i];
        } else {
            Print(kUsage);
            return 2;
        }
    }
    if (stage == L"before") return WriteState(args.State, StateBefore(args.Jezyk)) ? 0 : 1;
    if (stage != L"walk" && stage != L"report" && stage != L"uninstall" && stage != L"silent" &&
        stage != L"silent-uninstall") {
        Print(kUsage);
        return 2;
    }
    // The report reads shell links through COM.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = stage == L"walk"               ? Walk(args)
                       : stage == L"report"           ? Report(args)
                       : stage == L"silent"           ? Silent(args)
                       : stage == L"silent-uninstall" ? UninstallSilently(args)
                                                      : Uninstall(args);
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
