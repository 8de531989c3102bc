#include "win/SubclassedWindow.h"

namespace {
const char kPropName[] = "MARROWFIN.CSubclassedWindow";
}

CSubclassedWindow::~CSubclassedWindow() {
    if (m_pfnSuper != nullptr && ::IsWindow(m_hWnd)) UnsubclassWindow();
}

bool CSubclassedWindow::SubclassWindow(HWND hWnd) {
    if (m_pfnSuper != nullptr || !::IsWindow(hWnd)) return false;
    m_hWnd = hWnd;
    ::SetPropA(hWnd, kPropName, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticProc)));
    OnSubclassed();
    return true;
}

HWND CSubclassedWindow::UnsubclassWindow() {
    if (m_pfnSuper == nullptr) return nullptr;
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropA(m_hWnd, kPropName);
    m_pfnSuper = nullptr;
    return Detach();
}

CSubclassedWindow* CSubclassedWindow::FromHandle(HWND hWnd) {
    return static_cast<CSubclassedWindow*>(::GetPropA(hWnd, kPropName));
}

LRESULT CSubclassedWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CSubclassedWindow::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= OCM__BASE && msg < OCM__BASE + 0x400) return 0;  // reflection not taken
    return ::CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CSubclassedWindow::StaticProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CSubclassedWindow* self = FromHandle(hWnd);
    if (self == nullptr) return ::DefWindowProcA(hWnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        WNDPROC super = self->m_pfnSuper;
        self->UnsubclassWindow();
        return ::CallWindowProcA(super, hWnd, msg, wParam, lParam);
    }
    return self->WindowProc(msg, wParam, lParam);
}
