// The four commands byte for byte, and how the engine sends and judges them.
#include "FlashTestSupport.h"
#include "flash/ImageScan.h"

using namespace fltest;

namespace {

template <typename Array>
Bytes ToBytes(const Array& a) {
    return Bytes(a.begin(), a.end());
}

Bytes HeaderBytes(std::uint8_t high, std::uint8_t low) {
    Bytes b(32, 0);
    b[30] = high;
    b[31] = low;
    return b;
}

TEST(CdbBuilders, PackOffsetsAndLengthsBigEndian) {
    const struct { const char* what; Bytes actual, expected; } cases[] = {
        {"vendor block", ToBytes(MakeVendorBlockCdb()), {0x95, 0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"first chunk", ToBytes(MakeChunkCdb(32)), {0x3B, 6, 0, 0x00, 0x00, 0x20, 0x00, 0x10, 0x00, 0, 0, 0}},
        {"second chunk", ToBytes(MakeChunkCdb(4096 + 32)), {0x3B, 6, 0, 0x00, 0x10, 0x20, 0x00, 0x10, 0x00, 0, 0, 0}},
        {"second segment", ToBytes(MakeChunkCdb(0x10000 + 32)), {0x3B, 6, 0, 0x01, 0x00, 0x20, 0x00, 0x10, 0, 0, 0, 0}},
        {"last chunk of 1 MB", ToBytes(MakeChunkCdb(0xFF020)), {0x3B, 6, 0, 0x0F, 0xF0, 0x20, 0x00, 0x10, 0, 0, 0, 0}},
        {"header", ToBytes(MakeHeaderCdb(0)), {0x3B, 6, 0, 0, 0, 0, 0x00, 0x00, 0x20, 0, 0, 0}},
        {"save", ToBytes(MakeDownloadSaveCdb()), {0x3B, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"header block: the sum in its last two bytes", ToBytes(MakeHeaderBlock(0x1234)), HeaderBytes(0x12, 0x34)},
    };
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;

    Cdb12 cdb;
    cdb.fill(0xAA);
    EXPECT_FALSE(MakeWriteBufferCdb(6, 0x1000000, 32, cdb));
    EXPECT_EQ(ToBytes(cdb), Bytes(12, 0)) << "an offset beyond 24 bits builds nothing";
    EXPECT_FALSE(MakeWriteBufferCdb(6, 0, 0x1000000, cdb));
    EXPECT_TRUE(MakeWriteBufferCdb(6, 0xFFFFFF, 0xFFFFFF, cdb));
    EXPECT_EQ(ToBytes(cdb), (Bytes{0x3B, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}));
}

TEST(ForwardMatch, RestartsWithoutRetryingTheMismatch) {
    const auto run = [](const std::string& hay, const std::string& pat, int count = 0) {
        return ForwardMatch(reinterpret_cast<const std::uint8_t*>(hay.data()), hay.size(),
                            reinterpret_cast<const std::uint8_t*>(pat.data()), static_cast<int>(pat.size()), count);
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
    VendorCommands() : m_engine(MakeJob("unused", false), TestSeams()), m_image(RandomBytes(kImageBufferSize, 7)) {
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
    Bytes m_image;
    std::uint8_t m_sense[32] = {};
};

// Direction, length and data of each command: the vendor block reads into a
// cleared block and never counts as good; a chunk is the bank's bytes and
// adds them to the running sum; the save has a 4096-byte data-in phase.
TEST_F(VendorCommands, EachCommandSendsItsDataAndTrace) {
    m_engine.byBank = 1;
    m_engine.wOffset = 4096;
    m_engine._wSecSum = 0xFF00;
    const std::uint32_t from = kBankSize + 4096;
    const Bytes chunk(m_image.begin() + from, m_image.begin() + from + 4096);
    const auto sum = static_cast<std::uint16_t>(0xFF00 + Sum16(chunk));
    const auto total = static_cast<std::uint16_t>(m_totalAtStart + sum);

    EXPECT_FALSE(m_engine.fgReadVendorBlock(m_sense));
    EXPECT_TRUE(m_engine.fgWriteOneFlashCmdData(from + 32, m_sense));
    EXPECT_EQ(m_engine._wSecSum, sum);
    m_engine._wSecSum = 0x1234;
    EXPECT_TRUE(m_engine.fgWriteHeader(0, m_sense));
    EXPECT_TRUE(m_engine.fgDownloadSave(m_sense));

    const struct { std::uint8_t flags; std::uint32_t length; Cdb12 cdb; Bytes data; } expected[] = {
        {SRB_DIR_IN, 32, MakeVendorBlockCdb(), Bytes(32, 0)},
        {SRB_DIR_OUT, 4096, MakeChunkCdb(from + 32), chunk},
        {SRB_DIR_OUT, 32, MakeHeaderCdb(0), HeaderBytes(0x12, 0x34)},
        {SRB_DIR_IN, 4096, MakeDownloadSaveCdb(), {}}};  // what the save's buffer holds does not matter
    ASSERT_EQ(g_rec.sent.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(g_rec.sent[i].flags, expected[i].flags) << i;
        EXPECT_EQ(g_rec.sent[i].length, expected[i].length) << i;
        EXPECT_EQ(g_rec.sent[i].cdb, expected[i].cdb) << i;
        if (!expected[i].data.empty()) {
            EXPECT_EQ(g_rec.sent[i].data, expected[i].data) << i;
        }
        EXPECT_EQ(g_rec.sent[i].transport, TransportPassThrough) << i;
    }
    char line[80];
    std::snprintf(line, sizeof line, "Address=%08X,_wSecSum=%04X,_total=%04X\n", from + 32, sum, total);
    EXPECT_EQ(Trace(), line + std::string("sSendBuf[30]=12   sSendBuf[31]=34\n"));
}

// A command is good only when the transport succeeded and the sense key
// byte is clear; a failed chunk still leaves its trace line and its _total.
TEST_F(VendorCommands, GoodNeedsResultOneAndClearSenseKey) {
    const struct { Answer answer; bool good; } cases[] = {
        {{1, 0, 0, 0}, true}, {{1, 0x06, 0x29, 0}, false}, {{0, 0, 0, 0}, false}, {{0, 0x05, 0x24, 0}, false}};
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
