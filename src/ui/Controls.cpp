// TControl: binding to the HWND, message reflection, design-pixel geometry, align, anchors, tab order, fonts.
#include "ui/Controls.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <map>
#include <set>

#include "ui/Forms.h"
#include "ui/Unicode.h"

namespace {

const wchar_t kBindingProp[] = L"WerbControl";
constexpr UINT_PTR kSubclassId = 1;

// Control ids start above IDOK, IDCANCEL and friends: IsDialogMessage sends those for Enter and Esc.
UINT NextControlId()
{
    static UINT next = 1000;
    const UINT id = next++;
    if (next > 0x7FFF) next = 1000;
    return id;
}

template <class F>
F LoadProc(const wchar_t* module, const char* name)
{
    HMODULE m = GetModuleHandleW(module);
    if (!m) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

void DebugReport(const char* where, const char* what)
{
    std::string line = "werb_ui: exception in ";
    line += where;
    line += ": ";
    line += what;
    line += '\n';
    OutputDebugStringA(line.c_str());
}

} // namespace

HINSTANCE ModuleInstance()
{
    return GetModuleHandleW(nullptr);
}

COLORREF ColorToRGB(TColor c)
{
    if (c == clDefault) return GetSysColor(COLOR_BTNFACE);
    if (c & clSystemColor) return GetSysColor(static_cast<int>(c & 0xFF));
    return c & 0x00FFFFFF;
}

HBRUSH BrushOf(TColor c)
{
    if (c == clDefault) return GetSysColorBrush(COLOR_BTNFACE);
    if (c & clSystemColor) return GetSysColorBrush(static_cast<int>(c & 0xFF));
    static std::map<COLORREF, TGdiObject<HBRUSH>> cache;
    auto& slot = cache[c];
    if (!slot) {
        HBRUSH b = CreateSolidBrush(c);
        RequireWin32(b != nullptr, "CreateSolidBrush");
        slot.Reset(b);
    }
    return slot.Get();
}

int DpiOf(HWND hwnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = LoadProc<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (hwnd && getDpiForWindow) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi) return static_cast<int>(dpi);
    }
    static int screenDpi = 0;
    if (!screenDpi) {
        TWindowDC screen(nullptr);
        screenDpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
        if (screenDpi <= 0) screenDpi = 96;
    }
    return screenDpi;
}

// ---- TFont ----

void TFont::SetName(std::string_view name)
{
    if (FName == name) return;
    FName = std::string(name);
    Changed();
}

void TFont::SetHeight(int height)
{
    if (FHeight == height) return;
    FHeight = height;
    Changed();
}

void TFont::SetCharset(BYTE charset)
{
    if (FCharset == charset) return;
    FCharset = charset;
    Changed();
}

void TFont::SetStyle(unsigned styles)
{
    if (FStyle == styles) return;
    FStyle = styles;
    Changed();
}

void TFont::SetColor(TColor color)
{
    if (FColor == color) return;
    FColor = color;
    Changed();
}

void TFont::Assign(const TFont& other)
{
    if (&other == this) return;
    CopyQuietly(other);
    Changed();
}

void TFont::CopyQuietly(const TFont& other)
{
    FName = other.FName;
    FHeight = other.FHeight;
    FCharset = other.FCharset;
    FStyle = other.FStyle;
    FColor = other.FColor;
    FHandleDpi = 0;
}

void TFont::Changed()
{
    FHandleDpi = 0;  // made again on the next Handle()
    if (FOnChange) FOnChange();
}

LOGFONTW TFont::LogFont(int dpi) const
{
    LOGFONTW lf{};
    lf.lfHeight = ScaleBy(FHeight, dpi);
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (FStyle & fsUnderline) ? TRUE : FALSE;
    lf.lfCharSet = FCharset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = Widen(FName);
    const size_t n = std::min(face.size(), static_cast<size_t>(LF_FACESIZE - 1));
    std::copy_n(face.begin(), n, lf.lfFaceName);
    lf.lfFaceName[n] = L'\0';
    return lf;
}

HFONT TFont::Handle(int dpi) const
{
    if (!FHandle || FHandleDpi != dpi) {
        const LOGFONTW lf = LogFont(dpi);
        HFONT h = CreateFontIndirectW(&lf);
        RequireWin32(h != nullptr, "CreateFontIndirectW");
        // The window may still hold the old handle until it is given the new one.
        FRetired = std::move(FHandle);
        FHandle.Reset(h);
        FHandleDpi = dpi;
    }
    return FHandle.Get();
}

// ---- window procedures ----

