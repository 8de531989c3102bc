// fgUpgradeFirmware through Run against the scripted transport: hook calls,
// commands, sum.txt, waits, failures and the buffer's give-back.
#include <algorithm>
#include <numeric>

#include "FlashTestSupport.h"

using namespace fltest;

namespace {

const std::string kIncorrect = "Flashing is incorrect!!";
const std::string kRestart = "Please Restart Your Computer.";

std::string Format(const char* format, unsigned a, unsigned b = 0, unsigned c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// The hook calls of a run that succeeds, as the design lists them.
std::vector<Event> SuccessEvents(std::uint16_t checkSum, int chunks) {
    std::vector<Event> ev = {{"Message", Format("Check Sum : %X", checkSum)},
                             {"Status", "Updating....."},
                             {"Progress", "", 0},
                             {"Message", "Please wait a minute....."}};
    for (int i = 0; i < chunks; ++i) ev.insert(ev.end(), {{"Progress", "", 5}, {"Progress", "", 10}});
    ev.push_back({"Progress", "", 15});
    for (int p = 20; p <= 68; p += 3) ev.push_back({"Progress", "", p});
    ev.insert(ev.end(), {{"Progress", "", 90}, {"DriveName", ""}, {"Revision", ""},
                         {"Progress", "", 100}, {"Message", kRestart}, {"Status", ""}});
    return ev;
}

// A ".bin" image of `size` bytes that the test drive accepts.
std::vector<std::uint8_t> GoodBin(std::size_t size, std::uint32_t seed = 1) {
    auto image = RandomBytes(size, seed);
    Put(image, 1000, kDriveId);
    Put(image, 2000, kRevision);
    return image;
}

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> image, std::size_t size) {
    image.resize(size, 0xFF);
    return image;
}

class FlashProcedure : public FlashTest {
protected:
    // The chunk commands and the header the drive got, checked against what
    // `sent` bytes of `image` must look like.
    void ExpectTransfer(const std::vector<std::uint8_t>& sent) {
        const std::size_t chunks = sent.size() / kChunkSize;
        ASSERT_EQ(g_rec.sent.size(), chunks + 3);
        EXPECT_EQ(g_rec.sent[0].cdb[0], kOpVendorBlock);
        for (std::size_t i = 0; i < chunks; ++i) {
            const auto& c = g_rec.sent[1 + i];
            EXPECT_EQ(c.cdb, MakeChunkCdb(static_cast<std::uint32_t>(32 + i * kChunkSize))) << i;
            EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), sent.begin() + i * kChunkSize)) << i;
        }
        const HeaderBlock h = MakeHeaderBlock(Sum16(sent));
        EXPECT_EQ(g_rec.sent[chunks + 1].data, std::vector<std::uint8_t>(h.begin(), h.end()));
        EXPECT_EQ(g_rec.sent[chunks + 2].cdb, MakeDownloadSaveCdb());
    }
    // The trace of a transfer in which chunk i took attempts[i] attempts (default 1).
    std::string ExpectedTrace(const std::vector<std::uint8_t>& sent,
                              const std::vector<int>& attempts = {}) {
        std::string t = "Model Name : " + kDriveText + " HID : 1 TID : 3 Ver.: " + kRevision + "\n";
        std::uint16_t sum = 0, total = m_totalAtStart;
        for (std::size_t i = 0; i < sent.size() / kChunkSize; ++i) {
            sum = static_cast<std::uint16_t>(sum + Sum16(sent, i * kChunkSize, (i + 1) * kChunkSize));
            for (int a = 0; a < (i < attempts.size() ? attempts[i] : 1); ++a) {
                total = static_cast<std::uint16_t>(total + sum);
                t += Format("Address=%.8X,_wSecSum=%.4X,_total=%.4X\n",
                            static_cast<unsigned>(32 + i * kChunkSize), sum, total);
            }
        }
        t += "Finished : fgWriteOneFlashCmdData()\n";
        t += Format("sSendBuf[30]=%X   sSendBuf[31]=%X\n", sum >> 8, sum & 0xFF);
        return t + "Finished : fgWriteHeader()\nI will in fgTestUnitReadyComplete()\n";
    }
};

