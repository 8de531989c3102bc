// The start-up scan seen from outside, where only the whole program shows
// it: the 9x scan through our ASPI layer and Wine's own, and the message
// boxes for a missing ASPI layer or compatibility list. Also the driver's own
// eyes for those boxes: text, caption and icon of boxes of this process.
#include <algorithm>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

struct StartupCase {
    const char* name;
    Layer layer;
    std::string vdrives;
    bool writeIdString;
    std::string boxText;      // a message box first, if not empty: this text,
    uidriver::IconKind icon;  // this icon, caption "Error!!"
    Lines items;              // in the list's sorted order
    std::string driveText, revision;
    bool upgradeEnabled;
    Lines log;
    std::vector<std::pair<int, int>> inquired;  // each got one INQUIRY; all others nothing
};

const Lines kListed = CompatLogLines({{kModel, "Afw.hex"}});
const Lines kMismatch = Concat(kListed, {"CD-ROM drive model doesn't match!!"});

const StartupCase kCases[] = {
    // Four optical drives and a disk on two adapters: the disk is never
    // asked, the list is sorted and carries each drive's table index, and
    // the later of the two compatible drives is shown, not the one after it
    // whose revision letter differs from the file name's.
    {"TwoCompatibleDrivesShowTheLaterOne", Layer::Ours,
     "adapter 0 targets=2\nadapter 1 targets=3\n"
     "drive 0 0 " + kDriveWords + " \"A054\"\n"
     "drive 0 1 \"OTHERCO\" \"DVD-ROM 16X\" \"1.02\"\n"
     "drive 1 0 " + kDriveWords + " \"A056\"\n"
     "drive 1 1 \"DISKCO\" \"PLAIN DISK\" \"0001\" peripheral=00\n"
     "drive 1 2 " + kDriveWords + " \"B010\"\n"
     "record record.txt\n",
     true, "", {}, {kModel + "(0)", kModel + "(2)", kModel + "(3)", "OTHERCO DVD-ROM 16X     (1)"},
     kModel + "(2)", "A056", true, kListed, {{0, 0}, {0, 1}, {1, 0}, {1, 2}}},
    {"AspiLibraryMissing", Layer::Missing, OneDrive("A054"), true,
     "No find the dynamic library!!", uidriver::IconKind::Information, {}, "", "", false, kMismatch, {}},
    {"IdStringMissing", Layer::Ours, OneDrive("A054"), false,
     "The IDString.txt doesn't exist!!", uidriver::IconKind::Stop, {kModel + "(0)"}, kModel + "(0)",
     "A054", true, {}, {{0, 0}}},
};

// Wine's own wnaspi32 (no override, nothing copied) finds no adapter.
const StartupCase kWineLayer[] = {
    {"WinesOwnAspiFindsNoDrive", Layer::WineBuiltIn, OneDrive("A054"), true, "", {}, {}, "", "", false,
     kMismatch, {}},
};

void PrintTo(const StartupCase& c, std::ostream* os) { *os << c.name; }

class StartUp : public E2eTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartUp, ListsLogsAndDecides) {
    const StartupCase& c = GetParam();
    Write("vdrives.txt", c.vdrives);
    if (c.writeIdString) Write("IDString.txt", IdString({{kModel, "Afw.hex"}}));
    ASSERT_TRUE(Start(c.layer));

    if (!c.boxText.empty()) {
        auto box = uidriver::WaitForMessageBox(Pid(), kQuickMs);
        ASSERT_TRUE(box.has_value()) << "expected the message box \"" << c.boxText << "\"";
        EXPECT_EQ(box->text, c.boxText);
        EXPECT_EQ(box->caption, "Error!!");
        EXPECT_STREQ(uidriver::IconName(box->icon), uidriver::IconName(c.icon));
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
    for (int ha = 0; ha < 2; ++ha)
        for (int target = 0; target < 3; ++target) {
            const bool asked = std::count(c.inquired.begin(), c.inquired.end(), std::pair{ha, target}) != 0;
            EXPECT_EQ(Commands(ha, target), asked ? Lines{kInquiry} : Lines{}) << "drive " << ha << "/" << target;
        }

    // "Close" ends the program in every start-up state.
    ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
    EXPECT_TRUE(m_program.WaitForExit(kQuickMs));
}

const auto kName = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Cases, StartUp, ::testing::ValuesIn(kCases), kName);
INSTANTIATE_TEST_SUITE_P(WineLayer, StartUp, ::testing::ValuesIn(kWineLayer), kName);

struct IconCase {
    const char* name;
    UINT style;
    uidriver::IconKind icon;
};

class UiDriver : public ::testing::TestWithParam<IconCase> {};

TEST_P(UiDriver, ReadsMessageBoxTextCaptionAndIcon) {
    const IconCase& c = GetParam();
    std::thread shower([&] { ::MessageBoxA(nullptr, "Some text.", c.name, c.style); });
    auto box = uidriver::WaitForMessageBox(::GetCurrentProcessId(), 10000);
    EXPECT_TRUE(box.has_value());
    if (box) {
        EXPECT_EQ(box->text, "Some text.");
        EXPECT_EQ(box->caption, c.name);
        EXPECT_STREQ(uidriver::IconName(box->icon), uidriver::IconName(c.icon));
    }
    // Whatever was read, the box must go, or the thread never ends.
    for (HWND hwnd : uidriver::MessageBoxes(::GetCurrentProcessId())) ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    shower.join();
}

INSTANTIATE_TEST_SUITE_P(Icons, UiDriver,
                         ::testing::Values(IconCase{"NoIcon", MB_OK, uidriver::IconKind::None},
                                           IconCase{"Stop", MB_ICONHAND, uidriver::IconKind::Stop},
                                           IconCase{"Information", MB_ICONINFORMATION, uidriver::IconKind::Information},
                                           IconCase{"Exclamation", MB_ICONEXCLAMATION, uidriver::IconKind::Exclamation},
                                           IconCase{"Question", MB_ICONQUESTION, uidriver::IconKind::Question}),
                         kName);

}  // namespace
}  // namespace e2e