LRESULT CALLBACK OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    TControl* self = nullptr;
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        self = static_cast<TControl*>(cs->lpCreateParams);
        if (self) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->Bind(hwnd);
        }
    } else {
        self = reinterpret_cast<TControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        self->Unbind();
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    return self->SafeWndProc(msg, wp, lp);
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref)
{
    auto* self = reinterpret_cast<TControl*>(ref);
    if (msg == WM_NCDESTROY) {
        self->Unbind();
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
    return self->SafeWndProc(msg, wp, lp);
}

const wchar_t* OwnWindowClass(const wchar_t* name, HCURSOR cursor)
{
    static std::set<std::wstring> registered;
    if (registered.count(name)) return name;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = OwnClassProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    if (!RegisterClassExW(&wc)) RequireWin32(GetLastError() == ERROR_CLASS_ALREADY_EXISTS, "RegisterClassExW");
    registered.insert(name);
    return name;
}

// ---- TControl ----

TControl::TControl(TControl* parent) : FParent(parent)
{
    FFont.FOnChange = [this] {
        FParentFont = false;
        ApplyFont();
    };
    if (FParent) FFont.CopyQuietly(FParent->FFont);
}

TControl::~TControl()
{
    DestroyHandle();
    if (FParent) {
        if (TForm* form = ParentForm()) form->ForgetControl(this);
    }
    for (TControl* c : FChildren) c->FParent = nullptr;
    RemoveFromParent();
}

void TControl::RemoveFromParent()
{
    if (!FParent) return;
    auto& kids = FParent->FChildren;
    kids.erase(std::remove(kids.begin(), kids.end(), this), kids.end());
    auto& tabs = FParent->FTabList;
    tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
    FParent = nullptr;
}

TControl* TControl::FromHandle(HWND hwnd)
{
    if (!hwnd) return nullptr;
    return static_cast<TControl*>(GetPropW(hwnd, kBindingProp));
}

TForm* TControl::ParentForm()
{
    TControl* c = this;
    while (c->FParent) c = c->FParent;
    return dynamic_cast<TForm*>(c);
}

void TControl::Bind(HWND hwnd)
{
    FHandle = hwnd;
    RequireWin32(SetPropW(hwnd, kBindingProp, this) != FALSE, "SetPropW");
}

void TControl::Unbind()
{
    if (!FHandle) return;
    if (FSubclassed) {
        RemoveWindowSubclass(FHandle, SubclassProc, kSubclassId);
        FSubclassed = false;
    } else {
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    }
    RemovePropW(FHandle, kBindingProp);
    FHandle = nullptr;
}

void TControl::DestroyHandle()
{
    if (!FHandle) return;
    HWND h = FHandle;
    Unbind();  // first: from here on no message reaches this object
    VerifyWin32(DestroyWindow(h) != FALSE, "DestroyWindow");
}

void TControl::CreateChild(const wchar_t* className, DWORD style, DWORD exStyle, std::string_view caption,
                           const TControlArgs& a, bool ownClass)
{
    RequireWin32(FParent && FParent->FHandle, "CreateChild: parent window");
    FLeft = a.Left;
    FTop = a.Top;
    FWidth = std::max(0, a.Width);
    FHeight = std::max(0, a.Height);
    FAlign = a.Align;
    FAnchors = a.Anchors;
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (a.Visible) style |= WS_VISIBLE;
    if (!a.Enabled) style |= WS_DISABLED;
    const int dpi = FParent->Dpi();
    const int x = ScaleBy(FLeft, dpi);
    const int y = ScaleBy(FTop, dpi);
    const int w = ScaleBy(FLeft + FWidth, dpi) - x;
    const int h = WindowHeightFor(FTop, FHeight);
    const std::wstring text = Widen(caption);
    HWND hwnd = CreateWindowExW(exStyle, className, text.c_str(), style, x, y, w, h, FParent->FHandle,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(NextControlId())),
                                ModuleInstance(), ownClass ? this : nullptr);
    RequireWin32(hwnd != nullptr, "CreateWindowExW");
    if (!ownClass) {
        Bind(hwnd);
        if (!SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
            RemovePropW(hwnd, kBindingProp);
            FHandle = nullptr;
            DestroyWindow(hwnd);
            RequireWin32(false, "SetWindowSubclass");
        }
        FSubclassed = true;
    }
    FParent->FChildren.push_back(this);
    FParent->FTabList.push_back(this);
    VerifyWin32(SetWindowPos(FHandle, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != FALSE,
                "SetWindowPos(z)");
    ApplyFont();
    if (a.TabOrder >= 0) SetTabOrder(a.TabOrder);
    RecordAnchors();
    if (FAlign != alNone) FParent->Realign();
}

void TControl::CreateTopLevel(const wchar_t* className, DWORD style, DWORD exStyle, std::string_view caption,
                              int x, int y, int width, int height)
{
    const std::wstring text = Widen(caption);
    HWND hwnd = CreateWindowExW(exStyle, className, text.c_str(), style, x, y, width, height, nullptr, nullptr,
                                ModuleInstance(), this);
    RequireWin32(hwnd != nullptr, "CreateWindowExW(form)");
}

LRESULT TControl::SafeWndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    // A C++ exception must not unwind through user32's frames: the handler's work ends here and the
    // message gets its default treatment.
    try {
        return WndProc(msg, wp, lp);
    } catch (const std::exception& e) {
        DebugReport("window procedure", e.what());
    } catch (...) {
        DebugReport("window procedure", "unknown exception");
    }
    return FHandle ? DefaultProc(msg, wp, lp) : 0;
}

