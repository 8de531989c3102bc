// CWindow: a thin holder of an HWND, in the spirit of WTL. Every operation is
// one assertion that the window exists plus one direct Win32 call; nothing
// is hidden. The controls of a dialog are bound
// to CWindow objects by id (see CDialog::BindControl).
#pragma once

#include <windows.h>

#include <cassert>
#include <string>

class CWindow {
public:
    CWindow() = default;
    explicit CWindow(HWND hWnd) : m_hWnd(hWnd) {}
    virtual ~CWindow() = default;

    // Attributes
    HWND GetSafeHwnd() const { return m_hWnd; }
    bool IsAttached() const { return m_hWnd != nullptr; }

    // Operations
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach() { HWND h = m_hWnd; m_hWnd = nullptr; return h; }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        assert(::IsWindow(m_hWnd));
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }
    BOOL SetWindowText(const char* text) const {
        assert(::IsWindow(m_hWnd));
        return ::SetWindowTextA(m_hWnd, text);
    }
    int GetWindowText(char* buffer, int size) const {
        assert(::IsWindow(m_hWnd));
        return ::GetWindowTextA(m_hWnd, buffer, size);
    }
    // The whole text, however long.
    std::string GetWindowTextString() const {
        int length = GetWindowTextLength();
        std::string text(static_cast<size_t>(length) + 1, '\0');
        length = GetWindowText(text.data(), length + 1);
        text.resize(static_cast<size_t>(length > 0 ? length : 0));
        return text;
    }
    int GetWindowTextLength() const {
        assert(::IsWindow(m_hWnd));
        return ::GetWindowTextLengthA(m_hWnd);
    }
    BOOL EnableWindow(BOOL enable) const {
        assert(::IsWindow(m_hWnd));
        return ::EnableWindow(m_hWnd, enable);
    }
    BOOL IsWindowEnabled() const {
        assert(::IsWindow(m_hWnd));
        return ::IsWindowEnabled(m_hWnd);
    }
    HWND GetDlgItem(int id) const {
        assert(::IsWindow(m_hWnd));
        return ::GetDlgItem(m_hWnd, id);
    }
    // The control `id` of this dialog, as a window object.
    CWindow Item(int id) const { return CWindow(GetDlgItem(id)); }

protected:
    HWND m_hWnd = nullptr;
};
