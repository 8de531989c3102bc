// The NT road under Wine: the program, shown Windows XP or NT 4, opens
// \\.\E: to \\.\H: and talks SCSI pass-through, which Wine turns into SG_IO
// on the stand-in files behind the letters, answered by mf-vdrived through
// libmfsgio.so. Run only through the ctest entry e2e_nt_xp (nt_road.sh),
// which makes the prefix and serves this list, afresh for each version:
//   e: drive 0/0 "MARROW  " "CDR-8400 FLASHER" "A054", every chunk written
//      at offset 32 refused with sense 05/24/00
//   f: drive 1/2, the same model, every save refused with 04/44/00
//   g: drive 1/3, the same model, gone from the chunk at offset 8224 on
//   h: drive 0/1 "ACME    " "DVD-ROM 16X" "1.00"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "E2eFixture.h"
#include "vdrive/Digest.h"

namespace e2e {
namespace {

// Every start is Start(Layer::WineBuiltIn): nothing copied beside the
// program and no override, as on the NT road the program loads no ASPI layer.

// The NT scan's INQUIRY: 127 bytes asked into a 2048-byte buffer.
const char kNtInquiry[] = "120000007F00 in len=2048 sum=0000 GOOD";
const std::string kOther = "ACME    DVD-ROM 16X     ";
// Sorted, each with its scan index: the letters' order, h: last.
const Lines kItems{kOther + "(3)", kModel + "(0)", kModel + "(1)", kModel + "(2)"};
const std::string kSaveRefused = "3B0700000000000000000000 in len=4096 sum=0000 CHECK sense=04/44/00";

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
    // Drive ha/target's commands since `from` of them.
    Lines Since(size_t from, int ha = 0, int target = 0, bool fnv = false) const {
        const Lines all = Commands(ha, target, fnv);
        return Lines(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
    }
    // Starts the program and shows it one of the drives, as a user chooses it.
    void StartOn(const std::string& drive) {
        ASSERT_TRUE(Start(Layer::WineBuiltIn));
        ASSERT_TRUE(WaitForReady());
        ASSERT_EQ(uidriver::ComboItems(Main(), IDC_DRIVE_LIST), kItems);
        const auto at = std::find(kItems.begin(), kItems.end(), drive) - kItems.begin();
        ASSERT_TRUE(uidriver::ChooseComboItem(Main(), IDC_DRIVE_LIST, static_cast<int>(at)));
        ASSERT_EQ(Text(IDC_DRIVE_LIST), drive);
    }
    // "Upgrade" pressed `presses` times back to back (posted, so past the
    // button's enabled state), then the run's end.
    void Upgrade(int presses) {
        const LPARAM button = reinterpret_cast<LPARAM>(::GetDlgItem(Main(), IDC_UPGRADE));
        for (int i = 0; i < presses; ++i)
            ASSERT_TRUE(::PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(IDC_UPGRADE, BN_CLICKED), button));
        ASSERT_TRUE(WaitForRunEnd()) << ::testing::PrintToString(Log());
        EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty());
    }
};

// The drives are listed sorted, each with its scan index, so the suffixes
// show the letter order: h: is (3) although it sorts first. The last
// compatible drive (g:) is shown, or with no compatible drive the last one
// scanned (h:); "Upgrade" is offered only while IDString.txt lists the model.
TEST_F(NtRoad, ListsDrivesInLetterOrderAndFollowsIdString) {
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed ? "model listed" : "model not listed");
        const std::string model = listed ? kModel : "OTHERCO CD-RW 52X";
        Write("IDString.txt", IdString({{model, "Afw.hex"}}));
        const size_t e = Commands(0, 0).size(), h = Commands(0, 1).size();
        ASSERT_TRUE(Start(Layer::WineBuiltIn));
        ASSERT_TRUE(WaitForReady());
        EXPECT_EQ(uidriver::ComboItems(Main(), IDC_DRIVE_LIST), kItems);
        EXPECT_EQ(Text(IDC_DRIVE_LIST), listed ? kModel + "(2)" : kOther + "(3)");
        EXPECT_EQ(Text(IDC_REVISION), listed ? "A054" : "1.00");
        EXPECT_EQ(Enabled(IDC_UPGRADE), listed);
        const Lines compat = CompatLogLines({{model, "Afw.hex"}});
        EXPECT_EQ(Log(), listed ? compat : Concat(compat, {"CD-ROM drive model doesn't match!!"}));
        // Each drive was asked once per start.
        EXPECT_EQ(Since(e), Lines{kNtInquiry});
        EXPECT_EQ(Since(h, 0, 1), Lines{kNtInquiry});
        ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
        ASSERT_TRUE(m_program.WaitForExit(kQuickMs));
    }
}

