// Runs that end in "Flashing is incorrect!!" without the programming wait:
// an image that cannot be read or does not belong to the drive, and a drive
// that refuses or stops answering during the transfer. Each case says what
// the log, the drive's record and sum.txt must show, worked out from the
// image it writes.
#include <cstdio>
#include <optional>

#include "E2eFixture.h"

namespace e2e {
namespace {

struct Plan {
    std::string file;                    // the firmware file IDString.txt names
    std::optional<Bytes> contents;       // none: the file is missing
    std::string faults;                  // vdrives.txt fault statements
    std::vector<std::string> logTail;    // after the compatibility list
    std::vector<std::string> commands;   // drive 0/0, INQUIRY included
    std::optional<std::string> trace;    // sum.txt; none: it must not exist
};

struct FailureCase {
    const char* name;
    Plan (*make)();
};

const std::string kRevision = "A054";
// On the ASPI transport the program is handed no sense bytes: each of the
// three "%2X" fields shows a padded zero, after the text's own blank.
const char kNoSense[] = "  0/ 0/ 0";

std::string Hex16(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::vector<std::string> Refused() { return {ExpectInquiry(), ExpectVendorBlock()}; }

Plan MissingHex() { return {"Afw.hex", std::nullopt, "",
    {"ERR: fail to open output file!", "ERR: fail to read input file!", kIncorrect}, Refused(), std::nullopt}; }
Plan MissingBin() { return {"Afw.bin", std::nullopt, "",
    {"ERR: fail to open output file!", "ERR: fail to read input file!", kIncorrect}, Refused(), std::nullopt}; }
Plan EmptyBin() { return {"Afw.bin", Bytes{}, "", {"ERR: fail to read input file!", kIncorrect}, Refused(),
    std::nullopt}; }

Plan HexWithoutIdentification() {
    return {"Afw.hex", ToBytes(IntelHex(Filler(30000, 11))), "",
            {"It is an incorrect firmware version!", kIncorrect}, Refused(), std::nullopt};
}

Plan BinWithoutIdentification() {
    Bytes image = Filler(30000, 12);
    Put(image, 500, kRevision);
    return {"Afw.bin", image, "", {"It is an incorrect firmware version!", kIncorrect}, Refused(), std::nullopt};
}

// A ".bin" image must also hold the first two characters of the revision.
Plan BinWithoutRevision() {
    Bytes image = Filler(30000, 13);
    Put(image, 500, kModel);
    return {"Afw.bin", image, "", {"It is an incorrect firmware version!", kIncorrect}, Refused(), std::nullopt};
}

// The image the transfer failures send: 30,000 bytes of ".hex" data in the
// first segment, so 64 KB (16 chunks) go out.
Bytes TransferImage() {
    Bytes image = Filler(30000, 21);
    Put(image, 100, kModel);
    return image;
}

struct Transfer {
    Bytes sent = PadWithFF(TransferImage(), kSegment);
    Plan plan{"Afw.hex", ToBytes(IntelHex(TransferImage())), "", {}, {ExpectInquiry(), ExpectVendorBlock()}, ""};
    TraceBuilder trace;
    std::uint16_t running = 0;

    Transfer() {
        trace.ModelLine(kModel + "(0)", 0, 0, kRevision);
        plan.logTail = {"Check Sum : " + Hex16(Sum16(sent)), "Please wait a minute....."};
    }
    const std::uint8_t* ChunkData(size_t k) const { return sent.data() + k * kChunk; }
    // Chunk k accepted at once.
    void Good(size_t k) { Attempts(k, 0, ""); }
    // Chunk k refused `failures` times (with `result`), then accepted
    // unless failures is 6. A chunk sent again replaces what the drive
    // holds, so it counts once in the running sum.
    void Attempts(size_t k, int failures, const std::string& result) {
        const std::uint32_t offset = static_cast<std::uint32_t>(32 + k * kChunk);
        const std::uint16_t after = static_cast<std::uint16_t>(running + Sum16(ChunkData(k), kChunk));
        for (int i = 0; i < failures; ++i) {
            plan.commands.push_back(ExpectChunk(offset, ChunkData(k), result));
            trace.Chunk(offset, after);
        }
        if (failures < 6) {
            plan.commands.push_back(ExpectChunk(offset, ChunkData(k)));
            trace.Chunk(offset, after);
            running = after;
        }
    }
    void AllChunks() {
        for (size_t k = 0; k < kSegment / kChunk; ++k) Good(k);
        trace.Line("Finished : fgWriteOneFlashCmdData()");
    }
    Plan Failed(char step, const std::string& traceEnd) {
        trace.Raw(traceEnd);
        plan.logTail.push_back(std::string("Execute command error") + step + "!!" + kNoSense);
        plan.logTail.push_back(kIncorrect);
        plan.trace = trace.Text();
        return plan;
    }
};

Plan ChunkRefusedSixTimes() {
    Transfer t;
    t.plan.faults = "fault 0 0 chunk offset=4128 times=always sense=03/0C/00\n";
    t.Good(0);
    t.Attempts(1, 6, "CHECK sense=03/0C/00");
    return t.Failed('A', std::string("Execute command error!!") + kNoSense + "\r\n");
}

Plan DriveVanishesMidTransfer() {
    Transfer t;
    // Commands 1-4: INQUIRY, the vendor block and two chunks; then silence.
    t.plan.faults = "fault 0 0 vanish after=4\n";
    t.Good(0);
    t.Good(1);
    t.Attempts(2, 6, "TRANSPORT");
    return t.Failed('A', std::string("Execute command error!!") + kNoSense + "\r\n");
}

Plan HeaderRefused() {
    Transfer t;
    t.plan.faults = "fault 0 0 header\n";
    t.AllChunks();
    t.trace.Header(t.running);
    t.plan.commands.push_back(ExpectHeader(t.running, "CHECK sense=04/44/00"));
    return t.Failed('B', std::string("Execute command error!!") + kNoSense + "\r\n");
}

Plan SaveRefused() {
    Transfer t;
    t.plan.faults = "fault 0 0 save\n";
    t.AllChunks();
    t.trace.Header(t.running);
    t.trace.Line("Finished : fgWriteHeader()");
    t.plan.commands.push_back(ExpectHeader(t.running));
    t.plan.commands.push_back(ExpectSave("CHECK sense=04/44/00"));
    // The save's error line is the one written without a line end.
    return t.Failed('C', std::string("Execute command error!!") + kNoSense);
}

const FailureCase kFailures[] = {
    {"MissingHexImage", MissingHex},
    {"MissingBinImage", MissingBin},
    {"EmptyBinImage", EmptyBin},
    {"HexWithoutIdentification", HexWithoutIdentification},
    {"BinWithoutIdentification", BinWithoutIdentification},
    {"BinWithoutRevision", BinWithoutRevision},
    {"ChunkRefusedSixTimes", ChunkRefusedSixTimes},
    {"DriveVanishesMidTransfer", DriveVanishesMidTransfer},
    {"HeaderRefused", HeaderRefused},
    {"SaveRefused", SaveRefused},
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class RunFailures : public E2eTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RunFailures, EndQuicklyAsIncorrect) {
    const Plan plan = GetParam().make();
    Write("vdrives.txt", OneDrive(kRevision, plan.faults));
    Write("IDString.txt", Row(kModel, plan.file));
    if (plan.contents) WriteBytes(plan.file, *plan.contents);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForReady());
    ASSERT_TRUE(Enabled(IDC_UPGRADE));

    ASSERT_TRUE(PressUpgrade());
    ASSERT_TRUE(WaitForRunEnd(kQuickMs)) << "log ends: " << ::testing::PrintToString(Tail(Log(), 4));
    std::vector<std::string> log = CompatLogLines({{kModel, plan.file}});
    log.insert(log.end(), plan.logTail.begin(), plan.logTail.end());
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(Text(IDC_STATUS), "");
    EXPECT_TRUE(Enabled(IDCANCEL));
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
    EXPECT_FALSE(uidriver::Click(Main(), IDC_UPGRADE)) << "a second run must be impossible";
    EXPECT_TRUE(uidriver::MessageBoxes(Pid()).empty()) << "a run reports in the log only";

    const auto record = Record();
    EXPECT_EQ(CommandsOf(record, 0, 0), plan.commands);
    EXPECT_TRUE(SavesOf(record, 0, 0).empty());
    if (plan.trace) {
        EXPECT_EQ(Read("sum.txt"), *plan.trace);
    } else {
        EXPECT_FALSE(Exists("sum.txt"));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunFailures, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
