// fgUpgradeFirmware through Run against the scripted transport: hook calls,
// commands, sum.txt, waits, failures and the buffer's give-back.
#include <algorithm>
#include <optional>

#include "FlashTestSupport.h"

using namespace fltest;

namespace {

std::string Format(const char* format, unsigned a, unsigned b = 0, unsigned c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// The hook calls of a run that succeeds, as the design lists them.
std::vector<Event> SuccessEvents(std::uint16_t checkSum, std::size_t chunks) {
    std::vector<Event> ev = {{"Message", Format("Check Sum : %X", checkSum)},
                             {"Status", "Updating....."},
                             {"Progress", "", 0},
                             {"Message", "Please wait a minute....."}};
    for (std::size_t i = 0; i < chunks; ++i) ev.insert(ev.end(), {{"Progress", "", 5}, {"Progress", "", 10}});
    ev.push_back({"Progress", "", 15});
    for (int p = 20; p <= 68; p += 3) ev.push_back({"Progress", "", p});
    ev.insert(ev.end(), {{"Progress", "", 90}, {"DriveName", ""}, {"Revision", ""},
                         {"Progress", "", 100}, {"Message", kRestart}, {"Status", ""}});
    return ev;
}

// A ".bin" image of `size` bytes that the test drive accepts.
Bytes GoodBin(std::size_t size, std::uint32_t seed = 1) {
    auto image = RandomBytes(size, seed);
    Put(image, 1000, kDriveId);
    Put(image, 2000, kRevision);
    return image;
}

Bytes Padded(Bytes image, std::size_t size) {
    image.resize(size, 0xFF);
    return image;
}

const std::string kHead = "Model Name : " + kDriveText + " HID : 1 TID : 3 Ver.: " + kRevision + "\n";

class FlashProcedure : public FlashTest {
protected:
    // The chunk commands and the header the drive got, checked against what
    // `sent` bytes of the image must look like.
    void ExpectTransfer(const Bytes& sent) {
        const std::size_t chunks = sent.size() / kChunkSize;
        ASSERT_EQ(g_rec.sent.size(), chunks + 3);
        EXPECT_EQ(g_rec.sent[0].cdb[0], kOpVendorBlock);
        for (std::size_t i = 0; i < chunks; ++i) {
            const auto& c = g_rec.sent[1 + i];
            EXPECT_EQ(c.cdb, MakeChunkCdb(static_cast<std::uint32_t>(32 + i * kChunkSize))) << i;
            EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), sent.begin() + i * kChunkSize)) << i;
        }
        const HeaderBlock h = MakeHeaderBlock(Sum16(sent));
        EXPECT_EQ(g_rec.sent[chunks + 1].data, Bytes(h.begin(), h.end()));
        EXPECT_EQ(g_rec.sent[chunks + 2].cdb, MakeDownloadSaveCdb());
    }
    // The trace of a transfer in which chunk i took attempts[i] attempts (default 1).
    std::string ExpectedTrace(const Bytes& sent, const std::vector<int>& attempts = {}) {
        std::string t = kHead;
        std::uint16_t sum = 0, total = m_totalAtStart;
        for (std::size_t i = 0; i < sent.size() / kChunkSize; ++i) {
            sum = static_cast<std::uint16_t>(sum + Sum16(sent, i * kChunkSize, (i + 1) * kChunkSize));
            for (int a = 0; a < (i < attempts.size() ? attempts[i] : 1); ++a) {
                total = static_cast<std::uint16_t>(total + sum);
                t += Format("Address=%.8X,_wSecSum=%.4X,_total=%.4X\n", static_cast<unsigned>(32 + i * kChunkSize), sum,
                            total);
            }
        }
        t += "Finished : fgWriteOneFlashCmdData()\n";
        t += Format("sSendBuf[30]=%X   sSendBuf[31]=%X\n", sum >> 8, sum & 0xFF);
        return t + "Finished : fgWriteHeader()\nI will in fgTestUnitReadyComplete()\n";
    }
};