// Runs that end as incorrect, each on its own drive, with the 10,000-byte
// ".bin" image (chunk sums 060F, 00DA, E710; see E2eFixture.cpp):
// - e:, a chunk refused six times with ILLEGAL REQUEST, INVALID FIELD IN
//   CDB: the drive's own sense bytes reach the error line;
// - f:, three presses posted before the first is handled: one run, whose
//   save is refused with HARDWARE ERROR, INTERNAL TARGET FAILURE after the
//   header (ED, F9: 01E6h), shown in the log and at the end of sum.txt;
// - g:, gone at the third chunk: every attempt is a failed DeviceIoControl,
//   which carries no sense, so the zeros of the cleared request are shown;
//   six attempts, then nothing more reaches the drive.
TEST_F(NtRoad, RunsEndAsIncorrectWithTheDrivesSense) {
    const std::string lost = ChunkCommand(0x2020, "E710", "TRANSPORT");
    const Lines transfer{kNtInquiry, kVendorBlock, ChunkCommand(0x20, "060F"), ChunkCommand(0x1020, "00DA")};
    const struct {
        std::string drive;
        int ha, target, presses;
        std::string error;
        Lines commands;
        std::string traceEnd;  // of sum.txt, which every run appends to
    } runs[] = {
        {kModel + "(0)", 0, 0, 1, "Execute command errorA!!  5/24/ 0",
         Concat({kNtInquiry, kVendorBlock}, Lines(6, ChunkCommand(0x20, "060F", "CHECK sense=05/24/00"))), ""},
        {kModel + "(1)", 1, 2, 3, "Execute command errorC!!  4/44/ 0",
         Concat(transfer, {ChunkCommand(0x2020, "E710"), "3B0600000000000020000000 out len=32 sum=01E6 GOOD", kSaveRefused}),
         "Finished : fgWriteHeader()\r\nExecute command error!!  4/44/ 0"},
        {kModel + "(2)", 1, 3, 1, "Execute command errorA!!  0/ 0/ 0", Concat(transfer, Lines(6, lost)), ""},
    };
    Write("Afw.bin", kTransferImage);
    Write("IDString.txt", IdString({{kModel, "Afw.bin"}}));
    for (const auto& run : runs) {
        SCOPED_TRACE(run.drive);
        const size_t before = Commands(run.ha, run.target).size();
        StartOn(run.drive);
        Upgrade(run.presses);
        EXPECT_EQ(Log(), Concat(CompatLogLines({{kModel, "Afw.bin"}}), Concat(kTransferStart, {run.error, kIncorrect})));
        EXPECT_EQ(Since(before, run.ha, run.target), run.commands);
        ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
        ASSERT_TRUE(m_program.WaitForExit(kQuickMs));
        const std::string trace = Read("sum.txt");
        EXPECT_TRUE(trace.size() > run.traceEnd.size() && trace.substr(trace.size() - run.traceEnd.size()) == run.traceEnd)
            << trace;
    }
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }
std::string SumOf(const std::string& s) { return Hex(vdrive::Sum16(Bytes(s), s.size()), 4); }
std::string FnvOf(const std::string& s) { return " fnv=" + Hex(vdrive::Fnv1a32(Bytes(s), s.size()), 8); }

// NT 4 (nt_road.sh runs this suite again with E2E_WINDOWS_VERSION=nt40 and
// fresh drives): the program lists each letter's adapter inquiry list, which
// Wine fills from its own 36-byte INQUIRY, with the PathId and TargetId the
// preload library gives the stand-in (a block device, 1/2 for f:) and an
// AlignmentMask of 1000h, which is the page size and not a mask. The
// transfer then goes through the bounce buffer laid out with that value: the
// drive's digests of every chunk and of the header must be those of the
// bytes the image holds. The save is refused, so the run ends without the
// programming wait.
class Nt4Road : public NtRoad {};

TEST_F(Nt4Road, AdapterListThenBounceBufferTransfer) {
    const int drives[][2] = {{0, 0}, {1, 2}, {1, 3}, {0, 1}};  // e: to h:
    size_t before[4];
    for (int i = 0; i < 4; ++i) before[i] = Commands(drives[i][0], drives[i][1]).size();
    // Every byte differs from its neighbours, so a chunk shifted or cut
    // inside the bounce buffer changes its digest.
    std::string image(10000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 7);
    image.replace(0, kModel.size(), kModel).replace(4096, 4, "A054");
    Write("Afw.bin", image);
    Write("IDString.txt", IdString({{kModel, "Afw.bin"}}));
    ASSERT_NO_FATAL_FAILURE(StartOn(kModel + "(1)"));
    EXPECT_EQ(Text(IDC_REVISION), "A054");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Since(before[i], drives[i][0], drives[i][1]), Lines{"120000002400 in len=36 sum=0000 GOOD"}) << i;
    const size_t f = Commands(1, 2).size();
    ASSERT_NO_FATAL_FAILURE(Upgrade(1));

    const std::string sent = image + std::string(3 * 4096 - image.size(), '\xFF');
    const unsigned secSum = vdrive::Sum16(Bytes(sent), sent.size());
    // The check sum covers the 1 MB buffer: the image and FFh beyond it.
    const unsigned checkSum = (vdrive::Sum16(Bytes(image), image.size()) + (1048576u - image.size()) * 0xFFu) & 0xFFFF;
    EXPECT_EQ(Log(), Concat(CompatLogLines({{kModel, "Afw.bin"}}),
                            {"Check Sum : " + Hex(checkSum, 1), "Please wait a minute.....",
                             "Execute command errorC!!  4/44/ 0", kIncorrect}));
    std::string header(32, '\0');
    header[30] = static_cast<char>(secSum >> 8);
    header[31] = static_cast<char>(secSum);
    const std::string none = FnvOf("");
    Lines expected{kVendorBlock + none};
    for (unsigned k = 0; k < 3; ++k) {
        const std::string chunk = sent.substr(k * 4096, 4096);
        expected.push_back(ChunkCommand(32 + k * 4096, SumOf(chunk)) + FnvOf(chunk));
    }
    expected.push_back("3B0600000000000020000000 out len=32 sum=" + SumOf(header) + " GOOD" + FnvOf(header));
    expected.push_back(kSaveRefused + none);
    EXPECT_EQ(Since(f, 1, 2, true), expected);
    const std::string first = "Model Name : " + kModel + "(1) HID : 1 TID : 2 Ver.: A054\r\n";
    EXPECT_EQ(Read("sum.txt").substr(0, first.size()), first);
}

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
