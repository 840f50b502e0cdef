// The installer's common controls, loaded on first use from the system folder rather than imported.
// Imported, they come with the process and load uxtheme.dll by bare name while the process starts: from the
// program's folder first, which for the copy is the temporary folder where anyone can leave a DLL, and before
// any code of ours can restrict the search. Each function the installer calls takes the import's place (the
// __imp_ pointer its callers call through), so the rest of the program calls them as declared.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "ui/SystemLibrary.h"

namespace {

HMODULE CommonControls()
{
    static const HMODULE module = [] {
        // The controls take uxtheme by bare name; already loaded, it is not looked for.
        const std::wstring uxtheme = SystemFolderFile(L"uxtheme.dll");
        if (!uxtheme.empty()) LoadLibraryW(uxtheme.c_str());
        // The manifest's side-by-side version 6 is chosen before any folder is searched.
        HMODULE m = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        // Windows 7 without the update that knows the flag: the side-by-side store still comes first.
        if (!m && GetLastError() == ERROR_INVALID_PARAMETER) m = LoadLibraryW(L"comctl32.dll");
        return m;
    }();
    return module;
}

template <typename F>
F Late(const char* name)
{
    const HMODULE m = CommonControls();
    return m ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(m, name))) : nullptr;
}

// Defined forwards to the loaded function Name; without the library it fails as that function reports failure.
#define WERB_LATE(Result, Defined, Name, Params, Args, Failed)             \
    Result WINAPI Defined Params                                           \
    {                                                                      \
        using F = Result(WINAPI*) Params;                                  \
        static const auto f = Late<F>(#Name);                              \
        return f ? f Args : Failed;                                        \
    }

// Declared with the import attribute: their callers call through the import pointers below.
WERB_LATE(BOOL, LateInitCommonControlsEx, InitCommonControlsEx, (const INITCOMMONCONTROLSEX* a), (a), FALSE)
WERB_LATE(HIMAGELIST, LateImageList_Create, ImageList_Create, (int a, int b, UINT c, int d, int e), (a, b, c, d, e),
          nullptr)
WERB_LATE(BOOL, LateImageList_Destroy, ImageList_Destroy, (HIMAGELIST a), (a), FALSE)
WERB_LATE(int, LateImageList_Add, ImageList_Add, (HIMAGELIST a, HBITMAP b, HBITMAP c), (a, b, c), -1)
WERB_LATE(int, LateImageList_GetImageCount, ImageList_GetImageCount, (HIMAGELIST a), (a), 0)

} // namespace

// Declared without it: their callers call them by name, and these take the place of the import thunks.
WERB_LATE(BOOL, SetWindowSubclass, SetWindowSubclass, (HWND a, SUBCLASSPROC b, UINT_PTR c, DWORD_PTR d),
          (a, b, c, d), FALSE)
WERB_LATE(BOOL, RemoveWindowSubclass, RemoveWindowSubclass, (HWND a, SUBCLASSPROC b, UINT_PTR c), (a, b, c), FALSE)
WERB_LATE(LRESULT, DefSubclassProc, DefSubclassProc, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d),
          DefWindowProcW(a, b, c, d))

#undef WERB_LATE

// The import pointers, named as the linker knows them: on x86 with the leading underscore and the stdcall
// argument bytes after the @, on x86-64 plain.
#if defined(__i386__)
#define WERB_IMPORT_SYMBOL(Name, Bytes) "__imp__" #Name "@" #Bytes
#else
#define WERB_IMPORT_SYMBOL(Name, Bytes) "__imp_" #Name
#endif
#define WERB_IMPORT(Name, Defined, Bytes)                                                       \
    extern "C" void* const werb_imp_##Name __asm__(WERB_IMPORT_SYMBOL(Name, Bytes)) =        \
        reinterpret_cast<void*>(&Defined);

WERB_IMPORT(InitCommonControlsEx, LateInitCommonControlsEx, 4)
WERB_IMPORT(ImageList_Create, LateImageList_Create, 20)
WERB_IMPORT(ImageList_Destroy, LateImageList_Destroy, 4)
WERB_IMPORT(ImageList_Add, LateImageList_Add, 12)
WERB_IMPORT(ImageList_GetImageCount, LateImageList_GetImageCount, 4)
WERB_IMPORT(SetWindowSubclass, SetWindowSubclass, 16)
WERB_IMPORT(RemoveWindowSubclass, RemoveWindowSubclass, 12)
WERB_IMPORT(DefSubclassProc, DefSubclassProc, 16)

#undef WERB_IMPORT
#undef WERB_IMPORT_SYMBOL
