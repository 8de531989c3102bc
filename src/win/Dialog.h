// CDialog: a dialog built from a template, run modally (DoModal) or
// modelessly (Create, used by tests). Messages go first through the derived
// dialog's message table, then to virtual handlers, then to the platform's
// default dialog handling.
//
// A handler in a message table answers the message's result and sets
// bHandled to FALSE to pass the message on to the default handling.
#pragma once

#include <cstddef>

#include "win/Window.h"

class CSubclassedWindow;

class CDialog : public CWindow {
public:
    explicit CDialog(UINT idTemplate);
    ~CDialog() override;

    // Operations
    INT_PTR DoModal(HWND hParent = nullptr);
    HWND Create(HWND hParent = nullptr);  // modeless
    void EndDialog(INT_PTR result);

    // Attributes
    bool IsModal() const { return m_bModal; }
    // The result the dialog ended with; -1 while it has not ended.
    INT_PTR GetResult() const { return m_nResult; }

protected:
    // Virtual handlers
    virtual BOOL OnInitDialog();      // runs DoDataExchange; TRUE = default focus
    virtual void DoDataExchange() {}  // binds controls
    virtual void OnOK();              // IDOK: ends the dialog with IDOK
    virtual void OnCancel();          // IDCANCEL: ends the dialog with IDCANCEL
    // Message table hook: answers TRUE when the message was handled.
    virtual BOOL ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Binds a template control to a control object.
    void BindControl(int id, CWindow& control) const;
    // Binds a template control to a control object that takes it over
    // (subclasses it) and so sees its messages first.
    void BindControl(int id, CSubclassedWindow& control) const;

    // One row of a dialog's message table. code and id take part only for
    // WM_COMMAND (notification code and control id).
    template <class T>
    struct MessageEntry {
        UINT msg;
        UINT code;
        UINT id;
        LRESULT (T::*handler)(WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    };

    template <class T, std::size_t N>
    BOOL DispatchTable(T* self, const MessageEntry<T> (&table)[N], UINT msg, WPARAM wParam,
                       LPARAM lParam, LRESULT& result) {
        for (const MessageEntry<T>& e : table) {
            if (e.msg != msg) continue;
            if (msg == WM_COMMAND && (e.code != HIWORD(wParam) || e.id != LOWORD(wParam))) continue;
            BOOL bHandled = TRUE;
            result = (self->*e.handler)(wParam, lParam, bHandled);
            if (bHandled) return TRUE;
        }
        return FALSE;
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_idTemplate;
    bool m_bModal = false;
    INT_PTR m_nResult = -1;
};
