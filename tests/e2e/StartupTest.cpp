// The start-up scan seen from outside: which drives the program lists, which
// one it shows, what it logs, and whether "Upgrade" is usable, for each kind
// of ASPI layer and compatibility list.
#include <optional>

#include "E2eFixture.h"

namespace e2e {
namespace {

struct ExpectedBox {
    std::string text;
    std::string caption;
    uidriver::IconKind icon;
};

struct StartupCase {
    const char* name;
    Layer layer;
    std::string vdrives;
    bool writeIdString;
    std::optional<ExpectedBox> box;
    std::vector<std::string> items;  // in the list's sorted order
    std::string driveText;
    std::string revision;
    bool upgradeEnabled;
    std::vector<std::string> log;
    std::vector<std::pair<int, int>> inquired;      // each got exactly one INQUIRY
    std::vector<std::pair<int, int>> notInquired;   // got no command at all
};

const std::pair<std::string, std::string> kRow{kModel, "Afw.hex"};
const std::string kOther = "OTHERCO DVD-ROM 16X     ";
const std::string kMismatch = "CD-ROM drive model doesn't match!!";

std::vector<std::string> Plus(std::vector<std::string> lines, const std::string& more) {
    lines.push_back(more);
    return lines;
}

const StartupCase kCases[] = {
    {"TwoCompatibleDrivesShowTheLaterOne", Layer::Ours,
     "adapter 0 targets=2\nadapter 1 targets=2\n"
     "drive 0 0 " + kDriveWords + " \"A054\"\n"
     "drive 0 1 \"OTHERCO\" \"DVD-ROM 16X\" \"1.02\"\n"
     "drive 1 0 " + kDriveWords + " \"A056\"\n"
     "drive 1 1 \"DISKCO\" \"PLAIN DISK\" \"0001\" peripheral=00\n"
     "record record.txt\n",
     true, std::nullopt,
     {kModel + "(0)", kModel + "(2)", kOther + "(1)"}, kModel + "(2)", "A056", true,
     CompatLogLines({kRow}), {{0, 0}, {0, 1}, {1, 0}}, {{1, 1}}},
    {"OnlyAnotherModel", Layer::Ours,
     "adapter 0\ndrive 0 0 \"OTHERCO\" \"DVD-ROM 16X\" \"1.02\"\nrecord record.txt\n", true, std::nullopt,
     {kOther + "(0)"}, kOther + "(0)", "1.02", false, Plus(CompatLogLines({kRow}), kMismatch), {{0, 0}}, {}},
    {"RevisionLetterDiffersFromFileName", Layer::Ours, OneDrive("B010"), true, std::nullopt,
     {kModel + "(0)"}, kModel + "(0)", "B010", false, Plus(CompatLogLines({kRow}), kMismatch), {{0, 0}}, {}},
    {"AspiLibraryMissing", Layer::Missing, OneDrive("A054"), true,
     ExpectedBox{"No find the dynamic library!!", "Error!!", uidriver::IconKind::Information},
     {}, "", "", false, Plus(CompatLogLines({kRow}), kMismatch), {}, {{0, 0}}},
    {"IdStringMissing", Layer::Ours, OneDrive("A054"), false,
     ExpectedBox{"The IDString.txt doesn't exist!!", "Error!!", uidriver::IconKind::Stop},
     {kModel + "(0)"}, kModel + "(0)", "A054", true, {}, {{0, 0}}, {}},
};

// Wine's own wnaspi32 (no override, nothing copied) finds no adapter.
const StartupCase kWineLayer[] = {
    {"WinesOwnAspiFindsNoDrive", Layer::WineBuiltIn, OneDrive("A054"), true, std::nullopt,
     {}, "", "", false, Plus(CompatLogLines({kRow}), kMismatch), {}, {{0, 0}}},
};

void PrintTo(const StartupCase& c, std::ostream* os) { *os << c.name; }

class StartUp : public E2eTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartUp, ListsLogsAndDecides) {
    const StartupCase& c = GetParam();
    Write("vdrives.txt", c.vdrives);
    if (c.writeIdString) Write("IDString.txt", Row(kModel, "Afw.hex"));
    ASSERT_TRUE(Start(c.layer));

    if (c.box) {
        auto box = uidriver::WaitForMessageBox(Pid(), kStartMs);
        ASSERT_TRUE(box.has_value()) << "expected the message box \"" << c.box->text << "\"";
        EXPECT_EQ(box->text, c.box->text);
        EXPECT_EQ(box->caption, c.box->caption);
        EXPECT_EQ(uidriver::IconName(box->icon), std::string(uidriver::IconName(c.box->icon)));
        EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
        ASSERT_TRUE(uidriver::AnswerAndWait(box->hwnd, IDOK, kQuickMs));
    }
    ASSERT_TRUE(WaitForReady());
    EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty()) << "an unexpected message box is open";

    EXPECT_EQ(uidriver::ComboItems(Main(), IDC_DRIVE_LIST), c.items);
    EXPECT_EQ(Text(IDC_DRIVE_LIST), c.driveText);
    EXPECT_EQ(Text(IDC_REVISION), c.revision);
    EXPECT_EQ(Text(IDC_STATUS), "");
    EXPECT_EQ(Progress(), 0);
    EXPECT_EQ(Log(), c.log);
    EXPECT_EQ(Enabled(IDC_UPGRADE), c.upgradeEnabled);
    EXPECT_TRUE(Enabled(IDCANCEL));

    const auto record = Record();
    for (auto [ha, target] : c.inquired)
        EXPECT_EQ(CommandsOf(record, ha, target), std::vector<std::string>{ExpectInquiry()})
            << "drive " << ha << "/" << target;
    for (auto [ha, target] : c.notInquired)
        EXPECT_TRUE(CommandsOf(record, ha, target).empty()) << "drive " << ha << "/" << target;

    // "Close" ends the program in every start-up state.
    ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
    EXPECT_TRUE(m_program.WaitForExit(kQuickMs));
}

INSTANTIATE_TEST_SUITE_P(Cases, StartUp, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(WineLayer, StartUp, ::testing::ValuesIn(kWineLayer),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