// A ".bin" goes out in whole chunks, the last one filled with 0xFF; the check
// sum covers the whole erased buffer; the programming wait is 17 x 5 s, 5 s
// and 1 s. A buffer-full load is never locked, and a sum.txt that cannot be
// opened costs only the trace.
TEST_F(FlashProcedure, BinImagesAreSentInWholeChunks) {
    const struct { std::size_t size; bool trace; } cases[] = {
        {40000, true}, {kImageBufferSize, true}, {3 * kChunkSize, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        Reset();
        m_sumFile = c.trace ? SumPath() : Path("no-such-dir/sum.txt");
        const auto image = GoodBin(c.size, static_cast<std::uint32_t>(c.size));
        RunBin(image);

        const auto sent = Padded(image, (c.size + kChunkSize - 1) / kChunkSize * kChunkSize);
        ExpectTransfer(sent);
        EXPECT_EQ(g_rec.events, SuccessEvents(Sum16(Padded(image, kImageBufferSize)), sent.size() / kChunkSize));
        EXPECT_EQ(ReadFile(SumPath()), c.trace ? ExpectedTrace(sent) : "");
        std::vector<std::uint32_t> waits(17, 5000);
        waits.insert(waits.end(), {5000, 1000});
        EXPECT_EQ(g_rec.sleeps, waits);
        const bool full = c.size == kImageBufferSize;
        EXPECT_EQ((std::vector<int>{g_rec.allocs, g_rec.locks, g_rec.frees}), (std::vector<int>{1, full ? 0 : 1, 1}));
        if (!full) {
            EXPECT_EQ(g_rec.unlocks, 1);
        }
    }
}

// ".hex" images are checked over their announced segments and sent in whole
// segments, bounded by the buffer's end.
TEST_F(FlashProcedure, HexSizing) {
    const auto data = RandomBytes(0x1235, 3);
    const Bytes id(kDriveId.begin(), kDriveId.end());
    std::string top;
    for (int i = 0; i < 15; ++i) top += kSegmentRecord;
    const struct {
        const char* what;
        std::string text;
        std::vector<std::pair<std::uint32_t, Bytes>> placed;
        std::uint32_t checked, sent;
    } cases[] = {
        {"data up to 1234h", HexData(data) + HexRecord(0, 0x100, id) + kEndRecord, {{0, data}, {0x100, id}}, 0x10000,
         0x10000},
        {"id across a bank boundary", HexRecord(0, 0x7FF4, id) + kEndRecord, {{0x7FF4, id}}, 0x10000, 0x10000},
        {"data ending at 1FFFFh", HexRecord(0, 0x100, id) + kSegmentRecord + HexData(data, 0xEDCB) + kEndRecord,
         {{0x100, id}, {0x1EDCB, data}}, 0x20000, 0x30000},
        {"data ending at the top of the buffer", HexRecord(0, 0x100, id) + top + HexData(data, 0xEDCB) + kEndRecord,
         {{0x100, id}, {0xFEDCB, data}}, kImageBufferSize, kImageBufferSize},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        RunFile(c.text, true);
        Bytes buffer(kImageBufferSize, 0xFF);
        for (const auto& [at, bytes] : c.placed) std::copy(bytes.begin(), bytes.end(), buffer.begin() + at);
        ASSERT_FALSE(Messages().empty());
        EXPECT_EQ(Messages().front(), Format("Check Sum : %X", Sum16(buffer, 0, c.checked)));
        EXPECT_EQ(Messages().back(), kRestart);
        buffer.resize(c.sent);
        ExpectTransfer(buffer);
    }
}

TEST_F(FlashProcedure, ChunkAcceptedOnSixthAttemptCountsOnceInTheHeader) {
    const auto image = GoodBin(3 * kChunkSize);
    g_rec.answers.assign(6, Answer{0, 0x04, 0x44, 0x00});
    g_rec.answers[0] = Answer{};  // the vendor command
    RunBin(image);

    EXPECT_EQ(Messages().back(), kRestart);
    ASSERT_EQ(g_rec.sent.size(), 1u + 6 + 2 + 2);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(g_rec.sent[i].cdb, MakeChunkCdb(32));
    const HeaderBlock h = MakeHeaderBlock(Sum16(image));
    EXPECT_EQ(g_rec.sent[9].data, Bytes(h.begin(), h.end()));
    EXPECT_EQ(ReadFile(SumPath()), ExpectedTrace(image, {6, 1, 1}));
}

// The command that fails for good ends the run with its sense bytes in the
// log and in sum.txt ("%2X": up to two upper-case digits, blank-padded).
TEST_F(FlashProcedure, CommandFailures) {
    const auto image = GoodBin(2 * kChunkSize);
    const std::uint16_t sum = Sum16(image);
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
         "Finished : fgWriteOneFlashCmdData()\nsSendBuf[30]=%X   sSendBuf[31]=%X\nExecute command error!!  B/47/ 3\n",
         4},
        {"save, sense after a good transfer", {4}, {1, 0x02, 0x04, 0x01}, "Execute command errorC!!  2/ 4/ 1",
         "Finished : fgWriteHeader()\nExecute command error!!  2/ 4/ 1", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        g_rec.answers.resize(8);
        for (auto i : c.failing) g_rec.answers[i] = c.answer;
        RunBin(image);
        const auto messages = Messages();
        ASSERT_GE(messages.size(), 2u);
        EXPECT_EQ(messages[messages.size() - 2], c.log);
        EXPECT_EQ(messages.back(), kIncorrect);
        EXPECT_EQ(g_rec.sent.size(), c.commands);
        const std::string trace = ReadFile(SumPath());
        const std::string end = Format(c.traceEnd.c_str(), sum >> 8, sum & 0xFF);
        ASSERT_GE(trace.size(), end.size());
        EXPECT_EQ(trace.substr(trace.size() - end.size()), end);
        EXPECT_EQ(trace.rfind(kHead, 0), 0u);
        EXPECT_TRUE(g_rec.sleeps.empty());
        EXPECT_EQ(g_rec.frees, 1);
    }
}

