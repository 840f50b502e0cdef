// Panel, bevel, image and speed button: our own window classes with their painting and mouse handling.
#include "ui/ExtCtrls.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>

#include "ui/Unicode.h"

namespace {

// A Delphi Frame3D: one frame per width step, top-left in one colour and bottom-right in the other, then
// the rectangle shrinks by the width.
void Frame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width)
{
    for (int i = 0; i < width; ++i) {
        if (r.right - r.left < 2 || r.bottom - r.top < 2) return;
        HBRUSH tl = BrushOf(topLeft);
        HBRUSH br = BrushOf(bottomRight);
        RECT top{r.left, r.top, r.right - 1, r.top + 1};
        RECT left{r.left, r.top, r.left + 1, r.bottom - 1};
        RECT bottom{r.left, r.bottom - 1, r.right, r.bottom};
        RECT right{r.right - 1, r.top, r.right, r.bottom};
        FillRect(dc, &top, tl);
        FillRect(dc, &left, tl);
        FillRect(dc, &bottom, br);
        FillRect(dc, &right, br);
        InflateRect(&r, -1, -1);
    }
}

void BevelFrame(HDC dc, RECT& r, TPanelBevel bevel, int width)
{
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF sh = GetSysColor(COLOR_BTNSHADOW);
    if (bevel == bvRaised) Frame3D(dc, r, hi, sh, width);
    if (bevel == bvLowered) Frame3D(dc, r, sh, hi, width);
}

COLORREF Mix(COLORREF a, COLORREF b)
{
    return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2, (GetBValue(a) + GetBValue(b)) / 2);
}

// A disabled glyph: the picture's brightness, faded half-way towards the button face.
TBitmap GreyedCopy(const TBitmap& src, COLORREF face)
{
    TBitmap out(src.Width(), src.Height());
    const std::uint32_t* in = src.Pixels();
    std::uint32_t* px = out.Pixels();
    for (int i = 0; i < src.Width() * src.Height(); ++i) {
        const std::uint32_t p = in[i];
        const int lum = (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
        const int r = (lum + GetRValue(face)) / 2, g = (lum + GetGValue(face)) / 2, b = (lum + GetBValue(face)) / 2;
        px[i] = 0xFF000000u | (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
                static_cast<std::uint32_t>(b);
    }
    GdiFlush();
    return out;
}

} // namespace

// ---- TPanel ----

TPanel::TPanel(TControl& parent, const TPanelArgs& a) : TControl(&parent)
{
    FColor = a.Color;
    FBevelOuter = a.BevelOuter;
    FBevelInner = a.BevelInner;
    FBevelWidth = std::max(1, a.BevelWidth);
    FBorderWidth = std::max(0, a.BorderWidth);
    CreateChild(OwnWindowClass(L"WerbPanel"), WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, a.Caption, CommonArgs(a), true);
}

TPanel::~TPanel()
{
    DestroyHandle();
}

void TPanel::SetColor(TColor c)
{
    FColor = c;
    if (FHandle) RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TPanel::SetBevels(TPanelBevel outer, TPanelBevel inner)
{
    FBevelOuter = outer;
    FBevelInner = inner;
    Invalidate();
    Realign();
}

void TPanel::SetBorderWidth(int w)
{
    FBorderWidth = std::max(0, w);
    Invalidate();
    Realign();
}

RECT TPanel::AlignRect() const
{
    RECT r{0, 0, ClientWidth(), ClientHeight()};
    int inset = FBorderWidth;
    if (FBevelOuter != bvNone) inset += FBevelWidth;
    if (FBevelInner != bvNone) inset += FBevelWidth;
    InflateRect(&r, -inset, -inset);
    return r;
}

void TPanel::Paint(HDC dc)
{
    RECT r{};
    GetClientRect(FHandle, &r);
    const int bevel = Scale(FBevelWidth);
    BevelFrame(dc, r, FBevelOuter, bevel);
    InflateRect(&r, -Scale(FBorderWidth), -Scale(FBorderWidth));
    BevelFrame(dc, r, FBevelInner, bevel);
    const std::wstring text = WindowTextOf(FHandle);
    if (!text.empty()) {
        TSelectObject font(dc, FFont.Handle(Dpi()));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(FFont.Color()));
        DrawTextW(dc, text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

LRESULT TPanel::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r{};
        GetClientRect(FHandle, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, BrushOf(FColor));
        return 1;
    }
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintMessage(msg, wp, [this](HDC dc) { Paint(dc); });
        return 0;
    case WM_SIZE:
        Invalidate();  // the bevels move with the edges
        break;
    case WM_LBUTTONUP:
        Fire(OnClick);
        return 0;
    default:
        break;
    }
    return TControl::WndProc(msg, wp, lp);
}

// ---- TBevel ----

TBevel::TBevel(TControl& parent, const TBevelArgs& a) : TControl(&parent)
{
    FShape = a.Shape;
    FStyle = a.Style;
    CreateChild(OwnWindowClass(L"WerbBevel"), 0, 0, {}, CommonArgs(a), true);
}

TBevel::~TBevel()
{
    DestroyHandle();
}

void TBevel::Paint(HDC dc)
{
    RECT r{};
    GetClientRect(FHandle, &r);
    FillRect(dc, &r, BrushOf(BackgroundColor()));
    if (FShape == bsSpacer) return;
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF sh = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF first = (FStyle == bsLowered) ? sh : hi;
    const COLORREF second = (FStyle == bsLowered) ? hi : sh;
    auto line = [&](RECT l, COLORREF c) { FillRect(dc, &l, BrushOf(c)); };
    switch (FShape) {
    case bsBox: Frame3D(dc, r, first, second, 1); break;
    case bsFrame: {
        RECT outer = r;
        outer.right -= 1;
        outer.bottom -= 1;
        Frame3D(dc, outer, first, first, 1);
        RECT inner = r;
        inner.left += 1;
        inner.top += 1;
        Frame3D(dc, inner, second, second, 1);
        break;
    }
    case bsTopLine:
        line({r.left, r.top, r.right, r.top + 1}, first);
        line({r.left, r.top + 1, r.right, r.top + 2}, second);
        break;
    case bsBottomLine:
        line({r.left, r.bottom - 2, r.right, r.bottom - 1}, first);
        line({r.left, r.bottom - 1, r.right, r.bottom}, second);
        break;
    case bsLeftLine:
        line({r.left, r.top, r.left + 1, r.bottom}, first);
        line({r.left + 1, r.top, r.left + 2, r.bottom}, second);
        break;
    case bsRightLine:
        line({r.right - 2, r.top, r.right - 1, r.bottom}, first);
        line({r.right - 1, r.top, r.right, r.bottom}, second);
        break;
    case bsSpacer: break;
    }
}

LRESULT TBevel::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintMessage(msg, wp, [this](HDC dc) { Paint(dc); });
        return 0;
    default:
        return TControl::WndProc(msg, wp, lp);
    }
}

