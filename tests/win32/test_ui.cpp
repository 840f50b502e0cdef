// The widget layer's forms under Wine: geometry and DPI, anchors and align, ShowModal, Enter/Esc, the loops.
#include "test_ui_support.h"

#include <memory>
#include <string>


namespace {

class TUiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Application.Initialize(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new TUiEnvironment);

// The question dialog's shape: a label and three buttons anchored to the bottom.
class TfrmProba : public TForm {
public:
    TfrmProba()
        : TForm({.ClientWidth = 322, .ClientHeight = 124, .Caption = "Uwaga", .BorderStyle = bsDialog,
                 .BorderIcons = 0, .Position = poScreenCenter})
    {
        SetActiveControl(&btnTak);
        DoCreate();
    }
    ~TfrmProba() override { Free(); }

    TLabel lblPytanie{*this, {.Left = 16, .Top = 16, .Caption = "Pytanie", .MaxWidth = 400}};
    TButton btnTak{*this, {.Left = 8, .Top = 95, .Width = 97, .Height = 23, .Anchors = akLeft | akBottom,
                           .TabOrder = 0, .Caption = "Tak", .ModalResult = mrYes, .Default = true}};
    TButton btnNie{*this, {.Left = 112, .Top = 95, .Width = 97, .Height = 23, .Anchors = akLeft | akBottom,
                           .TabOrder = 1, .Caption = "Nie", .ModalResult = mrNo}};
    TButton btnAnuluj{*this, {.Left = 216, .Top = 95, .Width = 97, .Height = 23, .Anchors = akLeft | akBottom,
                              .TabOrder = 2, .Caption = "Anuluj", .ModalResult = mrCancel, .Cancel = true}};
};

int Physical(const TControl& c, int design)
{
    return MulDiv(design, c.Dpi(), 96);
}

} // namespace

TEST(Geometry, ControlsSitAtTheirDesignPositionsScaledByTheWindowDpi)
{
    TfrmProba frm;
    EXPECT_EQ(frm.btnNie.Left(), 112);
    EXPECT_EQ(frm.btnNie.Top(), 95);
    EXPECT_EQ(frm.btnNie.Width(), 97);
    EXPECT_EQ(frm.btnNie.Height(), 23);
    const RECT r = RectInParent(frm.btnNie);
    EXPECT_EQ(r.left, Physical(frm, 112));
    EXPECT_EQ(r.top, Physical(frm, 95));
    EXPECT_EQ(r.right, Physical(frm, 112 + 97));
    EXPECT_EQ(r.bottom, Physical(frm, 95 + 23));
    RECT client{};
    GetClientRect(frm.Handle(), &client);
    EXPECT_EQ(client.right, Physical(frm, 322));
    EXPECT_EQ(client.bottom, Physical(frm, 124));
    EXPECT_EQ(frm.ClientWidth(), 322);
    EXPECT_EQ(frm.ClientHeight(), 124);
}

TEST(Geometry, BottomAnchoredButtonsKeepTheirDistanceWhenTheDialogGrows)
{
    TfrmProba frm;
    frm.SetClientSize(400, 200);
    EXPECT_EQ(frm.btnTak.Top(), 200 - 6 - 23);
    EXPECT_EQ(frm.btnTak.Left(), 8);  // anchored left: does not move sideways
    EXPECT_EQ(RectInParent(frm.btnAnuluj).bottom, Physical(frm, 200 - 6));
    frm.SetClientHeight(124);
    EXPECT_EQ(frm.btnNie.Top(), 95);
    // A move by the program records the new distance: still 6 pixels from the bottom after the next resize.
    frm.btnNie.SetTop(80);
    frm.SetClientHeight(150);
    EXPECT_EQ(frm.btnNie.Top(), 150 - 21 - 23);
}

TEST(Geometry, RightAnchoredButtonFollowsTheRightEdgeOfItsPanel)
{
    TForm frm({.ClientWidth = 623, .ClientHeight = 353, .BorderStyle = bsSingle, .BorderIcons = 0});
    TPanel pnlMain{frm, {.Width = 486, .Align = alClient, .BevelOuter = bvNone}};
    TPanel pnlBottom{pnlMain, {.Height = 37, .Align = alBottom, .BevelOuter = bvNone, .BorderWidth = 3}};
    TButton btnZamknij{pnlBottom, {.Left = 409, .Top = 10, .Width = 75, .Height = 25, .Anchors = akTop | akRight}};
    const int distance = pnlBottom.Width() - (btnZamknij.Left() + btnZamknij.Width());
    frm.SetClientWidth(700);
    EXPECT_EQ(pnlBottom.Width(), 700);
    EXPECT_EQ(pnlBottom.Width() - (btnZamknij.Left() + btnZamknij.Width()), distance);
    EXPECT_EQ(btnZamknij.Top(), 10);
    EXPECT_EQ(RectInParent(btnZamknij).right, Physical(frm, 700 - distance));
}

