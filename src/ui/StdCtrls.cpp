// The standard controls over BUTTON, EDIT and COMBOBOX, and the label that paints and measures its own text.
#include "ui/StdCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/Forms.h"
#include "ui/Unicode.h"

namespace {

// The design span from start whose physical size is at least physical: the placement scales both ends, so
// an unscaled width rounded up alone can still come out a pixel short.
int DesignSpan(int start, int physical, int dpi)
{
    int span = (physical * 96 + dpi - 1) / dpi;
    while (ScaleBy(start + span, dpi) - ScaleBy(start, dpi) < physical) ++span;
    return span;
}

// How far the drawn text's ink reaches beyond the rectangle that DrawText measures: left of it, right of it.
// Measurement counts advance widths; a glyph's ink, smoothed and placed by the renderer, can reach a pixel or
// two further (under Wine the last "n" of a line did), and a label exactly as wide as the advances cuts it.
// So the text is drawn once into a scratch picture with room around it, and its ink is looked at.
struct TOverhang {
    int Left = 0, Right = 0;
};

TOverhang Overhang(HDC dc, HFONT font, const std::wstring& text, UINT flags, const RECT& measured)
{
    const int pad = 8 + (measured.bottom - measured.top) / 4;
    const int w = measured.right - measured.left + 2 * pad, h = measured.bottom - measured.top + 2 * pad;
    TBitmap picture(w, h);
    if (picture.Empty()) return {};
    std::fill(picture.Pixels(), picture.Pixels() + static_cast<size_t>(w) * h, 0x00FFFFFFu);
    TMemoryDC mem(dc);
    TSelectObject bmp(mem.Get(), picture.Handle());
    TSelectObject selected(mem.Get(), font);
    SetBkMode(mem.Get(), TRANSPARENT);
    SetTextColor(mem.Get(), RGB(0, 0, 0));
    RECT r{pad, pad, pad + measured.right - measured.left, pad + measured.bottom - measured.top};
    DrawTextW(mem.Get(), text.c_str(), -1, &r, flags | DT_NOCLIP);
    GdiFlush();
    int inkLeft = w, inkRight = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((picture.Pixels()[static_cast<size_t>(y) * w + x] & 0xFFu) < 0xF0u) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
            }
    if (inkRight < 0) return {};
    return {std::max(0, static_cast<int>(r.left) - inkLeft), std::max(0, inkRight + 1 - static_cast<int>(r.right))};
}

} // namespace

// ---- TLabel ----

TLabel::TLabel(TControl& parent, const TLabelArgs& a) : TControl(&parent)
{
    FAutoSize = a.AutoSize;
    FWordWrap = a.WordWrap;
    FAlignment = a.Alignment;
    FLayout = a.Layout;
    FColor = a.Color;
    FMaxWidth = a.MaxWidth > 0 ? a.MaxWidth : 0;
    CreateChild(OwnWindowClass(L"WerbLabel"), 0, 0, a.Caption, CommonArgs(a), true);
    AdjustBounds();
}

TLabel::~TLabel()
{
    DestroyHandle();
}

void TLabel::SetAutoSize(bool autoSize)
{
    FAutoSize = autoSize;
    AdjustBounds();
}

