// The drive list's selection handler on a real combo box and static.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/DriveSelection.h"

namespace {

class DriveSelectionTest : public ::testing::Test {
protected:
    ~DriveSelectionTest() override { DestroyWindow(combo), DestroyWindow(label); }
    void Add(const char* item, const char* revision = nullptr) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        if (!revision) return;
        DriveEntry& e = entries[table.nCount];
        std::strcpy(e.ModelName, item);
        std::strcpy(e.Revision, revision);
        table.pEntries[table.nCount++] = &e;
    }
    std::string Select(int index) {
        SetWindowTextA(label, "old");
        SendMessageA(combo, CB_SETCURSEL, index, 0);
        ShowSelectedDriveRevision(combo, label, table);
        char text[64] = {};
        GetWindowTextA(label, text, sizeof text);
        return text;
    }
    HWND combo = CreateWindowA("COMBOBOX", "", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    HWND label = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    DriveEntry entries[kMaxDrives] = {};
    DriveTable table{{}, 0};
};

TEST_F(DriveSelectionTest, ShowsTheRevisionOfTheLastEntryWithTheSelectedName) {
    ASSERT_TRUE(combo && label);
    Add("ACME    CD-ROM A        (0)", "1.0A");
    Add("ACME    CD-ROM B        (1)", "1.0B");
    Add("ACME    CD-ROM A        (0)", "2.0A");  // same name again: the later entry wins
    Add("ACME    CD-ROM");                       // no entry of that name
    Add(std::string(4000, 'L').c_str());          // longer than the handler's buffer
    EXPECT_EQ("1.0B", Select(1));
    EXPECT_EQ("2.0A", Select(0));
    EXPECT_EQ("    ", Select(-1));
    EXPECT_EQ("    ", Select(3));
    EXPECT_EQ("    ", Select(4));
}

}  // namespace
