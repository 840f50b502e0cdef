// The widget layer's controls under Wine: labels, buttons of every kind, lists, tree, rich edit, gauge, pictures.
#include "test_ui_support.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/Unicode.h"

namespace {

// A real mouse click in the middle of a window, through its window procedure.
void MouseClick(const TControl& c)
{
    RECT r{};
    GetClientRect(c.Handle(), &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    SendMessageW(c.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(c.Handle(), WM_LBUTTONUP, 0, at);
}

// Text extents measured with GetTextExtentPoint32W and the control's own font.
struct TMeasure {
    explicit TMeasure(const TControl& c) : Dc(c.Handle())
    {
        Font = reinterpret_cast<HFONT>(SendMessageW(c.Handle(), WM_GETFONT, 0, 0));
        Old = SelectObject(Dc.Get(), Font);
        GetTextMetricsW(Dc.Get(), &Tm);
    }
    ~TMeasure() { SelectObject(Dc.Get(), Old); }
    int Width(const std::wstring& s)
    {
        SIZE size{};
        GetTextExtentPoint32W(Dc.Get(), s.c_str(), static_cast<int>(s.size()), &size);
        return size.cx;
    }
    TWindowDC Dc;
    HFONT Font = nullptr;
    HGDIOBJ Old = nullptr;
    TEXTMETRICW Tm{};
};

// Renders a window into a bitmap through WM_PRINT (the null driver draws nothing on a screen).
TBitmap Snapshot(const TControl& c)
{
    RECT r{};
    GetClientRect(c.Handle(), &r);
    TBitmap bmp(std::max<LONG>(1, r.right), std::max<LONG>(1, r.bottom));
    TWindowDC screen(nullptr);
    TMemoryDC mem(screen.Get());
    {
        TSelectObject sel(mem.Get(), bmp.Handle());
        SendMessageW(c.Handle(), WM_PRINT, reinterpret_cast<WPARAM>(mem.Get()), PRF_CLIENT | PRF_ERASEBKGND);
        GdiFlush();
    }
    return bmp;
}

COLORREF PixelOf(const TBitmap& bmp, int x, int y)
{
    const std::uint32_t p = bmp.Pixels()[y * bmp.Width() + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

} // namespace

TEST(SpeedButton, GroupClicksPutOneDownAndTheDownOneStaysWithoutAllowAllUp)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 60});
    TPanel pnlJezyk{frm, {.Width = 300, .Height = 37, .BevelOuter = bvNone}};
    TSpeedButtonArgs args{.Top = 9, .Width = 38, .Height = 24, .Flat = true, .GroupIndex = 1, .Down = false};
    args.Left = 200;
    args.Down = true;
    TSpeedButton btnPolski{pnlJezyk, args};
    args.Left = 238;
    args.Down = false;
    TSpeedButton btnAngielski{pnlJezyk, args};
    args.Left = 276;
    args.GroupIndex = 2;  // another group: never touched
    args.Down = true;
    TSpeedButton btnInna{pnlJezyk, args};
    int clicks = 0;
    btnPolski.OnClick = btnAngielski.OnClick = [&] { ++clicks; };

    MouseClick(btnAngielski);
    EXPECT_TRUE(btnAngielski.Down());
    EXPECT_FALSE(btnPolski.Down());
    EXPECT_TRUE(btnInna.Down());
    EXPECT_EQ(clicks, 1);
    MouseClick(btnAngielski);  // the down button of a group without AllowAllUp stays down, but clicks
    EXPECT_TRUE(btnAngielski.Down());
    EXPECT_EQ(clicks, 2);
    btnAngielski.SetDown(false);  // refused from code too
    EXPECT_TRUE(btnAngielski.Down());
}

TEST(SpeedButton, AllowAllUpRaisesTheDownButtonAndDownFromCodeFiresNothing)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 60});
    TSpeedButtonArgs args{.Top = 9, .Width = 38, .Height = 24, .Flat = true, .GroupIndex = 1, .AllowAllUp = true};
    args.Left = 200;
    TSpeedButton btnPolski{frm, args};
    args.Left = 238;
    TSpeedButton btnFrancuski{frm, args};
    int clicks = 0;
    btnPolski.OnClick = btnFrancuski.OnClick = [&] { ++clicks; };

    btnPolski.SetDown(true);
    btnFrancuski.SetDown(true);
    EXPECT_FALSE(btnPolski.Down());
    EXPECT_TRUE(btnFrancuski.Down());
    EXPECT_EQ(clicks, 0);
    MouseClick(btnFrancuski);
    EXPECT_FALSE(btnFrancuski.Down());
    EXPECT_FALSE(btnPolski.Down());
    EXPECT_EQ(clicks, 1);
    MouseClick(btnPolski);
    EXPECT_TRUE(btnPolski.Down());
    EXPECT_EQ(clicks, 2);
}