TEST(Geometry, AlignedPanelsShareTheClientAreaInsideBordersAndBevels)
{
    TForm frm({.ClientWidth = 623, .ClientHeight = 353, .BorderStyle = bsSingle});
    TPanel pnlLeft{frm, {.Width = 137, .Align = alLeft, .BevelOuter = bvLowered, .BevelInner = bvRaised}};
    TImage Image1{pnlLeft, {.Align = alClient, .Stretch = true}};
    TPanel pnlMain{frm, {.Align = alClient, .BevelOuter = bvNone}};
    TPanel pnlTop{pnlMain, {.Height = 53, .Align = alTop, .BevelOuter = bvNone, .Color = clHighlightText}};
    TPanel pnlBottom{pnlMain, {.Height = 37, .Align = alBottom, .BevelOuter = bvNone, .BorderWidth = 3}};
    TBevel Bevel1{pnlBottom, {.Height = 8, .Align = alTop, .Shape = bsTopLine}};
    TPanel pnlIntro{pnlMain, {.Align = alClient, .BevelOuter = bvNone}};
    TPanel pnlUmowa{pnlMain, {.Align = alClient, .BevelOuter = bvNone}};
    TPanel pnlUkryty{pnlMain, {.Height = 40, .Align = alTop, .Visible = false, .BevelOuter = bvNone}};

    EXPECT_EQ(pnlLeft.Height(), 353);
    // Two bevels of one pixel: the picture gets 133 x 349.
    EXPECT_EQ(Image1.Left(), 2);
    EXPECT_EQ(Image1.Width(), 133);
    EXPECT_EQ(Image1.Height(), 349);
    EXPECT_EQ(pnlMain.Left(), 137);
    EXPECT_EQ(pnlMain.Width(), 486);
    EXPECT_EQ(pnlTop.Width(), 486);
    EXPECT_EQ(pnlBottom.Top(), 353 - 37);
    EXPECT_EQ(Bevel1.Left(), 3);
    EXPECT_EQ(Bevel1.Top(), 3);
    EXPECT_EQ(Bevel1.Width(), 480);
    // The pages lie on top of each other between the bands; a hidden aligned panel takes no room.
    for (TPanel* page : {&pnlIntro, &pnlUmowa}) {
        EXPECT_EQ(page->Top(), 53);
        EXPECT_EQ(page->Height(), 353 - 53 - 37);
        EXPECT_EQ(page->Width(), 486);
    }
    pnlUkryty.Show();
    EXPECT_EQ(pnlIntro.Top(), 93);
    EXPECT_EQ(pnlUmowa.Height(), 353 - 93 - 37);
}

TEST(Geometry, TabOrderIsTheZOrderThatDialogNavigationWalks)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 100});
    TButton a{frm, {.Left = 8, .Top = 8, .Width = 80, .Height = 23, .Caption = "a"}};
    TButton b{frm, {.Left = 100, .Top = 8, .Width = 80, .Height = 23, .Caption = "b"}};
    TButton c{frm, {.Left = 200, .Top = 8, .Width = 80, .Height = 23, .Caption = "c"}};
    EXPECT_EQ(GetNextDlgTabItem(frm.Handle(), nullptr, FALSE), a.Handle());
    c.SetTabOrder(0);
    EXPECT_EQ(c.TabOrder(), 0);
    EXPECT_EQ(a.TabOrder(), 1);
    EXPECT_EQ(b.TabOrder(), 2);
    EXPECT_EQ(GetNextDlgTabItem(frm.Handle(), nullptr, FALSE), c.Handle());
    EXPECT_EQ(GetNextDlgTabItem(frm.Handle(), c.Handle(), FALSE), a.Handle());
    b.SetTabStop(false);
    EXPECT_EQ(GetNextDlgTabItem(frm.Handle(), a.Handle(), FALSE), c.Handle());

    frm.Show();
    a.SetFocus();
    ASSERT_EQ(GetFocus(), a.Handle());
    PressKey(frm, VK_TAB);
    Application.ProcessMessages();
    EXPECT_EQ(GetFocus(), c.Handle());  // b is no tab stop; after the last comes the first again
    frm.Hide();
}

