// LoadImage: outcomes, log lines, buffer contents and the give-back of the
// buffer for ".hex" and ".bin" images.
#include <cctype>
#include <optional>

#include "FlashTestSupport.h"

using namespace fltest;

namespace {

const std::string kErr6 = "ERR: input file format mismatched!";

class ImageLoader : public FlashTest {
protected:
    ~ImageLoader() override { Drop(); }
    // Loads `content` and checks what every outcome promises about the buffer
    // and the file; the engine is kept for further checks. No content: no file.
    int Load(const std::optional<std::string>& content, bool hex, const std::string& revision = kRevision) {
        Drop();
        g_rec.allocs = g_rec.frees = g_rec.locks = 0;
        std::filesystem::remove(Path("image"));
        if (content) WriteFile(Path("image"), *content);
        m_engine = std::make_unique<CFlashEngine>(MakeJob(Path("image").string(), hex, revision), TestSeams());
        const int outcome = m_engine->LoadImage();
        EXPECT_EQ(m_engine->fpImage, nullptr);
        const bool kept = outcome == kLoadComplete || outcome == kLoadBufferFull;
        EXPECT_EQ(m_engine->pBank[0] != nullptr, kept);
        EXPECT_EQ(g_rec.allocs - g_rec.frees, kept ? 1 : 0);
        EXPECT_EQ(g_rec.locks, outcome == kLoadComplete ? 1 : 0);
        return outcome;
    }
    int Load(const Bytes& content, bool hex, const std::string& revision = kRevision) {
        return Load(std::string(content.begin(), content.end()), hex, revision);
    }
    // The whole buffer: `placed` over erased flash.
    void ExpectBuffer(const std::vector<std::pair<std::uint32_t, Bytes>>& placed) {
        Bytes expected(kImageBufferSize, 0xFF);
        for (const auto& [at, bytes] : placed) std::copy(bytes.begin(), bytes.end(), expected.begin() + at);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), m_engine->pBank[0]));
    }
    // Gives back a buffer a load kept (outside the counters).
    void Drop() {
        if (m_engine && m_engine->pBank[0] != nullptr) std::free(m_engine->pBank[0]);
        if (m_engine) m_engine->pBank[0] = nullptr;
    }
    std::unique_ptr<CFlashEngine> m_engine;
};

// Text before the first colon is skipped; digits may be lower case or carry
// the high bit. A record that runs over a bank and segment end continues at
// the next address.
TEST_F(ImageLoader, HexDataLandsAtItsAddressesRestStaysErased) {
    const Bytes low = {0x10, 0x20, 0x30}, high = {0xA0, 0xB1};
    const std::string text = HexRecord(0, 0x0000, low) + HexRecord(0, 0x3FFE, high) + kEndRecord;
    std::string lower = text, highBit = text;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (auto& c : highBit)
        if (c != '\r' && c != '\n') c = static_cast<char>(c | 0x80);
    for (const auto& form : {text, lower, highBit}) {
        ASSERT_EQ(Load("leading text\r\n" + form, true), kLoadComplete);
        EXPECT_EQ(m_engine->dwImageSize, 0x4000u);
        EXPECT_TRUE(Messages().empty());
        ExpectBuffer({{0, low}, {0x3FFE, high}});
    }
    ASSERT_EQ(Load(kSegmentRecord + HexRecord(0, 0xFFFE, {1, 2, 3, 4}) + kEndRecord, true), kLoadComplete);
    EXPECT_EQ(m_engine->nSegments, 1u);
    EXPECT_EQ(m_engine->dwImageSize, 0x20002u);
    ExpectBuffer({{0x1FFFE, {1, 2, 3, 4}}});
}

