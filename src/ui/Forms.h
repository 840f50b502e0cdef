// Forms and the application object: top-level windows, ShowModal with its own loop, Enter and Esc, the test hook.
//
// A form is a C++ object created once and reused; closing hides it, it is never destroyed inside a message
// loop. A derived form builds its controls as members, then calls DoCreate() (OnCreate); its destructor
// calls Free() first (OnDestroy while its members still exist, then the window goes).
//
// Enter and Esc: every message loop of the layer passes messages through IsDialogMessageW of their form.
// IsDialogMessage asks the form for its default button (DM_GETDEFID): a focused push button, else the
// button flagged Default while it is visible and enabled; with none, Enter does nothing. Esc arrives as
// IDCANCEL and presses the visible, enabled button flagged Cancel, if there is one. Tab walks the WS_TABSTOP
// controls in z-order, which the layer keeps equal to the tab order.
//
// A form reads like its design table:
//
//     class TfrmPytanie : public TForm {
//     public:
//         TfrmPytanie() : TForm({.ClientWidth = 322, .ClientHeight = 124, .Caption = "Uwaga",
//                                .BorderStyle = bsDialog, .BorderIcons = 0})
//         {
//             SetActiveControl(&btnTak);
//             DoCreate();
//         }
//         ~TfrmPytanie() override { Free(); }
//         TLabel lblPytanie{*this, {.Left = 16, .Top = 16, .Alignment = taCenter, .MaxWidth = 400}};
//         TButton btnTak{*this, {.Left = 8, .Top = 95, .Width = 97, .Height = 23,
//                                .Anchors = akLeft | akBottom, .TabOrder = 0, .Caption = "Tak",
//                                .ModalResult = mrYes}};
//     };
//
// Aligned siblings are laid out when they are created, so create them in the order of the design (the
// bands before the pages) before the anchored controls inside them: anchors keep the distances of the
// moment a control is placed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/Controls.h"

class TButton;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = unsigned;
enum TPosition { poDesigned, poScreenCenter, poMainFormCenter };

struct TFormArgs {
    int Left = 0, Top = 0;
    int ClientWidth = 320, ClientHeight = 240;
    std::string Caption;
    TFormBorderStyle BorderStyle = bsSizeable;
    TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
    TPosition Position = poDesigned;
    std::string FontName = "MS Sans Serif";
    int FontHeight = -11;
    BYTE FontCharset = DEFAULT_CHARSET;
    TColor Color = clBtnFace;
};

class TForm : public TControl {
public:
    explicit TForm(const TFormArgs& args = {});
    ~TForm() override;

    // Show (OnShow, position, focus on ActiveControl) or hide; a modal form is shown by ShowModal.
    void SetVisible(bool visible) override;
    // Runs the form's own loop until ModalResult is set and OnCloseQuery allows it; the form is then hidden.
    int ShowModal();
    // Modal: ModalResult := mrCancel. Otherwise OnCloseQuery, hide, and the main form ends the program.
    void Close();
    bool Modal() const { return FModal; }
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int result) { FModalResult = result; }

    void DoCreate();
    void Free();

    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int w) { SetClientSize(w, ClientHeight()); }
    void SetClientHeight(int h) { SetClientSize(ClientWidth(), h); }
    void SetClientSize(int width, int height);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition p) { FPosition = p; }
    TColor Color() const { return FColor; }
    void SetColor(TColor c);
    TColor BackgroundColor() const override { return FColor; }

    // The focused control of this form, else the one that gets the focus when the form is shown.
    TControl* ActiveControl() const;
    void SetActiveControl(TControl* control);
    TButton* DefaultButton() const;
    TButton* CancelButton() const;

    std::function<void()> OnCreate;
    std::function<void()> OnShow;
    std::function<void()> OnHide;
    std::function<void()> OnDestroy;
    std::function<void(bool& canClose)> OnCloseQuery;

    // For the controls of the layer.
    void ForgetControl(TControl* control);
    void FocusNextFrom(HWND from);
    void UpdateDefaultLook(HWND focus);

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool CloseQueryAllows();
    void PlaceByPosition();
    void FocusFirst();
    void HideWindow();

    TColor FColor = clBtnFace;
    TPosition FPosition = poDesigned;
    TControl* FActiveControl = nullptr;
    HWND FFocusSave = nullptr;
    bool FModal = false;
    int FModalResult = mrNone;
    WPARAM FModalSerial = 0;
    std::function<void(TForm&)> FShownHook;
    bool FCreated = false;
    bool FFreed = false;
    unsigned FCloseCount = 0;
};

class TApplication {
public:
    // Common controls and DPI awareness; call once before the first form.
    void Initialize();
    // Shows the main form and runs the loop until WM_QUIT (closing the main form posts it).
    int Run(TForm& mainForm);
    // Handles the pending messages and returns; a WM_QUIT sets Terminated and stays queued for the loops.
    void ProcessMessages();
    // Inside work that must not be re-entered: answers what the system sends and repaints, and leaves input
    // (clicks, keys) queued for later.
    void AnswerWithoutInput();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    TForm* MainForm() const { return FMainForm; }
    // The main form's window: the owner for shell calls and message boxes.
    HWND Handle() const;

    // The test hook: f runs once, inside the next ShowModal's own loop, when the form is visible. It may
    // press the form's real buttons or post keys, and may arm the hook again for a nested modal form.
    void OnNextModalShown(std::function<void(TForm&)> f) { FModalHook = std::move(f); }

    // IsDialogMessageW of the message's form when it has one, else TranslateMessage and DispatchMessageW.
    void Dispatch(MSG& msg);

private:
    friend class TForm;
    std::function<void(TForm&)> TakeModalHook();
    void FormGone(TForm* form);

    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    std::function<void(TForm&)> FModalHook;
};

extern TApplication Application;
