// The checks of the Upgrade command that stop it before any run: each one
// tells the user why (a log line or a message box), gives "Close" back and
// leaves "Upgrade" usable; nothing but the start-up INQUIRY reaches the drive.
// Also which compatibility row names the firmware file for a revision.
#include <optional>

#include "E2eFixture.h"
#include "Poll.h"

namespace e2e {
namespace {

struct CheckCase {
    const char* name;
    std::string idString;
    std::string typed;                   // typed over the drive list's text, if not empty
    std::string logLine;                 // the line written, or
    std::string boxText;                 // the message box shown (caption "Error!!", stop icon)
};

const CheckCase kChecks[] = {
    {"ModelNotListed", Row(kModel, "Afw.hex"), "OTHER DRIVE", "Drive model doesn't match!", ""},
    {"RomExtension", Row(kModel, "Afw.rom"), "", "", "Input file format mismatched."},
    {"NoExtension", Row(kModel, "Afwimage"), "", "", "Input file format mismatched."},
    // A line with one quoted field is a row with an empty model, which the
    // job's still empty drive passes; the typed name lists a model but names
    // no drive that was found.
    {"NoTargetDrive", Row(kModel, "Afw.hex") + "\"x\"\n", kModel + "(7)", "", "No Target Drive."},
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class UpgradeChecks : public E2eTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(UpgradeChecks, StopBeforeAnyRun) {
    const CheckCase& c = GetParam();
    Write("vdrives.txt", OneDrive("A054"));
    Write("IDString.txt", c.idString);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_TRUE(Enabled(IDC_UPGRADE));
    if (!c.typed.empty()) {
        ASSERT_TRUE(uidriver::SetControlText(Main(), IDC_DRIVE_LIST, c.typed));
    }
    std::vector<std::string> log = Log();

    // The same press twice: a stopped command leaves the dialog as it was.
    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE("press " + std::to_string(press));
        ASSERT_TRUE(PressUpgrade());
        if (!c.boxText.empty()) {
            auto box = uidriver::WaitForMessageBox(Pid(), kQuickMs);
            ASSERT_TRUE(box.has_value()) << "expected the message box \"" << c.boxText << "\"";
            EXPECT_EQ(box->text, c.boxText);
            EXPECT_EQ(box->caption, "Error!!");
            EXPECT_EQ(uidriver::IconName(box->icon), std::string("stop"));
            EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
            EXPECT_FALSE(Enabled(IDCANCEL)) << "\"Close\" must stay disabled while the command runs";
            ASSERT_TRUE(uidriver::AnswerAndWait(box->hwnd, IDOK, kQuickMs));
        } else {
            log.push_back(c.logLine);
            ASSERT_TRUE(uidriver::WaitUntil([&] { return Log() == log; }, kQuickMs))
                << "expected the log line \"" << c.logLine << "\"";
        }
        ASSERT_TRUE(WaitForCloseEnabled(kQuickMs));
        EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());
        EXPECT_EQ(Log(), log);
        EXPECT_TRUE(Enabled(IDC_UPGRADE));
        EXPECT_EQ(Text(IDC_STATUS), "");
    }
    EXPECT_EQ(CommandsOf(Record(), 0, 0), std::vector<std::string>{ExpectInquiry()});
    EXPECT_FALSE(Exists("sum.txt"));
}

INSTANTIATE_TEST_SUITE_P(Cases, UpgradeChecks, ::testing::ValuesIn(kChecks),
                         [](const auto& info) { return std::string(info.param.name); });

// Row 0 names a firmware without the drive's identification, row 1 a file
// that is missing: the run's first complaint tells which row was taken.
const std::vector<std::string> kRow0Taken{"It is an incorrect firmware version!", kIncorrect};
const std::vector<std::string> kRow1Taken{"ERR: fail to open output file!", "ERR: fail to read input file!", kIncorrect};

struct RevisionCase {
    const char* revision;
    bool row0;
};

const RevisionCase kRevisions[] = {
    {"A054", true}, {"A049", true}, {"A056", true}, {"AA10", true}, {"0012", true},
    {"B010", false}, {"a049", false}, {"A050", false},
};

void PrintTo(const RevisionCase& c, std::ostream* os) { *os << c.revision; }

class RevisionChoice : public E2eTest, public ::testing::WithParamInterface<RevisionCase> {};

TEST_P(RevisionChoice, PicksRowZeroOrOne) {
    const RevisionCase& c = GetParam();
    // Rows 2 and 3 only let revisions starting with "a" and "0" pass the
    // start-up check; the file always comes from row 0 or row 1.
    const std::vector<std::pair<std::string, std::string>> rows{
        {kModel, "A-row0.hex"}, {kModel, "B-row1.hex"}, {kModel, "a-row2.hex"}, {kModel, "0-row3.hex"}};
    std::string idString;
    for (const auto& [model, file] : rows) idString += Row(model, file);
    Write("IDString.txt", idString);
    Write("vdrives.txt", OneDrive(c.revision));
    Write("A-row0.hex", IntelHex(Filler(3000, 7)));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_EQ(Text(IDC_REVISION), c.revision);
    ASSERT_TRUE(Enabled(IDC_UPGRADE));

    ASSERT_TRUE(PressUpgrade());
    ASSERT_TRUE(WaitForRunEnd(kQuickMs)) << "log ends: " << ::testing::PrintToString(Tail(Log(), 3));
    std::vector<std::string> expected = CompatLogLines(rows);
    for (const auto& line : c.row0 ? kRow0Taken : kRow1Taken) expected.push_back(line);
    EXPECT_EQ(Log(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RevisionChoice, ::testing::ValuesIn(kRevisions),
                         [](const auto& info) { return std::string(info.param.revision); });

// An upper-case ".HEX" is taken as Intel-HEX: the image goes to the HEX
// reader, which is the only one that can find a bad record checksum.
TEST_F(E2eTest, UpperCaseHexExtensionIsReadAsIntelHex) {
    Write("vdrives.txt", OneDrive("A054"));
    Write("IDString.txt", Row(kModel, "AFW.HEX"));
    std::string hex = IntelHex(Filler(64, 3));
    char& digit = hex[hex.find('\n') - 1];  // the first record's last checksum digit
    digit = digit == '0' ? '1' : '0';
    Write("AFW.HEX", hex);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_TRUE(PressUpgrade());
    ASSERT_TRUE(WaitForRunEnd(kQuickMs)) << "log ends: " << ::testing::PrintToString(Tail(Log(), 3));
    EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());
    std::vector<std::string> expected = CompatLogLines({{kModel, "AFW.HEX"}});
    expected.push_back("ERR: input file format mismatched!");
    expected.push_back(kIncorrect);
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(CommandsOf(Record(), 0, 0), (std::vector<std::string>{ExpectInquiry(), ExpectVendorBlock()}));
}

}  // namespace
}  // namespace e2e
