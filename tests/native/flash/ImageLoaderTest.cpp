// LoadImage, as a tool uses it: what it found, and the buffer it filled,
// read back from the platform once the engine has given it back. (Failed
// loads are among the procedure tests' refusals.)
#include <random>
#include <sstream>

#include "FlashTestSupport.h"

using namespace fltest;

namespace {

class ImageLoader : public FlashTest {
protected:
    // Loads "fw" holding `file` in an engine of its own; answers the outcome,
    // image size, segment count and whether model and revision were found.
    // The buffer stays held (locked when the load is complete) until the
    // engine ends.
    std::vector<long> Load(const std::string& file, bool hex, const std::string& revision = "1.05") {
        Reset();
        WriteFile(Path("fw"), file);
        CFlashEngine engine(Job(hex, revision), platform);
        const int outcome = engine.LoadImage();
        EXPECT_EQ(platform.imageFrees, 0);
        EXPECT_EQ(platform.imageLocks, outcome == kLoadComplete ? 1 : 0);
        EXPECT_TRUE(Messages().empty());
        return {outcome, engine.ImageSize(), engine.SegmentCount(), engine.ModelFound(), engine.RevisionFound()};
    }
    // The whole buffer: `placed` at `at` over erased flash.
    static Bytes Buffer(const std::string& placed, std::uint32_t at = 0) {
        Bytes buffer(kImageBufferSize, 0xFF);
        std::copy(placed.begin(), placed.end(), buffer.begin() + at);
        return buffer;
    }
};

// Text before the first colon is skipped; digits may be upper or lower case
// or carry the high bit; type 55 moves on to the next segment; a record
// running over a bank and segment end goes on at the next address. A ".bin"
// is copied as it is into at most 1 MB, then searched for the identification
// and the first two characters of the revision. `placed`: the ".hex" data.
TEST_F(ImageLoader, ImagesLandInTheBufferAndAreSearched) {
    std::string highBit = HexRecord(0, 0x0003, {0xA0, 0xB1});
    for (auto& c : highBit) c = c == '\r' || c == '\n' ? c : static_cast<char>(c | 0x80);
    const std::string good = kDriveId + "1.05" + std::string(12, '\0'), full(kImageBufferSize, 'Z');
    const struct { const char* what; bool hex; std::string file, revision; std::vector<long> found; std::string placed;
                   std::uint32_t at = 0; } cases[] = {
        {"hex digits of every kind", true,
         "leading text\r\n" + HexRecord(0, 0, {0x10, 0x20}) + ":010002003fbe\r\n" + highBit + kEndRecord, "1.05",
         {kLoadComplete, 5, 0, 0, 0}, "\x10\x20\x3F\xA0\xB1"},
        {"hex over a bank and a segment end", true, kSegmentRecord + HexRecord(0, 0xFFFE, {1, 2, 3, 4}) + kEndRecord,
         "1.05", {kLoadComplete, 0x20002, 1, 0, 0}, "\x01\x02\x03\x04", 0x1FFFE},
        {"40 bytes", false, good, "1.05", {kLoadComplete, 40, 0, 1, 1}, ""},
        {"id across a bank boundary", false, std::string(32758, 'x') + good, "1.05", {kLoadComplete, 32798, 0, 1, 1}, ""},
        {"revision 1.07 against 1.05", false, good, "1.07", {kLoadComplete, 40, 0, 1, 1}, ""},
        {"revision missing", false, good, "2.05", {kLoadComplete, 40, 0, 1, 0}, ""},
        {"id after a stray V", false, "V" + good, "1.05", {kLoadComplete, 41, 0, 0, 1}, ""},
        {"exactly 1 MB", false, full, "1.05", {kLoadBufferFull, kImageBufferSize, 0, 0, 0}, ""},
        {"more than 1 MB", false, full + "more", "1.05", {kLoadBufferFull, kImageBufferSize, 0, 0, 0}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(c.file, c.hex, c.revision), c.found) << c.what;
        EXPECT_TRUE(platform.freedImage == Buffer(c.hex ? c.placed : c.file.substr(0, kImageBufferSize), c.at)) << c.what;
    }
}

// Against an independent Intel-HEX writer (srec_cat): random images, each
// 64 KB segment converted on its own with a hole left out and joined with the
// program's segment records, load to their bytes.
TEST_F(ImageLoader, SrecCatImagesLoadToTheirBytes) {
    if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat not installed";
    std::mt19937 gen(2024);
    for (std::uint32_t size : {1u, 4095u, 65536u, 65537u, 200003u, kImageBufferSize}) {
        std::string data(size, '\0'), text;
        for (auto& b : data) b = static_cast<char>(gen());
        for (std::uint32_t base = 0; base < size; base += kSegmentSize) {
            const std::uint32_t n = std::min(kSegmentSize, size - base);
            WriteFile(Path("seg.bin"), data.substr(base, n));
            std::string cmd = "srec_cat " + Path("seg.bin").string() + " -binary";
            if (n > 64) {  // a hole inside the segment, never at its end: it reads as erased
                const std::uint32_t from = gen() % (n - 32), to = from + 1 + gen() % 31;
                cmd += " -exclude " + std::to_string(from) + " " + std::to_string(to);
                data.replace(base + from, to - from, to - from, '\xFF');
            }
            ASSERT_EQ(std::system((cmd + " -o " + Path("seg.hex").string() + " -intel -address-length=2").c_str()), 0);
            if (base != 0) text += kSegmentRecord;
            std::istringstream lines(ReadFile(Path("seg.hex")));
            for (std::string line; std::getline(lines, line);)  // srec_cat's data records only
                if (line.compare(0, 1, ":") == 0 && line.compare(7, 2, "00") == 0) text += line + "\n";
        }
        EXPECT_EQ(Load(text + kEndRecord, true), (std::vector<long>{kLoadComplete, size, (size - 1) / kSegmentSize, 0, 0}));
        EXPECT_TRUE(platform.freedImage == Buffer(data)) << size;
    }
}

}  // namespace