// An image that cannot be loaded, or is not made for this drive, is refused
// before anything but the vendor command reaches the drive; each failure is
// reported once, sum.txt is not touched and the buffer is given back.
TEST_F(FlashProcedure, RefusalsBeforeTheTransfer) {
    const std::string readErr = "ERR: fail to read input file!", formatErr = "ERR: input file format mismatched!";
    const std::string wrongImage = "It is an incorrect firmware version!";
    auto noId = RandomBytes(5000, 9), noRevision = noId;
    Put(noId, 2000, kRevision);
    Put(noRevision, 100, kDriveId);
    const Bytes shortId(kDriveId.begin(), kDriveId.end() - 1);
    const struct {
        const char* what;
        bool hex;
        std::optional<std::string> file;  // none: missing
        std::vector<std::string> log;
    } cases[] = {
        {"missing", false, std::nullopt, {"ERR: fail to open output file!", readErr, kIncorrect}},
        {"empty bin", false, "", {readErr, kIncorrect}},
        {"hex without end", true, ":0100000011EE\r\n", {formatErr, kIncorrect}},
        {"hex type 04", true, ":020000040001F9\r\n", {formatErr, kIncorrect}},
        {"hex without id", true, HexData(noId) + kEndRecord, {wrongImage, kIncorrect}},
        {"hex with a shortened id", true, HexRecord(0, 0, shortId) + kEndRecord, {wrongImage, kIncorrect}},
        {"bin without id", false, std::string(noId.begin(), noId.end()), {wrongImage, kIncorrect}},
        {"bin without revision", false, std::string(noRevision.begin(), noRevision.end()), {wrongImage, kIncorrect}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        std::filesystem::remove(Path("fw"));
        if (c.file) WriteFile(Path("fw"), *c.file);
        RunEngine(Path("fw"), c.hex);
        EXPECT_EQ(Messages(), c.log);
        ASSERT_EQ(g_rec.sent.size(), 1u);
        EXPECT_EQ(g_rec.sent[0].cdb, MakeVendorBlockCdb());
        EXPECT_FALSE(std::filesystem::exists(SumPath()));
        EXPECT_EQ(g_rec.allocs, g_rec.frees);
    }
}

// An abort before a chunk ends the run; one seen after the save is only
// noted. Either way ReportError gives the buffer back (without unlocking)
// and Run finds nothing left to give back.
TEST_F(FlashProcedure, AbortBeforeAChunkAndAtTheEnd) {
    const auto image = GoodBin(40000);
    g_rec.terminateAtCall = 3;  // before the third chunk
    RunBin(image);
    const auto messages = Messages();
    EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()),
              (std::vector<std::string>{"ERR: terminate upgrade/backup flash!", kIncorrect}));
    EXPECT_EQ(g_rec.sent.size(), 3u);
    EXPECT_EQ(Lines(ReadFile(SumPath())).back(), "CBIfTerminated failed!!");
    EXPECT_EQ((std::vector<int>{g_rec.frees, g_rec.unlocks}), (std::vector<int>{1, 0}));

    Reset();
    g_rec.terminateAtCall = 11;  // ten chunks, then the final question
    RunBin(image);
    auto expected = SuccessEvents(Sum16(Padded(image, kImageBufferSize)), 10);
    expected.insert(expected.end() - 3, Event{"Message", "ERR: terminate upgrade/backup flash!"});
    EXPECT_EQ(g_rec.events, expected);
    EXPECT_EQ(ReadFile(SumPath()), ExpectedTrace(Padded(image, 40960)) + "2: CBIfTerminated()\n");
    EXPECT_EQ((std::vector<int>{g_rec.frees, g_rec.unlocks}), (std::vector<int>{1, 0}));
}

}  // namespace
