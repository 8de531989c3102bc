// CLabelCtrl: the reusable styled static text. A dialog declares one per
// decorated static of its template and binds it by id (CDialog::BindControl
// subclasses the static); the label never creates a window of its own. From
// then on it paints the static itself with its own font, colours, alignment,
// optional background bitmap, rotation, vertical text, etched lines and
// blinking, reacts to the mouse (hover colour, cursor, open-on-click) and can
// own a tooltip popup.
//
// The label keeps its logical text apart from the window text. The logical
// text is what it paints and what any reader of the window text gets back;
// the window text is what the standard static would paint in system-drawn
// mode, so the label sets it to the vertical form in vertical mode and
// empties it in the hidden phase of text blinking. Text set from outside
// (WM_SETTEXT) becomes the logical text; the label's own changes of the
// window text never do.
//
// The operations are for a label bound to its window; each returns the label
// so that calls can be chained. Dialog thread only.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Platform.h"
#include "ui/controls/ControlToolTip.h"
#include "win/SubclassedWindow.h"

// Alignment flags: one horizontal and one vertical bit.
constexpr UINT LA_LEFT = 0x01;
constexpr UINT LA_CENTER = 0x02;
constexpr UINT LA_RIGHT = 0x04;
constexpr UINT LA_TOP = 0x08;
constexpr UINT LA_VCENTER = 0x10;
constexpr UINT LA_BOTTOM = 0x20;

class CLabelCtrl : public CSubclassedWindow {
public:
    explicit CLabelCtrl(Platform& platform = Platform::Default());
    ~CLabelCtrl() override;
    CLabelCtrl(const CLabelCtrl&) = delete;
    CLabelCtrl& operator=(const CLabelCtrl&) = delete;

    // --- Text -----------------------------------------------------------------
    CLabelCtrl& SetText(const char* text);
    std::string GetText() const { return m_strText; }

    // --- Colours (a repaint follows each) --------------------------------------
    CLabelCtrl& SetBackColor(COLORREF color);
    CLabelCtrl& SetDefaultBackColor();  // the system button face, followed
    CLabelCtrl& SetTextBackColor(COLORREF color);  // behind the laid-out lines
    CLabelCtrl& SetDefaultTextBackColor();         // the background again
    CLabelCtrl& SetForeColor(COLORREF color);
    CLabelCtrl& SetDefaultForeColor();  // the system window text
    CLabelCtrl& SetHoverColor(COLORREF color);

    // --- Font (rebuilt and repainted after each) -------------------------------
    CLabelCtrl& SetBold(BOOL bold);
    CLabelCtrl& SetItalic(BOOL italic);
    CLabelCtrl& SetUnderline(BOOL underline);
    // Font-mapper convention: positive = cell height, negative = character
    // height, in screen pixels.
    CLabelCtrl& SetFontHeight(LONG height);
    // At most 31 characters are kept.
    CLabelCtrl& SetFaceName(const char* name);

    // --- Appearance ------------------------------------------------------------
    // 1: the standard static paints itself with the label's font, text colour
    // and background brush. Returns whether the repaint succeeded.
    BOOL SetSystemDrawn(BOOL systemDrawn);
    // LA_* flags. A horizontal bit replaces the alignment (left beats centre
    // beats right) and moves the static's own SS_CENTER/SS_RIGHT along; a
    // call with only a vertical bit adds it to the vertical bits there are.
    CLabelCtrl& SetAlignment(UINT flags);
    int GetHorzAlign() const;  // 0 left, 1 centre, 2 right
    int GetVertAlign() const;  // 0 top, 1 centre, 2 bottom
    CLabelCtrl& SetRotation(int degrees);  // 0, 90, 180 or 270
    // A bitmap resource of this program, or -1 for none.
    CLabelCtrl& SetBitmap(int id);
    CLabelCtrl& SetStretchBitmap(BOOL stretch);  // else centred
    CLabelCtrl& SetBorder(BOOL border);
    BOOL HasBorder() const;
    CLabelCtrl& SetSunken(BOOL sunken);
    CLabelCtrl& SetDisabledLook(BOOL disabled);  // embossed text
    CLabelCtrl& SetLowerCase(BOOL lower);
    CLabelCtrl& SetUpperCase(BOOL upper);
    CLabelCtrl& SetVertical(BOOL vertical);  // one character per line
    CLabelCtrl& SetEtchedLines(BOOL etched);