TEST(SpeedButton, AReleaseOutsideTheButtonIsNoClickAndADisabledButtonIgnoresTheMouse)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 60});
    TSpeedButton btn{frm, {.Left = 10, .Top = 9, .Width = 38, .Height = 24, .GroupIndex = 1}};
    int clicks = 0;
    btn.OnClick = [&] { ++clicks; };
    SendMessageW(btn.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(btn.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(btn.Down());
    btn.SetEnabled(false);
    MouseClick(btn);
    EXPECT_EQ(clicks, 0);
}

TEST(SpeedButton, PaintsItsGlyph)
{
    TForm frm({.ClientWidth = 100, .ClientHeight = 60});
    TSpeedButton btn{frm, {.Left = 10, .Top = 9, .Width = 38, .Height = 24, .Flat = true}};
    btn.SetGlyph(MakeFlag(TFlag::Polish));
    const TBitmap shot = Snapshot(btn);
    // The glyph is centred: 22 x 14 in 38 x 24 starts at (8, 5); its lower half is red.
    const COLORREF red = PixelOf(shot, 8 + 11, 5 + 10);
    EXPECT_GT(GetRValue(red), 180);
    EXPECT_LT(GetGValue(red), 60);
}

TEST(Buttons, RadioButtonsOfOneParentExcludeEachOther)
{
    TForm frm({.ClientWidth = 400, .ClientHeight = 200});
    TRadioButton rdbUmowaAkceptuje{frm, {.Left = 12, .Top = 142, .Width = 173, .Height = 17, .Caption = "Akceptuję"}};
    TRadioButton rdbUmowaNieAkceptuje{frm, {.Left = 196, .Top = 142, .Width = 237, .Height = 17, .Caption = "Nie"}};
    TGroupBox gbx{frm, {.Left = 12, .Top = 12, .Width = 300, .Height = 100, .Caption = "Inna grupa"}};
    TRadioButton rdbInna{gbx, {.Left = 12, .Top = 24, .Width = 150, .Height = 17, .Caption = "Inny", .Checked = true}};
    int clicksAccept = 0, clicksReject = 0, clicksOther = 0;
    rdbUmowaAkceptuje.OnClick = [&] { ++clicksAccept; };
    rdbUmowaNieAkceptuje.OnClick = [&] { ++clicksReject; };
    rdbInna.OnClick = [&] { ++clicksOther; };
    EXPECT_FALSE(rdbUmowaAkceptuje.Checked());
    EXPECT_FALSE(rdbUmowaNieAkceptuje.Checked());

    SendMessageW(rdbUmowaNieAkceptuje.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(rdbUmowaNieAkceptuje.Checked());
    EXPECT_EQ(clicksReject, 1);
    SendMessageW(rdbUmowaAkceptuje.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(rdbUmowaAkceptuje.Checked());
    EXPECT_FALSE(rdbUmowaNieAkceptuje.Checked());
    EXPECT_EQ(clicksAccept, 1);
    EXPECT_EQ(clicksReject, 1);  // becoming unchecked fires nothing
    EXPECT_TRUE(rdbInna.Checked());  // another parent, another group

    rdbUmowaNieAkceptuje.SetChecked(true);  // from code, as Delphi: OnClick
    EXPECT_EQ(clicksReject, 2);
    EXPECT_FALSE(rdbUmowaAkceptuje.Checked());
    rdbUmowaNieAkceptuje.SetChecked(true);  // no change, no event
    EXPECT_EQ(clicksReject, 2);
    SendMessageW(rdbInna.Handle(), BM_CLICK, 0, 0);  // its BN_CLICKED goes to the group box
    EXPECT_EQ(clicksOther, 0);  // already checked
}

TEST(Buttons, CheckBoxTogglesOnClickAndFiresWhenChangedFromCode)
{
    TForm frm({.ClientWidth = 400, .ClientHeight = 200});
    TGroupBox gbx{frm, {.Left = 12, .Top = 12, .Width = 300, .Height = 100}};
    TCheckBox chb{gbx, {.Left = 12, .Top = 24, .Width = 200, .Height = 17, .Caption = "Słowniki", .Checked = true}};
    int clicks = 0;
    chb.OnClick = [&] { ++clicks; };
    EXPECT_TRUE(chb.Checked());
    SendMessageW(chb.Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(chb.Checked());
    EXPECT_EQ(clicks, 1);
    chb.SetChecked(true);
    EXPECT_EQ(clicks, 2);
    chb.SetChecked(true);
    EXPECT_EQ(clicks, 2);
}

TEST(Buttons, ClickPressesOnlyAButtonAUserCouldPress)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 100});
    TPanel pnlStrona{frm, {.Width = 300, .Height = 100}};
    TButton btn{pnlStrona, {.Left = 8, .Top = 8, .Width = 80, .Height = 23, .ModalResult = mrOk}};
    int clicks = 0;
    btn.OnClick = [&] { ++clicks; };
    btn.Click();  // the form need not be shown
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(frm.ModalResult(), mrOk);
    btn.SetEnabled(false);
    btn.Click();
    btn.SetEnabled(true);
    pnlStrona.SetEnabled(false);  // a page that is not the current one
    btn.Click();
    pnlStrona.SetEnabled(true);
    btn.Hide();
    btn.Click();
    EXPECT_EQ(clicks, 1);
}

TEST(Label, AutoSizeTakesTheLongestLineAndKeepsCrLfBreaks)
{
    TForm frm({.ClientWidth = 600, .ClientHeight = 300, .FontName = "Arial"});
    TLabel lbl{frm, {.Left = 16, .Top = 16, .MaxWidth = 400}};
    const std::string text = "Krótka linia\r\nDruga, wyraźnie dłuższa linia tekstu\r\nkoniec";
    lbl.SetCaption(text);
    EXPECT_EQ(lbl.Caption(), text);
    TMeasure m(lbl);
    const int longest = m.Width(Widen("Druga, wyraźnie dłuższa linia tekstu"));
    EXPECT_EQ(lbl.Width(), MulDiv(longest, 96, lbl.Dpi()) + (longest * 96 % lbl.Dpi() ? 1 : 0));
    EXPECT_EQ(RectInParent(lbl).bottom - RectInParent(lbl).top, 3 * m.Tm.tmHeight);
}

TEST(Label, AutoSizeIsCappedAtTheMaximumWidthAndWrappingFitsTheHeight)
{
    TForm frm({.ClientWidth = 600, .ClientHeight = 300, .FontName = "Arial"});
    TLabel lbl{frm, {.Left = 16, .Top = 16, .Alignment = taCenter, .Layout = tlCenter, .MaxWidth = 400}};
    std::string longLine;
    for (int i = 0; i < 12; ++i) longLine += "słowo wyraz ";
    lbl.SetCaption(longLine);
    EXPECT_EQ(lbl.Width(), 400);
    TMeasure m(lbl);
    const int oneLine = RectInParent(lbl).bottom - RectInParent(lbl).top;
    EXPECT_EQ(oneLine, m.Tm.tmHeight);
    lbl.SetWordWrap(true);
    lbl.SetAutoSize(false);
    EXPECT_EQ(lbl.Width(), 400);  // the width stays
    const int wrapped = RectInParent(lbl).bottom - RectInParent(lbl).top;
    EXPECT_GE(wrapped, 2 * m.Tm.tmHeight);
    EXPECT_EQ(wrapped % m.Tm.tmHeight, 0);
    lbl.SetCaption("krótko");  // AutoSize is off now: the size is frozen
    EXPECT_EQ(RectInParent(lbl).bottom - RectInParent(lbl).top, wrapped);
}

TEST(Label, PaintsItsTextCentredVerticallyWhenAsked)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 200, .FontName = "Arial", .FontHeight = -12});
    TLabel lbl{frm, {.Left = 10, .Top = 10, .Width = 200, .Height = 100, .Caption = "Środek", .AutoSize = false,
                     .Alignment = taCenter, .Layout = tlCenter, .Color = clWhite}};
    lbl.Font().SetColor(clBlack);
    const TBitmap shot = Snapshot(lbl);
    int top = -1, bottom = -1, left = shot.Width(), right = -1;
    for (int y = 0; y < shot.Height(); ++y)
        for (int x = 0; x < shot.Width(); ++x)
            if (GetRValue(PixelOf(shot, x, y)) < 128) {
                if (top < 0) top = y;
                bottom = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(top, 0) << "no text painted";
    EXPECT_NEAR((top + bottom) / 2.0, shot.Height() / 2.0, 4.0);
    EXPECT_NEAR((left + right) / 2.0, shot.Width() / 2.0, 3.0);
    EXPECT_EQ(PixelOf(shot, 1, 1), RGB(255, 255, 255));
}