TEST(Text, CaptionsKeepPolishAndFrenchLettersThroughTheWideFunctions)
{
    TfrmProba frm;
    frm.btnTak.SetCaption("Zakończ");
    frm.SetCaption("À: %s");
    EXPECT_EQ(frm.btnTak.Caption(), "Zakończ");
    EXPECT_EQ(frm.Caption(), "À: %s");
    wchar_t raw[32] = {};
    GetWindowTextW(frm.btnTak.Handle(), raw, 32);
    EXPECT_EQ(std::wstring(raw), L"Zako\u0144cz");
    GetWindowTextW(frm.Handle(), raw, 32);
    EXPECT_EQ(std::wstring(raw), L"\u00C0: %s");
}

namespace {

LOGFONTW FontOf(const TControl& c)
{
    LOGFONTW lf{};
    auto h = reinterpret_cast<HFONT>(SendMessageW(c.Handle(), WM_GETFONT, 0, 0));
    if (h) GetObjectW(h, sizeof lf, &lf);
    return lf;
}

} // namespace

TEST(Text, ChangingTheFormFontReachesTheChildrenThatKeepTheParentFont)
{
    TForm frm({.FontName = "Arial", .FontHeight = -11});
    TPanel pnl{frm, {.Width = 200, .Height = 100}};
    TButton inherits{pnl, {.Width = 80, .Height = 23}};
    TButton own{pnl, {.Top = 30, .Width = 80, .Height = 23}};
    own.Font().SetHeight(-12);
    own.Font().SetStyle(fsBold);
    EXPECT_FALSE(own.ParentFont());
    EXPECT_EQ(std::wstring(FontOf(inherits).lfFaceName), L"Arial");

    frm.Font().SetName("Tahoma");
    frm.Font().SetCharset(EASTEUROPE_CHARSET);
    const LOGFONTW child = FontOf(inherits);
    EXPECT_EQ(std::wstring(child.lfFaceName), L"Tahoma");
    EXPECT_EQ(child.lfCharSet, EASTEUROPE_CHARSET);
    EXPECT_EQ(child.lfHeight, Physical(frm, -11));
    const LOGFONTW mine = FontOf(own);
    EXPECT_EQ(std::wstring(mine.lfFaceName), L"Arial");
    EXPECT_EQ(mine.lfHeight, Physical(frm, -12));
    EXPECT_EQ(mine.lfWeight, FW_BOLD);
    own.SetParentFont(true);
    EXPECT_EQ(std::wstring(FontOf(own).lfFaceName), L"Tahoma");
}

TEST(Modal, ShowModalReturnsTheResultOfTheButtonPressedInItsLoop)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    bool visibleInHook = false;
    int clicks = 0;
    frm.btnNie.OnClick = [&] { ++clicks; };
    Application.OnNextModalShown([&](TForm& shown) {
        visibleInHook = &shown == &frm && IsWindowVisible(frm.Handle());
        frm.btnNie.Click();
    });
    EXPECT_EQ(frm.ShowModal(), mrNo);
    EXPECT_TRUE(visibleInHook);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(IsWindowVisible(frm.Handle()));  // hidden, not destroyed: the form is reused
    EXPECT_TRUE(IsWindow(frm.Handle()));
}

TEST(Modal, EscPressesTheCancelButton)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    int cancelClicks = 0;
    frm.btnAnuluj.OnClick = [&] { ++cancelClicks; };
    Application.OnNextModalShown([&](TForm& f) { PressKey(f, VK_ESCAPE); });
    EXPECT_EQ(frm.ShowModal(), mrCancel);
    EXPECT_EQ(cancelClicks, 1);
}

TEST(Modal, EscPressesAnotherButtonWhenItCarriesTheCancelFlag)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    frm.btnAnuluj.Hide();
    frm.btnNie.SetCancel(true);
    Application.OnNextModalShown([&](TForm& f) { PressKey(f, VK_ESCAPE); });
    EXPECT_EQ(frm.ShowModal(), mrNo);
}

TEST(Modal, EscDoesNothingWithoutAVisibleEnabledCancelButton)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    frm.btnAnuluj.SetEnabled(false);
    Application.OnNextModalShown([&](TForm& f) {
        PressKey(f, VK_ESCAPE);
        // Still open after the key: a real button ends it.
        PostMessageW(frm.btnNie.Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(frm.ShowModal(), mrNo);
}

TEST(Modal, EnterPressesTheActiveButton)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    bool focusedTak = false;
    Application.OnNextModalShown([&](TForm& f) {
        focusedTak = GetFocus() == frm.btnTak.Handle();
        PressKey(f, VK_RETURN);
    });
    EXPECT_EQ(frm.ShowModal(), mrYes);
    EXPECT_TRUE(focusedTak);
}

TEST(Modal, EnterPressesTheFocusedButtonRatherThanTheDefaultOne)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    frm.SetActiveControl(&frm.btnNie);
    Application.OnNextModalShown([&](TForm& f) { PressKey(f, VK_RETURN); });
    EXPECT_EQ(frm.ShowModal(), mrNo);
}

