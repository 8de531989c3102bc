// CSubclassedWindow: a control object that takes over the window procedure of
// an existing control (usually a static from a dialog template) and sees its
// messages first, including the colour requests its parent reflects to it.
#pragma once

#include "win/Window.h"

// Reflected notifications: the parent dialog sends a control's own colour
// request back to the control with this offset added (the ATL convention).
constexpr UINT OCM__BASE = WM_USER + 0x1C00;
constexpr UINT OCM_CTLCOLORSTATIC = OCM__BASE + WM_CTLCOLORSTATIC;

class CSubclassedWindow : public CWindow {
public:
    ~CSubclassedWindow() override;

    // Replaces the control's window procedure with ours. Fails when this
    // object already subclasses a window or hWnd is not a window.
    bool SubclassWindow(HWND hWnd);
    // Gives the control its own procedure back.
    HWND UnsubclassWindow();

    // The object behind a window subclassed by this layer, or null.
    static CSubclassedWindow* FromHandle(HWND hWnd);

protected:
    // Called after the procedure has been replaced, like an MFC
    // PreSubclassWindow: the place for the object's own set-up step.
    virtual void OnSubclassed() {}
    // Sees every message first; the default passes it to the old procedure.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
    WNDPROC m_pfnSuper = nullptr;
};
