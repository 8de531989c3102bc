// marrowfin-check on scratch packages: what the tool reports and answers.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Check.h"

namespace {

const std::string kId = "MARROW  CDR-8400 FLASHER";

// 4,196 bytes of 0x01 with the identification at 0x100 and the revision at 0x200.
std::string BinImage(bool withId) {
    std::string image(4096 + 100, '\x01');
    if (withId) image.replace(0x100, kId.size(), kId).replace(0x200, 4, "A054");
    return image;
}

struct Case {
    const char* name;
    std::string list;  // IDString.txt, empty for none
    const char* imageName;
    std::string image, id, revision;
    int status;
    std::vector<std::string> expected;
};

TEST(MarrowfinCheck, ReportsWhatTheProgramWouldDo) {
    const std::string row = "\"" + kId + "\" ", bin = row + "\"A054fw.bin\" \"N\"\n";
    // Header sum: 4,168 x 01 + identification 1,551 + "A054" 218 + the 3,996
    // bytes of FF fill up to the second chunk's end = 1,024,917 = 0xFA395.
    const Case cases[] = {
        {"good bin", bin, "A054fw.bin", BinImage(true), kId, "A054", 0,
         {"Check Sum : ", "Commands : 2 chunks of 4096 bytes, header sum A395, save sent", "Please Restart Your"}},
        {"extension upper case", row + "\"A054FW.BIN\" \"N\"\n", "A054FW.BIN", BinImage(true), kId, "A054",
         0, {"header sum A395"}},
        {"model not listed", bin, "A054fw.bin", BinImage(true),
         "OTHERCO DVD-ROM 16X     ", "A054", 1, {"log: CD-ROM drive model doesn't match!!"}},
        {"revision's first character", bin, "A054fw.bin", BinImage(true), kId,
         "B054", 1, {"log: CD-ROM drive model doesn't match!!"}},
        {"no list", "", "A054fw.bin", BinImage(true), kId, "A054", 1,
         {"box: The IDString.txt doesn't exist!!", "log: Drive model doesn't match!"}},
        {"unknown extension", row + "\"A054fw.img\" \"N\"\n", "A054fw.img", BinImage(true), kId, "A054", 1,
         {"box: Input file format mismatched."}},
        {"revision picks a missing row", bin, "A054fw.bin", BinImage(true), kId,
         "A055", 1, {"picks row 2, which the list does not have", "box: Input file format mismatched."}},
        {"image without identification", bin, "A054fw.bin", BinImage(false), kId,
         "A054", 1, {"log: It is an incorrect firmware version!", "log: Flashing is incorrect!!", "Commands : 0 chunks"}},
        {"image missing", bin, "other.bin", BinImage(true), kId, "A054", 1,
         {"log: ERR: fail to open output file!", "log: Flashing is incorrect!!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char scratch[] = "/tmp/mf_check_XXXXXX";
        const std::filesystem::path dir = ::mkdtemp(scratch);
        if (!c.list.empty()) std::ofstream(dir / "IDString.txt", std::ios::binary) << c.list;
        std::ofstream(dir / c.imageName, std::ios::binary) << c.image;
        const std::string folder = dir.string();
        const char* argv[] = {"marrowfin-check", folder.c_str(), c.id.c_str(), c.revision.c_str()};
        CheckOptions options;
        std::string message, report;
        ASSERT_EQ(ParseCheckArgs(4, argv, options, message), -1) << message;
        EXPECT_EQ(RunCheck(options, report), c.status) << report;
        for (const auto& text : c.expected) EXPECT_NE(report.find(text), std::string::npos) << text << "\n" << report;
        std::filesystem::remove_all(dir);
    }
}

TEST(MarrowfinCheck, RefusesAnIdentificationWithoutItsSpaces) {
    const char* argv[] = {"marrowfin-check", "--id", "MARROW CDR-8400 FLASHER", "--revision=A054"};
    CheckOptions options;
    std::string message;
    EXPECT_EQ(ParseCheckArgs(4, argv, options, message), kCheckUsage);
    EXPECT_NE(message.find("24 characters"), std::string::npos) << message;
}

}  // namespace
