// The four commands byte for byte, and how the engine sends and judges them.
#include "FlashTestSupport.h"
#include "flash/ImageScan.h"

using namespace fltest;

namespace {

using Bytes = std::vector<std::uint8_t>;
Bytes ToBytes(const Cdb12& c) { return Bytes(c.begin(), c.end()); }

TEST(CdbBuilders, PackOffsetsAndLengthsBigEndian) {
    struct Case {
        const char* what;
        Cdb12 cdb;
        Bytes expected;
    } cases[] = {
        {"vendor block", MakeVendorBlockCdb(), {0x95, 0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"first chunk", MakeChunkCdb(32), {0x3B, 6, 0, 0x00, 0x00, 0x20, 0x00, 0x10, 0x00, 0, 0, 0}},
        {"second chunk", MakeChunkCdb(4096 + 32), {0x3B, 6, 0, 0x00, 0x10, 0x20, 0x00, 0x10, 0x00, 0, 0, 0}},
        {"second segment", MakeChunkCdb(0x10000 + 32), {0x3B, 6, 0, 0x01, 0x00, 0x20, 0x00, 0x10, 0x00, 0, 0, 0}},
        {"last chunk of 1 MB", MakeChunkCdb(0xFF000 + 32), {0x3B, 6, 0, 0x0F, 0xF0, 0x20, 0x00, 0x10, 0x00, 0, 0, 0}},
        {"header", MakeHeaderCdb(0), {0x3B, 6, 0, 0, 0, 0, 0x00, 0x00, 0x20, 0, 0, 0}},
        {"save", MakeDownloadSaveCdb(), {0x3B, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(ToBytes(c.cdb), c.expected) << c.what;

    Cdb12 cdb;
    cdb.fill(0xAA);
    EXPECT_FALSE(MakeWriteBufferCdb(6, 0x1000000, 32, cdb));
    EXPECT_EQ(ToBytes(cdb), Bytes(12, 0)) << "an offset beyond 24 bits builds nothing";
    EXPECT_FALSE(MakeWriteBufferCdb(6, 0, 0x1000000, cdb));
    EXPECT_TRUE(MakeWriteBufferCdb(6, 0xFFFFFF, 0xFFFFFF, cdb));
    EXPECT_EQ(ToBytes(cdb), (Bytes{0x3B, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}));
}

TEST(HeaderBlock, CarriesSumInLastTwoBytes) {
    Bytes expected(32, 0);
    expected[30] = 0x12;
    expected[31] = 0x34;
    const HeaderBlock h = MakeHeaderBlock(0x1234);
    EXPECT_EQ(Bytes(h.begin(), h.end()), expected);
}

TEST(ForwardMatch, RestartsWithoutRetryingTheMismatch) {
    const auto run = [](const std::string& hay, const std::string& pat, int count = 0) {
        return ForwardMatch(reinterpret_cast<const std::uint8_t*>(hay.data()), hay.size(),
                            reinterpret_cast<const std::uint8_t*>(pat.data()),
                            static_cast<int>(pat.size()), count);
    };
    EXPECT_TRUE(run("xxABCxx", "ABC"));
    EXPECT_FALSE(run("AABC", "ABC")) << "the second A ends the first try and is not a new start";
    EXPECT_FALSE(run("ABABC", "ABC"));
    EXPECT_TRUE(run("ABxABC", "ABC"));
    EXPECT_FALSE(run("xxAB", "ABC"));
    EXPECT_TRUE(run("C", "ABC", 2)) << "a count carried over from an earlier piece";
}

class VendorCommands : public FlashTest {
protected:
    VendorCommands() : m_engine(MakeJob("unused", false), TestSeams()), m_image(kImageBufferSize) {
        m_engine.SetSumFilePath(SumPath().c_str());
        m_image = RandomBytes(kImageBufferSize, 7);
        for (std::uint32_t i = 0; i < kBankCount; ++i) m_engine.pBank[i] = m_image.data() + i * kBankSize;
        m_engine.fpSum = std::fopen(SumPath().c_str(), "a");
    }
    ~VendorCommands() override {
        std::fclose(m_engine.fpSum);
        m_engine.fpSum = nullptr;
        for (auto& b : m_engine.pBank) b = nullptr;  // the test's own memory
    }
    std::string Trace() {
        std::fflush(m_engine.fpSum);
        return ReadFile(SumPath());
    }
    CFlashEngine m_engine;
    std::vector<std::uint8_t> m_image;
    std::uint8_t m_sense[32] = {};
};

TEST_F(VendorCommands, VendorBlockReadsIntoClearedBlockAndNeverCountsAsGood) {
    EXPECT_FALSE(m_engine.fgReadVendorBlock(m_sense));
    ASSERT_EQ(g_rec.sent.size(), 1u);
    EXPECT_EQ(g_rec.sent[0].flags, SRB_DIR_IN);
    EXPECT_EQ(g_rec.sent[0].data, Bytes(32, 0));
    EXPECT_EQ(g_rec.sent[0].transport, TransportPassThrough);
}

TEST_F(VendorCommands, ChunkCopiesBankDataSumsAndTraces) {
    m_engine.byBank = 1;
    m_engine.wOffset = 4096;
    m_engine._wSecSum = 0xFF00;
    const std::size_t from = kBankSize + 4096;
    const Bytes chunk(m_image.begin() + from, m_image.begin() + from + 4096);
    const auto sum = static_cast<std::uint16_t>(0xFF00 + Sum16(chunk));
    const auto total = static_cast<std::uint16_t>(m_totalAtStart + sum);

    EXPECT_TRUE(m_engine.fgWriteOneFlashCmdData(from + 32, m_sense));
    ASSERT_EQ(g_rec.sent.size(), 1u);
    EXPECT_EQ(ToBytes(g_rec.sent[0].cdb), ToBytes(MakeChunkCdb(from + 32)));
    EXPECT_EQ(g_rec.sent[0].flags, SRB_DIR_OUT);
    EXPECT_EQ(g_rec.sent[0].data, chunk);
    EXPECT_EQ(m_engine._wSecSum, sum);
    char line[80];
    std::snprintf(line, sizeof line, "Address=%08X,_wSecSum=%04X,_total=%04X\n",
                  static_cast<unsigned>(from + 32), sum, total);
    EXPECT_EQ(Trace(), line);
}

TEST_F(VendorCommands, HeaderTracesItsSumBytes) {
    m_engine._wSecSum = 0x1234;
    EXPECT_TRUE(m_engine.fgWriteHeader(0, m_sense));
    ASSERT_EQ(g_rec.sent.size(), 1u);
    EXPECT_EQ(g_rec.sent[0].flags, SRB_DIR_OUT);
    const HeaderBlock h = MakeHeaderBlock(0x1234);
    EXPECT_EQ(g_rec.sent[0].data, Bytes(h.begin(), h.end()));
    EXPECT_EQ(Trace(), "sSendBuf[30]=12   sSendBuf[31]=34\n");
}

TEST_F(VendorCommands, SaveHasA4096ByteDataInPhase) {
    EXPECT_TRUE(m_engine.fgDownloadSave(m_sense));
    ASSERT_EQ(g_rec.sent.size(), 1u);
    EXPECT_EQ(g_rec.sent[0].flags, SRB_DIR_IN);
    EXPECT_EQ(g_rec.sent[0].length, 4096u);
}

// A command is good only when the transport succeeded and the sense key
// byte is clear; a failed chunk still leaves its trace line and its _total.
TEST_F(VendorCommands, GoodNeedsResultOneAndClearSenseKey) {
    const struct {
        Answer answer;
        bool good;
    } cases[] = {{{1, 0, 0, 0}, true}, {{1, 0x06, 0x29, 0}, false}, {{0, 0, 0, 0}, false},
                 {{0, 0x05, 0x24, 0}, false}};
    for (const auto& c : cases) {
        g_rec.sent.clear();
        g_rec.answers.assign(3, c.answer);
        const std::uint16_t totalBefore = CFlashEngine::Total();
        m_engine._wSecSum = 0;
        m_engine.byBank = 0;
        m_engine.wOffset = 0;
        EXPECT_EQ(m_engine.fgWriteOneFlashCmdData(32, m_sense), c.good);
        EXPECT_EQ(CFlashEngine::Total(), static_cast<std::uint16_t>(totalBefore + m_engine._wSecSum));
        EXPECT_EQ(m_engine.fgWriteHeader(0, m_sense), c.good);
        EXPECT_EQ(m_engine.fgDownloadSave(m_sense), c.good);
    }
    EXPECT_EQ(Lines(Trace()).size(), 8u) << "one Address and one sSendBuf line per case";
}

}  // namespace
