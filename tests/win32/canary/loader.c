/* The hole the planting test must be able to see: a program that loads a DLL by its bare name, as a careless
   installer would. usage: loader NAME.dll; exit status 0 when something was loaded. */
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR line, int show)
{
    (void)instance;
    (void)previous;
    (void)show;
    return LoadLibraryW(line) ? 0 : 1;
}
