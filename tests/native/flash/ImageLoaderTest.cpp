// LoadImage: outcomes, log lines, buffer contents and the give-back of the
// buffer for ".hex" and ".bin" images.
#include "FlashTestSupport.h"

using namespace fltest;

namespace {

const std::string kErr6 = "ERR: input file format mismatched!";
const std::string kErr14 = "ERR: terminate upgrade/backup flash!";

class ImageLoader : public FlashTest {
protected:
    // Loads `path` and checks what every outcome promises about the buffer
    // and the file; the engine is kept for further checks.
    int Load(const std::filesystem::path& path, bool hex) {
        Drop();
        m_engine = std::make_unique<CFlashEngine>(MakeJob(path.string(), hex), TestSeams());
        const int outcome = m_engine->LoadImage();
        EXPECT_EQ(m_engine->fpImage, nullptr);
        const bool kept = outcome == kLoadComplete || outcome == kLoadBufferFull;
        EXPECT_EQ(m_engine->pBank[0] != nullptr, kept);
        EXPECT_EQ(g_rec.allocs - g_rec.frees, kept ? 1 : 0);
        EXPECT_EQ(g_rec.locks, outcome == kLoadComplete ? 1 : 0);
        return outcome;
    }
    std::uint8_t At(std::uint32_t address) const {
        return m_engine->pBank[address / kBankSize][address % kBankSize];
    }
    // Gives back a buffer a load kept (outside the counters).
    void Drop() {
        if (m_engine && m_engine->pBank[0] != nullptr) std::free(m_engine->pBank[0]);
        if (m_engine) m_engine->pBank[0] = nullptr;
    }
    ~ImageLoader() override { Drop(); }
    std::unique_ptr<CFlashEngine> m_engine;
};

std::string Same(std::string s) { return s; }
std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
std::string HighBit(std::string s) {
    for (auto& c : s)
        if (c != '\r' && c != '\n') c = static_cast<char>(c | 0x80);
    return s;
}

TEST_F(ImageLoader, HexDataLandsAtItsAddressesRestStaysErased) {
    const std::vector<std::uint8_t> low = {0x10, 0x20, 0x30}, high = {0xA0, 0xB1};
    const std::string text = HexRecord(0, 0x0000, low) + HexRecord(0, 0x3FFE, high) + kEndRecord;
    for (auto* form : {Same, Lower, HighBit}) {
        g_rec = Recorder{};
        WriteFile(Path("a.hex"), "leading text\r\n" + form(text));
        ASSERT_EQ(Load(Path("a.hex"), true), kLoadComplete);
        EXPECT_EQ(m_engine->dwImageSize, 0x4000u);
        EXPECT_TRUE(Messages().empty());
        std::vector<std::uint8_t> expected(kImageBufferSize, 0xFF);
        std::copy(low.begin(), low.end(), expected.begin());
        std::copy(high.begin(), high.end(), expected.begin() + 0x3FFE);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), m_engine->pBank[0]));
    }
}

TEST_F(ImageLoader, HexSegmentRecordsMoveTheBase) {
    // A record that runs over a bank and segment end continues at the next address.
    const std::vector<std::uint8_t> data = {1, 2, 3, 4};
    WriteFile(Path("s.hex"), kSegmentRecord + HexRecord(0, 0xFFFE, data) + kEndRecord);
    ASSERT_EQ(Load(Path("s.hex"), true), kLoadComplete);
    EXPECT_EQ(m_engine->nSegments, 1u);
    EXPECT_EQ(m_engine->dwImageSize, 0x20002u);
    EXPECT_EQ(At(0x1FFFE), 1);
    EXPECT_EQ(At(0x20001), 4);
    EXPECT_EQ(At(0x0FFFE), 0xFF);
}

// Format errors the loader leaves to the procedure to report (no log line),
// and reading failures it reports itself, once.
TEST_F(ImageLoader, HexFailures) {
    std::string past1M;
    for (int i = 0; i < 16; ++i) past1M += kSegmentRecord;
    std::string over1M;
    for (int i = 0; i < 15; ++i) over1M += kSegmentRecord;
    const std::vector<std::uint8_t> sixteen(16, 0x5A);
    std::string badSum = HexRecord(0, 0, {1, 2});
    badSum[badSum.size() - 3] = badSum[badSum.size() - 3] == '0' ? '1' : '0';
    const struct {
        const char* what;
        std::string text;
        int outcome;
        std::vector<std::string> log;
    } cases[] = {
        {"no end record", HexRecord(0, 0, {1}), kLoadStopped, {kErr6}},
        {"non-digit", ":0G000000\r\n", kLoadStopped, {kErr6}},
        {"empty file", "", kLoadStopped, {kErr6}},
        {"type 04", HexRecord(4, 0, {0x00, 0x01}) + kEndRecord, kLoadFormatError, {}},
        {"type 02", HexRecord(2, 0, {0x10, 0x00}) + kEndRecord, kLoadFormatError, {}},
        {"bad checksum", badSum + kEndRecord, kLoadFormatError, {}},
        {"end record with data", HexRecord(1, 0, {0}), kLoadFormatError, {}},
        {"segment record with data", HexRecord(0x55, 0, {0}) + kEndRecord, kLoadFormatError, {}},
        {"data after 16 segments", past1M + HexRecord(0, 0, {1}) + kEndRecord, kLoadFormatError, {}},
        {"data running past 1 MB", over1M + HexRecord(0, 0xFFF8, sixteen) + kEndRecord,
         kLoadFormatError, {}},
    };
    for (const auto& c : cases) {
        g_rec = Recorder{};
        WriteFile(Path("f.hex"), c.text);
        EXPECT_EQ(Load(Path("f.hex"), true), c.outcome) << c.what;
        EXPECT_EQ(Messages(), c.log) << c.what;
        EXPECT_EQ(g_rec.frees, 1) << c.what;
    }
}

