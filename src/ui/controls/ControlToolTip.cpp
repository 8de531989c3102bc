#include "ui/controls/ControlToolTip.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr char kClassName[] = "ControlToolTip";
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollPeriodMs = 100;
// The popup is the text's size plus this on each axis: the border takes a
// pixel on each side, which leaves two of room right of and below the text.
constexpr LONG kMargin = 4;

HINSTANCE ModuleInstance() { return GetModuleHandleA(nullptr); }

// One registration serves every tooltip of the process; a class already
// known (an earlier tooltip, or whoever registered it first) is left alone.
void RegisterToolTipClass(WNDPROC proc) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExA(ModuleInstance(), kClassName, &wc)) return;
    wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_SAVEBITS | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_INFOBK + 1));
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);
}

int ClampLength(std::size_t length) { return static_cast<int>(std::min<std::size_t>(length, 0x7fffffff)); }

}  // namespace

CControlToolTip::CControlToolTip(Platform& platform)
    : m_platform(platform), m_crText(GetSysColor(COLOR_INFOTEXT)), m_crBack(GetSysColor(COLOR_INFOBK)) {
    RegisterToolTipClass(&CControlToolTip::WindowProc);
}

CControlToolTip::~CControlToolTip() { Destroy(); }

int CControlToolTip::Create(HWND hOwner) {
    if (m_hWnd && !Destroy()) return 0;
    m_hOwner = hOwner;
    // Top-level, so that the popup may stand outside the owner's dialog; this
    // object, not the dialog, ends it.
    m_hWnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP | WS_BORDER, 0, 0, 0, 0,
                             nullptr, nullptr, ModuleInstance(), this);
    if (!m_hWnd) return 0;
    UpdateTextRect();
    SetTimer(m_hWnd, kPollTimer, kPollPeriodMs, nullptr);
    return 1;
}

BOOL CControlToolTip::Destroy() {
    if (!m_hWnd) return TRUE;
    ShowWindow(m_hWnd, SW_HIDE);
    KillTimer(m_hWnd, kPollTimer);
    m_hOwner = nullptr;
    // WM_NCDESTROY lets go of the handle once the window is gone.
    return DestroyWindow(m_hWnd);
}

void CControlToolTip::SetText(const char* text) {
    m_strText = text ? text : "";
    if (!m_hWnd) return;  // measured at Create
    UpdateTextRect();
    if (IsVisible()) Reposition();
}

void CControlToolTip::SetPlacement(int placement) {
    if (placement < 0 || placement > 2) return;
    m_nPlacement = placement;
    if (IsVisible()) Reposition();
}

void CControlToolTip::SetCustomBack(BOOL custom, COLORREF color) {
    m_bCustomColors = custom;
    if (custom) m_crBack = color;
    if (IsVisible()) RepaintNow();
}

void CControlToolTip::SetForeColor(COLORREF color) {
    m_crText = color;
    if (m_bCustomColors && IsVisible()) RepaintNow();
}

void CControlToolTip::SetNeedsButton(BOOL needs) { m_bNeedsButton = needs; }

void CControlToolTip::SetLeftButton(BOOL left) { m_bLeftButton = left; }