TEST(Panel, PaintsItsColourInsideItsBevels)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 200});
    TPanel pnl{frm, {.Width = 137, .Height = 100, .BevelOuter = bvLowered, .BevelInner = bvRaised,
                     .Color = RGB(10, 200, 30)}};
    const TBitmap shot = Snapshot(pnl);
    EXPECT_EQ(PixelOf(shot, 0, 0), GetSysColor(COLOR_BTNSHADOW));                 // lowered outer: dark top-left
    EXPECT_EQ(PixelOf(shot, shot.Width() - 1, 50), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(PixelOf(shot, 1, 50), GetSysColor(COLOR_BTNHIGHLIGHT));            // raised inner: light top-left
    EXPECT_EQ(PixelOf(shot, 60, 50), RGB(10, 200, 30));
}

TEST(Edit, TextRoundTripsAndOnChangeFollowsEveryChange)
{
    TForm frm({.ClientWidth = 288, .ClientHeight = 62});
    TEdit edtDodaj{frm, {.Left = 8, .Top = 8, .Width = 273, .Height = 21}};
    TButton btnDodaj{frm, {.Left = 88, .Top = 36, .Width = 95, .Height = 23, .Enabled = false}};
    edtDodaj.OnChange = [&] { btnDodaj.SetEnabled(!edtDodaj.Text().empty()); };
    edtDodaj.SetText("Nowy katalog – żółć");
    EXPECT_EQ(edtDodaj.Text(), "Nowy katalog – żółć");
    EXPECT_TRUE(btnDodaj.Enabled());
    SendMessageW(edtDodaj.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));  // as the user clearing it
    EXPECT_FALSE(btnDodaj.Enabled());
    edtDodaj.SetReadOnly(true);
    EXPECT_TRUE(edtDodaj.ReadOnly());
}

