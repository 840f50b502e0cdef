// Whether a window's captions are drawn whole: each control painted through WM_PRINT into a picture with a
// margin around it, its text's ink compared with the ink of the same text drawn freely in the same font.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A top-down 32-bit picture with its own memory device context.
class TPicture {
public:
    TPicture(int width, int height, COLORREF fill);
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    HDC Dc() const { return FDc; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    COLORREF At(int x, int y) const;

private:
    int FWidth, FHeight;
    HDC FDc = nullptr;
    HBITMAP FBitmap = nullptr;
    HGDIOBJ FOld = nullptr;
    std::uint32_t* FPixels = nullptr;
};

// The bounding box of the pixels that differ from a background by at least half the contrast of the text.
struct TInk {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom exclusive; empty when Right <= Left
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    int Width() const { return Empty() ? 0 : Right - Left; }
    int Height() const { return Empty() ? 0 : Bottom - Top; }
};

TInk InkIn(const TPicture& p, RECT area, COLORREF background);

// Every fault of one window and its visible descendants: a caption not drawn whole, ink beyond a control's
// edges, two visible siblings overlapping. Each line names the control by class, caption and rectangle.
std::vector<std::string> FitFaults(HWND window);
