// The base of the widget layer: TControl (one C++ object per HWND), TFont, colours, align and anchors.
//
// Geometry is in design pixels (96 DPI) and scaled by the window's DPI at the Win32 boundary; text is
// UTF-8 and crosses into Win32 through the W functions.
//
// Binding and destruction order. A window of our own classes (forms, panels, labels, ...) is bound to its
// object at WM_NCCREATE through lpCreateParams; a common control is bound by SetWindowSubclass right after
// CreateWindowExW. Every leaf class's destructor calls DestroyHandle() first, which unbinds (removes the
// subclass or clears the pointer) and only then destroys the window, so no message reaches an object that
// is being torn down. When a parent window is destroyed first, each child sees WM_NCDESTROY, unbinds itself
// and forgets its handle, so its later destructor has nothing left to destroy.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Gdi.h"

class TForm;

// A COLORREF, or a system colour (COLOR_xxx) with the high bit set, as the design names them.
using TColor = DWORD;
inline constexpr TColor clSystemColor = 0x80000000u;
inline constexpr TColor clDefault = 0x20000000u;  // "use the parent's colour"
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
inline constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
inline constexpr TColor clBlack = RGB(0, 0, 0);
inline constexpr TColor clWhite = RGB(255, 255, 255);
inline constexpr TColor clRed = RGB(255, 0, 0);
inline constexpr TColor clNavy = RGB(0, 0, 128);

COLORREF ColorToRGB(TColor c);
// A solid brush of the colour, cached for the life of the program (never delete it).
HBRUSH BrushOf(TColor c);

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
enum TAlignment { taLeftJustify, taCenter, taRightJustify };
enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4 };

// Modal results, as buttons and ShowModal carry them.
inline constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                     mrNo = 7;

// DPI of a window (GetDpiForWindow where the system has it), else of the screen.
int DpiOf(HWND hwnd);
inline int ScaleBy(int design, int dpi) { return MulDiv(design, dpi, 96); }
inline int UnscaleBy(int physical, int dpi) { return MulDiv(physical, 96, dpi); }

// A font as a Delphi programmer knows it: Height < 0 is the character height in design pixels.
// It owns its HFONT, made on demand for a DPI, and tells its control when it changes.
class TFont {
public:
    TFont() = default;
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(std::string_view name);
    int Height() const { return FHeight; }
    void SetHeight(int height);
    BYTE Charset() const { return FCharset; }
    void SetCharset(BYTE charset);
    unsigned Style() const { return FStyle; }
    void SetStyle(unsigned styles);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    // Copies every attribute and notifies once.
    void Assign(const TFont& other);

    LOGFONTW LogFont(int dpi) const;
    HFONT Handle(int dpi) const;

private:
    friend class TControl;
    void Changed();
    void CopyQuietly(const TFont& other);

    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    BYTE FCharset = DEFAULT_CHARSET;
    unsigned FStyle = 0;
    TColor FColor = clWindowText;
    mutable TGdiObject<HFONT> FHandle;
    mutable TGdiObject<HFONT> FRetired;  // kept until the control has been given the new one
    mutable int FHandleDpi = 0;
    std::function<void()> FOnChange;
};

// The arguments every control takes, first in each control's argument struct (designated initialisers
// follow this order): position and size in design pixels, align, anchors, state and tab order.
#define WERB_CONTROL_ARGS                                        \
    int Left = 0, Top = 0, Width = 0, Height = 0;                \
    TAlign Align = alNone;                                       \
    TAnchors Anchors = akLeft | akTop;                           \
    bool Visible = true, Enabled = true;                         \
    int TabOrder = -1; /* -1: after the siblings created before */

struct TControlArgs {
    WERB_CONTROL_ARGS
};

template <class A>
TControlArgs CommonArgs(const A& a)
{
    return {a.Left, a.Top, a.Width, a.Height, a.Align, a.Anchors, a.Visible, a.Enabled, a.TabOrder};
}

class TControl {
public:
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;
    virtual ~TControl();

    HWND Handle() const { return FHandle; }
    TControl* Parent() const { return FParent; }
    TForm* ParentForm();
    const std::vector<TControl*>& Controls() const { return FChildren; }
    static TControl* FromHandle(HWND hwnd);