TEST(ComboBox, ItemsAndItemIndex)
{
    TForm frm({.ClientWidth = 303, .ClientHeight = 212});
    TComboBox cmbDrive{frm, {.Left = 8, .Top = 4, .Width = 289, .Height = 21}};
    int changes = 0;
    cmbDrive.OnChange = [&] { ++changes; };
    EXPECT_EQ(cmbDrive.ItemIndex(), -1);
    EXPECT_EQ(cmbDrive.Text(), "");
    cmbDrive.Items.Add("D:\\");
    cmbDrive.Items.Add("É:\\");
    EXPECT_EQ(cmbDrive.Items.Count(), 2);
    EXPECT_EQ(cmbDrive.Items[1], "É:\\");
    cmbDrive.SetItemIndex(1);
    EXPECT_EQ(cmbDrive.ItemIndex(), 1);
    EXPECT_EQ(cmbDrive.Text(), "É:\\");
    EXPECT_EQ(changes, 0);  // from code: no OnChange
    cmbDrive.Items.Clear();
    EXPECT_EQ(cmbDrive.Items.Count(), 0);
    EXPECT_EQ(cmbDrive.ItemIndex(), -1);
    RECT r{};
    GetWindowRect(cmbDrive.Handle(), &r);
    EXPECT_LT(r.bottom - r.top, MulDiv(60, cmbDrive.Dpi(), 96));  // closed, the list is not part of it
}

