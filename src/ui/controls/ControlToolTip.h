// CControlToolTip: a small bordered popup (window class "ControlToolTip")
// that shows a text of one or more lines next to an owner control. Once
// created it polls every 100 ms where the pointer is, which mouse button is
// held and which window has the focus (all read through the Platform), and
// shows or hides itself; by default only while the left button is held down
// over the owner. Dialog thread only.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Platform.h"

class CControlToolTip {
public:
    explicit CControlToolTip(Platform& platform = Platform::Default());
    virtual ~CControlToolTip();
    CControlToolTip(const CControlToolTip&) = delete;
    CControlToolTip& operator=(const CControlToolTip&) = delete;

    // 1 on success, 0 when the popup (or the destruction of the old one) failed.
    int Create(HWND hOwner);
    BOOL Destroy();
    void SetText(const char* text);
    void SetPlacement(int placement);  // 0 over the top-left corner, 1 below, 2 above
    void SetCustomBack(BOOL custom, COLORREF color);
    void SetForeColor(COLORREF color);
    void SetNeedsButton(BOOL needs);
    void SetLeftButton(BOOL left);

    // Attributes
    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetOwner() const { return m_hOwner; }
    const std::string& GetText() const { return m_strText; }
    RECT GetTextRect() const { return m_rcText; }
    int GetPlacement() const { return m_nPlacement; }

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM id, LPARAM lParam);
    void OnPaint();
    // Shows the popup at its place beside the owner, or hides it when the
    // text is empty.
    void Reposition();
    void RepaintNow();
    bool IsVisible() const;
    // Measures the text with the popup's font into the text rectangle.
    void UpdateTextRect();
    SIZE MeasureText(HDC hdc) const;

    Platform& m_platform;
    HWND m_hWnd = nullptr;    // the popup; owned
    HWND m_hOwner = nullptr;  // not owned; null before Create and after Destroy
    std::string m_strText;
    RECT m_rcText = {0, 0, 0, 0};  // also the popup's size
    int m_nPlacement = 0;
    COLORREF m_crText;
    COLORREF m_crBack;
    BOOL m_bCustomColors = FALSE;
    BOOL m_bNeedsButton = TRUE;
    BOOL m_bLeftButton = TRUE;  // FALSE: the right button
};
