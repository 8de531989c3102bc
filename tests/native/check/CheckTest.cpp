// marrowfin-check on scratch packages: what the tool reports and answers.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Check.h"

namespace {

const std::string kId = "MARROW  CDR-8400 FLASHER";  // its bytes add up to 1,551

// 4,196 bytes of 0x01 with the identification at 0x100 and the revision at 0x200.
std::string BinImage(bool withId) {
    std::string image(4096 + 100, '\x01');
    if (withId) image.replace(0x100, kId.size(), kId).replace(0x200, 4, "A054");
    return image;
}

// Intel-HEX lines, each record's checksum worked out by hand.
const std::string kIdRecord = ":180000004D4152524F5720204344522D3834303020464C4153484552D9\n";  // kId at 0
const std::string kEnd = ":00000001FF\n";

struct Case {
    const char* name;
    std::string list;  // IDString.txt, empty for none
    const char* imageName;
    std::string image, revision;
    int status;
    std::vector<std::string> lines;  // whole lines the report must hold
};

std::string Report(const Case& c, const std::filesystem::path& dir) {
    if (!c.list.empty()) std::ofstream(dir / "IDString.txt", std::ios::binary) << c.list;
    std::ofstream(dir / c.imageName, std::ios::binary) << c.image;
    const std::string folder = dir.string();
    const char* argv[] = {"marrowfin-check", folder.c_str(), kId.c_str(), c.revision.c_str()};
    CheckOptions options;
    std::string message, report;
    EXPECT_EQ(ParseCheckArgs(4, argv, options, message), -1) << message;
    EXPECT_EQ(RunCheck(options, report), c.status) << report;
    return report;
}

TEST(MarrowfinCheck, ReportsWhatTheProgramWouldDoAndWhy) {
    const std::string row = "\"" + kId + "\" ", bin = row + "\"A054fw.bin\" \"N\"\n", hex = row + "\"A054fw.hex\" \"N\"\n";
    std::string elevenRows = bin;
    for (int i = 2; i <= 11; ++i) elevenRows += "\"M" + std::to_string(i) + "\",\"F.hex\",\"N\"\r\n";
    // ".bin": 4,168 x 01 + identification 1,551 + "A054" 218 = 5,937. The
    // header adds the two chunks sent: 5,937 + 3,996 x FF = 1,024,917 =
    // 0xFA395. The "Check Sum" adds all 1 MB: 5,937 + 1,044,380 x FF =
    // 266,322,837 = 0xFDFC395.
    // ".hex" with a record running on past its one segment: 01..10 at FFF8h.
    // "Check Sum", first 64 KB: 1,551 + 36 (01..08) + 65,504 x FF = 0xFEE653;
    // header, 128 KB: that + 100 (09..10) + 65,528 x FF = 0x1FDDEBF.
    const Case cases[] = {
        {"good bin", bin, "A054fw.bin", BinImage(true), "A054", kCheckWouldFlash,
         {"  log: Check Sum : C395", "Commands : 2 chunks of 4096 bytes, header sum A395, save sent; 91 s of waiting skipped",
          "  log: Please Restart Your Computer.", "Exit     : 0, the upgrade would start and succeed"}},
        {"extension upper case, list saved with a byte-order mark", "\xEF\xBB\xBF" + row + "\"A054FW.BIN\" \"N\"\n",
         "A054FW.BIN", BinImage(true), "A054", kCheckWouldFlash,
         {"List     : starts with a UTF-8 byte-order mark, which is skipped", "  log: Check Sum : C395"}},
        {"revision's first character", bin, "A054fw.bin", BinImage(true), "B054", kCheckRefusedAtStartUp,
         {"  log: CD-ROM drive model doesn't match!!",
          "Start-up : no row has this model with a file name starting with 'B'; Upgrade is disabled",
          "Exit     : 1, refused at start-up"}},
        {"eleven rows", elevenRows, "A054fw.bin", BinImage(true), "A054", kCheckWouldFlash,
         {"Why      : line 11 is ignored: the program reads 10 rows at most: \"M11\",\"F.hex\",\"N\""}},
        {"no list", "", "A054fw.bin", BinImage(true), "A054", kCheckRefusedByUpgrade,
         {"  box: The IDString.txt doesn't exist!!", "  log: Drive model doesn't match!",
          "Exit     : 3, refused by the Upgrade command's checks"}},
        {"revision picks a missing row", bin, "A054fw.bin", BinImage(true), "A055", kCheckRefusedByUpgrade,
         {"Upgrade  : revision A055 picks row 2, which the list does not have", "  box: Input file format mismatched.",
          "Why      : only revisions beginning with A049, A054, A056, 00 or AA take row 1; A055 takes row 2, and the "
          "list has 1 row(s), so the image's file name is empty"}},
        {"image without identification", bin, "A054fw.bin", BinImage(false), "A054", kCheckImageRejected,
         {"  log: It is an incorrect firmware version!", "Content  : identification not found, revision \"A0\" not found",
          "Commands : 0 chunks of 4096 bytes, no save", "Exit     : 4, image rejected by the engine"}},
        {"image missing, one differs in case", bin, "a054FW.bin", BinImage(true), "A054", kCheckImageRejected,
         {"  log: ERR: fail to open output file!", "  log: ERR: fail to read input file!",
          "Why      : \"a054FW.bin\" differs from it only in case: Windows would open it, but this file system tells "
          "them apart"}},
        {"empty image", hex, "A054fw.hex", "", "A054", kCheckImageRejected,
         {"  log: ERR: input file format mismatched!", "Why      : the image file is empty (0 bytes)"}},
        {"hex digit", hex, "A054fw.hex", kIdRecord + "\n:04000000010G0304F2\n", "A054", kCheckImageRejected,
         {"Why      : line 3: 'G' is not a hex digit"}},
        {"hex record type", hex, "A054fw.hex", ":00000004FC\n", "A054", kCheckImageRejected,
         {"Why      : line 1: record type 04h is not one the format has (00 data, 01 end, 55h next segment)"}},
        {"hex end record", hex, "A054fw.hex", kIdRecord, "A054", kCheckImageRejected,
         {"Why      : line 2: the file ends without an end record (type 01)"}},
        {"hex sums differ", hex, "A054fw.hex", kIdRecord + ":10FFF8000102030405060708090A0B0C0D0E0F1071\n" + kEnd,
         "A054", kCheckWouldFlash,
         {"  log: Check Sum : E653", "Commands : 32 chunks of 4096 bytes, header sum DEBF, save sent; 91 s of waiting skipped",
          "Why      : the \"Check Sum\" adds the first 64 KB of the image, the 1 segment(s) the file announces (0 segment "
          "record(s) and the first), unwritten bytes as FFh",
          "Why      : the header sum adds the 128 KB sent: up to the end of the segment holding the last data byte, 10007h",
          "Why      : so bytes 10000h to 1FFFFh count in only one of them: a data record runs on past the segments the "
          "file announces"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char scratch[] = "/tmp/mf_check_XXXXXX";
        const std::filesystem::path dir = ::mkdtemp(scratch);
        const std::string report = Report(c, dir);
        for (const auto& line : c.lines)
            EXPECT_NE(report.find("\n" + line + "\n"), std::string::npos) << line << "\n" << report;
        bool explained = false;
        for (const auto& line : c.lines) explained = explained || line.rfind("Why", 0) == 0;
        if (c.status == kCheckWouldFlash && !explained) {
            EXPECT_EQ(report.find("Why"), std::string::npos) << "a sound package needs no explaining\n" << report;
        }
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