TEST_F(FlashProcedure, BinOf40000BytesGoesOutInTenChunks) {
    const auto image = GoodBin(40000);
    WriteFile(Path("fw.bin"), image);
    RunEngine(Path("fw.bin"), false);

    const auto sent = Padded(image, 10 * kChunkSize);
    EXPECT_TRUE(std::all_of(sent.end() - 960, sent.end(), [](auto b) { return b == 0xFF; }));
    ExpectTransfer(sent);
    EXPECT_EQ(g_rec.events, SuccessEvents(Sum16(Padded(image, kImageBufferSize)), 10));
    EXPECT_EQ(ReadFile(SumPath()), ExpectedTrace(sent));
    std::vector<std::uint32_t> waits(17, 5000);
    waits.insert(waits.end(), {5000, 1000});
    EXPECT_EQ(g_rec.sleeps, waits);
    EXPECT_EQ(std::accumulate(g_rec.sleeps.begin(), g_rec.sleeps.end(), 0u), 91000u);
    EXPECT_EQ((std::vector<int>{g_rec.allocs, g_rec.locks, g_rec.unlocks, g_rec.frees}),
              (std::vector<int>{1, 1, 1, 1}));
}

// ".hex" images are checked over their announced segments and sent in whole
// segments, bounded by the buffer's end.
TEST_F(FlashProcedure, HexSizing) {
    const auto data = RandomBytes(0x1235, 3);
    std::string top;
    for (int i = 0; i < 15; ++i) top += kSegmentRecord;
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> placed;
        std::uint32_t checked, sent;
    };
    std::vector<std::uint8_t> id(kDriveId.begin(), kDriveId.end());
    const Case cases[] = {
        {"data up to 1234h", HexData(data) + HexRecord(0, 0x100, id) + kEndRecord,
         {{0, data}, {0x100, id}}, 0x10000, 0x10000},
        {"id across a bank boundary", HexRecord(0, 0x7FF4, id) + kEndRecord, {{0x7FF4, id}},
         0x10000, 0x10000},
        {"data ending at 1FFFFh", HexRecord(0, 0x100, id) + kSegmentRecord + HexData(data, 0xEDCB) + kEndRecord,
         {{0x100, id}, {0x1EDCB, data}}, 0x20000, 0x30000},
        {"data ending at the top of the buffer", HexRecord(0, 0x100, id) + top + HexData(data, 0xEDCB) + kEndRecord,
         {{0x100, id}, {0xFEDCB, data}}, kImageBufferSize, kImageBufferSize},
    };
    for (const auto& c : cases) {
        g_rec = Recorder{};
        std::filesystem::remove(SumPath());
        WriteFile(Path("fw.hex"), c.text);
        RunEngine(Path("fw.hex"), true);
        std::vector<std::uint8_t> buffer(kImageBufferSize, 0xFF);
        for (const auto& [at, bytes] : c.placed) std::copy(bytes.begin(), bytes.end(), buffer.begin() + at);
        ASSERT_FALSE(Messages().empty()) << c.what;
        EXPECT_EQ(Messages().front(), Format("Check Sum : %X", Sum16(buffer, 0, c.checked))) << c.what;
        EXPECT_EQ(Messages().back(), kRestart) << c.what;
        buffer.resize(c.sent);
        ExpectTransfer(buffer);
    }
}

TEST_F(FlashProcedure, ChunkAcceptedOnSixthAttemptCountsOnceInTheHeader) {
    const auto image = GoodBin(3 * kChunkSize);
    WriteFile(Path("fw.bin"), image);
    g_rec.answers.assign(6, Answer{0, 0x04, 0x44, 0x00});
    g_rec.answers[0] = Answer{};  // the vendor command
    RunEngine(Path("fw.bin"), false);

    EXPECT_EQ(Messages().back(), kRestart);
    ASSERT_EQ(g_rec.sent.size(), 1u + 6 + 2 + 2);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(g_rec.sent[i].cdb, MakeChunkCdb(32));
    const HeaderBlock h = MakeHeaderBlock(Sum16(image));
    EXPECT_EQ(g_rec.sent[9].data, std::vector<std::uint8_t>(h.begin(), h.end()));
    EXPECT_EQ(ReadFile(SumPath()), ExpectedTrace(image, {6, 1, 1}));
}