void TControl::Fire(const std::function<void()>& f)
{
    if (!f) return;
    // Event handlers run inside the message loop; an exception is reported and goes no further.
    try {
        f();
    } catch (const std::exception& e) {
        DebugReport("event handler", e.what());
    } catch (...) {
        DebugReport("event handler", "unknown exception");
    }
}

LRESULT TControl::DefaultProc(UINT msg, WPARAM wp, LPARAM lp)
{
    if (FSubclassed) return DefSubclassProc(FHandle, msg, wp, lp);
    return DefWindowProcW(FHandle, msg, wp, lp);
}

LRESULT TControl::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_COMMAND:
        if (TControl* c = FromHandle(reinterpret_cast<HWND>(lp)); c && c != this) {
            if (c->Command(HIWORD(wp))) return 0;
        }
        break;
    case WM_NOTIFY: {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        if (TControl* c = nm ? FromHandle(nm->hwndFrom) : nullptr; c && c != this) {
            LRESULT result = 0;
            if (c->Notify(nm, result)) return result;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        TControl* c = FromHandle(reinterpret_cast<HWND>(lp));
        const TColor bg = c ? c->BackgroundColor() : BackgroundColor();
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, ColorToRGB(bg));
        if (c) SetTextColor(dc, ColorToRGB(c->FFont.Color()));
        return reinterpret_cast<LRESULT>(BrushOf(bg));
    }
    case WM_SIZE:
        Realign();
        break;
    case WM_ENABLE:
        EnabledChanged();
        break;
    case WM_KEYDOWN:
    case WM_KEYUP: {
        auto& handler = (msg == WM_KEYDOWN) ? OnKeyDown : OnKeyUp;
        if (handler) {
            WORD key = static_cast<WORD>(wp);
            Fire([&] { handler(key); });
            if (key == 0) return 0;  // the handler took the key
        }
        break;
    }
    default:
        break;
    }
    return DefaultProc(msg, wp, lp);
}

std::string TControl::Caption() const
{
    if (!FHandle) return {};
    return Narrow(WindowTextOf(FHandle));
}

void TControl::SetCaption(std::string_view utf8)
{
    if (!FHandle) return;
    VerifyWin32(SetWindowTextW(FHandle, Widen(utf8).c_str()) != FALSE, "SetWindowTextW");
}

bool TControl::Enabled() const
{
    return FHandle && IsWindowEnabled(FHandle);
}

void TControl::SetEnabled(bool enabled)
{
    if (!FHandle || Enabled() == enabled) return;
    if (!enabled) {
        // A disabled window loses the focus to nobody; hand it to the next control instead.
        HWND focus = GetFocus();
        if (focus && (focus == FHandle || IsChild(FHandle, focus))) {
            if (TForm* form = ParentForm()) form->FocusNextFrom(FHandle);
        }
    }
    EnableWindow(FHandle, enabled ? TRUE : FALSE);
}

bool TControl::Visible() const
{
    return FHandle && (GetWindowLongW(FHandle, GWL_STYLE) & WS_VISIBLE);
}

void TControl::SetVisible(bool visible)
{
    if (!FHandle || Visible() == visible) return;
    if (!visible) {
        HWND focus = GetFocus();
        if (focus && (focus == FHandle || IsChild(FHandle, focus))) {
            if (TForm* form = ParentForm()) form->FocusNextFrom(FHandle);
        }
    }
    ShowWindow(FHandle, visible ? SW_SHOWNA : SW_HIDE);
    if (FAlign != alNone && FParent) FParent->Realign();
}

