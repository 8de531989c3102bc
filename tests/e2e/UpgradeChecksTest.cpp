// The Upgrade command before any run: the checks that stop it tell the user
// why (a log line or a message box) and give "Close" and "Upgrade" back, so
// that the next press is handled the same way; nothing but the start-up
// INQUIRY reaches the drive. With "Y" in the list a confirmation names the
// chosen drive first.
#include <algorithm>

#include "E2eFixture.h"
#include "Screen.h"

namespace e2e {
namespace {

struct CheckCase {
    const char* name;
    std::string idString;
    std::string typed;    // typed over the drive list's text, if not empty
    std::string logLine;  // the line written, or
    std::string boxText;  // the message box shown (caption "Error!!", stop icon)
};

const CheckCase kChecks[] = {
    {"ModelNotListed", IdString({{kModel, "Afw.hex"}}), "OTHER DRIVE", "Drive model doesn't match!", ""},
    {"RomExtension", IdString({{kModel, "Afw.rom"}}), "", "", "Input file format mismatched."},
    {"NoExtension", IdString({{kModel, "Afwimage"}}), "", "", "Input file format mismatched."},
    // A line with one quoted field is a row with an empty model, which the
    // job's still empty drive passes; the typed name lists a model but names
    // no drive that was found.
    {"NoTargetDrive", IdString({{kModel, "Afw.hex"}}) + "\"x\"\n", kModel + "(7)", "", "No Target Drive."},
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class UpgradeChecks : public E2eTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(UpgradeChecks, StopBeforeAnyRun) {
    const CheckCase& c = GetParam();
    Write("vdrives.txt", OneDrive("A054"));
    Write("IDString.txt", c.idString);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    if (!c.typed.empty()) {
        ASSERT_TRUE(uidriver::SetControlText(Main(), IDC_DRIVE_LIST, c.typed));
    }
    Lines log = Log();

    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE("press " + std::to_string(press));
        ASSERT_TRUE(PressUpgrade());
        if (!c.boxText.empty()) {
            auto box = uidriver::WaitForMessageBox(Pid(), kQuickMs);
            ASSERT_TRUE(box.has_value()) << "expected the message box \"" << c.boxText << "\"";
            EXPECT_EQ(box->text, c.boxText);
            EXPECT_EQ(box->caption, "Error!!");
            EXPECT_STREQ(uidriver::IconName(box->icon), "stop");
            EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
            EXPECT_FALSE(Enabled(IDCANCEL)) << "\"Close\" must stay disabled while the command runs";
            ASSERT_TRUE(uidriver::AnswerAndWait(box->hwnd, IDOK, kQuickMs));
        } else {
            log.push_back(c.logLine);
            ASSERT_TRUE(uidriver::WaitUntil([&] { return Log() == log; }, kQuickMs))
                << "expected the log line \"" << c.logLine << "\"";
        }
        ASSERT_TRUE(WaitForCloseEnabled());
        EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());
        EXPECT_EQ(Log(), log);
        EXPECT_TRUE(Enabled(IDC_UPGRADE));
        EXPECT_EQ(Text(IDC_STATUS), "");
    }
    EXPECT_EQ(Commands(), Lines{kInquiry});
    EXPECT_FALSE(Exists("sum.txt"));
}

INSTANTIATE_TEST_SUITE_P(Cases, UpgradeChecks, ::testing::ValuesIn(kChecks),
                         [](const auto& info) { return std::string(info.param.name); });

// A control's pixels on the screen that are near black, or pure blue with its
// anti-aliased edge.
int Count(HWND dialog, int id, bool blue) {
    const uidriver::Pixels p = uidriver::CaptureControl(dialog, id);
    return static_cast<int>(std::count_if(p.data.begin(), p.data.end(), [&](std::uint32_t px) {
        return (px >> 16 & 0xFF) < 80 && (px >> 8 & 0xFF) < 80 && (blue ? (px & 0xFF) > 200 : (px & 0xFF) < 80);
    }));
}

// The confirmation names the drive and revision shown when "Upgrade" was
// pressed, in blue within a black sentence; Cancel ends the command without a
// word, OK on the next press starts the run on that drive only.
TEST_F(E2eTest, ConfirmationNamesTheChosenDriveAndGuardsTheRun) {
    Write("vdrives.txt", "adapter 0\nadapter 1\ndrive 0 0 " + kDriveWords + " \"A054\"\ndrive 1 0 " + kDriveWords +
                             " \"A056\"\nrecord record.txt\n");
    Write("IDString.txt", IdString({{kModel, "Afw.hex"}}, "Y"));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_EQ(Text(IDC_DRIVE_LIST), kModel + "(1)");
    // Choose the first drive as a user does in the drop-down list.
    const auto items = uidriver::ComboItems(Main(), IDC_DRIVE_LIST);
    const auto first = std::find(items.begin(), items.end(), kModel + "(0)") - items.begin();
    ASSERT_TRUE(uidriver::ChooseComboItem(Main(), IDC_DRIVE_LIST, static_cast<int>(first)));
    ASSERT_EQ(Text(IDC_REVISION), "A054");
    const Lines log = Log();

    for (int answer : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(answer == IDOK ? "OK" : "Cancel");
        ASSERT_TRUE(PressUpgrade());
        HWND dialog = uidriver::WaitForDialog(Pid(), "Firmware upgrade program", kQuickMs);
        ASSERT_NE(dialog, nullptr) << "no confirmation dialog";
        EXPECT_EQ(uidriver::ControlText(dialog, IDC_WARN_DRIVE), kModel + "(0)");
        EXPECT_EQ(uidriver::ControlText(dialog, IDC_WARN_REVISION), "A054");
        EXPECT_EQ(uidriver::ControlText(dialog, IDC_WARN_QUESTION), "Are you ready to update your firmware ?");
        EXPECT_TRUE(uidriver::WaitUntil([&] {
            return Count(dialog, IDC_WARN_DRIVE, true) > 0 && Count(dialog, IDC_WARN_REVISION, true) > 0 &&
                   Count(dialog, IDC_WARN_VERSION_OF, false) > 0 && Count(dialog, IDC_WARN_FIRMWARE_IS, false) > 0;
        }, kQuickMs)) << "the drive and revision in blue, the sentence in black";
        EXPECT_EQ(Count(dialog, IDC_WARN_VERSION_OF, true) + Count(dialog, IDC_WARN_FIRMWARE_IS, true), 0);
        // Each name wholly blue: ink enough for its characters, none of it black.
        EXPECT_GT(Count(dialog, IDC_WARN_DRIVE, true), 100);
        EXPECT_GT(Count(dialog, IDC_WARN_REVISION, true), 20);
        EXPECT_EQ(Count(dialog, IDC_WARN_DRIVE, false) + Count(dialog, IDC_WARN_REVISION, false), 0);
        EXPECT_FALSE(Enabled(IDCANCEL));
        ASSERT_TRUE(uidriver::AnswerAndWait(dialog, answer, kQuickMs));
    }
    // Cancel left nothing behind; the chosen drive's image is missing, so the
    // run ends at once, and the other drive hears nothing.
    ASSERT_TRUE(WaitForRunEnd()) << ::testing::PrintToString(Log());
    EXPECT_EQ(Log(), Concat(log, {"ERR: fail to open output file!", "ERR: fail to read input file!", kIncorrect}));
    EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());
    EXPECT_EQ(Commands(0, 0), (Lines{kInquiry, kVendorBlock}));
    EXPECT_EQ(Commands(1, 0), Lines{kInquiry});
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
}

}  // namespace
}  // namespace e2e
