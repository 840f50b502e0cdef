/* A DLL planted where a program might look for a system DLL: loading it leaves a marker named after the file
   in C:\werb-canary, holding the path of the program that loaded it. It does nothing else. */
#include <windows.h>

static void LeaveMarker(HINSTANCE self)
{
    wchar_t me[MAX_PATH], program[MAX_PATH], marker[MAX_PATH + 32];
    const wchar_t* name = me;
    DWORD n = GetModuleFileNameW(self, me, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) lstrcpyW(me, L"unnamed.dll");
    for (const wchar_t* p = me; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    CreateDirectoryW(L"C:\\werb-canary", NULL);
    lstrcpyW(marker, L"C:\\werb-canary\\");
    lstrcatW(marker, name);
    lstrcatW(marker, L".loaded");
    HANDLE h = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return;
    n = GetModuleFileNameW(NULL, program, MAX_PATH);
    DWORD written = 0;
    if (n > 0 && n < MAX_PATH) WriteFile(h, program, n * sizeof(wchar_t), &written, NULL);
    CloseHandle(h);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
    return TRUE;
}