    std::string Caption() const;
    void SetCaption(std::string_view utf8);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible and enabled, and so are all its parents.
    bool CanFocus() const;
    void SetFocus();
    bool Focused() const;

    // Design pixels; a form reports its real window rectangle (screen coordinates).
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
    void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
    void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
    void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
    virtual void SetBounds(int left, int top, int width, int height);
    // The area children are placed in, design pixels.
    virtual int ClientWidth() const { return Width(); }
    virtual int ClientHeight() const { return Height(); }
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int w);  // 0: none

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign a);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors a);

    // Tab order is the z-order of the siblings: the first in tab order is on top.
    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const;
    void SetTabStop(bool stop);
    void BringToFront();
    void SendToBack();

    // Changing the font through this reference turns ParentFont off, as in Delphi.
    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool parentFont);

    // The colour a transparent child paints behind itself.
    virtual TColor BackgroundColor() const;
    void Invalidate();
    int Dpi() const;
    int Scale(int design) const { return ScaleBy(design, Dpi()); }
    int Unscale(int physical) const { return UnscaleBy(physical, Dpi()); }

    std::function<void()> OnClick;
    std::function<void(WORD& key)> OnKeyDown;
    std::function<void(WORD& key)> OnKeyUp;

protected:
    explicit TControl(TControl* parent);

    // Creates the child window at the design bounds. ownClass: one of our registered classes, bound at
    // WM_NCCREATE; otherwise a common control, subclassed.
    void CreateChild(const wchar_t* className, DWORD style, DWORD exStyle, std::string_view caption,
                     const TControlArgs& args, bool ownClass);
    // For top-level windows (forms): binds at WM_NCCREATE.
    void CreateTopLevel(const wchar_t* className, DWORD style, DWORD exStyle, std::string_view caption,
                        int x, int y, int width, int height);
    // Unbinds, then destroys the window. The first call of every leaf class's destructor.
    void DestroyHandle();

    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
    // WM_COMMAND and WM_NOTIFY of this control, reflected from its parent.
    virtual bool Command(WORD /*code*/) { return false; }
    virtual bool Notify(NMHDR* /*nm*/, LRESULT& /*result*/) { return false; }
    // After the font handle was given to the window.
    virtual void FontApplied() {}
    virtual void EnabledChanged() {}
    // The physical window height for a design height (a combo box adds its drop-down list).
    virtual int WindowHeightFor(int designTop, int designHeight) const;
    // The part of the client area aligned children share (a panel leaves out its bevels and border).
    virtual RECT AlignRect() const;

    // WM_PAINT (through BeginPaint) or WM_PRINTCLIENT (the caller's DC) of a control that paints itself.
    template <class F>
    void PaintMessage(UINT msg, WPARAM wp, F paint)
    {
        if (msg == WM_PRINTCLIENT) {
            paint(reinterpret_cast<HDC>(wp));
            return;
        }
        TPaintDC dc(FHandle);
        paint(dc.Get());
    }
    // Runs a callback; an exception ends there, because it must not unwind through user32.
    static void Fire(const std::function<void()>& f);
    void ApplyFont();
    void Realign();
    // Moves without recording new anchor distances (align and anchor use it).
    void PlaceAt(int left, int top, int width, int height);
    void ApplyPlacement();
    void RescaleTree();

    HWND FHandle = nullptr;
    TControl* FParent = nullptr;
    std::vector<TControl*> FChildren;  // in creation order
    std::vector<TControl*> FTabList;   // in z-order: front first
    TFont FFont;
    bool FParentFont = true;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    int FMaxWidth = 0;
    TAlign FAlign = alNone;
    TAnchors FAnchors = akLeft | akTop;
    int FAnchorRight = 0, FAnchorBottom = 0;  // distance to the parent's right and bottom edge
    bool FSubclassed = false;

private:
    friend LRESULT CALLBACK OwnClassProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT SafeWndProc(UINT msg, WPARAM wp, LPARAM lp);
    void Bind(HWND hwnd);
    void Unbind();
    void RecordAnchors();
    void ApplyAnchors();
    void ApplyZOrder();
    void RemoveFromParent();
};

// Registers one of the layer's window classes once; returns its name.
const wchar_t* OwnWindowClass(const wchar_t* name, HCURSOR cursor = nullptr);
HINSTANCE ModuleInstance();
