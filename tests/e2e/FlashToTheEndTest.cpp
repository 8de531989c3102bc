// Whole successful runs, with the program's real 91-second programming wait:
// one ".hex" image that spans two 64 KB segments and one ".bin" image whose
// second chunk the drive refuses five times. Each checks the dialog during
// and after the wait, sum.txt line by line, the drive's record and the image
// the drive saved. The ".hex" run also tries to close the dialog meanwhile.
#include <algorithm>
#include <cstdio>

#include "E2eFixture.h"
#include "Poll.h"

namespace e2e {
namespace {

const std::string kRevision = "A054";

std::string Hex16(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

// What one run sends and must leave behind, built chunk by chunk from the
// bytes that go out.
struct Expected {
    Bytes sent;
    std::vector<std::string> commands{ExpectInquiry(), ExpectVendorBlock()};
    TraceBuilder trace;
    std::uint16_t running = 0;

    explicit Expected(Bytes bytes) : sent(std::move(bytes)) { trace.ModelLine(kModel + "(0)", 0, 0, kRevision); }

    void Chunks(size_t refusedChunk = SIZE_MAX, int refusals = 0, const std::string& refusal = "") {
        for (size_t k = 0; k * kChunk < sent.size(); ++k) {
            const std::uint8_t* data = sent.data() + k * kChunk;
            const std::uint32_t offset = static_cast<std::uint32_t>(32 + k * kChunk);
            // A chunk sent again replaces what the drive holds: it counts once,
            // or the header could not match the drive's own sum.
            running = static_cast<std::uint16_t>(running + Sum16(data, kChunk));
            for (int i = 0; k == refusedChunk && i < refusals; ++i) {
                commands.push_back(ExpectChunk(offset, data, refusal));
                trace.Chunk(offset, running);
            }
            commands.push_back(ExpectChunk(offset, data));
            trace.Chunk(offset, running);
        }
        trace.Line("Finished : fgWriteOneFlashCmdData()");
        trace.Header(running);
        trace.Line("Finished : fgWriteHeader()");
        trace.Line("I will in fgTestUnitReadyComplete()");
        commands.push_back(ExpectHeader(running));
        commands.push_back(ExpectSave());
    }
};

class FlashToTheEnd : public E2eTest {
protected:
    // Presses "Upgrade", follows the run through the programming wait and
    // checks the dialog on the way. `duringWait` runs once the wait began.
    template <class DuringWait>
    void RunAndFollow(DuringWait duringWait) {
        ASSERT_TRUE(Start());
        ASSERT_TRUE(WaitForReady());
        ASSERT_TRUE(Enabled(IDC_UPGRADE));
        m_logBefore = Log();
        ASSERT_TRUE(PressUpgrade());

        ASSERT_TRUE(WaitForLogLine("Please wait a minute.....", kQuickMs))
            << "log ends: " << ::testing::PrintToString(Tail(Log(), 3));
        ASSERT_TRUE(uidriver::WaitUntil([&] { return Progress() >= 20; }, kQuickMs)) << "the wait did not begin";
        const ULONGLONG waitSeen = ::GetTickCount64();
        EXPECT_EQ(Text(IDC_STATUS), "Updating.....");
        EXPECT_FALSE(Enabled(IDCANCEL));
        EXPECT_FALSE(Enabled(IDC_UPGRADE));
        duringWait();

        // Every position shown during the wait is one of its steps (20, 23,
        // ... 68), then 90 and 100, never going back.
        std::vector<int> seen;
        const bool ended = uidriver::WaitUntil([&] {
            const int position = Progress();
            if (seen.empty() || seen.back() != position) seen.push_back(position);
            if (!::IsWindow(Main())) return true;
            const auto log = Log();
            return !log.empty() && (log.back() == kRestart || log.back() == kIncorrect) && Enabled(IDCANCEL);
        }, kFullRunMs, 200);
        ASSERT_TRUE(::IsWindow(Main())) << "the dialog closed during the run";
        ASSERT_TRUE(ended) << "log ends: " << ::testing::PrintToString(Tail(Log(), 3));
        const ULONGLONG waited = ::GetTickCount64() - waitSeen;
        EXPECT_GE(waited, 88000u) << "the programming wait is 91 seconds";
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << ::testing::PrintToString(seen);
        for (int position : seen) {
            const bool step = position >= 20 && position <= 68 && (position - 20) % 3 == 0;
            EXPECT_TRUE(step || position == 90 || position == 100) << "progress at " << position;
        }
    }

    void ExpectFinished(const Expected& expected, std::uint16_t checkSum) {
        std::vector<std::string> log = m_logBefore;
        log.push_back("Check Sum : " + Hex16(checkSum));
        log.push_back("Please wait a minute.....");
        log.push_back(kRestart);
        EXPECT_EQ(Log(), log);
        EXPECT_EQ(Progress(), 100);
        EXPECT_EQ(Text(IDC_STATUS), "");
        EXPECT_EQ(Text(IDC_DRIVE_LIST), "");
        EXPECT_EQ(Text(IDC_REVISION), "");
        EXPECT_TRUE(Enabled(IDCANCEL));
        EXPECT_FALSE(Enabled(IDC_UPGRADE));
        EXPECT_FALSE(uidriver::Click(Main(), IDC_UPGRADE)) << "a second run must be impossible";
        EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());

        EXPECT_EQ(Read("sum.txt"), expected.trace.Text());
        const auto record = Record();
        EXPECT_EQ(CommandsOf(record, 0, 0), expected.commands);
        const auto saves = SavesOf(record, 0, 0);
        ASSERT_EQ(saves.size(), 1u);
        EXPECT_EQ(saves[0]->Field("bytes"), std::to_string(expected.sent.size()));
        EXPECT_EQ(saves[0]->Field("file"), "saved-0-0.bin");
        const Bytes saved = ReadBytes("saved-0-0.bin");
        EXPECT_EQ(saved.size(), expected.sent.size());
        EXPECT_TRUE(saved == expected.sent) << "the drive saved other bytes than were sent";

        ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
        EXPECT_TRUE(m_program.WaitForExit(kQuickMs)) << "\"Close\" did not end the program";
    }

    std::vector<std::string> m_logBefore;
};

// 70,000 bytes: a first segment and 4,464 bytes of a second one, which holds
// the drive's identification. Both segments are checked and sent whole.
TEST_F(FlashToTheEnd, HexImageOfTwoSegments) {
    Bytes image = Filler(70000, 31);
    Put(image, 0x10010, kModel);
    const Bytes sent = PadWithFF(image, 2 * kSegment);
    Write("vdrives.txt", OneDrive(kRevision));
    Write("IDString.txt", Row(kModel, "Afw.hex"));
    Write("Afw.hex", IntelHex(image));

    RunAndFollow([&] {
        // No way of closing the dialog works during the run: the close
        // box, Escape and Enter in the drive list's edit field and on the
        // dialog. The dialog must survive to the end of the run.
        ::PostMessageA(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
        HWND edit = uidriver::ComboEdit(Main(), IDC_DRIVE_LIST);
        ASSERT_NE(edit, nullptr);
        for (HWND target : {edit, Main()}) {
            uidriver::PostKey(target, VK_ESCAPE);
            uidriver::PostKey(target, VK_RETURN);
        }
    });
    if (HasFatalFailure()) return;

    Expected expected(sent);
    expected.Chunks();
    ExpectFinished(expected, Sum16(sent));
}

// 40,000 bytes: ten chunks, the last one ending in 960 bytes of 0xFF; the
// check sum covers the whole 1 MB buffer, 0xFF fill included.
TEST_F(FlashToTheEnd, BinImageWithARetriedChunk) {
    Bytes image = Filler(40000, 41);
    Put(image, 1234, kModel);
    Put(image, 39000, kRevision);
    Write("vdrives.txt", OneDrive(kRevision, "fault 0 0 chunk offset=4128 times=5 sense=03/0C/00\n"));
    Write("IDString.txt", Row(kModel, "Afw.bin"));
    WriteBytes("Afw.bin", image);

    RunAndFollow([] {});
    if (HasFatalFailure()) return;

    Expected expected(PadWithFF(image, 10 * kChunk));
    expected.Chunks(1, 5, "CHECK sense=03/0C/00");
    const std::uint32_t checkSum = Sum16(image) + (kImageBuffer - image.size()) * 0xFF;
    ExpectFinished(expected, static_cast<std::uint16_t>(checkSum));
}

}  // namespace
}  // namespace e2e
