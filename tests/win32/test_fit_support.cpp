// The caption fit check: what each control really paints, against the same text drawn without limits.
#include "test_fit_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "ui/StdCtrls.h"
#include "ui/Unicode.h"

TPicture::TPicture(int width, int height, COLORREF fill) : FBitmap(width, height)
{
    const std::uint32_t v = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    std::fill(FBitmap.Pixels(), FBitmap.Pixels() + static_cast<size_t>(width) * height, v);
}

COLORREF TPicture::At(int x, int y) const
{
    const std::uint32_t v = FBitmap.Pixels()[static_cast<size_t>(y) * Width() + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

namespace {

constexpr COLORREF kSentinel = RGB(255, 0, 255);
constexpr int kMargin = 48;

int Difference(COLORREF a, COLORREF b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

std::wstring ClassOf(HWND w)
{
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::string Describe(HWND w)
{
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return Narrow(ClassOf(w)) + " \"" + Narrow(WindowTextOf(w)) + "\" at " + std::to_string(r.left) + "," +
           std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// The colour covering most of an area: the background the control painted.
COLORREF Dominant(const TPicture& p, RECT area)
{
    std::map<COLORREF, int> count;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) ++count[p.At(x, y)];
    COLORREF best = 0;
    int most = -1;
    for (const auto& [c, n] : count)
        if (n > most) best = c, most = n;
    return best;
}

enum class TKind { None, Label, Push, Check, Group };

TKind KindOf(HWND w)
{
    const std::wstring cls = ClassOf(w);
    if (cls == L"WerbLabel") return TKind::Label;
    if (_wcsicmp(cls.c_str(), L"Button") != 0) return TKind::None;
    switch (GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON: return TKind::Push;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return TKind::Check;
    case BS_GROUPBOX: return TKind::Group;
    default: return TKind::None;
    }
}

// The text's ink drawn freely: black on white, no clipping, wrapped at width when wrap is set.
TInk FreeInk(HWND w, const std::wstring& text, UINT flags, int width)
{
    TPicture p(std::max(width, 1600) + 200, 1200, RGB(255, 255, 255));
    const HGDIOBJ old = SelectObject(p.Dc(), reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)));
    SetBkMode(p.Dc(), TRANSPARENT);
    SetTextColor(p.Dc(), RGB(0, 0, 0));
    RECT r{100, 100, 100 + (width > 0 ? width : 1600), 1100};
    DrawTextW(p.Dc(), text.c_str(), -1, &r, flags | DT_NOCLIP);
    GdiFlush();
    SelectObject(p.Dc(), old);
    return InkIn(p, RECT{0, 0, p.Width(), p.Height()}, RGB(255, 255, 255));
}

// The columns of a check box or radio button that hold its text: right of the box, 13 pixels at 96 DPI.
RECT TextAreaRightOfBox(RECT client, int dpi)
{
    RECT area = client;
    area.left += MulDiv(13, dpi, 96) + 1;
    return area;
}

void CheckCaption(HWND w, TKind kind, std::vector<std::string>& faults)
{
    const std::wstring text = WindowTextOf(w);
    if (text.empty()) return;
    RECT wr{};
    GetWindowRect(w, &wr);
    const int width = wr.right - wr.left, height = wr.bottom - wr.top;
    const int dpi = DpiOf(w);

    // Painted enabled: a greyed caption is drawn in other colours, never in another place.
    const bool enabled = IsWindowEnabled(w) != FALSE;
    if (!enabled) EnableWindow(w, TRUE);
    // The margin lies right of and below the control, where a caption too long for it would run on.
    TPicture p(width + kMargin, height + kMargin, kSentinel);
    SendMessageW(w, WM_PRINT, reinterpret_cast<WPARAM>(p.Dc()), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
    GdiFlush();
    if (!enabled) EnableWindow(w, FALSE);

    const RECT client{0, 0, width, height};
    // The common controls paint their parent's background over the whole device context; their text is
    // clipped to them, so only a caption cut inside them can show.
    const bool ownClass = ClassOf(w).rfind(L"Werb", 0) == 0;
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x) {
            const bool inside = x >= client.left && x < client.right && y >= client.top && y < client.bottom;
            if (ownClass && !inside && p.At(x, y) != kSentinel) {
                faults.push_back(Describe(w) + ": drawn beyond its edges, at " + std::to_string(x) + "," +
                                 std::to_string(y));
                x = p.Width(), y = p.Height();
            }
        }

    const COLORREF bg = Dominant(p, client);
    RECT area = client;
    UINT flags = DT_NOPREFIX | DT_EXPANDTABS;
    int wrap = 0;
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    switch (kind) {
    case TKind::Label:
        // A label that wraps keeps its width; its text must fit in that width and its height.
        if (const auto* label = dynamic_cast<const TLabel*>(TControl::FromHandle(w)); label && label->WordWrap()) {
            flags |= DT_WORDBREAK | DT_EDITCONTROL;
            wrap = width;
        }
        break;
    case TKind::Push: {
        const int frame = MulDiv(4, dpi, 96);
        InflateRect(&area, -frame, -frame);
        flags = DT_SINGLELINE | DT_HIDEPREFIX;
        break;
    }
    case TKind::Check:
        area = TextAreaRightOfBox(client, dpi);
        flags = DT_SINGLELINE | DT_HIDEPREFIX;
        if (style & BS_MULTILINE) {
            flags = DT_WORDBREAK | DT_HIDEPREFIX;
            wrap = area.right - area.left;
        }
        break;
    case TKind::Group:
        area.bottom = std::min(area.bottom, area.top + MulDiv(20, dpi, 96));
        flags = DT_SINGLELINE | DT_HIDEPREFIX;
        break;
    case TKind::None: return;
    }
    const TInk drawn = InkIn(p, area, bg);
    const TInk free = FreeInk(w, text, flags, wrap);
    // One pixel of slack: a glyph's faint edge may fall on either side of the ink threshold.
    if (drawn.Width() + 1 < free.Width() || drawn.Height() + 1 < free.Height())
        faults.push_back(Describe(w) + ": caption cut, ink " + std::to_string(drawn.Width()) + "x" +
                         std::to_string(drawn.Height()) + " of " + std::to_string(free.Width()) + "x" +
                         std::to_string(free.Height()));
}

bool Visible(HWND w)
{
    return IsWindowVisible(w) != FALSE;
}

void CheckOverlaps(HWND parent, std::vector<std::string>& faults)
{
    std::vector<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        // A bevel draws one line at its edge: what lies over the rest of it hides nothing.
        if (Visible(c) && ClassOf(c) != L"WerbBevel") children.push_back(c);
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j) {
            RECT a{}, b{}, both{};
            GetWindowRect(children[i], &a);
            GetWindowRect(children[j], &b);
            if (IntersectRect(&both, &a, &b))
                faults.push_back(Describe(children[i]) + " overlaps " + Describe(children[j]));
        }
}

void CheckTree(HWND parent, std::vector<std::string>& faults)
{
    CheckOverlaps(parent, faults);
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!Visible(c)) continue;
        CheckCaption(c, KindOf(c), faults);
        CheckTree(c, faults);
    }
}

} // namespace

TInk InkIn(const TPicture& p, RECT area, COLORREF background)
{
    const int contrast = std::max(1, Difference(background, RGB(0, 0, 0)));
    TInk ink{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (Difference(p.At(x, y), background) * 2 >= contrast) {
                ink.Left = std::min(ink.Left, x);
                ink.Top = std::min(ink.Top, y);
                ink.Right = std::max(ink.Right, x + 1);
                ink.Bottom = std::max(ink.Bottom, y + 1);
            }
    return ink;
}

std::vector<std::string> FitFaults(HWND window)
{
    std::vector<std::string> faults;
    CheckTree(window, faults);
    return faults;
}