TEST(TreeView, AddSelectExpandWithImages)
{
    TForm frm({.ClientWidth = 444, .ClientHeight = 248});
    TImageList imlKatalog(16, 16);
    EXPECT_EQ(imlKatalog.Add(MakeTreeImage(TTreeImage::Drive)), 0);
    EXPECT_EQ(imlKatalog.Add(MakeTreeImage(TTreeImage::Folder)), 1);
    EXPECT_EQ(imlKatalog.Add(MakeTreeImage(TTreeImage::OpenFolder)), 2);
    EXPECT_EQ(imlKatalog.Count(), 3);
    TTreeView trvKatalog{frm, {.Left = 8, .Top = 8, .Width = 321, .Height = 205, .ShowLines = false,
                               .ShowRoot = false, .HideSelection = false, .Indent = 25}};
    trvKatalog.SetImages(imlKatalog);
    std::vector<std::string> changes;
    std::vector<std::string> expanding;
    bool refuse = false;
    trvKatalog.OnChange = [&](TTreeNode n) { changes.push_back(n.Text()); };
    trvKatalog.OnExpanding = [&](TTreeNode n, bool& allow) {
        expanding.push_back(n.Text());
        allow = !refuse;
        if (allow && n.Count() == 0) trvKatalog.Add(n, "Program Files", 1, 2);
    };

    int marker = 7;
    TTreeNode c = trvKatalog.Add({}, "C:\\", 0, 0, &marker);
    TTreeNode d = trvKatalog.Add({}, "D:\\", 0, 0);
    c.SetHasChildren(true);
    EXPECT_EQ(trvKatalog.Count(), 2);
    EXPECT_EQ(trvKatalog.GetFirstNode(), c);
    EXPECT_EQ(c.GetNextSibling(), d);
    EXPECT_EQ(c.Data(), &marker);
    EXPECT_FALSE(c.Parent());

    c.Expand();
    EXPECT_TRUE(c.Expanded());
    ASSERT_EQ(expanding.size(), 1u);  // asked once, not again by the control's own notification
    TTreeNode pf = c.GetFirstChild();
    ASSERT_TRUE(pf);
    EXPECT_EQ(pf.Text(), "Program Files");
    EXPECT_EQ(pf.Parent(), c);
    EXPECT_EQ(pf.ImageIndex(), 1);
    EXPECT_EQ(pf.SelectedIndex(), 2);

    trvKatalog.SetSelected(pf);
    EXPECT_TRUE(pf.Selected());
    EXPECT_EQ(trvKatalog.Selected(), pf);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back(), "Program Files");

    refuse = true;
    d.SetHasChildren(true);
    d.Expand();
    EXPECT_FALSE(d.Expanded());
    pf.SetText("Pliki programów");
    EXPECT_EQ(pf.Text(), "Pliki programów");
    c.DeleteChildren();
    EXPECT_EQ(c.Count(), 0);
    trvKatalog.Clear();
    EXPECT_EQ(trvKatalog.Count(), 0);
}