TEST_F(ImageLoader, AbortWhileParsingStopsAtOnce) {
    WriteFile(Path("a.hex"), HexRecord(0, 0, {1, 2, 3}) + kEndRecord);
    g_rec.terminateAtCall = 4;  // after the colon, two digits are read
    EXPECT_EQ(Load(Path("a.hex"), true), kLoadStopped);
    EXPECT_EQ(Messages(), std::vector<std::string>{kErr14});
    EXPECT_EQ(g_rec.terminatedCalls, 4) << "nothing is read or asked after the stop";
}

TEST_F(ImageLoader, OpenAndAllocationFailures) {
    for (bool hex : {true, false}) {
        g_rec = Recorder{};
        EXPECT_EQ(Load(Path("missing"), hex), kLoadUnreadable);
        EXPECT_EQ(Messages(), std::vector<std::string>{"ERR: fail to open output file!"});
        EXPECT_EQ(g_rec.allocs, 0);

        g_rec = Recorder{};
        g_rec.failAlloc = true;
        WriteFile(Path("x"), hex ? kEndRecord : std::string("x"));
        EXPECT_EQ(Load(Path("x"), hex), kLoadNoMemory);
        EXPECT_EQ(Messages(), std::vector<std::string>{"ERR: fail to allocate memory!"});
    }
}

TEST_F(ImageLoader, BinSizesAndOutcomes) {
    const struct {
        std::size_t size;
        int outcome;
        std::uint32_t imageSize;
    } cases[] = {
        {0, kLoadUnreadable, 0},
        {40000, kLoadComplete, 40000},
        {2 * kBankSize, kLoadComplete, 2 * kBankSize},
        {kImageBufferSize, kLoadBufferFull, kImageBufferSize},
        {kImageBufferSize + 100, kLoadBufferFull, kImageBufferSize},
    };
    for (const auto& c : cases) {
        g_rec = Recorder{};
        const auto data = RandomBytes(c.size, static_cast<std::uint32_t>(c.size));
        WriteFile(Path("i.bin"), data);
        ASSERT_EQ(Load(Path("i.bin"), false), c.outcome) << c.size;
        EXPECT_TRUE(Messages().empty()) << "an empty file is reported by the procedure";
        if (c.outcome == kLoadUnreadable) {
            EXPECT_EQ(g_rec.allocs, 0);
            continue;
        }
        EXPECT_EQ(m_engine->dwImageSize, c.imageSize);
        std::vector<std::uint8_t> expected(data.begin(), data.begin() + c.imageSize);
        expected.resize(kImageBufferSize, 0xFF);
        EXPECT_EQ(m_engine->_wSecSum, Sum16(expected)) << "the sum covers the 0xFF fill";
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), m_engine->pBank[0]));
    }
}

TEST_F(ImageLoader, BinIdentificationAndRevisionSearch) {
    const struct {
        const char* what;
        std::size_t idAt;  // SIZE_MAX: absent
        std::string revision;
        bool model, rev;
    } cases[] = {
        {"both present", 100, "1.05", true, true},
        {"id across banks", kBankSize - 10, "1.05", true, true},
        {"id missing", SIZE_MAX, "1.05", false, true},
        {"revision missing", 100, "Q7", true, false},
    };
    for (const auto& c : cases) {
        g_rec = Recorder{};
        std::vector<std::uint8_t> data(50000, 0);
        if (c.idAt != SIZE_MAX) Put(data, c.idAt, kDriveId);
        Put(data, 40000, "v1.05");
        WriteFile(Path("i.bin"), data);
        Drop();
        m_engine = std::make_unique<CFlashEngine>(
            MakeJob(Path("i.bin").string(), false, kDriveText, c.revision), TestSeams());
        ASSERT_EQ(m_engine->LoadImage(), kLoadComplete);
        EXPECT_EQ(m_engine->bModelFound, c.model) << c.what;
        EXPECT_EQ(m_engine->bRevisionFound, c.rev) << c.what;
    }
}

}  // namespace