// The command that fails for good ends the run with its sense bytes in the
// log and in sum.txt ("%2X": up to two upper-case digits, blank-padded).
TEST_F(FlashProcedure, CommandFailures) {
    const auto image = GoodBin(2 * kChunkSize);
    WriteFile(Path("fw.bin"), image);
    const std::string head = "Model Name : " + kDriveText + " HID : 1 TID : 3 Ver.: " + kRevision + "\n";
    const struct {
        const char* what;
        std::vector<std::size_t> failing;  // command indexes
        Answer answer;
        std::string log, traceEnd;
        std::size_t commands;
    } cases[] = {
        {"chunk six times", {1, 2, 3, 4, 5, 6}, {0, 0x05, 0x24, 0x00}, "Execute command errorA!!  5/24/ 0",
         "Execute command error!!  5/24/ 0\n", 7},
        {"header", {3}, {0, 0x0B, 0x47, 0x03}, "Execute command errorB!!  B/47/ 3",
         "Finished : fgWriteOneFlashCmdData()\nsSendBuf[30]=%X   sSendBuf[31]=%X\n"
         "Execute command error!!  B/47/ 3\n", 4},
        {"save, sense after a good transfer", {4}, {1, 0x02, 0x04, 0x01}, "Execute command errorC!!  2/ 4/ 1",
         "Finished : fgWriteHeader()\nExecute command error!!  2/ 4/ 1", 5},
    };
    const std::uint16_t sum = Sum16(image);
    for (const auto& c : cases) {
        g_rec = Recorder{};
        std::filesystem::remove(SumPath());
        g_rec.answers.resize(8);
        for (auto i : c.failing) g_rec.answers[i] = c.answer;
        RunEngine(Path("fw.bin"), false);
        const auto messages = Messages();
        ASSERT_GE(messages.size(), 2u) << c.what;
        EXPECT_EQ(messages[messages.size() - 2], c.log) << c.what;
        EXPECT_EQ(messages.back(), kIncorrect) << c.what;
        EXPECT_EQ(g_rec.sent.size(), c.commands) << c.what;
        const std::string trace = ReadFile(SumPath());
        const std::string end = Format(c.traceEnd.c_str(), sum >> 8, sum & 0xFF);
        ASSERT_GE(trace.size(), end.size()) << c.what;
        EXPECT_EQ(trace.substr(trace.size() - end.size()), end) << c.what;
        EXPECT_EQ(trace.rfind(head, 0), 0u) << c.what;
        EXPECT_TRUE(g_rec.sleeps.empty()) << c.what;
        EXPECT_EQ(g_rec.frees, 1) << c.what;
    }
}

// An image not made for this drive is refused before anything but the
// vendor command reaches it, and sum.txt is not touched.
TEST_F(FlashProcedure, ImageCheckRefusals) {
    auto noId = RandomBytes(5000, 9);
    Put(noId, 2000, kRevision);
    auto noRevision = RandomBytes(5000, 9);
    Put(noRevision, 100, kDriveId);
    std::vector<std::uint8_t> id(kDriveId.begin(), kDriveId.end());
    const struct {
        const char* what;
        bool hex;
        std::string content;
    } cases[] = {
        {"hex without id", true, HexData(noId) + kEndRecord},
        {"hex with a shortened id", true, HexRecord(0, 0, std::vector<std::uint8_t>(id.begin(), id.end() - 1)) + kEndRecord},
        {"bin without id", false, std::string(noId.begin(), noId.end())},
        {"bin without revision", false, std::string(noRevision.begin(), noRevision.end())},
    };
    for (const auto& c : cases) {
        g_rec = Recorder{};
        WriteFile(Path("fw"), c.content);
        RunEngine(Path("fw"), c.hex);
        EXPECT_EQ(Messages(), (std::vector<std::string>{"It is an incorrect firmware version!", kIncorrect}))
            << c.what;
        ASSERT_EQ(g_rec.sent.size(), 1u) << c.what;
        EXPECT_EQ(g_rec.sent[0].cdb, MakeVendorBlockCdb());
        EXPECT_FALSE(std::filesystem::exists(SumPath())) << c.what;
        EXPECT_EQ(g_rec.frees, 1) << c.what;
    }
}

