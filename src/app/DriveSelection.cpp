// Showing the selected drive's revision.
#include "app/DriveSelection.h"

#include <cstring>

#include "win/Controls.h"

namespace {

constexpr int kSelectionTextSize = 512;

// ModelName compared as the terminated string it is, never beyond its storage.
bool ModelNameEquals(const DriveEntry& entry, const char* text) {
    const std::size_t n = strnlen(entry.ModelName, sizeof entry.ModelName);
    return n < sizeof entry.ModelName && std::strlen(text) == n && std::memcmp(entry.ModelName, text, n) == 0;
}

}  // namespace

void ShowSelectedDriveRevision(HWND hCombo, HWND hLabel, const DriveTable& table) {
    char text[kSelectionTextSize] = " ";
    const CComboBox driveList(hCombo);
    const int index = driveList.GetCurSel();
    if (index != CB_ERR) {
        // CB_GETLBTEXT writes the whole item: one longer than the buffer is
        // not fetched (no drive name is that long, so it could not match).
        const int length = driveList.GetLBTextLen(index);
        if (length != CB_ERR && length < kSelectionTextSize) driveList.GetLBText(index, text);
    }
    const CWindow label(hLabel);
    label.SetWindowText("    ");
    for (int i = 0; i < table.nCount; ++i) {
        if (ModelNameEquals(*table.pEntries[i], text)) label.SetWindowText(table.pEntries[i]->Revision);
    }
}