TEST(RichEdit, LoadsMsfteditAndKeepsPlainText)
{
    ASSERT_TRUE(TRichEdit::Available());
    TForm frm({.ClientWidth = 486, .ClientHeight = 263});
    TRichEdit redUmowa{frm, {.Width = 462, .Height = 221, .Align = alTop, .ReadOnly = true}};
    wchar_t cls[64] = {};
    GetClassNameW(redUmowa.Handle(), cls, 64);
    EXPECT_EQ(_wcsicmp(cls, MSFTEDIT_CLASS), 0) << "class " << Narrow(cls);  // class names ignore case
    EXPECT_TRUE(redUmowa.ReadOnly());

    const std::string text = "UMOWA LICENCYJNA\r\nZakończ — À: %s\r\n{\\rtf1 not rtf}";
    redUmowa.SetText(text);
    EXPECT_EQ(redUmowa.Text(), text);

    std::string longText;
    while (longText.size() < 70000) longText += "Wiersz umowy licencyjnej, dość długi.\r\n";
    redUmowa.SetText(longText);
    EXPECT_EQ(redUmowa.Text().size(), longText.size());  // past the default limit of 32767
    redUmowa.SetReadOnly(false);
    EXPECT_FALSE(redUmowa.ReadOnly());
}

TEST(RichEdit, TakesTheFaceAndCharsetForDefaultAndSelectedText)
{
    TForm frm({.ClientWidth = 486, .ClientHeight = 263});
    TRichEdit red{frm, {.Width = 462, .Height = 221, .ReadOnly = true}};
    red.SetText("tekst");
    TFont font;
    font.SetName("Arial");
    font.SetHeight(-11);
    font.SetCharset(EASTEUROPE_CHARSET);
    red.Font().Assign(font);
    red.SetDefaultAttributes(font);
    red.SelectAll();
    red.SetSelectionAttributes(font);
    const TTextAttributes def = red.DefaultAttributes();
    EXPECT_EQ(def.Name, "Arial");
    EXPECT_EQ(def.Charset, EASTEUROPE_CHARSET);
    EXPECT_EQ(def.Height, -11);
    const TTextAttributes sel = red.SelectionAttributes();
    EXPECT_EQ(sel.Name, "Arial");
    EXPECT_EQ(sel.Charset, EASTEUROPE_CHARSET);
    font.SetCharset(ANSI_CHARSET);
    red.SetDefaultAttributes(font);
    EXPECT_EQ(red.DefaultAttributes().Charset, ANSI_CHARSET);
}

TEST(Gauge, HoldsARangeBeyondSixteenBits)
{
    TForm frm({.ClientWidth = 486, .ClientHeight = 263});
    TGauge GaugePostep{frm, {.Left = 12, .Top = 100, .Width = 462, .Height = 20, .MaxValue = 100}};
    GaugePostep.SetMaxValue(3'000'000);
    GaugePostep.SetProgress(2'500'000);
    EXPECT_EQ(GaugePostep.MinValue(), 0);
    EXPECT_EQ(GaugePostep.MaxValue(), 3'000'000);
    EXPECT_EQ(GaugePostep.Progress(), 2'500'000);
    GaugePostep.SetProgress(GaugePostep.MaxValue());
    EXPECT_EQ(GaugePostep.Progress(), 3'000'000);
}

// A run sets the position with every file and the range with every item: the bar is told (and repaints) only
// when it moves by a pixel, and never for a range it has. The last position is shown whole.
namespace {

int gaugeTold = 0;

LRESULT CALLBACK CountGaugeMessages(HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR)
{
    if (m == PBM_SETPOS || m == PBM_SETRANGE32) ++gaugeTold;
    return DefSubclassProc(h, m, w, l);
}

} // namespace

TEST(Gauge, ThousandsOfStepsRepaintItAtMostOnceAPixel)
{
    TForm frm({.ClientWidth = 486, .ClientHeight = 263});
    TGauge gauge{frm, {.Left = 12, .Top = 100, .Width = 462, .Height = 20, .MaxValue = 100}};
    RECT r{};
    GetClientRect(gauge.Handle(), &r);
    ASSERT_TRUE(SetWindowSubclass(gauge.Handle(), CountGaugeMessages, 1, 0));
    gaugeTold = 0;
    constexpr int kSteps = 50'000;
    for (int i = 1; i <= kSteps; ++i) {
        gauge.SetMaxValue(kSteps);
        gauge.SetProgress(i);
    }
    RemoveWindowSubclass(gauge.Handle(), CountGaugeMessages, 1);
    EXPECT_LE(gaugeTold, r.right - r.left + 2) << "of " << kSteps << " steps on a bar " << r.right - r.left << " wide";
    EXPECT_GT(gaugeTold, (r.right - r.left) / 2) << "the bar hardly moved";
    EXPECT_EQ(SendMessageW(gauge.Handle(), PBM_GETPOS, 0, 0), kSteps);
}