bool TControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->FParent) {
        if (!c->FHandle || !(GetWindowLongW(c->FHandle, GWL_STYLE) & WS_VISIBLE) || !IsWindowEnabled(c->FHandle))
            return false;
    }
    return true;
}

void TControl::SetFocus()
{
    if (CanFocus()) ::SetFocus(FHandle);
}

bool TControl::Focused() const
{
    return FHandle && GetFocus() == FHandle;
}

int TControl::Left() const
{
    if (FParent || !FHandle) return FLeft;
    RECT r{};
    GetWindowRect(FHandle, &r);
    return Unscale(r.left);
}

int TControl::Top() const
{
    if (FParent || !FHandle) return FTop;
    RECT r{};
    GetWindowRect(FHandle, &r);
    return Unscale(r.top);
}

int TControl::Width() const
{
    if (FParent || !FHandle) return FWidth;
    RECT r{};
    GetWindowRect(FHandle, &r);
    return Unscale(r.right - r.left);
}

int TControl::Height() const
{
    if (FParent || !FHandle) return FHeight;
    RECT r{};
    GetWindowRect(FHandle, &r);
    return Unscale(r.bottom - r.top);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (FMaxWidth > 0 && width > FMaxWidth) width = FMaxWidth;
    if (!FParent) {
        if (!FHandle) return;
        const int dpi = Dpi();
        VerifyWin32(SetWindowPos(FHandle, nullptr, ScaleBy(left, dpi), ScaleBy(top, dpi), ScaleBy(width, dpi),
                                 ScaleBy(height, dpi), SWP_NOZORDER | SWP_NOACTIVATE) != FALSE,
                    "SetWindowPos(form)");
        return;
    }
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    ApplyPlacement();
    RecordAnchors();
    if (FAlign != alNone) FParent->Realign();
}

void TControl::SetMaxWidth(int w)
{
    FMaxWidth = std::max(0, w);
    if (FMaxWidth > 0 && FWidth > FMaxWidth) SetBounds(FLeft, FTop, FMaxWidth, FHeight);
}

void TControl::PlaceAt(int left, int top, int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    ApplyPlacement();
}

int TControl::WindowHeightFor(int designTop, int designHeight) const
{
    const int dpi = Dpi();
    return ScaleBy(designTop + designHeight, dpi) - ScaleBy(designTop, dpi);
}

void TControl::ApplyPlacement()
{
    if (!FHandle) return;
    const int dpi = Dpi();
    const int x = ScaleBy(FLeft, dpi);
    const int y = ScaleBy(FTop, dpi);
    const int w = ScaleBy(FLeft + FWidth, dpi) - x;
    const int h = WindowHeightFor(FTop, FHeight);
    VerifyWin32(SetWindowPos(FHandle, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE) != FALSE,
                "SetWindowPos");
}

void TControl::RecordAnchors()
{
    if (!FParent) return;
    FAnchorRight = FParent->ClientWidth() - (FLeft + FWidth);
    FAnchorBottom = FParent->ClientHeight() - (FTop + FHeight);
}

void TControl::SetAlign(TAlign a)
{
    if (FAlign == a) return;
    FAlign = a;
    if (FParent) FParent->Realign();
}

void TControl::SetAnchors(TAnchors a)
{
    FAnchors = a;
    RecordAnchors();
}

RECT TControl::AlignRect() const
{
    return RECT{0, 0, ClientWidth(), ClientHeight()};
}

void TControl::Realign()
{
    if (!FHandle) return;
    RECT r = AlignRect();
    auto take = [this](TAlign a) {
        std::vector<TControl*> v;
        for (TControl* c : FChildren)
            if (c->FAlign == a && c->Visible()) v.push_back(c);
        return v;
    };
    // The Delphi order: top, bottom, left, right, then client; within a kind by position.
    auto tops = take(alTop);
    std::stable_sort(tops.begin(), tops.end(), [](auto* a, auto* b) { return a->FTop < b->FTop; });
    for (TControl* c : tops) {
        c->PlaceAt(r.left, r.top, r.right - r.left, c->FHeight);
        r.top += c->FHeight;
    }
    auto bottoms = take(alBottom);
    std::stable_sort(bottoms.begin(), bottoms.end(),
                     [](auto* a, auto* b) { return a->FTop + a->FHeight > b->FTop + b->FHeight; });
    for (TControl* c : bottoms) {
        c->PlaceAt(r.left, r.bottom - c->FHeight, r.right - r.left, c->FHeight);
        r.bottom -= c->FHeight;
    }
    auto lefts = take(alLeft);
    std::stable_sort(lefts.begin(), lefts.end(), [](auto* a, auto* b) { return a->FLeft < b->FLeft; });
    for (TControl* c : lefts) {
        c->PlaceAt(r.left, r.top, c->FWidth, r.bottom - r.top);
        r.left += c->FWidth;
    }
    auto rights = take(alRight);
    std::stable_sort(rights.begin(), rights.end(),
                     [](auto* a, auto* b) { return a->FLeft + a->FWidth > b->FLeft + b->FWidth; });
    for (TControl* c : rights) {
        c->PlaceAt(r.right - c->FWidth, r.top, c->FWidth, r.bottom - r.top);
        r.right -= c->FWidth;
    }
    for (TControl* c : take(alClient)) c->PlaceAt(r.left, r.top, r.right - r.left, r.bottom - r.top);
    ApplyAnchors();
}