// Format errors the loader leaves to the procedure to report (no log line),
// and reading failures it reports itself, once.
TEST_F(ImageLoader, HexFailures) {
    std::string over1M;
    for (int i = 0; i < 15; ++i) over1M += kSegmentRecord;
    std::string badSum = HexRecord(0, 0, {1, 2});
    badSum[badSum.size() - 3] = badSum[badSum.size() - 3] == '0' ? '1' : '0';
    const struct { const char* what; std::string text; int outcome; std::vector<std::string> log; } cases[] = {
        {"no end record", HexRecord(0, 0, {1}), kLoadStopped, {kErr6}},
        {"non-digit", ":0G000000\r\n", kLoadStopped, {kErr6}},
        {"empty file", "", kLoadStopped, {kErr6}},
        {"type 04", HexRecord(4, 0, {0x00, 0x01}) + kEndRecord, kLoadFormatError, {}},
        {"type 02", HexRecord(2, 0, {0x10, 0x00}) + kEndRecord, kLoadFormatError, {}},
        {"bad checksum", badSum + kEndRecord, kLoadFormatError, {}},
        {"end record with data", HexRecord(1, 0, {0}), kLoadFormatError, {}},
        {"segment record with data", HexRecord(0x55, 0, {0}) + kEndRecord, kLoadFormatError, {}},
        {"data after 16 segments", over1M + kSegmentRecord + HexRecord(0, 0, {1}) + kEndRecord, kLoadFormatError, {}},
        {"data running past 1 MB", over1M + HexRecord(0, 0xFFF8, Bytes(16, 0x5A)) + kEndRecord, kLoadFormatError, {}},
    };
    for (const auto& c : cases) {
        g_rec.events.clear();
        EXPECT_EQ(Load(c.text, true), c.outcome) << c.what;
        EXPECT_EQ(Messages(), c.log) << c.what;
        EXPECT_EQ(g_rec.frees, 1) << c.what;
    }
}

TEST_F(ImageLoader, AbortWhileParsingStopsAtOnce) {
    g_rec.terminateAtCall = 4;  // after the colon, two digits are read
    EXPECT_EQ(Load(HexRecord(0, 0, {1, 2, 3}) + kEndRecord, true), kLoadStopped);
    EXPECT_EQ(Messages(), std::vector<std::string>{"ERR: terminate upgrade/backup flash!"});
    EXPECT_EQ(g_rec.terminatedCalls, 4) << "nothing is read or asked after the stop";
}

TEST_F(ImageLoader, OpenAndAllocationFailures) {
    for (bool hex : {true, false}) {
        g_rec = Recorder{};
        EXPECT_EQ(Load(std::nullopt, hex), kLoadUnreadable);
        EXPECT_EQ(Messages(), std::vector<std::string>{"ERR: fail to open output file!"});
        EXPECT_EQ(g_rec.allocs, 0);

        g_rec = Recorder{};
        g_rec.failAlloc = true;
        EXPECT_EQ(Load(hex ? kEndRecord : std::string("x"), hex), kLoadNoMemory);
        EXPECT_EQ(Messages(), std::vector<std::string>{"ERR: fail to allocate memory!"});
    }
}

TEST_F(ImageLoader, BinSizesAndOutcomes) {
    const struct { std::size_t size; int outcome; std::uint32_t imageSize; } cases[] = {
        {0, kLoadUnreadable, 0},
        {40000, kLoadComplete, 40000},
        {2 * kBankSize, kLoadComplete, 2 * kBankSize},
        {kImageBufferSize, kLoadBufferFull, kImageBufferSize},
        {kImageBufferSize + 100, kLoadBufferFull, kImageBufferSize},
    };
    for (const auto& c : cases) {
        const auto data = RandomBytes(c.size, static_cast<std::uint32_t>(c.size));
        ASSERT_EQ(Load(data, false), c.outcome) << c.size;
        EXPECT_TRUE(Messages().empty()) << "an empty file is reported by the procedure";
        if (c.outcome == kLoadUnreadable) {
            EXPECT_EQ(g_rec.allocs, 0);
            continue;
        }
        EXPECT_EQ(m_engine->dwImageSize, c.imageSize);
        Bytes expected(data.begin(), data.begin() + c.imageSize);
        expected.resize(kImageBufferSize, 0xFF);
        EXPECT_EQ(m_engine->_wSecSum, Sum16(expected)) << "the sum covers the 0xFF fill";
        ExpectBuffer({{0, expected}});
    }
}

TEST_F(ImageLoader, BinIdentificationAndRevisionSearch) {
    const struct { const char* what; std::size_t idAt; std::string revision; bool model, rev; } cases[] = {
        {"both present", 100, "1.05", true, true},
        {"id across banks", kBankSize - 10, "1.05", true, true},
        {"id missing", SIZE_MAX, "1.05", false, true},
        {"revision missing", 100, "Q7", true, false},
    };
    for (const auto& c : cases) {
        Bytes data(50000, 0);
        if (c.idAt != SIZE_MAX) Put(data, c.idAt, kDriveId);
        Put(data, 40000, "v1.05");
        ASSERT_EQ(Load(data, false, c.revision), kLoadComplete);
        EXPECT_EQ(m_engine->bModelFound, c.model) << c.what;
        EXPECT_EQ(m_engine->bRevisionFound, c.rev) << c.what;
    }
}

}  // namespace
