// Whether a window's captions are drawn whole: each control painted through WM_PRINT into a picture with a
// margin around it, its text's ink compared with the ink of the same text drawn freely in the same font.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/Gdi.h"

// A top-down 32-bit picture filled with one colour, selected into a memory device context of its own.
class TPicture {
public:
    TPicture(int width, int height, COLORREF fill);

    HDC Dc() const { return FDc.Get(); }
    int Width() const { return FBitmap.Width(); }
    int Height() const { return FBitmap.Height(); }
    COLORREF At(int x, int y) const;

private:
    TBitmap FBitmap;
    TMemoryDC FDc{nullptr};
    TSelectObject FSelected{FDc.Get(), FBitmap.Handle()};
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
