// The NT road under Wine: the program, shown Windows XP, opens \\.\E: and
// \\.\F: and talks SCSI pass-through, which Wine turns into SG_IO on the
// stand-in files behind the letters, answered by mf-vdrived through
// libmfsgio.so. Run only through the ctest entry e2e_nt_xp (nt_road.sh),
// which makes the prefix and serves this list:
//   e: drive 0/0 "MARROW  " "CDR-8400 FLASHER" "A054", every chunk written
//      at offset 32 refused with sense 05/24/00
//   f: drive 0/1 "ACME    " "DVD-ROM 16X" "1.00"
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "E2eFixture.h"

namespace e2e {
namespace {

// Every start is Start(Layer::WineBuiltIn): nothing copied beside the
// program and no override, as on the NT road the program loads no ASPI layer.

// The NT scan's INQUIRY: 127 bytes asked into a 2048-byte buffer.
const char kNtInquiry[] = "120000007F00 in len=2048 sum=0000 GOOD";
const std::string kOther = "ACME    DVD-ROM 16X     ";

class NtRoad : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        const char* list = std::getenv("MARROWFIN_VDRIVES");
        const char* unixDrive = std::getenv("E2E_UNIX_DRIVE");
        ASSERT_TRUE(list != nullptr && unixDrive != nullptr) << "run this case through its ctest entry e2e_nt_xp";
        std::string dir = std::string(unixDrive) + list;
        dir.erase(dir.rfind('/'));
        for (char& c : dir)
            if (c == '/') c = '\\';
        m_record = dir + "\\record.txt";
    }
    // Drive 0/target's commands since `from` of them.
    Lines Since(size_t from, int target = 0) const {
        const Lines all = Commands(0, target);
        return Lines(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
    }
};

// The drives are listed sorted, each with its scan index, so the suffixes
// show the letter order: e: is (0) although it sorts after f:. The
// compatible drive is shown, or with no compatible drive the last one
// scanned (f:); "Upgrade" is offered only while IDString.txt lists the model.
TEST_F(NtRoad, ListsDrivesInLetterOrderAndFollowsIdString) {
    const Lines items{kOther + "(1)", kModel + "(0)"};
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed ? "model listed" : "model not listed");
        const std::string model = listed ? kModel : "OTHERCO CD-RW 52X";
        Write("IDString.txt", IdString({{model, "Afw.hex"}}));
        const size_t e = Commands(0, 0).size(), f = Commands(0, 1).size();
        ASSERT_TRUE(Start(Layer::WineBuiltIn));
        ASSERT_TRUE(WaitForReady());
        EXPECT_EQ(uidriver::ComboItems(Main(), IDC_DRIVE_LIST), items);
        EXPECT_EQ(Text(IDC_DRIVE_LIST), listed ? kModel + "(0)" : kOther + "(1)");
        EXPECT_EQ(Text(IDC_REVISION), listed ? "A054" : "1.00");
        EXPECT_EQ(Enabled(IDC_UPGRADE), listed);
        const Lines compat = CompatLogLines({{model, "Afw.hex"}});
        EXPECT_EQ(Log(), listed ? compat : Concat(compat, {"CD-ROM drive model doesn't match!!"}));
        // Each drive was asked once per start.
        EXPECT_EQ(Since(e), Lines{kNtInquiry});
        EXPECT_EQ(Since(f, 1), Lines{kNtInquiry});
        ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
        ASSERT_TRUE(m_program.WaitForExit(kQuickMs));
    }
}