void TLabel::SetWordWrap(bool wrap)
{
    if (FWordWrap == wrap) return;
    FWordWrap = wrap;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetAlignment(TAlignment a)
{
    FAlignment = a;
    Invalidate();
}

void TLabel::SetLayout(TTextLayout l)
{
    FLayout = l;
    Invalidate();
}

void TLabel::SetColor(TColor c)
{
    FColor = c;
    Invalidate();
}

UINT TLabel::DrawFlags() const
{
    UINT flags = DT_NOPREFIX | DT_EXPANDTABS;
    if (FWordWrap) flags |= DT_WORDBREAK | DT_EDITCONTROL;
    if (FAlignment == taCenter) flags |= DT_CENTER;
    if (FAlignment == taRightJustify) flags |= DT_RIGHT;
    return flags;
}

void TLabel::AdjustBounds()
{
    if (!FAutoSize || !FHandle) return;
    std::wstring text = WindowTextOf(FHandle);
    if (text.empty()) text = L" ";  // an empty label keeps the height of one line
    const int dpi = Dpi();
    const HFONT font = FFont.Handle(dpi);
    TWindowDC dc(FHandle);
    TSelectObject selected(dc.Get(), font);
    const int wrapWidth = ScaleBy(FLeft + FWidth, dpi) - ScaleBy(FLeft, dpi);
    auto measure = [&](int inset) {
        RECT r{0, 0, FWordWrap ? std::max(1, wrapWidth - inset) : 0, 0};
        VerifyWin32(DrawTextW(dc.Get(), text.c_str(), -1, &r, DT_CALCRECT | DrawFlags()) != 0, "DrawTextW(measure)");
        return r;
    };
    RECT r = measure(0);
    TOverhang o = Overhang(dc.Get(), font, text, DrawFlags(), r);
    // A wrapping label keeps its width: its lines wrap in what the ink leaves of it.
    if (FWordWrap && o.Left + o.Right > 0) {
        r = measure(o.Left + o.Right);
        o = Overhang(dc.Get(), font, text, DrawFlags(), r);
    }
    FInk = {o.Left, o.Right};
    int width = FWordWrap ? FWidth : DesignSpan(FLeft, r.right - r.left + o.Left + o.Right, dpi);
    const int height = DesignSpan(FTop, r.bottom - r.top, dpi);
    if (FMaxWidth > 0 && width > FMaxWidth) width = FMaxWidth;
    const int left = (FAlignment == taRightJustify) ? FLeft + FWidth - width : FLeft;
    SetBounds(left, FTop, width, height);
}

void TLabel::FontApplied()
{
    AdjustBounds();
    Invalidate();
}

void TLabel::Paint(HDC dc)
{
    RECT rc{};
    GetClientRect(FHandle, &rc);
    const TColor bg = (FColor == clDefault) ? BackgroundColor() : FColor;
    FillRect(dc, &rc, BrushOf(bg));
    const std::wstring text = WindowTextOf(FHandle);
    if (text.empty()) return;
    TSelectObject font(dc, FFont.Handle(Dpi()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(FHandle) ? ColorToRGB(FFont.Color()) : GetSysColor(COLOR_GRAYTEXT));
    // Painted without clipping to the rectangle: the window clips anyway, and a printed label that is too
    // small then shows the part that does not fit.
    const UINT flags = DrawFlags() | DT_NOCLIP;
    // The room the measurement left for the ink beyond the advances.
    if (FAutoSize && FAlignment != taRightJustify) rc.left += FInk.Left;
    if (FAutoSize && (FWordWrap || FAlignment != taLeftJustify)) rc.right -= FInk.Right;
    if (FLayout != tlTop) {
        RECT calc = rc;
        DrawTextW(dc, text.c_str(), -1, &calc, flags | DT_CALCRECT);
        const int free = (rc.bottom - rc.top) - (calc.bottom - calc.top);
        if (free > 0) rc.top += (FLayout == tlCenter) ? free / 2 : free;
    }
    DrawTextW(dc, text.c_str(), -1, &rc, flags);
}

LRESULT TLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_SETTEXT: {
        const LRESULT r = DefaultProc(msg, wp, lp);
        AdjustBounds();
        Invalidate();
        return r;
    }
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills everything
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintMessage(msg, wp, [this](HDC dc) { Paint(dc); });
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(FFont.Handle(Dpi()));
    case WM_SETFONT:
        return 0;  // painting takes the font from FFont
    case WM_LBUTTONUP:
        Fire(OnClick);
        return 0;
    default:
        return TControl::WndProc(msg, wp, lp);
    }
}

// ---- TButton ----

TButton::TButton(TControl& parent, const TButtonArgs& a) : TControl(&parent)
{
    FModalResult = a.ModalResult;
    FDefault = a.Default;
    FCancel = a.Cancel;
    CreateChild(WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, a.Caption, CommonArgs(a), false);
    if (FDefault)
        if (TForm* form = ParentForm()) form->UpdateDefaultLook(GetFocus());
}

TButton::~TButton()
{
    DestroyHandle();
}

