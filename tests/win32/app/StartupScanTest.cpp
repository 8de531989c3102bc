// The main dialog's start-up scan on the NT family: drives behind drive
// letters, the logged list, the compatibility check, the Upgrade button and
// the drive list's selection. The 9x family's scan over ASPI is driven from
// outside (tests/e2e).
#include <algorithm>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "res/resource.h"

namespace {

const std::string kModelA = "MARROW  FIN-52M CDROM   ";  // 24 characters, trailing spaces included
const std::string kModelB = "OTHER   DRIVE-DVD       ";
const std::string kListHeading = "This firmware can be used on below drives  :";

using Lines = std::vector<std::string>;
using StartupScan = AppFixture;

// The list holds every drive, sorted by name with its table index; of the
// compatible drives the later one is shown, not the last one listed.
TEST_F(StartupScan, TwoCompatibleDrivesListedSortedAndTheLaterOneShown) {
    AddDrive('d', kModelA.c_str(), "A054");
    AddDrive('f', kModelA.c_str(), "A049");
    AddDrive('g', kModelB.c_str(), "C001");  // its revision does not fit B010.bin
    WriteList({{kModelA, "A054.hex"}, {kModelB, "B010.bin"}});
    ASSERT_NE(nullptr, CreateMainDialog());

    EXPECT_EQ((Lines{kModelA + "(0)", kModelA + "(1)", kModelB + "(2)"}), ComboItems());
    EXPECT_EQ(kModelA + "(1)", Text(IDC_DRIVE_LIST));
    EXPECT_EQ("A049", Text(IDC_REVISION));
    EXPECT_EQ(kListHeading + "\r\n(1) " + kModelA + "  A054.hex\r\n(2) " + kModelB + "  B010.bin", Text(IDC_LOG));
    EXPECT_TRUE(Enabled(IDC_UPGRADE));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(StartupScan, NoDrivesLogsTheListAndTheMismatchAndDisablesUpgrade) {
    WriteList({{kModelA, "A054.hex"}});
    ASSERT_NE(nullptr, CreateMainDialog());
    EXPECT_TRUE(ComboItems().empty());
    EXPECT_EQ("", Text(IDC_DRIVE_LIST) + Text(IDC_REVISION));
    EXPECT_EQ(kListHeading + "\r\n(1) " + kModelA + "  A054.hex\r\nCD-ROM drive model doesn't match!!", Text(IDC_LOG));
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
    EXPECT_TRUE(Enabled(IDCANCEL));
}

TEST_F(StartupScan, NtFourAsksTheAdapterListAndNotEachLetter) {
    platform.majorVersion = 4;
    vdrive::VirtualDrive& drive = AddDrive('e', kModelA.c_str(), "A054");
    WriteList({{kModelA, "A054.hex"}});
    ASSERT_NE(nullptr, CreateMainDialog());
    EXPECT_EQ(0u, drive.CommandCount());
    EXPECT_TRUE(ComboItems().empty());
}

// The drive list, recording the longest item fetched: the combo box writes a
// whole item into the handler's buffer, so one longer than any drive name is
// never fetched.
WNDPROC g_comboProc;
LRESULT g_longestFetched;
LRESULT CALLBACK RecordingCombo(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == CB_GETLBTEXT)
        g_longestFetched = std::max(g_longestFetched, ::CallWindowProcA(g_comboProc, h, CB_GETLBTEXTLEN, w, 0));
    return ::CallWindowProcA(g_comboProc, h, msg, w, l);
}

// The revision shown is the one of the drive whose name is chosen; a name no
// drive has, or one longer than any drive name can be, shows four spaces.
TEST_F(StartupScan, ChoosingADriveShowsItsRevision) {
    AddDrive('d', kModelB.c_str(), "B010");
    AddDrive('e', kModelA.c_str(), "A054");
    WriteList({{kModelA, "A054.hex"}});
    ASSERT_NE(nullptr, CreateMainDialog());
    const HWND hCombo = ::GetDlgItem(hDlg, IDC_DRIVE_LIST);
    g_longestFetched = 0;
    g_comboProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hCombo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingCombo)));
    for (const std::string& item : {std::string("UNKNOWN DRIVE"), std::string(512, 'Z')})  // sorted after the drives; one too long to fetch
        ::SendMessageA(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    const struct { int index; const char* revision; } cases[] = {{1, "B010"}, {0, "A054"}, {-1, "    "}, {2, "    "}, {3, "    "}};
    for (const auto& c : cases) {
        ::SendMessageA(hCombo, CB_SETCURSEL, static_cast<WPARAM>(c.index), 0);
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELENDOK), reinterpret_cast<LPARAM>(hCombo));
        EXPECT_EQ(c.revision, Text(IDC_REVISION)) << "item " << c.index;
    }
    EXPECT_EQ(27, g_longestFetched);
}

}  // namespace
