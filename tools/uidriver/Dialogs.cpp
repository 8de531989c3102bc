#include "Dialogs.h"

#include <cstdlib>

#include "Controls.h"
#include "Poll.h"
#include "Process.h"
#include "Screen.h"

namespace uidriver {

namespace {

struct Reference {
    IconKind kind;
    LPCSTR id;
};

const Reference kSystemIcons[] = {
    {IconKind::Stop, IDI_HAND},
    {IconKind::Information, IDI_ASTERISK},
    {IconKind::Exclamation, IDI_EXCLAMATION},
    {IconKind::Question, IDI_QUESTION},
};

// Share of opaque icon pixels that must agree for a match. Painting by the
// same system icon in another process gives the same pixels; the margin only
// absorbs rounding at the icon's soft edges.
constexpr double kMatchShare = 0.9;
constexpr int kChannelTolerance = 24;

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::string ClassOf(HWND hwnd) {
    char name[64] = "";
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

HWND IconStatic(HWND box) {
    for (HWND child : Children(box)) {
        if (::GetParent(child) != box || ClassOf(child) != "Static") continue;
        const LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) return child;
    }
    return nullptr;
}

bool Close(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int da = static_cast<int>((a >> shift) & 0xFF), db = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(da - db) > kChannelTolerance) return false;
    }
    return true;
}

double MatchShare(const Pixels& seen, LPCSTR iconId) {
    HICON icon = ::LoadIconA(nullptr, iconId);
    if (icon == nullptr) return 0.0;
    auto draw = [&](HDC hdc) { ::DrawIconEx(hdc, 0, 0, icon, seen.width, seen.height, 0, nullptr, DI_NORMAL); };
    const Pixels onBlack = Render(seen.width, seen.height, 0x000000, draw);
    const Pixels onWhite = Render(seen.width, seen.height, 0xFFFFFF, draw);
    if (onBlack.data.size() != seen.data.size() || onWhite.data.size() != seen.data.size()) return 0.0;
    size_t opaque = 0, agree = 0;
    for (size_t i = 0; i < seen.data.size(); ++i) {
        if (onBlack.data[i] != onWhite.data[i]) continue;  // transparent or blended
        ++opaque;
        if (Close(seen.data[i], onBlack.data[i])) ++agree;
    }
    return opaque == 0 ? 0.0 : static_cast<double>(agree) / static_cast<double>(opaque);
}

}  // namespace

const char* IconName(IconKind kind) {
    switch (kind) {
    case IconKind::None: return "none";
    case IconKind::Stop: return "stop";
    case IconKind::Information: return "information";
    case IconKind::Exclamation: return "exclamation";
    case IconKind::Question: return "question";
    case IconKind::Unknown: break;
    }
    return "unknown";
}

bool IsMessageBox(HWND hwnd) {
    if (ClassOf(hwnd) != "#32770") return false;
    HWND text = ::GetDlgItem(hwnd, kMessageBoxTextId);
    return text != nullptr && ClassOf(text) == "Static";
}

std::vector<HWND> MessageBoxes(DWORD pid) {
    std::vector<HWND> boxes;
    for (HWND hwnd : TopLevelWindows(pid, "#32770"))
        if (IsMessageBox(hwnd)) boxes.push_back(hwnd);
    return boxes;
}

IconKind ClassifyIcon(HWND box) {
    HWND icon = IconStatic(box);
    if (icon == nullptr || !::IsWindowVisible(icon)) return IconKind::None;
    // The handle means nothing here, but whether there is one does.
    DWORD_PTR handle = 0;
    if (::SendMessageTimeoutA(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &handle) != 0 &&
        handle == 0) {
        return IconKind::None;
    }
    RECT client{};
    ::GetClientRect(icon, &client);
    POINT origin{0, 0};
    ::ClientToScreen(icon, &origin);
    const RECT area{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    const Pixels seen = CaptureScreen(area);
    if (seen.data.empty()) return IconKind::Unknown;
    IconKind best = IconKind::Unknown;
    double bestShare = kMatchShare;
    for (const Reference& ref : kSystemIcons) {
        const double share = MatchShare(seen, ref.id);
        if (share >= bestShare) {
            bestShare = share;
            best = ref.kind;
        }
    }
    return best;
}

MessageBoxInfo ReadMessageBox(HWND box, DWORD iconTimeoutMs) {
    MessageBoxInfo info;
    info.hwnd = box;
    info.caption = WindowText(box);
    info.text = ControlText(box, kMessageBoxTextId);
    for (HWND child : Children(box)) {
        if (ClassOf(child) == "Button" && ::IsWindowVisible(child)) info.buttons.push_back(::GetDlgCtrlID(child));
    }
    WaitUntil([&] {
        info.icon = ClassifyIcon(box);
        return info.icon != IconKind::Unknown;
    }, iconTimeoutMs);
    return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD pid, DWORD timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    HWND found = nullptr;
    if (!WaitUntil([&] {
            auto boxes = MessageBoxes(pid);
            if (!boxes.empty()) found = boxes.front();
            return found != nullptr;
        }, timeoutMs)) {
        return std::nullopt;
    }
    const ULONGLONG spent = ::GetTickCount64() - start;
    const DWORD left = spent >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - spent);
    return ReadMessageBox(found, left < 1000 ? 1000 : left);
}

bool AnswerAndWait(HWND dialog, int buttonId, DWORD timeoutMs) {
    if (!Click(dialog, buttonId)) return false;
    return WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, timeoutMs);
}

HWND WaitForDialog(DWORD pid, const char* caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND hwnd : TopLevelWindows(pid, "#32770"))
            if (WindowText(hwnd) == caption) found = hwnd;
        return found != nullptr;
    }, timeoutMs);
    return found;
}

}  // namespace uidriver