LRESULT CALLBACK CControlToolTip::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CControlToolTip*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hWnd;
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<CControlToolTip*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hWnd, message, wParam, lParam);
    switch (message) {
    case WM_TIMER:
        return self->OnTimer(wParam, lParam);
    case WM_PAINT:
        self->OnPaint();
        return 0;
    case WM_NCDESTROY:
        // Whoever ends the window, the object no longer refers to it.
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        if (self->m_hWnd == hWnd) self->m_hWnd = nullptr;
        break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

LRESULT CControlToolTip::OnTimer(WPARAM id, LPARAM lParam) {
    if (id == kPollTimer && m_hOwner) {
        HWND focus = m_platform.GetFocus();
        HWND focusParent = focus ? GetParent(focus) : nullptr;
        HWND ownerParent = GetParent(m_hOwner);

        bool buttonHeld = true;
        if (m_bNeedsButton) {
            // The key-down bit is the top bit; shifted right by one the value
            // is non-zero exactly when it is set (the toggle bit drops out).
            const SHORT state = m_platform.GetKeyState(m_bLeftButton ? VK_LBUTTON : VK_RBUTTON);
            buttonHeld = (state >> 1) != 0;
        }

        // A pointer or owner that cannot be read counts as outside.
        POINT pt = {};
        RECT rc = {};
        const bool pointerInside = m_platform.GetCursorPos(&pt) && GetWindowRect(m_hOwner, &rc) &&
                                   rc.left <= pt.x && pt.x <= rc.right && rc.top <= pt.y && pt.y <= rc.bottom;

        if (pointerInside && buttonHeld) {
            // Only while the focus is inside the owner's dialog: the tip
            // belongs to the dialog the user works in.
            if (!IsVisible() && focusParent == ownerParent) Reposition();
            if (IsVisible() && focusParent != ownerParent) ShowWindow(m_hWnd, SW_HIDE);
        } else if (IsVisible()) {
            ShowWindow(m_hWnd, SW_HIDE);
        }
    }
    return DefWindowProcA(m_hWnd, WM_TIMER, id, lParam);
}

void CControlToolTip::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hWnd, &ps);
    if (!hdc) return;
    HGDIOBJ oldFont = SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(hdc, TRANSPARENT);
    if (m_bCustomColors) {
        // Without custom colours the class brush has erased the background
        // already and the text keeps the DC's default colour.
        if (HBRUSH brush = CreateSolidBrush(m_crBack)) {
            FillRect(hdc, &m_rcText, brush);
            DeleteObject(brush);
        }
        SetTextColor(hdc, m_crText);
    }
    RECT rc = m_rcText;
    DrawTextA(hdc, m_strText.data(), ClampLength(m_strText.size()), &rc, 0);
    SelectObject(hdc, oldFont);
    EndPaint(m_hWnd, &ps);
}

void CControlToolTip::Reposition() {
    if (m_strText.empty()) {
        ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    const LONG width = m_rcText.right - m_rcText.left;
    const LONG height = m_rcText.bottom - m_rcText.top;
    POINT pt = {0, 0};
    if (m_nPlacement == 1) {
        RECT client = {};
        GetClientRect(m_hOwner, &client);
        pt.y = client.bottom - client.top;
    } else if (m_nPlacement == 2) {
        pt.y = -height;
    }
    ClientToScreen(m_hOwner, &pt);
    SetWindowPos(m_hWnd, HWND_TOP, pt.x, pt.y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    RepaintNow();
}

void CControlToolTip::RepaintNow() {
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool CControlToolTip::IsVisible() const { return m_hWnd && IsWindowVisible(m_hWnd); }

void CControlToolTip::UpdateTextRect() {
    HDC hdc = GetDC(m_hWnd);
    if (!hdc) return;
    HGDIOBJ oldFont = SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
    const SIZE size = MeasureText(hdc);
    SelectObject(hdc, oldFont);
    ReleaseDC(m_hWnd, hdc);
    m_rcText = {0, 0, size.cx + kMargin, size.cy + kMargin};
}

// Lines are measured where they stand in the text, with their lengths, so a
// text of any length is measured whole.
SIZE CControlToolTip::MeasureText(HDC hdc) const {
    const std::string& text = m_strText;
    SIZE whole = {};
    GetTextExtentPoint32A(hdc, text.data(), ClampLength(text.size()), &whole);
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    if (lines == 1) return whole;

    SIZE result = {0, static_cast<LONG>(whole.cy * lines)};
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) {
            SIZE piece = {};
            GetTextExtentPoint32A(hdc, text.data() + start, ClampLength(end - start), &piece);
            result.cx = std::max(result.cx, piece.cx);
        }
        start = end + 1;
    }
    return result;
}
