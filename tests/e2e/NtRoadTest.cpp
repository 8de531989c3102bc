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