void TButton::Click()
{
    // What a user can press: the button and its parents below the form visible and enabled (the form
    // itself may be hidden, so that a program can drive a form it has not shown).
    for (const TControl* c = this; c && c->Parent(); c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return;
    SendMessageW(FHandle, BM_CLICK, 0, 0);
}

void TButton::DoClick()
{
    if (FModalResult != mrNone)
        if (TForm* form = ParentForm()) form->SetModalResult(FModalResult);
    Fire(OnClick);
}

int TButton::CaptionWidth() const
{
    const std::wstring text = WindowTextOf(FHandle);
    if (text.empty()) return 0;
    const int dpi = Dpi();
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(FHandle, WM_GETFONT, 0, 0));
    TWindowDC dc(FHandle);
    TSelectObject selected(dc.Get(), font);
    constexpr UINT flags = DT_SINGLELINE | DT_HIDEPREFIX;
    RECT r{};
    DrawTextW(dc.Get(), text.c_str(), -1, &r, flags | DT_CALCRECT);
    const TOverhang o = Overhang(dc.Get(), font, text, flags, r);
    // The frame, the focus rectangle and a margin: 6 design pixels on each side.
    return DesignSpan(0, r.right - r.left + o.Left + o.Right + ScaleBy(12, dpi), dpi);
}

void TButton::SetDefault(bool d)
{
    FDefault = d;
    if (TForm* form = ParentForm()) form->UpdateDefaultLook(GetFocus());
}

void TButton::SetDefaultLook(bool isDefault)
{
    if (!FHandle) return;
    const LONG style = GetWindowLongW(FHandle, GWL_STYLE);
    const LONG want = isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if ((style & BS_TYPEMASK) != want) SendMessageW(FHandle, BM_SETSTYLE, static_cast<WPARAM>(want), TRUE);
}

int TButton::Id() const
{
    return FHandle ? GetDlgCtrlID(FHandle) : 0;
}

void TButton::EnabledChanged()
{
    if (TForm* form = ParentForm()) form->UpdateDefaultLook(GetFocus());
}

bool TButton::Command(WORD code)
{
    if (code != BN_CLICKED) return false;
    if (IsWindowEnabled(FHandle)) DoClick();
    return true;
}

LRESULT TButton::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_SETFOCUS || msg == WM_KILLFOCUS) {
        const LRESULT r = TControl::WndProc(msg, wp, lp);
        if (TForm* form = ParentForm())
            form->UpdateDefaultLook(msg == WM_SETFOCUS ? FHandle : reinterpret_cast<HWND>(wp));
        return r;
    }
    return TControl::WndProc(msg, wp, lp);
}

// ---- TCheckBox ----

TCheckBox::TCheckBox(TControl& parent, const TCheckBoxArgs& a) : TControl(&parent)
{
    CreateChild(WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0, a.Caption, CommonArgs(a), false);
    if (a.Checked) SendMessageW(FHandle, BM_SETCHECK, BST_CHECKED, 0);
}

TCheckBox::~TCheckBox()
{
    DestroyHandle();
}