TEST(Pictures, FlagsShowTheirColoursInTheRightPlaces)
{
    const TBitmap pl = MakeFlag(TFlag::Polish);
    ASSERT_EQ(pl.Width(), 22);
    ASSERT_EQ(pl.Height(), 14);
    EXPECT_EQ(PixelOf(pl, 11, 3), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(pl, 11, 10), RGB(220, 20, 60));
    const TBitmap fr = MakeFlag(TFlag::French);
    EXPECT_EQ(PixelOf(fr, 3, 7), RGB(0, 85, 164));
    EXPECT_EQ(PixelOf(fr, 11, 7), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(fr, 18, 7), RGB(239, 65, 53));
    const TBitmap de = MakeFlag(TFlag::German);
    EXPECT_EQ(PixelOf(de, 11, 2), RGB(0, 0, 0));
    EXPECT_EQ(PixelOf(de, 11, 11), RGB(255, 206, 0));
    const TBitmap it = MakeFlag(TFlag::Italian);
    EXPECT_EQ(PixelOf(it, 3, 7), RGB(0, 146, 70));
    const TBitmap en = MakeFlag(TFlag::English);
    EXPECT_EQ(PixelOf(en, 11, 7), RGB(200, 16, 46));  // the red cross in the middle
    for (const TBitmap* f : {&pl, &fr, &de, &it, &en}) EXPECT_EQ(f->Pixels()[0] >> 24, 0xFFu);
}

TEST(Pictures, SideStripAndTreeImages)
{
    const TBitmap strip = MakeSideStrip();
    ASSERT_EQ(strip.Width(), 133);
    ASSERT_EQ(strip.Height(), 349);
    const COLORREF top = PixelOf(strip, 2, 2), bottom = PixelOf(strip, 2, 346);
    EXPECT_GT(GetBValue(top), GetRValue(top));  // blue
    EXPECT_LT(GetBValue(top) + GetGValue(top), GetBValue(bottom) + GetGValue(bottom));  // darker at the top
    for (TTreeImage kind : {TTreeImage::Drive, TTreeImage::Folder, TTreeImage::OpenFolder}) {
        const TBitmap img = MakeTreeImage(kind);
        ASSERT_EQ(img.Width(), 16);
        EXPECT_EQ(img.Pixels()[0], 0u);                    // transparent corner
        EXPECT_EQ(img.Pixels()[9 * 16 + 8] >> 24, 0xFFu);  // opaque middle
    }
    EXPECT_NE(MakeTreeImage(TTreeImage::Folder).Pixels()[10 * 16 + 3],
              MakeTreeImage(TTreeImage::OpenFolder).Pixels()[10 * 16 + 3]);
}

TEST(Image, ShowsItsPictureStretchedToItsBounds)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 400});
    TImage Image1{frm, {.Width = 266, .Height = 100, .Stretch = true}};
    Image1.SetPicture(MakeFlag(TFlag::Polish, 22, 14));
    const TBitmap shot = Snapshot(Image1);
    EXPECT_EQ(PixelOf(shot, 133, 20), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(shot, 133, 80), RGB(220, 20, 60));
}

TEST(Lifetime, AControlDestroyedBeforeItsFormTakesItsWindowAlong)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 100});
    HWND h = nullptr;
    {
        TButton btn{frm, {.Width = 80, .Height = 23}};
        h = btn.Handle();
        frm.SetActiveControl(&btn);
        EXPECT_EQ(TControl::FromHandle(h), &btn);
    }
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(frm.ActiveControl(), nullptr);
    EXPECT_TRUE(frm.Controls().empty());
}
