/* Stands at C:\Program.exe, where an unquoted "C:\Program Files\..." command line would start it: it only leaves
   a marker, C:\werb-canary\Program.exe.ran, holding the command line it was given. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show)
{
    (void)instance;
    (void)previous;
    (void)line;
    (void)show;
    CreateDirectoryW(L"C:\\werb-canary", NULL);
    HANDLE h = CreateFileW(L"C:\\werb-canary\\Program.exe.ran", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return 1;
    const wchar_t* commandLine = GetCommandLineW();
    DWORD written = 0;
    WriteFile(h, commandLine, lstrlenW(commandLine) * sizeof(wchar_t), &written, NULL);
    CloseHandle(h);
    return 0;
}
