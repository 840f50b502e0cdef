// The CD's copies of the programs that the installer writes from its own resources: a real program of its own
// bytes, so that an installed copy that came from the CD rather than from the resources is told apart.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring text = std::wstring(path) +
                              L"\n\nTo kopia z płyty; instalator zapisuje ten program ze swoich zasobów.\n"
                              L"Copie du disque ; le programme d'installation écrit ce programme depuis ses ressources.";
    MessageBoxW(nullptr, text.c_str(), L"Werbfranko", MB_OK | MB_ICONINFORMATION);
    return 0;
}