bool TCheckBox::Checked() const
{
    return FHandle && SendMessageW(FHandle, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked)
{
    if (!FHandle || Checked() == checked) return;
    SendMessageW(FHandle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Fire(OnClick);
}

bool TCheckBox::Command(WORD code)
{
    if (code != BN_CLICKED) return false;
    Fire(OnClick);  // BS_AUTOCHECKBOX has toggled already
    return true;
}

// ---- TRadioButton ----

TRadioButton::TRadioButton(TControl& parent, const TRadioButtonArgs& a) : TControl(&parent)
{
    // Not BS_AUTORADIOBUTTON: its grouping follows WS_GROUP and z-order; ours is "the same parent".
    CreateChild(WC_BUTTONW, BS_RADIOBUTTON | WS_TABSTOP, 0, a.Caption, CommonArgs(a), false);
    if (a.Checked) {
        for (TControl* c : FParent->Controls())
            if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this)
                SendMessageW(r->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
        SendMessageW(FHandle, BM_SETCHECK, BST_CHECKED, 0);
    }
}

TRadioButton::~TRadioButton()
{
    DestroyHandle();
}

bool TRadioButton::Checked() const
{
    return FHandle && SendMessageW(FHandle, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TRadioButton::SetChecked(bool checked)
{
    if (!FHandle || Checked() == checked) return;
    SendMessageW(FHandle, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!checked) return;
    if (FParent) {
        for (TControl* c : FParent->Controls())
            if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this && r->Handle())
                SendMessageW(r->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    Fire(OnClick);
}

bool TRadioButton::Command(WORD code)
{
    if (code != BN_CLICKED) return false;
    SetChecked(true);
    return true;
}

// ---- TGroupBox ----

TGroupBox::TGroupBox(TControl& parent, const TGroupBoxArgs& a) : TControl(&parent)
{
    CreateChild(WC_BUTTONW, BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, a.Caption, CommonArgs(a), false);
}

TGroupBox::~TGroupBox()
{
    DestroyHandle();
}

LRESULT TGroupBox::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_NCHITTEST:
        // BS_GROUPBOX answers HTTRANSPARENT; as the parent of controls it must take the mouse like a panel.
        return HTCLIENT;
    case WM_ERASEBKGND: {
        // The group box paints only its frame and caption; its parent clips it out (WS_CLIPCHILDREN), and
        // themed children ask it for their background.
        RECT r{};
        GetClientRect(FHandle, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, BrushOf(BackgroundColor()));
        return 1;
    }
    default:
        return TControl::WndProc(msg, wp, lp);
    }
}

// ---- TEdit ----

TEdit::TEdit(TControl& parent, const TEditArgs& a) : TControl(&parent)
{
    DWORD style = ES_AUTOHSCROLL | WS_TABSTOP;
    if (a.ReadOnly) style |= ES_READONLY;
    CreateChild(WC_EDITW, style, WS_EX_CLIENTEDGE, a.Text, CommonArgs(a), false);
    if (a.MaxLength > 0) SendMessageW(FHandle, EM_SETLIMITTEXT, static_cast<WPARAM>(a.MaxLength), 0);
}

TEdit::~TEdit()
{
    DestroyHandle();
}

bool TEdit::ReadOnly() const
{
    return (GetWindowLongW(FHandle, GWL_STYLE) & ES_READONLY) != 0;
}

void TEdit::SetReadOnly(bool readOnly)
{
    SendMessageW(FHandle, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void TEdit::SelectAll()
{
    SendMessageW(FHandle, EM_SETSEL, 0, -1);
}

bool TEdit::Command(WORD code)
{
    if (code != EN_CHANGE) return false;
    Fire(OnChange);
    return true;
}

// ---- TComboBox ----

TComboBox::TComboBox(TControl& parent, const TComboBoxArgs& a) : TControl(&parent)
{
    FDropDownCount = a.DropDownCount > 0 ? a.DropDownCount : 8;
    CreateChild(WC_COMBOBOXW, CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, 0, {}, CommonArgs(a),
                false);
}

TComboBox::~TComboBox()
{
    DestroyHandle();
}

int TComboBox::WindowHeightFor(int designTop, int designHeight) const
{
    // The height given to CreateWindow/SetWindowPos of a drop-down list includes its opened list.
    return TControl::WindowHeightFor(designTop, designHeight) + Scale(FDropDownCount * 16 + 4);
}

int TComboBox::TItems::Add(std::string_view text)
{
    const LRESULT i = SendMessageW(FOwner.Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
    VerifyWin32(i >= 0, "CB_ADDSTRING");
    return static_cast<int>(i);
}

void TComboBox::TItems::Clear()
{
    SendMessageW(FOwner.Handle(), CB_RESETCONTENT, 0, 0);
}

int TComboBox::TItems::Count() const
{
    const LRESULT n = SendMessageW(FOwner.Handle(), CB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<int>(n);
}

std::string TComboBox::TItems::operator[](int index) const
{
    const LRESULT n = SendMessageW(FOwner.Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const LRESULT got =
        SendMessageW(FOwner.Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    if (got < 0) return {};
    text.resize(static_cast<size_t>(got));
    return Narrow(text);
}

int TComboBox::ItemIndex() const
{
    const LRESULT i = SendMessageW(FHandle, CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? -1 : static_cast<int>(i);
}

void TComboBox::SetItemIndex(int index)
{
    SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string TComboBox::Text() const
{
    const int i = ItemIndex();
    return i < 0 ? std::string() : Items[i];
}

bool TComboBox::Command(WORD code)
{
    if (code != CBN_SELCHANGE) return false;
    Fire(OnChange);
    return true;
}