// ---- TImage ----

TImage::TImage(TControl& parent, const TImageArgs& a) : TControl(&parent)
{
    FStretch = a.Stretch;
    FCenter = a.Center;
    CreateChild(OwnWindowClass(L"WerbImage"), 0, 0, {}, CommonArgs(a), true);
}

TImage::~TImage()
{
    DestroyHandle();
}

void TImage::SetPicture(TBitmap picture)
{
    FPicture = std::move(picture);
    Invalidate();
}

void TImage::SetStretch(bool s)
{
    FStretch = s;
    Invalidate();
}

void TImage::Paint(HDC dc)
{
    RECT r{};
    GetClientRect(FHandle, &r);
    FillRect(dc, &r, BrushOf(BackgroundColor()));
    if (FPicture.Empty()) return;
    TMemoryDC mem(dc);
    TSelectObject bmp(mem.Get(), FPicture.Handle());
    if (FStretch) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        VerifyWin32(StretchBlt(dc, 0, 0, r.right, r.bottom, mem.Get(), 0, 0, FPicture.Width(), FPicture.Height(),
                               SRCCOPY) != FALSE,
                    "StretchBlt");
    } else {
        const int x = FCenter ? (r.right - FPicture.Width()) / 2 : 0;
        const int y = FCenter ? (r.bottom - FPicture.Height()) / 2 : 0;
        VerifyWin32(BitBlt(dc, x, y, FPicture.Width(), FPicture.Height(), mem.Get(), 0, 0, SRCCOPY) != FALSE,
                    "BitBlt");
    }
}

LRESULT TImage::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintMessage(msg, wp, [this](HDC dc) { Paint(dc); });
        return 0;
    case WM_LBUTTONUP:
        Fire(OnClick);
        return 0;
    default:
        return TControl::WndProc(msg, wp, lp);
    }
}

// ---- TSpeedButton ----

TSpeedButton::TSpeedButton(TControl& parent, const TSpeedButtonArgs& a) : TControl(&parent)
{
    FGroupIndex = a.GroupIndex;
    FAllowAllUp = a.AllowAllUp;
    FFlat = a.Flat;
    FDown = a.Down && a.GroupIndex != 0;
    CreateChild(OwnWindowClass(L"WerbSpeedButton"), 0, 0, a.Caption, CommonArgs(a), true);
}

TSpeedButton::~TSpeedButton()
{
    DestroyHandle();
}

void TSpeedButton::SetDown(bool down)
{
    if (FGroupIndex == 0) down = false;
    if (down == FDown) return;
    if (FDown && !FAllowAllUp) return;
    FDown = down;
    if (FDown && FParent) {
        for (TControl* c : FParent->Controls()) {
            auto* b = dynamic_cast<TSpeedButton*>(c);
            if (b && b != this && b->FGroupIndex == FGroupIndex && b->FDown) {
                b->FDown = false;
                b->Invalidate();
            }
        }
    }
    Invalidate();
}

