#include "Controls.h"

#include <commctrl.h>

namespace uidriver {

namespace {

bool Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR value = 0;
    if (::SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &value) == 0)
        return false;
    result = static_cast<LRESULT>(value);
    return true;
}

}  // namespace

std::string WindowText(HWND hwnd) {
    if (hwnd == nullptr) return {};
    LRESULT length = 0;
    if (!Send(hwnd, WM_GETTEXTLENGTH, 0, 0, length) || length < 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = 0;
    if (!Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied)) return {};
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::string ControlText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

bool SetControlText(HWND dialog, int id, const std::string& text) {
    HWND hwnd = ::GetDlgItem(dialog, id);
    LRESULT result = 0;
    return hwnd != nullptr && Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), result) &&
           result != 0;
}

bool ControlExists(HWND dialog, int id) { return ::GetDlgItem(dialog, id) != nullptr; }

bool IsControlEnabled(HWND dialog, int id) {
    HWND hwnd = ::GetDlgItem(dialog, id);
    return hwnd != nullptr && ::IsWindowEnabled(hwnd);
}

bool Click(HWND dialog, int id) {
    HWND hwnd = ::GetDlgItem(dialog, id);
    if (hwnd == nullptr || !::IsWindowVisible(hwnd) || !::IsWindowEnabled(hwnd)) return false;
    return ::PostMessageA(hwnd, BM_CLICK, 0, 0) != FALSE;
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
    // The items are fetched as UTF-16 and converted here: Wine hands an ANSI
    // CB_GETLBTEXT from another process the item's UTF-16 bytes.
    std::vector<std::string> items;
    HWND hwnd = ::GetDlgItem(dialog, id);
    LRESULT count = 0;
    if (hwnd == nullptr || !Send(hwnd, CB_GETCOUNT, 0, 0, count) || count == CB_ERR) return items;
    for (LRESULT i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (::SendMessageTimeoutW(hwnd, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length) == 0 ||
            static_cast<LRESULT>(length) == CB_ERR) {
            break;
        }
        std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (::SendMessageTimeoutW(hwnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide.data()), SMTO_ABORTIFHUNG,
                                  kMessageTimeoutMs, &copied) == 0 ||
            static_cast<LRESULT>(copied) == CB_ERR) {
            break;
        }
        wide.resize(static_cast<size_t>(copied));
        std::string item(wide.size() * 2 + 1, '\0');
        const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), item.data(),
                                                static_cast<int>(item.size()), nullptr, nullptr);
        item.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
        items.push_back(item);
    }
    return items;
}

bool ChooseComboItem(HWND dialog, int id, int index) {
    HWND hwnd = ::GetDlgItem(dialog, id);
    LRESULT result = 0;
    if (hwnd == nullptr || !Send(hwnd, CB_SETCURSEL, index, 0, result) || result != index) return false;
    return Send(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(hwnd), result);
}

bool ShowDropDown(HWND dialog, int id, bool show) {
    HWND hwnd = ::GetDlgItem(dialog, id);
    LRESULT result = 0;
    return hwnd != nullptr && Send(hwnd, CB_SHOWDROPDOWN, show ? TRUE : FALSE, 0, result);
}

int ProgressPosition(HWND dialog, int id) {
    HWND hwnd = ::GetDlgItem(dialog, id);
    LRESULT position = 0;
    if (hwnd == nullptr || !Send(hwnd, PBM_GETPOS, 0, 0, position)) return -1;
    return static_cast<int>(position);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> ControlLines(HWND dialog, int id) { return SplitLines(ControlText(dialog, id)); }

bool PostKey(HWND hwnd, UINT virtualKey) {
    if (hwnd == nullptr) return false;
    const UINT scan = ::MapVirtualKeyA(virtualKey, 0);
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    const LPARAM up = down | (1L << 30) | (1L << 31);
    return ::PostMessageA(hwnd, WM_KEYDOWN, virtualKey, down) && ::PostMessageA(hwnd, WM_KEYUP, virtualKey, up);
}

HWND ComboEdit(HWND dialog, int id) {
    HWND combo = ::GetDlgItem(dialog, id);
    return combo == nullptr ? nullptr : ::FindWindowExA(combo, nullptr, "Edit", nullptr);
}

}  // namespace uidriver
