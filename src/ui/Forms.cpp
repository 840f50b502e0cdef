// TForm and TApplication: top-level windows, the hand-written modal loop, dialog keys and the test hook.
#include "ui/Forms.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

#include "ui/StdCtrls.h"

TApplication Application;

namespace {

// Posted by ShowModal when its loop starts; wParam is the serial of that ShowModal.
constexpr UINT kMsgModalShown = WM_APP + 0x2A0;

template <class F>
F LoadProc(const wchar_t* module, const char* name)
{
    HMODULE m = GetModuleHandleW(module);
    if (!m) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

void AdjustForDpi(RECT& r, DWORD style, DWORD exStyle, int dpi)
{
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = LoadProc<AdjustFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    BOOL ok = FALSE;
    if (adjustForDpi) ok = adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi));
    if (!ok) ok = AdjustWindowRectEx(&r, style, FALSE, exStyle);
    VerifyWin32(ok != FALSE, "AdjustWindowRectEx");
}

template <class F>
void ForEachDescendant(const TControl& root, F&& f)
{
    for (TControl* c : root.Controls()) {
        f(*c);
        ForEachDescendant(*c, f);
    }
}

TButton* FindButton(const TControl& root, bool (TButton::*flag)() const)
{
    TButton* found = nullptr;
    ForEachDescendant(root, [&](TControl& c) {
        auto* b = dynamic_cast<TButton*>(&c);
        if (!found && b && (b->*flag)() && b->CanFocus()) found = b;
    });
    return found;
}

struct TDisableContext {
    HWND Except;
    std::vector<HWND> Disabled;
};

BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM lp)
{
    auto* ctx = reinterpret_cast<TDisableContext*>(lp);
    if (hwnd != ctx->Except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) ctx->Disabled.push_back(hwnd);
    return TRUE;
}

// The thread's other visible, enabled top-level windows, now disabled, as a modal dialog needs them.
std::vector<HWND> DisableThreadWindows(HWND except)
{
    TDisableContext ctx{except, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&ctx));
    for (HWND h : ctx.Disabled) EnableWindow(h, FALSE);
    return ctx.Disabled;
}

} // namespace

// ---- TForm ----

TForm::TForm(const TFormArgs& a) : TControl(nullptr)
{
    FColor = a.Color;
    FPosition = a.Position;
    FFont.SetName(a.FontName);
    FFont.SetHeight(a.FontHeight);
    FFont.SetCharset(a.FontCharset);

    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    switch (a.BorderStyle) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_OVERLAPPED | WS_CAPTION; break;
    case bsSizeable: style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
        style |= WS_POPUP | WS_CAPTION;
        exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    }
    if (a.BorderStyle != bsNone && (a.BorderIcons & biSystemMenu)) {
        style |= WS_SYSMENU;
        if (a.BorderStyle == bsSingle || a.BorderStyle == bsSizeable) {
            if (a.BorderIcons & biMinimize) style |= WS_MINIMIZEBOX;
            if (a.BorderIcons & biMaximize) style |= WS_MAXIMIZEBOX;
        }
    }
    const int dpi = DpiOf(nullptr);
    RECT r{0, 0, ScaleBy(a.ClientWidth, dpi), ScaleBy(a.ClientHeight, dpi)};
    AdjustForDpi(r, style, exStyle, dpi);
    CreateTopLevel(OwnWindowClass(L"WerbForm"), style, exStyle, a.Caption, ScaleBy(a.Left, dpi),
                   ScaleBy(a.Top, dpi), r.right - r.left, r.bottom - r.top);
    // Per-monitor DPI: the window may live on a monitor of another DPI than the system's.
    if (Dpi() != dpi) SetClientSize(a.ClientWidth, a.ClientHeight);
    ApplyFont();
}

TForm::~TForm()
{
    // OnDestroy is not run here: the derived form's members are gone. Free() runs it while they exist.
    DestroyHandle();
    Application.FormGone(this);
}

void TForm::DoCreate()
{
    if (FCreated) return;
    FCreated = true;
    Fire(OnCreate);
}

void TForm::Free()
{
    if (FFreed) return;
    FFreed = true;
    Fire(OnDestroy);
    DestroyHandle();
}

int TForm::ClientWidth() const
{
    RECT r{};
    if (FHandle) GetClientRect(FHandle, &r);
    return Unscale(r.right - r.left);
}

int TForm::ClientHeight() const
{
    RECT r{};
    if (FHandle) GetClientRect(FHandle, &r);
    return Unscale(r.bottom - r.top);
}