// A chunk refused six times with ILLEGAL REQUEST, INVALID FIELD IN CDB: the
// drive's real sense bytes reach the error line through Wine's pass-through.
TEST_F(NtRoad, RefusedChunkShowsItsSense) {
    std::string image(10000, '\0');  // chunk 1 sums to 060Fh (see RunFailuresTest)
    image.replace(0, kModel.size(), kModel).replace(4096, 4, "A054");
    Write("Afw.bin", image);
    Write("IDString.txt", IdString({{kModel, "Afw.bin"}}));
    const size_t before = Commands(0, 0).size();
    ASSERT_TRUE(Start(Layer::WineBuiltIn));
    ASSERT_TRUE(WaitForReady());
    ASSERT_TRUE(PressUpgrade());
    ASSERT_TRUE(WaitForRunEnd());
    const Lines log = Log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(Lines(log.end() - 4, log.end()),
              (Lines{"Check Sum : 1DF9", "Please wait a minute.....", "Execute command errorA!!  5/24/ 0", kIncorrect}));
    EXPECT_EQ(Since(before), Concat({kNtInquiry, kVendorBlock},
                                    Lines(6, ChunkCommand(0x20, "060F", "CHECK sense=05/24/00"))));
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// The whole flash on the NT road: the ctest entry e2e_nt_xp_flash serves e:
// alone, drive 0/0 "MARROW  " "CDR-8400 FLASHER" "A054", A055 once flashed,
// no fault. The record and saved image are left in the list's folder.
class NtFlash : public NtRoad {};

// Four bytes at 0, four zero bytes at 1000h, the segment record and the
// identification at 10010h. Record sums worked out by hand:
// 04+12+34+56+78 = 118h -> E8; 04+10 = 14h -> EC; 18h+10h + 1551 = 637h -> C9
// (1551 = 0x60F, the sum of "MARROW  CDR-8400 FLASHER").
TEST_F(NtFlash, HexImageToTheEndThenTheNewRevision) {
    Write("IDString.txt", IdString({{kModel, "Afw.hex"}}));
    Write("Afw.hex", kTwoSegmentHex);
    ASSERT_TRUE(Start(Layer::WineBuiltIn));
    ASSERT_TRUE(WaitForReady());
    EXPECT_EQ(Text(IDC_REVISION), "A054");
    const Lines log = Log();
    ASSERT_TRUE(PressUpgrade());
    // The one 91-second wait of this entry.
    ASSERT_TRUE(uidriver::WaitUntil([&] { return !::IsWindow(Main()) || RunEnded(); }, 180000, 500))
        << ::testing::PrintToString(Log());
    ASSERT_TRUE(uidriver::MessageBoxes(Pid()).empty());

    // The image covers 128 KB (two segments); the rest is FFh. 4096 FFh add
    // to F000h, and 32 such chunks to 1E0000h, 0000h in 16 bits. Against the
    // FFh they replace, 12h+34h+56h+78h = 114h is 114h - 3FCh = -2E8h; the
    // four zeros at 1000h -3FCh; the identification 60Fh - 24 * FFh =
    // 60Fh - 17E8h = -11D9h. 2E8h + 3FCh + 11D9h = 18BDh, and 0000h - 18BDh
    // = E743h: the "Check Sum" and the header's bytes 30-31.
    EXPECT_EQ(Log(), Concat(log, {"Check Sum : E743", "Please wait a minute.....", kRestart}));

    // The drive saves only when the header matches the sum of what it holds.
    EXPECT_EQ(Commands(), TwoSegmentCommands(kNtInquiry));
    const std::string folder = m_record.substr(0, m_record.rfind('\\') + 1);
    const std::string image = TwoSegmentSaved();
    std::ifstream in(folder + "saved-0-0.bin", std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == image)
        << "the drive saved other bytes than the image's";
    // The image as the peer check (nt_peer.sh) sends it.
    std::ofstream(folder + "image.bin", std::ios::binary) << image;
    ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
    ASSERT_TRUE(m_program.WaitForExit(kQuickMs));

    // The drive process kept the flash: the next start reads A055.
    const size_t before = Commands().size();
    ASSERT_TRUE(Start(Layer::WineBuiltIn));
    ASSERT_TRUE(WaitForReady());
    EXPECT_EQ(Text(IDC_REVISION), "A055");
    EXPECT_EQ(Since(before), Lines{kNtInquiry});
    ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
    ASSERT_TRUE(m_program.WaitForExit(kQuickMs));
}

}  // namespace
}  // namespace e2e