void TControl::ApplyAnchors()
{
    const int cw = ClientWidth();
    const int ch = ClientHeight();
    for (TControl* c : FChildren) {
        if (c->FAlign != alNone || !(c->FAnchors & (akRight | akBottom))) continue;
        int l = c->FLeft, t = c->FTop, w = c->FWidth, h = c->FHeight;
        if (c->FAnchors & akRight) {
            if (c->FAnchors & akLeft)
                w = cw - c->FAnchorRight - l;
            else
                l = cw - c->FAnchorRight - w;
        }
        if (c->FAnchors & akBottom) {
            if (c->FAnchors & akTop)
                h = ch - c->FAnchorBottom - t;
            else
                t = ch - c->FAnchorBottom - h;
        }
        c->PlaceAt(l, t, w, h);
    }
}

int TControl::TabOrder() const
{
    if (!FParent) return -1;
    const auto& tabs = FParent->FTabList;
    const auto it = std::find(tabs.begin(), tabs.end(), this);
    return it == tabs.end() ? -1 : static_cast<int>(it - tabs.begin());
}

void TControl::SetTabOrder(int order)
{
    if (!FParent) return;
    auto& tabs = FParent->FTabList;
    tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
    order = std::clamp(order, 0, static_cast<int>(tabs.size()));
    tabs.insert(tabs.begin() + order, this);
    FParent->ApplyZOrder();
}

void TControl::ApplyZOrder()
{
    HWND after = HWND_TOP;
    for (TControl* c : FTabList) {
        if (!c->FHandle) continue;
        VerifyWin32(SetWindowPos(c->FHandle, after, 0, 0, 0, 0,
                                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER) != FALSE,
                    "SetWindowPos(z)");
        after = c->FHandle;
    }
}

bool TControl::TabStop() const
{
    return FHandle && (GetWindowLongW(FHandle, GWL_STYLE) & WS_TABSTOP);
}

void TControl::SetTabStop(bool stop)
{
    if (!FHandle) return;
    LONG style = GetWindowLongW(FHandle, GWL_STYLE);
    style = stop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    SetWindowLongW(FHandle, GWL_STYLE, style);
}

void TControl::BringToFront()
{
    if (!FHandle) return;
    if (!FParent) {
        VerifyWin32(BringWindowToTop(FHandle) != FALSE, "BringWindowToTop");
        return;
    }
    SetTabOrder(0);
}

void TControl::SendToBack()
{
    if (!FHandle || !FParent) return;
    SetTabOrder(static_cast<int>(FParent->FTabList.size()));
}

void TControl::SetParentFont(bool parentFont)
{
    FParentFont = parentFont;
    if (parentFont && FParent) {
        FFont.CopyQuietly(FParent->FFont);
        ApplyFont();
    }
}

void TControl::ApplyFont()
{
    if (!FHandle) return;
    HFONT h = FFont.Handle(Dpi());
    SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(h), TRUE);
    FFont.FRetired.Reset();
    FontApplied();
    for (TControl* c : FChildren) {
        if (!c->FParentFont) continue;
        c->FFont.CopyQuietly(FFont);
        c->ApplyFont();
    }
}

void TControl::RescaleTree()
{
    for (TControl* c : FChildren) {
        c->ApplyPlacement();
        if (c->FHandle) {
            SendMessageW(c->FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(c->FFont.Handle(c->Dpi())), TRUE);
            c->FFont.FRetired.Reset();
            c->FontApplied();
        }
        c->RescaleTree();
    }
}

TColor TControl::BackgroundColor() const
{
    return FParent ? FParent->BackgroundColor() : clBtnFace;
}

void TControl::Invalidate()
{
    if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

int TControl::Dpi() const
{
    if (FHandle) return DpiOf(FHandle);
    if (FParent) return FParent->Dpi();
    return DpiOf(nullptr);
}