TEST(Modal, EnterDoesNothingWhileTheDefaultButtonIsDisabled)
{
    TForm frm({.ClientWidth = 300, .ClientHeight = 100, .BorderStyle = bsDialog});
    TCheckBox chb{frm, {.Left = 8, .Top = 8, .Width = 150, .Height = 17, .Caption = "opcja"}};
    TButton btnDalej{frm, {.Left = 8, .Top = 60, .Width = 81, .Height = 25, .Caption = "Dalej", .ModalResult = mrOk,
                           .Default = true}};
    TButton btnZamknij{frm, {.Left = 200, .Top = 60, .Width = 75, .Height = 25, .Caption = "Zamknij",
                             .ModalResult = mrCancel, .Cancel = true}};
    frm.SetActiveControl(&chb);
    int nextClicks = 0;
    btnDalej.OnClick = [&] { ++nextClicks; };
    {
        TModalWatchdog dog(frm);
        btnDalej.SetEnabled(false);
        Application.OnNextModalShown([&](TForm& f) {
            PressKey(f, VK_RETURN);  // nothing may happen ...
            PressKey(f, VK_ESCAPE);  // ... so Esc, queued behind it, ends the dialog
        });
        EXPECT_EQ(frm.ShowModal(), mrCancel);
        EXPECT_EQ(nextClicks, 0);
    }
    {
        TModalWatchdog dog(frm);
        btnDalej.SetEnabled(true);
        Application.OnNextModalShown([&](TForm& f) { PressKey(f, VK_RETURN); });
        EXPECT_EQ(frm.ShowModal(), mrOk);  // the focus is on the check box: Enter goes to the default button
        EXPECT_EQ(nextClicks, 1);
    }
}

TEST(Modal, CloseInAModalFormGivesCancel)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    Application.OnNextModalShown([](TForm& f) { f.Close(); });
    EXPECT_EQ(frm.ShowModal(), mrCancel);
}

