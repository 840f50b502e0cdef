// The two stages of the demo's user: the walk through the wizard, and the report on what it installed.
#pragma once

#include <map>
#include <string>

#include "texts/untInstalTeksty.h"

struct TDemoArgs {
    TJezyk Jezyk = jzPolski;  // the language the wizard must start in (the locale's)
    std::wstring State;       // what the walk saw, for the report: key=value lines
    bool Shots = false;       // ask the demo script for a screenshot of every page ("@shot name", one reply line)
    std::string Expect;       // the features that must pass
    std::wstring Samples;     // the folder of the product's programs as packed into the installer
    bool Cancel = false;      // the user cancels the installation once it copies, and confirms: nothing may stay
};

using TState = std::map<std::string, std::string>;

// The shared system files and the version the installer requires of each: the walk notes what the system folder
// holds before, the report what it holds after.
struct TSystemFile {
    const wchar_t* Name;
    int Major, Minor;
};
inline constexpr TSystemFile kSystemFiles[] = {{L"comctl32.dll", 4, 72}, {L"comctl32.ocx", 5, 1}};

// What the report compares with, noted before the installation: the language, the proposed target folder, the
// system files as they are.
TState StateBefore(TJezyk jezyk);

int Walk(const TDemoArgs& args);
int Report(const TDemoArgs& args);
// The uninstallation through the uninstall entry's command line, the uninstaller's question and closing message
// answered, and a report that the product is gone.
int Uninstall(const TDemoArgs& args);

// The installation as an administrator's script runs it: /VERYSILENT from D: into another folder, no window,
// exit code 0, a log of every file. Its state file names that folder, for the report.
int Silent(const TDemoArgs& args);
// The uninstallation as a deployment tool runs it: the uninstall entry's "QuietUninstallString" with
// /SUPPRESSMSGBOXES, exit code 0, and the product gone.
int UninstallSilently(const TDemoArgs& args);

class TChecks;
// Runs a command line to its end, looking for a visible window of the product all the while (a failed check
// when windowless, else a note); its exit code in exitCode. False when it could not start.
bool RunUnattended(const std::wstring& commandLine, const char* feature, TChecks& checks, unsigned long& exitCode,
                   bool windowless);

bool WriteState(const std::wstring& path, const TState& state);
TState ReadState(const std::wstring& path);