void TForm::SetClientSize(int width, int height)
{
    if (!FHandle) return;
    const int dpi = Dpi();
    RECT r{0, 0, ScaleBy(width, dpi), ScaleBy(height, dpi)};
    AdjustForDpi(r, static_cast<DWORD>(GetWindowLongW(FHandle, GWL_STYLE)),
                 static_cast<DWORD>(GetWindowLongW(FHandle, GWL_EXSTYLE)), dpi);
    VerifyWin32(SetWindowPos(FHandle, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE,
                "SetWindowPos(client)");
}

void TForm::SetColor(TColor c)
{
    FColor = c;
    if (FHandle) RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

TControl* TForm::ActiveControl() const
{
    HWND focus = GetFocus();
    if (focus && FHandle && IsChild(FHandle, focus)) {
        for (HWND h = focus; h && h != FHandle; h = GetParent(h))
            if (TControl* c = FromHandle(h)) return c;
    }
    return FActiveControl;
}

void TForm::SetActiveControl(TControl* control)
{
    FActiveControl = control;
    if (control && FHandle && IsWindowVisible(FHandle) && GetActiveWindow() == FHandle) control->SetFocus();
}

TButton* TForm::DefaultButton() const
{
    return FindButton(*this, &TButton::Default);
}

TButton* TForm::CancelButton() const
{
    return FindButton(*this, &TButton::Cancel);
}

void TForm::ForgetControl(TControl* control)
{
    if (FActiveControl == control) FActiveControl = nullptr;
}

void TForm::FocusNextFrom(HWND from)
{
    if (!FHandle) return;
    HWND next = GetNextDlgTabItem(FHandle, from, FALSE);
    if (next && next != from && !IsChild(from, next))
        ::SetFocus(next);
    else
        ::SetFocus(FHandle);
}

void TForm::UpdateDefaultLook(HWND focus)
{
    auto* focused = dynamic_cast<TButton*>(FromHandle(focus));
    if (focused && focused->ParentForm() != this) focused = nullptr;
    TButton* def = focused ? focused : DefaultButton();
    ForEachDescendant(*this, [&](TControl& c) {
        if (auto* b = dynamic_cast<TButton*>(&c)) b->SetDefaultLook(b == def);
    });
}

void TForm::FocusFirst()
{
    if (FActiveControl && FActiveControl->CanFocus()) {
        FActiveControl->SetFocus();
        return;
    }
    HWND first = GetNextDlgTabItem(FHandle, nullptr, FALSE);
    ::SetFocus(first ? first : FHandle);
}

void TForm::PlaceByPosition()
{
    if (FPosition == poDesigned || !FHandle) return;
    RECT area{};
    TForm* main = Application.MainForm();
    if (FPosition == poMainFormCenter && main && main != this && main->Handle() && IsWindowVisible(main->Handle())) {
        GetWindowRect(main->Handle(), &area);
    } else {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        HMONITOR mon = MonitorFromWindow(FHandle, MONITOR_DEFAULTTOPRIMARY);
        if (!mon || !GetMonitorInfoW(mon, &mi)) return;
        area = mi.rcWork;
    }
    RECT w{};
    GetWindowRect(FHandle, &w);
    const int x = area.left + ((area.right - area.left) - (w.right - w.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (w.bottom - w.top)) / 2;
    VerifyWin32(SetWindowPos(FHandle, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE,
                "SetWindowPos(centre)");
}

void TForm::SetVisible(bool visible)
{
    if (!FHandle) return;
    if (!visible) {
        HideWindow();
        return;
    }
    DoCreate();
    if (IsWindowVisible(FHandle)) {
        SetForegroundWindow(FHandle);
        return;
    }
    const unsigned closes = FCloseCount;
    Fire(OnShow);
    // OnShow may close the form (the wizard does when the user gives up before the first page).
    if (FCloseCount != closes || !FHandle) return;
    PlaceByPosition();
    ShowWindow(FHandle, SW_SHOW);
    FocusFirst();
    UpdateDefaultLook(GetFocus());
}

void TForm::HideWindow()
{
    if (!FHandle || !IsWindowVisible(FHandle)) return;
    ShowWindow(FHandle, SW_HIDE);
    Fire(OnHide);
}

bool TForm::CloseQueryAllows()
{
    bool canClose = true;
    if (OnCloseQuery) Fire([&] { OnCloseQuery(canClose); });
    return canClose;
}

void TForm::Close()
{
    ++FCloseCount;
    if (FModal) {
        // The modal loop asks OnCloseQuery before it ends.
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQueryAllows()) return;
    HideWindow();
    if (Application.MainForm() == this) Application.Terminate();
}

int TForm::ShowModal()
{
    if (!FHandle || FModal) return mrCancel;  // a form cannot be modal twice at once
    DoCreate();

    HWND owner = nullptr;
    TForm* main = Application.MainForm();
    if (main && main != this && main->Handle() && IsWindowVisible(main->Handle())) {
        owner = main->Handle();
    } else if (HWND active = GetActiveWindow(); active && active != FHandle) {
        owner = active;
    }
    SetWindowLongPtrW(FHandle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));

    const std::vector<HWND> disabled = DisableThreadWindows(FHandle);
    FModal = true;
    FModalResult = mrNone;
    FShownHook = Application.TakeModalHook();
    const WPARAM serial = ++FModalSerial;
    SetVisible(true);
    VerifyWin32(PostMessageW(FHandle, kMsgModalShown, serial, 0) != FALSE, "PostMessageW(modal shown)");

    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        if (!FHandle) {
            FModalResult = mrCancel;
            break;
        }
        if (FModalResult == mrNone && !IsWindowVisible(FHandle)) FModalResult = mrCancel;
        if (FModalResult != mrNone) {
            if (CloseQueryAllows()) break;
            FModalResult = mrNone;
        }
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = msg.wParam;
            if (FModalResult == mrNone) FModalResult = mrCancel;
            break;
        }
        if (got == -1) {
            FModalResult = mrCancel;
            break;
        }
        Application.Dispatch(msg);
    }
    const int result = FModalResult;

    // The owner is enabled again before the dialog hides, so that Windows activates it and not another
    // program's window.
    for (auto it = disabled.rbegin(); it != disabled.rend(); ++it)
        if (IsWindow(*it)) EnableWindow(*it, TRUE);
    FModal = false;
    FShownHook = nullptr;
    HideWindow();
    if (owner && IsWindow(owner) && IsWindowVisible(owner)) SetActiveWindow(owner);
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return result;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_ERASEBKGND: {
        RECT r{};
        GetClientRect(FHandle, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, BrushOf(FColor));
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(FHandle, focus)) FFocusSave = focus;
        } else if (!HIWORD(wp)) {
            if (FFocusSave && IsWindow(FFocusSave) && IsChild(FHandle, FFocusSave) && IsWindowVisible(FFocusSave) &&
                IsWindowEnabled(FFocusSave))
                ::SetFocus(FFocusSave);
            else
                FocusFirst();
        }
        return 0;
    case DM_GETDEFID: {
        HWND focus = GetFocus();
        auto* b = dynamic_cast<TButton*>(FromHandle(focus));
        if (!b || b->ParentForm() != this) b = DefaultButton();
        if (b) return MAKELRESULT(b->Id(), DC_HASDEFID);
        return 0;
    }
    case WM_COMMAND: {
        TControl* from = FromHandle(reinterpret_cast<HWND>(lp));
        if (!from || from == this) {
            // From IsDialogMessage: Esc is IDCANCEL; Enter arrives as IDOK only when no default button is
            // enabled, and then does nothing.
            if (LOWORD(wp) == IDCANCEL) {
                if (TButton* b = CancelButton()) b->DoClick();
                return 0;
            }
            if (LOWORD(wp) == IDOK) return 0;
        }
        break;
    }
    case WM_DPICHANGED: {
        const auto* r = reinterpret_cast<const RECT*>(lp);
        SetWindowPos(FHandle, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyFont();
        RescaleTree();
        return 0;
    }
    case kMsgModalShown:
        if (FModal && wp == FModalSerial && FShownHook) {
            auto hook = std::move(FShownHook);
            FShownHook = nullptr;
            // The hook runs inside the loop; its exceptions end here.
            try {
                hook(*this);
            } catch (const std::exception& e) {
                OutputDebugStringA(e.what());
            } catch (...) {
                OutputDebugStringA("werb_ui: exception in the modal hook\n");
            }
        }
        return 0;
    default:
        break;
    }
    return TControl::WndProc(msg, wp, lp);
}

