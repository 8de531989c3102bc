// Runs that end in "Flashing is incorrect!!" without the programming wait,
// as the whole program reports them: which file the revision picks and how
// it is read, and an image that does not belong to the drive. Every expected
// line is worked out by hand from the small images below. (A drive that
// stops answering or refuses the save, and presses of "Upgrade" that must not
// start a second run: the NT road's runs here, and the soak of the Windows
// suites on both roads.)
#include "E2eFixture.h"

namespace e2e {
namespace {

struct FailureCase {
    const char* name;
    Rows rows;                         // IDString.txt
    std::string revision;              // the drive's
    Rows files;                        // written: name, bytes
    Lines logTail;                     // after the compatibility list
};

const FailureCase kCases[] = {
    // A050 passes the start-up check on row 0's letter but takes row 1's
    // file (row 0's is missing). Its ".HEX" is lowered and read as
    // Intel-HEX: only that reader finds the record sum (E8h) off by one.
    {"RevisionTakesRowOnesUpperCaseHex", {{kModel, "A-row0.hex"}, {kModel, "B-ROW1.HEX"}}, "A050",
     {{"B-ROW1.HEX", ":0400000012345678E9\n:00000001FF\n"}}, {"ERR: input file format mismatched!", kIncorrect}},
    {"BinWithoutIdentification", {{kModel, "Afw.bin"}}, "A054", {{"Afw.bin", "A054"}},
     {"It is an incorrect firmware version!", kIncorrect}},
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class RunFailures : public E2eTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RunFailures, EndQuicklyAsIncorrect) {
    const FailureCase& c = GetParam();
    Write("vdrives.txt", OneDrive(c.revision));
    Write("IDString.txt", IdString(c.rows));
    for (const auto& [name, bytes] : c.files) Write(name, bytes);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_TRUE(Enabled(IDC_UPGRADE));

    ASSERT_TRUE(PressUpgrade());
    ASSERT_TRUE(WaitForRunEnd()) << ::testing::PrintToString(Log());
    EXPECT_EQ(Log(), Concat(CompatLogLines(c.rows), c.logTail));
    EXPECT_EQ(Text(IDC_STATUS), "");
    EXPECT_FALSE(uidriver::Click(Main(), IDC_UPGRADE)) << "a second run must be impossible";
    EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty()) << "a run reports in the log only";
    EXPECT_EQ(Commands(), (Lines{kInquiry, kVendorBlock}));
    EXPECT_FALSE(Exists("sum.txt"));
}

INSTANTIATE_TEST_SUITE_P(Cases, RunFailures, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
