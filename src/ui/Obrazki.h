// Pictures the program draws itself: the wizard's side strip, the language flags and the tree-view images.
#pragma once

#include "ui/Gdi.h"

// The picture of the main form's left strip: a blue gradient with a geometric emblem; no text.
TBitmap MakeSideStrip(int width = 133, int height = 349);

enum class TFlag { Polish, English, German, French, Italian };
// A flag glyph for the language buttons, opaque, with a thin grey frame.
TBitmap MakeFlag(TFlag flag, int width = 22, int height = 14);
// The flag glyph of a language button for a DPI: the 22 x 14 design scaled.
inline auto FlagGlyph(TFlag flag)
{
    return [flag](int dpi) { return MakeFlag(flag, MulDiv(22, dpi, 96), MulDiv(14, dpi, 96)); };
}

enum class TTreeImage { Drive, Folder, OpenFolder };
// A folder-browser image with a transparent background (premultiplied alpha).
TBitmap MakeTreeImage(TTreeImage image, int size = 16);
