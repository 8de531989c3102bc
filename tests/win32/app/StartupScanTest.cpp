// The main dialog's start-up scan on the NT family: drives behind drive
// letters, IDString.txt, the logged list, the compatibility check and the
// Upgrade button. The 9x family's scan over ASPI is driven from outside
// (tests/e2e).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MachineFixture.h"
#include "res/resource.h"

namespace {

const char kModelA[] = "MARROW  FIN-52M CDROM   ";  // 24 characters, trailing spaces included
const char kModelB[] = "OTHER   DRIVE-DVD       ";

using Lines = std::vector<std::string>;

class StartupScan : public MachineFixture {};

TEST_F(StartupScan, TwoCompatibleDrivesListedSortedAndTheLaterOneShown) {
    AddDrive('d', kModelB, "A054");
    AddDrive('f', kModelA, "A049");
    WriteFile("IDString.txt", std::string("\"") + kModelA + "\",\"A054.hex\",\"N\"\n\"" + kModelB +
                                  "\",\"B010.bin\",\"N\"\n");
    ASSERT_NE(nullptr, CreateMainDialog());

    // Table order d(0), f(1); the list sorts by name.
    EXPECT_EQ((Lines{std::string(kModelA) + "(1)", std::string(kModelB) + "(0)"}), ComboItems());
    EXPECT_EQ(std::string(kModelA) + "(1)", Text(IDC_DRIVE_LIST));
    EXPECT_EQ("A049", Text(IDC_REVISION));
    EXPECT_EQ((Lines{"This firmware can be used on below drives  :",
                     std::string("(1) ") + kModelA + "  A054.hex", std::string("(2) ") + kModelB + "  B010.bin"}),
              LogLines());
    EXPECT_TRUE(Enabled(IDC_UPGRADE));
    EXPECT_TRUE(s_boxes.empty());
}

TEST_F(StartupScan, NoDrivesLogsTheListAndTheMismatchAndDisablesUpgrade) {
    WriteFile("IDString.txt", std::string("\"") + kModelA + "\",\"A054.hex\",\"Y\"\n");
    ASSERT_NE(nullptr, CreateMainDialog());
    EXPECT_TRUE(ComboItems().empty());
    EXPECT_EQ("", Text(IDC_DRIVE_LIST));
    EXPECT_EQ("", Text(IDC_REVISION));
    EXPECT_EQ((Lines{"This firmware can be used on below drives  :", std::string("(1) ") + kModelA + "  A054.hex",
                     "CD-ROM drive model doesn't match!!"}),
              LogLines());
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
    EXPECT_TRUE(Enabled(IDCANCEL));
}

TEST_F(StartupScan, MatchNeedsTheModelAndOnlyTheFirstRevisionCharacter) {
    struct Case { const char* revision; const char* row; bool match; };
    const Case cases[] = {
        {"A049", "A054.hex", true},
        {"B010", "A054.hex", false},
        {"a054", "A054.hex", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.revision);
        AddDrive('e', kModelA, c.revision);
        WriteFile("IDString.txt", std::string("\"") + kModelA + "\",\"" + c.row + "\",\"N\"\n");
        ASSERT_NE(nullptr, CreateMainDialog());
        EXPECT_EQ(c.match, Enabled(IDC_UPGRADE));
        EXPECT_EQ(!c.match, LogLines().back() == "CD-ROM drive model doesn't match!!");
        ::DestroyWindow(hDlg);
    }
}

TEST_F(StartupScan, ShortListedModelNeverMatchesAFullIdentification) {
    AddDrive('e', kModelA, "A054");
    WriteFile("IDString.txt", "\"MARROW  FIN-52M CDROM\",\"A054.hex\",\"N\"\n");  // trailing spaces left out
    ASSERT_NE(nullptr, CreateMainDialog());
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
}

TEST_F(StartupScan, NtFourUsesTheAdapterListPathAndNotThePassThroughInquiry) {
    SetVersion(VER_PLATFORM_WIN32_NT, 4);
    vdrive::VirtualDrive& drive = AddDrive('e', kModelA, "A054");
    WriteFile("IDString.txt", std::string("\"") + kModelA + "\",\"A054.hex\",\"N\"\n");
    ASSERT_NE(nullptr, CreateMainDialog());
    EXPECT_EQ(0u, drive.CommandCount());  // the inquiry data list is asked instead
    EXPECT_TRUE(ComboItems().empty());
}

TEST_F(StartupScan, ChoosingADriveShowsItsRevision) {
    AddDrive('d', kModelB, "B010");
    AddDrive('e', kModelA, "A054");
    WriteFile("IDString.txt", std::string("\"") + kModelA + "\",\"A054.hex\",\"N\"\n");
    ASSERT_NE(nullptr, CreateMainDialog());
    HWND hCombo = ::GetDlgItem(hDlg, IDC_DRIVE_LIST);
    ::SendMessageA(hCombo, CB_SETCURSEL, 1, 0);  // sorted: kModelA(1), kModelB(0)
    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELENDOK), reinterpret_cast<LPARAM>(hCombo));
    EXPECT_EQ("B010", Text(IDC_REVISION));
    ::SendMessageA(hCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELENDOK), reinterpret_cast<LPARAM>(hCombo));
    EXPECT_EQ("    ", Text(IDC_REVISION));
}

}  // namespace
