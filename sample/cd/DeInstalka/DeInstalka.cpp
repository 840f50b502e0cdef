// Stand-in for the uninstaller that the uninstall entry and the "Deinstalator" shortcut start: it only says so.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    MessageBoxW(nullptr,
                L"Deinstalator programu Werbfranko nie jest jeszcze gotowy: usuń katalog programu ręcznie.\n\n"
                L"Le programme de désinstallation de Werbfranko n'est pas encore prêt : supprimez le dossier "
                L"du logiciel à la main.",
                L"Werbfranko - Deinstalator", MB_OK | MB_ICONINFORMATION);
    return 0;
}
