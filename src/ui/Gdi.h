// Small owners of GDI objects and device contexts, and the checks every Win32 call of the layer goes through.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

// Throws std::system_error with GetLastError() when a call the layer cannot do without has failed.
void RequireWin32(bool ok, const char* what);
// Reports a failed call that leaves the program usable (a repaint, a move) to the debugger output.
void VerifyWin32(bool ok, const char* what);

// Owns one HBITMAP, HFONT, HBRUSH, HPEN or HRGN and deletes it with DeleteObject.
template <class H>
class TGdiObject {
public:
    TGdiObject() = default;
    explicit TGdiObject(H h) : FHandle(h) {}
    TGdiObject(TGdiObject&& o) noexcept : FHandle(std::exchange(o.FHandle, nullptr)) {}
    TGdiObject& operator=(TGdiObject&& o) noexcept
    {
        if (this != &o) Reset(std::exchange(o.FHandle, nullptr));
        return *this;
    }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    ~TGdiObject() { Reset(); }

    H Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }
    void Reset(H h = nullptr)
    {
        if (FHandle) DeleteObject(FHandle);
        FHandle = h;
    }

private:
    H FHandle = nullptr;
};

// A 32-bit top-down DIB section whose pixels (0xAARRGGBB, premultiplied alpha) the program writes itself.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height);  // all pixels transparent black
    TBitmap(TBitmap&&) noexcept = default;
    TBitmap& operator=(TBitmap&&) noexcept = default;

    HBITMAP Handle() const { return FHandle.Get(); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return !FHandle; }
    std::uint32_t* Pixels() { return FPixels; }
    const std::uint32_t* Pixels() const { return FPixels; }
    // Call after writing Pixels() directly and before GDI draws the bitmap.
    static void Flush() { GdiFlush(); }

private:
    TGdiObject<HBITMAP> FHandle;
    int FWidth = 0;
    int FHeight = 0;
    std::uint32_t* FPixels = nullptr;
};

// GetDC / ReleaseDC of a window, or of the screen when the window is null.
class TWindowDC {
public:
    explicit TWindowDC(HWND hwnd);
    ~TWindowDC();
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    HDC Get() const { return FDC; }

private:
    HWND FWindow;
    HDC FDC;
};

// BeginPaint / EndPaint inside WM_PAINT.
class TPaintDC {
public:
    explicit TPaintDC(HWND hwnd);
    ~TPaintDC();
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;
    HDC Get() const { return FDC; }
    const RECT& Dirty() const { return FPaint.rcPaint; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDC;
};

// A memory DC compatible with another one; deleted with the object.
class TMemoryDC {
public:
    explicit TMemoryDC(HDC compatibleWith);
    ~TMemoryDC();
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    HDC Get() const { return FDC; }

private:
    HDC FDC;
};

// Selects an object into a DC and puts the previous one back.
class TSelectObject {
public:
    TSelectObject(HDC dc, HGDIOBJ obj) : FDC(dc), FOld(obj ? SelectObject(dc, obj) : nullptr) {}
    ~TSelectObject()
    {
        if (FOld) SelectObject(FDC, FOld);
    }
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;

private:
    HDC FDC;
    HGDIOBJ FOld;
};