// ---- TApplication ----

void TApplication::Initialize()
{
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES |
                ICC_BAR_CLASSES;
    RequireWin32(InitCommonControlsEx(&icc) != FALSE, "InitCommonControlsEx");

    // The manifest normally declares the DPI awareness; then this call fails with ERROR_ACCESS_DENIED,
    // which is the expected outcome. Without a manifest it makes the process per-monitor aware.
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const auto setContext = LoadProc<SetContextFn>(L"user32.dll", "SetProcessDpiAwarenessContext");
    const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    if (setContext)
        setContext(perMonitorV2);
    else
        SetProcessDPIAware();
}

HWND TApplication::Handle() const
{
    return FMainForm ? FMainForm->Handle() : nullptr;
}

void TApplication::Dispatch(MSG& msg)
{
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && dynamic_cast<TForm*>(TControl::FromHandle(root)) && IsDialogMessageW(root, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int TApplication::Run(TForm& mainForm)
{
    FMainForm = &mainForm;
    FTerminated = false;
    mainForm.DoCreate();
    mainForm.SetVisible(true);
    MSG msg{};
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        Dispatch(msg);
    }
    FTerminated = true;
    FMainForm = nullptr;
    return static_cast<int>(msg.wParam);
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            FTerminated = true;
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns the program
            return;
        }
        Dispatch(msg);
    }
}

void TApplication::AnswerWithoutInput()
{
    // Any PeekMessage delivers the messages sent from other threads and processes; the filter keeps input.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
}

void TApplication::Terminate()
{
    FTerminated = true;
    PostQuitMessage(0);
}

std::function<void(TForm&)> TApplication::TakeModalHook()
{
    return std::exchange(FModalHook, {});
}

void TApplication::FormGone(TForm* form)
{
    if (FMainForm == form) FMainForm = nullptr;
}
