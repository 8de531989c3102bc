// The ".hex" loader against an independent Intel-HEX writer (srec_cat):
// random images, cut into 64 KB segments, each converted on its own, joined
// with the program's segment records, must load to the raw bytes.
#include "FlashTestSupport.h"

using namespace fltest;

namespace {

class HexDifferential : public FlashTest {};

TEST_F(HexDifferential, SrecCatImagesLoadToTheirBytes) {
    if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat not installed";
    std::mt19937 gen(2024);
    for (std::uint32_t size : {1u, 4095u, 65536u, 65537u, 200003u, kImageBufferSize}) {
        const auto data = RandomBytes(size, gen());
        Bytes expected = data;
        std::string text;
        for (std::uint32_t base = 0; base < size; base += kSegmentSize) {
            const std::uint32_t n = std::min(kSegmentSize, size - base);
            WriteFile(Path("seg.bin"), Bytes(data.begin() + base, data.begin() + base + n));
            // Leave a hole inside the segment (never at its end): it must read as 0xFF.
            std::string exclude;
            if (n > 64) {
                const std::uint32_t from = gen() % (n - 32), to = from + 1 + gen() % 31;
                exclude = " -exclude " + std::to_string(from) + " " + std::to_string(to);
                std::fill(expected.begin() + base + from, expected.begin() + base + to, 0xFF);
            }
            const std::string cmd = "srec_cat " + Path("seg.bin").string() + " -binary" + exclude + " -o " +
                                    Path("seg.hex").string() + " -intel -address-length=2";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
            if (base != 0) text += ":00000055AB\n";
            // srec_cat's data records only.
            for (const auto& line : Lines(ReadFile(Path("seg.hex"))))
                if (line.size() >= 9 && line[0] == ':' && line.compare(7, 2, "00") == 0) text += line + "\n";
        }
        WriteFile(Path("img.hex"), text + ":00000001FF\n");

        CFlashEngine engine(MakeJob(Path("img.hex").string(), true), TestSeams());
        ASSERT_EQ(engine.LoadImage(), kLoadComplete) << size;
        EXPECT_EQ(engine.dwImageSize, size);
        EXPECT_EQ(engine.nSegments, (size - 1) / kSegmentSize);
        expected.resize(kImageBufferSize, 0xFF);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), engine.pBank[0])) << size;
        std::free(engine.pBank[0]);
        engine.pBank[0] = nullptr;
    }
}

}  // namespace