    // --- Mouse -----------------------------------------------------------------
    CLabelCtrl& SetOpenOnClick(BOOL open);  // the shell opens the text
    CLabelCtrl& SetHoverCursor(HCURSOR cursor);
    CLabelCtrl& LoadHoverCursor(int id);  // a cursor resource of this program
    CLabelCtrl& SetHoverHighlight(BOOL highlight);
    CLabelCtrl& SetHighlightNeedsTip(BOOL needsTip);

    // --- Blinking: the text on timer 1, the background on timer 2 --------------
    CLabelCtrl& BlinkText(BOOL on, UINT periodMs);
    CLabelCtrl& BlinkBack(BOOL on, UINT periodMs);

    // --- Tooltip ---------------------------------------------------------------
    CLabelCtrl& EnableTip(BOOL enable);
    CLabelCtrl& SetTipText(const char* text);
    CLabelCtrl& SetTipPlacement(int placement);  // 0, 1 or 2
    CLabelCtrl& SetTipNeedsButton(BOOL needs);
    CLabelCtrl& SetTipLeftButton(BOOL left);

    // Paints the whole label as WM_PAINT does, into `hdc` whose client
    // rectangle (origin 0, 0) is `client`; also usable on a memory context.
    void Paint(HDC hdc, const RECT& client);

    // Attributes
    COLORREF GetForeColor() const { return m_crFore; }
    const LOGFONTA& GetLogFont() const { return m_lf; }
    BOOL IsSysFore() const { return m_bSysFore; }
    UINT GetAlignment() const { return m_nAlign; }

protected:
    void OnSubclassed() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void StartBlinkTimer(UINT_PTR id, BOOL on, UINT periodMs);
    // Messages (LabelPaint.cpp, LabelInteraction.cpp)
    void OnPaint();
    LRESULT OnCtlColor(HDC hdc);
    void OnMouseMove();
    void OnMouseHover();
    void OnMouseLeave();
    void OnLButtonDown();
    void OnTimer(WPARAM id);
    LRESULT OnEnable(WPARAM wParam, LPARAM lParam);

    // Painting steps
    void DrawBitmap(HDC hdc, int cw, int ch) const;
    void DrawPlainText(HDC hdc, const std::string& text, const RECT& client) const;

    // The text with a line feed between every two adjacent characters.
    static std::string VerticalForm(const std::string& text);
    // Sets the window text with the text guard up, so that it stays apart
    // from the logical text.
    void SetOwnWindowText(const std::string& text);
    BOOL RepaintNow() const;
    void RebuildFont();
    void ReplaceBackBrush();
    void ModifyStyle(DWORD remove, DWORD add) const;

    COLORREF m_crBack;
    COLORREF m_crTextBack;
    COLORREF m_crFore;
    COLORREF m_crHover;
    COLORREF m_crSaved;
    HBRUSH m_brBack;
    BOOL m_bSystemDrawn = FALSE;
    BOOL m_bSysBack = TRUE;
    BOOL m_bTextBackFollows = TRUE;
    BOOL m_bSysFore = TRUE;
    BOOL m_bOpenOnClick = FALSE;
    BOOL m_bEtched = FALSE;
    BOOL m_bHoverHighlight = FALSE;
    BOOL m_bVertical = FALSE;
    BOOL m_bTracking = FALSE;
    BOOL m_bBlinkText = FALSE;
    BOOL m_bBlinkBack = FALSE;
    BOOL m_bTextHidden = FALSE;
    BOOL m_bBackAlt = FALSE;
    BOOL m_bTipEnabled = FALSE;
    BOOL m_bHighlightNeedsTip = FALSE;
    BOOL m_bOwnTextChange = FALSE;
    BOOL m_bLowerCase = FALSE;
    BOOL m_bUpperCase = FALSE;
    BOOL m_bStretchBitmap = FALSE;
    LOGFONTA m_lf;
    HFONT m_font = nullptr;
    HCURSOR m_hCursor = nullptr;  // not owned
    HBITMAP m_hBitmap = nullptr;
    UINT m_nAlign = LA_LEFT | LA_TOP;
    int m_nAngle = 0;
    std::string m_strText;
    CControlToolTip m_tip;

    Platform& m_platform;
};
