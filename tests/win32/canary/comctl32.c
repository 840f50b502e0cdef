/* The canary under the name of the common controls, with the functions the installer imports from them, so that
   the loader would take it for the real one and run its attach. Every function fails. */
#include <windows.h>

#define FAILS(name) __declspec(dllexport) int WINAPI name(void) { return 0; }
FAILS(DefSubclassProc)
FAILS(ImageList_Add)
FAILS(ImageList_Create)
FAILS(ImageList_Destroy)
FAILS(ImageList_GetImageCount)
FAILS(InitCommonControlsEx)
FAILS(RemoveWindowSubclass)
FAILS(SetWindowSubclass)
