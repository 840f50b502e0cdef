// The GDI owners and the result checks of the widget layer.
#include "ui/Gdi.h"

#include <string>
#include <system_error>

void RequireWin32(bool ok, const char* what)
{
    if (ok) return;
    const DWORD err = GetLastError();
    throw std::system_error(static_cast<int>(err), std::system_category(), what);
}

void VerifyWin32(bool ok, const char* what)
{
    if (ok) return;
    const DWORD err = GetLastError();
    std::string line = "werb_ui: ";
    line += what;
    line += " failed, error ";
    line += std::to_string(err);
    line += '\n';
    OutputDebugStringA(line.c_str());
}

TBitmap::TBitmap(int width, int height)
{
    RequireWin32(width > 0 && height > 0, "TBitmap: size");
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down: row 0 is the top row
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    RequireWin32(h && bits, "CreateDIBSection");
    FHandle.Reset(h);
    FWidth = width;
    FHeight = height;
    FPixels = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) FPixels[i] = 0;
}

TWindowDC::TWindowDC(HWND hwnd) : FWindow(hwnd), FDC(GetDC(hwnd))
{
    RequireWin32(FDC != nullptr, "GetDC");
}

TWindowDC::~TWindowDC()
{
    ReleaseDC(FWindow, FDC);
}

TPaintDC::TPaintDC(HWND hwnd) : FWindow(hwnd), FDC(BeginPaint(hwnd, &FPaint))
{
    RequireWin32(FDC != nullptr, "BeginPaint");
}

TPaintDC::~TPaintDC()
{
    EndPaint(FWindow, &FPaint);
}

TMemoryDC::TMemoryDC(HDC compatibleWith) : FDC(CreateCompatibleDC(compatibleWith))
{
    RequireWin32(FDC != nullptr, "CreateCompatibleDC");
}

TMemoryDC::~TMemoryDC()
{
    DeleteDC(FDC);
}