TEST(Modal, TheCloseBoxOfAModalFormGivesCancel)
{
    TForm frm({.ClientWidth = 200, .ClientHeight = 80, .BorderStyle = bsSingle, .BorderIcons = biSystemMenu});
    TModalWatchdog dog(frm);
    Application.OnNextModalShown([](TForm& f) { PostMessageW(f.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(frm.ShowModal(), mrCancel);
}

TEST(Modal, OnCloseQueryCanRefuseTheEndOfTheLoop)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    int asked = 0;
    frm.OnCloseQuery = [&](bool& canClose) {
        ++asked;
        canClose = asked > 1;
        if (!canClose) PostMessageW(frm.btnTak.Handle(), BM_CLICK, 0, 0);  // the user tries again
    };
    Application.OnNextModalShown([&](TForm&) { frm.btnNie.Click(); });
    EXPECT_EQ(frm.ShowModal(), mrYes);
    EXPECT_EQ(asked, 2);
}

TEST(Modal, OwnerIsDisabledDuringTheLoopAndEnabledBeforeTheDialogHides)
{
    TForm frmMain({.ClientWidth = 400, .ClientHeight = 300, .BorderStyle = bsSingle});
    TForm frmUkryty({.ClientWidth = 100, .ClientHeight = 100});
    TfrmProba frm;
    frmMain.Show();
    TModalWatchdog dog(frm);
    bool mainEnabledInside = true, hiddenEnabledInside = false, mainEnabledWhenHidden = false;
    frm.OnHide = [&] { mainEnabledWhenHidden = IsWindowEnabled(frmMain.Handle()) != FALSE; };
    Application.OnNextModalShown([&](TForm&) {
        mainEnabledInside = IsWindowEnabled(frmMain.Handle()) != FALSE;
        hiddenEnabledInside = IsWindowEnabled(frmUkryty.Handle()) != FALSE;
        frm.btnTak.Click();
    });
    EXPECT_EQ(frm.ShowModal(), mrYes);
    EXPECT_FALSE(mainEnabledInside);
    EXPECT_TRUE(hiddenEnabledInside);  // only visible windows are disabled
    EXPECT_TRUE(mainEnabledWhenHidden);
    EXPECT_TRUE(IsWindowEnabled(frmMain.Handle()));
    frmMain.Hide();
}

TEST(Modal, NestedModalFormsThroughChainedHooks)
{
    TfrmProba frmA;
    TfrmProba frmB;
    TModalWatchdog dog(frmA);
    int innerResult = 0;
    bool aDisabledInB = false;
    frmA.btnNie.SetModalResult(mrNone);
    frmA.btnNie.OnClick = [&] {
        innerResult = frmB.ShowModal();
        frmA.SetModalResult(mrAbort);
    };
    Application.OnNextModalShown([&](TForm&) {
        Application.OnNextModalShown([&](TForm& b) {
            aDisabledInB = &b == &frmB && !IsWindowEnabled(frmA.Handle());
            frmB.btnAnuluj.Click();
        });
        frmA.btnNie.Click();
    });
    EXPECT_EQ(frmA.ShowModal(), mrAbort);
    EXPECT_EQ(innerResult, mrCancel);
    EXPECT_TRUE(aDisabledInB);
    EXPECT_FALSE(IsWindowVisible(frmB.Handle()));
}

TEST(Modal, AQuitMessageEndsTheLoopAndIsPostedAgain)
{
    TfrmProba frm;
    TModalWatchdog dog(frm);
    Application.OnNextModalShown([](TForm&) { PostQuitMessage(42); });
    EXPECT_EQ(frm.ShowModal(), mrCancel);
    int code = 0;
    EXPECT_TRUE(TakeQuit(&code));
    EXPECT_EQ(code, 42);
}

TEST(Modal, OnShowFiresEveryTimeAndOnCreateOnce)
{
    int created = 0, shown = 0;
    TForm frm({.ClientWidth = 200, .ClientHeight = 80});
    frm.OnCreate = [&] { ++created; };
    frm.OnShow = [&] { ++shown; };
    for (int i = 0; i < 2; ++i) {
        TModalWatchdog dog(frm);
        Application.OnNextModalShown([](TForm& f) { f.SetModalResult(mrOk); });
        EXPECT_EQ(frm.ShowModal(), mrOk);
    }
    EXPECT_EQ(created, 1);
    EXPECT_EQ(shown, 2);
}

TEST(Loop, ProcessMessagesRunsAPostedMessageAndCloseQueryCanRefuse)
{
    TForm frm({.ClientWidth = 200, .ClientHeight = 80});
    int asked = 0;
    bool allow = false;
    frm.OnCloseQuery = [&](bool& canClose) {
        ++asked;
        canClose = allow;
    };
    frm.Show();
    PostMessageW(frm.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(asked, 0);
    Application.ProcessMessages();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(IsWindowVisible(frm.Handle()));
    allow = true;
    PostMessageW(frm.Handle(), WM_CLOSE, 0, 0);
    Application.ProcessMessages();
    EXPECT_FALSE(IsWindowVisible(frm.Handle()));
}

TEST(Loop, RunShowsTheMainFormAndEndsWhenItCloses)
{
    TForm frmMain({.ClientWidth = 300, .ClientHeight = 200, .BorderStyle = bsSingle, .BorderIcons = 0,
                   .Position = poScreenCenter});
    bool hiddenByClose = false;
    HWND ownerHandle = nullptr;
    frmMain.OnShow = [&] { PostMessageW(frmMain.Handle(), WM_CLOSE, 0, 0); };
    frmMain.OnHide = [&] {
        hiddenByClose = true;
        ownerHandle = Application.Handle();
    };
    Application.Run(frmMain);
    EXPECT_TRUE(hiddenByClose);
    EXPECT_EQ(ownerHandle, frmMain.Handle());
    EXPECT_TRUE(Application.Terminated());
    EXPECT_FALSE(IsWindowVisible(frmMain.Handle()));
    EXPECT_FALSE(TakeQuit());  // Run took its WM_QUIT
}

TEST(Loop, TerminateLeavesTheQuitForTheOuterLoop)
{
    Application.Terminate();
    EXPECT_TRUE(Application.Terminated());
    Application.ProcessMessages();
    EXPECT_TRUE(TakeQuit());
}

TEST(Loop, AFormFreedWhileItsControlsLiveLeavesThemWithoutHandles)
{
    int destroyed = 0;
    auto frm = std::make_unique<TForm>(TFormArgs{.ClientWidth = 200, .ClientHeight = 80});
    TButton btn{*frm, {.Width = 80, .Height = 23}};
    frm->OnDestroy = [&] { ++destroyed; };
    const HWND h = btn.Handle();
    frm->Free();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(btn.Handle(), nullptr);
    EXPECT_FALSE(IsWindow(h));
    frm->Free();
    EXPECT_EQ(destroyed, 1);
}