void TSpeedButton::SetFlat(bool f)
{
    FFlat = f;
    Invalidate();
}

void TSpeedButton::SetGlyph(TBitmap glyph)
{
    FMakeGlyph = nullptr;
    FGlyph = std::move(glyph);
    Invalidate();
}

void TSpeedButton::SetGlyph(std::function<TBitmap(int dpi)> make)
{
    FMakeGlyph = std::move(make);
    FGlyphDpi = 0;
    Invalidate();
}

const TBitmap& TSpeedButton::Glyph() const
{
    if (FMakeGlyph && FGlyphDpi != Dpi()) {
        FGlyphDpi = Dpi();
        FGlyph = FMakeGlyph(FGlyphDpi);
    }
    return FGlyph;
}

void TSpeedButton::Click()
{
    if (!FHandle || !IsWindowEnabled(FHandle)) return;
    if (FGroupIndex != 0) {
        if (!FDown) {
            SetDown(true);
        } else if (FAllowAllUp) {
            SetDown(false);
        }
    }
    Fire(OnClick);
}

bool TSpeedButton::Inside(LPARAM lp) const
{
    RECT r{};
    GetClientRect(FHandle, &r);
    const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    return PtInRect(&r, pt) != FALSE;
}

void TSpeedButton::Paint(HDC dc)
{
    RECT r{};
    GetClientRect(FHandle, &r);
    const bool sunken = FDown || (FPressing && FPressedIn);
    const COLORREF face = ColorToRGB(BackgroundColor());
    FillRect(dc, &r, BrushOf(FDown ? Mix(face, GetSysColor(COLOR_BTNHIGHLIGHT)) : face));
    RECT edge = r;
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF sh = GetSysColor(COLOR_BTNSHADOW);
    if (sunken)
        Frame3D(dc, edge, sh, hi, 1);
    else if (!FFlat || FHot)
        Frame3D(dc, edge, hi, sh, 1);

    const int shift = sunken ? 1 : 0;
    const std::wstring text = WindowTextOf(FHandle);
    const TBitmap& image = Glyph();
    const int gw = image.Empty() ? 0 : image.Width();
    const int gh = image.Empty() ? 0 : image.Height();
    RECT glyph{};
    if (OnDrawGlyph) {
        glyph = r;
        InflateRect(&glyph, -2, -2);
        OffsetRect(&glyph, shift, shift);
        const std::function<void(HDC, const RECT&)>& draw = OnDrawGlyph;
        Fire([&] { draw(dc, glyph); });
    } else if (gw > 0) {
        const int x = text.empty() ? (r.right - gw) / 2 : 4;
        const int y = (r.bottom - gh) / 2;
        TMemoryDC mem(dc);
        if (IsWindowEnabled(FHandle)) {
            TSelectObject bmp(mem.Get(), image.Handle());
            BitBlt(dc, x + shift, y + shift, gw, gh, mem.Get(), 0, 0, SRCCOPY);
        } else {
            const TBitmap grey = GreyedCopy(image, face);
            TSelectObject bmp(mem.Get(), grey.Handle());
            BitBlt(dc, x, y, gw, gh, mem.Get(), 0, 0, SRCCOPY);
        }
        glyph = RECT{x, y, x + gw, y + gh};
    }
    if (!text.empty()) {
        RECT t = r;
        if (gw > 0) t.left = glyph.right + 4;
        OffsetRect(&t, shift, shift);
        TSelectObject font(dc, FFont.Handle(Dpi()));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, IsWindowEnabled(FHandle) ? ColorToRGB(FFont.Color()) : GetSysColor(COLOR_GRAYTEXT));
        DrawTextW(dc, text.c_str(), -1, &t, (gw > 0 ? DT_LEFT : DT_CENTER) | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

LRESULT TSpeedButton::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintMessage(msg, wp, [this](HDC dc) { Paint(dc); });
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!IsWindowEnabled(FHandle)) return 0;
        FPressing = true;
        FPressedIn = true;
        SetCapture(FHandle);
        Invalidate();
        return 0;
    case WM_MOUSEMOVE:
        if (FPressing) {
            const bool in = Inside(lp);
            if (in != FPressedIn) {
                FPressedIn = in;
                Invalidate();
            }
        } else if (!FHot && IsWindowEnabled(FHandle)) {
            FHot = true;
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, FHandle, 0};
            TrackMouseEvent(&tme);
            Invalidate();
        }
        return 0;
    case WM_MOUSELEAVE:
        FHot = false;
        Invalidate();
        return 0;
    case WM_LBUTTONUP: {
        if (!FPressing) return 0;
        const bool click = Inside(lp);
        FPressing = false;
        FPressedIn = false;
        ReleaseCapture();
        Invalidate();
        if (click) Click();
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (FPressing) {
            FPressing = false;
            FPressedIn = false;
            Invalidate();
        }
        return 0;
    default:
        return TControl::WndProc(msg, wp, lp);
    }
}
