// What the widget-layer tests share: real key presses, a watchdog for modal loops, window rectangles.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "ui/Ui.h"

// Posts a real key press to the focused control of the form (or to the form), so that it goes through
// the message loop and IsDialogMessage exactly like a user's key.
inline void PressKey(TForm& form, WORD vk)
{
    HWND target = GetFocus();
    if (!target || (target != form.Handle() && !IsChild(form.Handle(), target))) target = form.Handle();
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}

// Ends a modal loop that a broken test would leave running: ModalResult becomes kWatchdogResult.
inline constexpr int kWatchdogResult = 999;

class TModalWatchdog {
public:
    explicit TModalWatchdog(TForm& form, UINT ms = 10000)
    {
        Current() = &form;
        FTimer = SetTimer(nullptr, 0, ms, &TModalWatchdog::Fire);
    }
    ~TModalWatchdog()
    {
        KillTimer(nullptr, FTimer);
        Current() = nullptr;
    }
    TModalWatchdog(const TModalWatchdog&) = delete;
    TModalWatchdog& operator=(const TModalWatchdog&) = delete;

private:
    static TForm*& Current()
    {
        static TForm* form = nullptr;
        return form;
    }
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        if (Current()) Current()->SetModalResult(kWatchdogResult);
        ADD_FAILURE() << "watchdog: the modal loop did not end";
    }
    UINT_PTR FTimer = 0;
};

// A child's rectangle in its parent's client coordinates, physical pixels, from the window manager.
inline RECT RectInParent(const TControl& c)
{
    RECT r{};
    GetWindowRect(c.Handle(), &r);
    MapWindowPoints(nullptr, GetParent(c.Handle()), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Removes a WM_QUIT left in the queue; returns whether there was one and its exit code.
inline bool TakeQuit(int* code = nullptr)
{
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    if (code) *code = static_cast<int>(msg.wParam);
    return true;
}
