// Runs that end in "Flashing is incorrect!!" without the programming wait,
// as the whole program reports them: which file the revision picks and how
// it is read, an image that does not belong to the drive, a drive that stops
// answering or refuses the save, and presses of "Upgrade" that must not start
// a second run. Every expected line is worked out by hand from the small
// images below.
#include "E2eFixture.h"

namespace e2e {
namespace {

struct FailureCase {
    const char* name;
    Rows rows;                         // IDString.txt
    std::string revision;              // the drive's
    Rows files;                        // written: name, bytes
    std::string faults;                // vdrives.txt fault statements
    int presses;                       // 1: a click; more: WM_COMMANDs posted back to back
    Lines logTail;                     // after the compatibility list
    Lines commands;                    // drive 0/0's
    std::string trace;                 // sum.txt; empty: it must not exist
};

const std::string kModelLine = "Model Name : " + kModel + "(0) HID : 0 TID : 0 Ver.: A054";
// On the ASPI transport the program is handed no sense bytes: each "%2X"
// shows a padded zero.
const std::string kSumError = "Execute command error!!  0/ 0/ 0";
const std::string kLost = ChunkCommand(0x2020, "E710", "TRANSPORT");

const FailureCase kCases[] = {
    // A050 passes the start-up check on row 0's letter but takes row 1's
    // file (row 0's is missing). Its ".HEX" is lowered and read as
    // Intel-HEX: only that reader finds the record sum (E8h) off by one.
    {"RevisionTakesRowOnesUpperCaseHex", {{kModel, "A-row0.hex"}, {kModel, "B-ROW1.HEX"}}, "A050",
     {{"B-ROW1.HEX", ":0400000012345678E9\n:00000001FF\n"}}, "", 1, {"ERR: input file format mismatched!", kIncorrect},
     {kInquiry, kVendorBlock}, ""},
    {"BinWithoutIdentification", {{kModel, "Afw.bin"}}, "A054", {{"Afw.bin", "A054"}}, "", 1,
     {"It is an incorrect firmware version!", kIncorrect}, {kInquiry, kVendorBlock}, ""},
    // Commands 1-4 (INQUIRY, 95h, two chunks) are answered, then nothing:
    // the third chunk is tried six times.
    {"DriveVanishesMidTransfer", {{kModel, "Afw.bin"}}, "A054", {{"Afw.bin", kTransferImage}},
     "fault 0 0 vanish after=4\n", 1, Concat(kTransferStart, {"Execute command errorA!!  0/ 0/ 0", kIncorrect}),
     {kInquiry, kVendorBlock, ChunkCommand(0x20, "060F"), ChunkCommand(0x1020, "00DA"), kLost, kLost, kLost, kLost,
      kLost, kLost},
     CrLf({kModelLine, "Address=00000020,_wSecSum=060F,_total=060F", "Address=00001020,_wSecSum=06E9,_total=0CF8",
           "Address=00002020,_wSecSum=EDF9,_total=FAF1", "Address=00002020,_wSecSum=EDF9,_total=E8EA",
           "Address=00002020,_wSecSum=EDF9,_total=D6E3", "Address=00002020,_wSecSum=EDF9,_total=C4DC",
           "Address=00002020,_wSecSum=EDF9,_total=B2D5", "Address=00002020,_wSecSum=EDF9,_total=A0CE", kSumError})},
    // Three presses queued before the first is handled, sent past the
    // button's enabled state: one run only (one 95h, one outcome line, one
    // "Model Name" line in sum.txt, which every run appends to). Its save is
    // refused after the header (ED, F9: 01E6h in the record); that error line
    // alone ends without a line end.
    {"ThreeQuickPressesRunOnce", {{kModel, "Afw.bin"}}, "A054", {{"Afw.bin", kTransferImage}}, "fault 0 0 save\n", 3,
     Concat(kTransferStart, {"Execute command errorC!!  0/ 0/ 0", kIncorrect}),
     {kInquiry, kVendorBlock, ChunkCommand(0x20, "060F"), ChunkCommand(0x1020, "00DA"), ChunkCommand(0x2020, "E710"),
      "3B0600000000000020000000 out len=32 sum=01E6 GOOD",
      "3B0700000000000000000000 in len=4096 sum=0000 CHECK sense=04/44/00"},
     CrLf({kModelLine, "Address=00000020,_wSecSum=060F,_total=060F", "Address=00001020,_wSecSum=06E9,_total=0CF8",
           "Address=00002020,_wSecSum=EDF9,_total=FAF1", "Finished : fgWriteOneFlashCmdData()",
           "sSendBuf[30]=ED   sSendBuf[31]=F9", "Finished : fgWriteHeader()"}) + kSumError},
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class RunFailures : public E2eTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RunFailures, EndQuicklyAsIncorrect) {
    const FailureCase& c = GetParam();
    Write("vdrives.txt", OneDrive(c.revision, c.faults));
    Write("IDString.txt", IdString(c.rows));
    for (const auto& [name, bytes] : c.files) Write(name, bytes);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_TRUE(Enabled(IDC_UPGRADE));

    if (c.presses == 1) {
        ASSERT_TRUE(PressUpgrade());
    } else {
        const LPARAM button = reinterpret_cast<LPARAM>(::GetDlgItem(Main(), IDC_UPGRADE));
        for (int i = 0; i < c.presses; ++i)
            ASSERT_TRUE(::PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(IDC_UPGRADE, BN_CLICKED), button));
    }
    ASSERT_TRUE(WaitForRunEnd()) << ::testing::PrintToString(Log());
    EXPECT_EQ(Log(), Concat(CompatLogLines(c.rows), c.logTail));
    EXPECT_EQ(Text(IDC_STATUS), "");
    EXPECT_FALSE(uidriver::Click(Main(), IDC_UPGRADE)) << "a second run must be impossible";
    EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty()) << "a run reports in the log only";
    EXPECT_EQ(Commands(), c.commands);
    EXPECT_EQ(Exists("sum.txt"), !c.trace.empty());
    EXPECT_EQ(Read("sum.txt"), c.trace);
}

INSTANTIATE_TEST_SUITE_P(Cases, RunFailures, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
