// The main dialog's start-up scan on the NT family: NT 4 asks no letter on
// its own, and the drive list's selection shows the chosen drive's revision.
// The list, the log, the compatibility check and the Upgrade button after the
// scan are driven from outside (tests/e2e).
#include <algorithm>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "res/resource.h"
#include "scsi/PassThroughDefs.h"

namespace {

const std::string kModelA = "MARROW  FIN-52M CDROM   ";  // 24 characters, trailing spaces included
const std::string kModelB = "OTHER   DRIVE-DVD       ";
using StartupScan = AppFixture;

TEST_F(StartupScan, NtFourAsksTheAdapterListAndNotEachLetter) {
    platform.majorVersion = 4;
    vdrive::VirtualDrive& drive = AddDrive('e', kModelA.c_str(), "A054");
    WriteList({{kModelA, "A054.hex"}});
    ASSERT_NE(nullptr, CreateMainDialog());
    EXPECT_EQ("cdefghijklmnopqrstuvwxy", platform.opened) << "the letters whose adapter lists are asked";
    ASSERT_EQ(1u, platform.calls.size()) << "one request, to the one letter that opens";
    EXPECT_EQ(TestPlatform::LetterHandle('e'), platform.calls[0].h);
    EXPECT_EQ(kIoctlScsiGetInquiryData, platform.calls[0].code);
    EXPECT_EQ(0u, drive.CommandCount());
    EXPECT_EQ(0, ::SendDlgItemMessageA(hDlg, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
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