TEST_F(FlashProcedure, LoadFailuresAreReportedOnce) {
    const struct {
        const char* what;
        bool hex;
        const char* file;  // null: missing
        std::vector<std::string> log;
    } cases[] = {
        {"missing", false, nullptr, {"ERR: fail to open output file!", "ERR: fail to read input file!", kIncorrect}},
        {"empty bin", false, "", {"ERR: fail to read input file!", kIncorrect}},
        {"hex without end", true, ":0100000011EE\r\n", {"ERR: input file format mismatched!", kIncorrect}},
        {"hex type 04", true, ":020000040001F9\r\n", {"ERR: input file format mismatched!", kIncorrect}},
    };
    for (const auto& c : cases) {
        g_rec = Recorder{};
        std::filesystem::remove(Path("fw"));
        if (c.file != nullptr) WriteFile(Path("fw"), std::string(c.file));
        RunEngine(Path("fw"), c.hex);
        EXPECT_EQ(Messages(), c.log) << c.what;
        EXPECT_EQ(g_rec.sent.size(), 1u) << c.what;
        EXPECT_EQ(g_rec.allocs, g_rec.frees) << c.what;
    }
}

// An abort before a chunk ends the run; one seen after the save is only
// noted. Either way ReportError gives the buffer back (without unlocking)
// and Run finds nothing left to give back.
TEST_F(FlashProcedure, AbortBeforeAChunkAndAtTheEnd) {
    const auto image = GoodBin(40000);
    WriteFile(Path("fw.bin"), image);

    g_rec.terminateAtCall = 3;  // before the third chunk
    RunEngine(Path("fw.bin"), false);
    auto messages = Messages();
    EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()),
              (std::vector<std::string>{"ERR: terminate upgrade/backup flash!", kIncorrect}));
    EXPECT_EQ(g_rec.sent.size(), 3u);
    auto lines = Lines(ReadFile(SumPath()));
    EXPECT_EQ(lines.back(), "CBIfTerminated failed!!");
    EXPECT_EQ((std::vector<int>{g_rec.frees, g_rec.unlocks}), (std::vector<int>{1, 0}));

    g_rec = Recorder{};
    std::filesystem::remove(SumPath());
    g_rec.terminateAtCall = 11;  // ten chunks, then the final question
    m_totalAtStart = CFlashEngine::Total();
    RunEngine(Path("fw.bin"), false);
    auto expected = SuccessEvents(Sum16(Padded(image, kImageBufferSize)), 10);
    expected.insert(expected.end() - 3, Event{"Message", "ERR: terminate upgrade/backup flash!"});
    EXPECT_EQ(g_rec.events, expected);
    EXPECT_EQ(ReadFile(SumPath()), ExpectedTrace(Padded(image, 40960)) + "2: CBIfTerminated()\n");
    EXPECT_EQ((std::vector<int>{g_rec.frees, g_rec.unlocks}), (std::vector<int>{1, 0}));
}

TEST_F(FlashProcedure, RunsWithoutTraceWhenSumFileCannotBeOpened) {
    const auto image = GoodBin(3 * kChunkSize);
    WriteFile(Path("fw.bin"), image);
    CFlashEngine engine(MakeJob(Path("fw.bin").string(), false), TestSeams());
    engine.SetSumFilePath(Path("no-such-dir/sum.txt").c_str());
    engine.Run();
    EXPECT_EQ(g_rec.events, SuccessEvents(Sum16(Padded(image, kImageBufferSize)), 3));
    ExpectTransfer(image);
}

TEST_F(FlashProcedure, FullMegabyteBinIsFlashedWhole) {
    const auto image = GoodBin(kImageBufferSize, 5);
    WriteFile(Path("fw.bin"), image);
    RunEngine(Path("fw.bin"), false);
    EXPECT_EQ(Messages().back(), kRestart);
    ExpectTransfer(image);
    EXPECT_EQ(g_rec.sent[256].cdb, MakeChunkCdb(0xFF020));
    EXPECT_EQ((std::vector<int>{g_rec.locks, g_rec.frees}), (std::vector<int>{0, 1}))
        << "a buffer-full load is kept unlocked";
}

}  // namespace
