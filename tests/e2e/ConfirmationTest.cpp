// The confirmation dialog a compatibility list with the third field "Y"
// asks for: it names the drive and revision the dialog showed when
// "Upgrade" was pressed; Cancel ends the command without a word, as often as
// it is chosen; OK lets the run start on the chosen drive.
#include <algorithm>

#include "E2eFixture.h"
#include "Poll.h"

namespace e2e {
namespace {

constexpr char kCaption[] = "Firmware upgrade program";
constexpr int kWarnDrive = 1020;
constexpr int kWarnRevision = 1022;
constexpr int kWarnQuestion = 1026;

TEST_F(E2eTest, ConfirmationNamesTheChosenDriveAndGuardsTheRun) {
    Write("vdrives.txt",
          "adapter 0\nadapter 1\n"
          "drive 0 0 " + kDriveWords + " \"A054\"\n"
          "drive 1 0 " + kDriveWords + " \"A056\"\n"
          "record record.txt\n");
    Write("IDString.txt", Row(kModel, "Afw.hex", "Y"));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_EQ(Text(IDC_DRIVE_LIST), kModel + "(1)");

    // Choose the first drive as a user does in the drop-down list.
    const auto items = uidriver::ComboItems(Main(), IDC_DRIVE_LIST);
    const auto first = std::find(items.begin(), items.end(), kModel + "(0)");
    ASSERT_NE(first, items.end());
    ASSERT_TRUE(uidriver::ChooseComboItem(Main(), IDC_DRIVE_LIST, static_cast<int>(first - items.begin())));
    ASSERT_EQ(Text(IDC_DRIVE_LIST), kModel + "(0)");
    ASSERT_EQ(Text(IDC_REVISION), "A054");
    const auto log = Log();

    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE("cancelled press " + std::to_string(press));
        ASSERT_TRUE(PressUpgrade());
        HWND dialog = uidriver::WaitForDialog(Pid(), kCaption, kQuickMs);
        ASSERT_NE(dialog, nullptr) << "no confirmation dialog";
        EXPECT_EQ(uidriver::ControlText(dialog, kWarnDrive), kModel + "(0)");
        EXPECT_EQ(uidriver::ControlText(dialog, kWarnRevision), "A054");
        EXPECT_EQ(uidriver::ControlText(dialog, kWarnQuestion), "Are you ready to update your firmware ?");
        EXPECT_FALSE(Enabled(IDCANCEL));
        ASSERT_TRUE(uidriver::AnswerAndWait(dialog, IDCANCEL, kQuickMs));
        ASSERT_TRUE(WaitForCloseEnabled(kQuickMs));
        EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());
        EXPECT_EQ(Log(), log);
        EXPECT_TRUE(Enabled(IDC_UPGRADE));
    }
    const auto afterCancel = Record();
    EXPECT_EQ(CommandsOf(afterCancel, 0, 0), std::vector<std::string>{ExpectInquiry()});

    // OK: the run starts on the chosen drive (its image is missing, so it
    // ends at once) and the other drive hears nothing.
    ASSERT_TRUE(PressUpgrade());
    HWND dialog = uidriver::WaitForDialog(Pid(), kCaption, kQuickMs);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(uidriver::AnswerAndWait(dialog, IDOK, kQuickMs));
    ASSERT_TRUE(WaitForRunEnd(kQuickMs)) << "log ends: " << ::testing::PrintToString(Tail(Log(), 3));
    EXPECT_EQ(Tail(Log(), 3), (std::vector<std::string>{"ERR: fail to open output file!",
                                                         "ERR: fail to read input file!", kIncorrect}));
    const auto record = Record();
    EXPECT_EQ(CommandsOf(record, 0, 0), (std::vector<std::string>{ExpectInquiry(), ExpectVendorBlock()}));
    EXPECT_EQ(CommandsOf(record, 1, 0), std::vector<std::string>{ExpectInquiry()});
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
}

}  // namespace
}  // namespace e2e
