// What the demo's user sees and touches: windows found by class and caption, their texts, clicks, processes.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

// UTF-8 to stdout as it is (a pipe or a file under the demo script); each call one write.
void Print(const std::string& line);

std::wstring ClassOf(HWND w);
// The window's text: its caption as the system keeps it, or WM_GETTEXT for the controls that keep their own
// (the rich edit); UTF-8.
std::string TextOf(HWND w);
std::string ControlText(HWND w);
DWORD ProcessOf(HWND w);

// Visible top-level windows of a class, optionally with exactly this caption.
std::vector<HWND> TopLevel(const wchar_t* windowClass, const std::string* caption = nullptr);
// The first visible child (at any depth) of a class whose text is exactly this; nullptr when none.
HWND VisibleChild(HWND top, const wchar_t* windowClass, const std::string& text);
// Every visible child of a class, in z-order of their parents.
std::vector<HWND> VisibleChildren(HWND top, const wchar_t* windowClass);

// Polls until the condition holds; false when it did not within the limit (a hung installer, not a timing
// test: the limit is minutes). WERB_WAIT_SCALE=N in the environment makes every limit N times longer.
bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs = 180000);

// With shots: asks the demo script for a screenshot of the window ("@shot NAME X Y W H" on stdout) and waits
// for its answer line, so that the window stays as it is until the picture is taken.
void Screenshot(bool shots, const char* name, RECT area);
void Screenshot(bool shots, const char* name, HWND window);

// A click that returns at once: the installer may open a modal dialog or run a long step inside it.
void Click(HWND button);
// Ticked: the radio or check box shows its check mark.
bool Checked(HWND button);

// The full path of a process's image; empty when it cannot be opened.
std::wstring ImageOfProcess(DWORD pid);
// The processes whose image file name (no folder) is this, case ignored.
std::vector<DWORD> ProcessesNamed(const wchar_t* exeName);
// Waits until the process has ended; true at once when it no longer exists.
bool WaitForProcessEnd(DWORD pid, DWORD limitMs = 180000);

// Paths: case-insensitive comparison by the system's rules; a folder's long form; joining with "\".
bool SamePath(const std::wstring& a, const std::wstring& b);
std::wstring LongPath(const std::wstring& path);
std::wstring Join(const std::wstring& folder, const std::wstring& name);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
std::optional<std::string> ReadWholeFile(const std::wstring& path);

// The names in %TEMP% that match any of the patterns ("instal*.exe"), each after a space; empty when none.
std::string InTemp(std::initializer_list<const wchar_t*> patterns);
// The pattern of the folders the relaunch makes in %TEMP% for a copy and its batch file ("werb-*.tmp").
std::wstring RelaunchFolders();
// Whether a path names a file directly in such a folder of %TEMP%, and that file's name.
bool InRelaunchFolder(const std::wstring& path, std::wstring* name = nullptr);

// FileVersion of a file's first translation, UTF-8; empty when it has none.
std::string FileVersionOf(const std::wstring& path);
// Major and minor of a FileVersion text the way the installer reads them: the first two dot-separated fields,
// a field that is not a number counting 0.
std::pair<int, int> MajorMinor(const std::string& version);
