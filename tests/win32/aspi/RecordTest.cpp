// The record file and the saved image, read back the way the end-to-end
// suite reads them: after a good download and save, and for a drive list
// with mistakes in it.
#include <map>

#include "LayerFixture.h"

namespace {

using aspitest::HeaderFor;
using aspitest::Lines;
using aspitest::ReadFile;

// "key=value" fields of one record line after its first word.
std::map<std::string, std::string> Fields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::istringstream in(line);
    std::string word;
    in >> word;
    fields["kind"] = word;
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos) fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return fields;
}

class RecordTest : public aspitest::LayerFixture {};

TEST_F(RecordTest, GoodDownloadLeavesLinesAndSavedImage) {
    Load("adapter 0 targets=2\n"
         "drive 0 1 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" after=\"A055\" notready=0\n");
    // 9000 bytes: two full chunks and a short one, as the program sends them.
    std::vector<std::uint8_t> image(9000);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);

    std::vector<std::uint8_t> header = HeaderFor(image);
    SRB_ExecSCSICmd h = Chunk(0, 1, 0, header);
    ASSERT_EQ(SS_COMP, SendAndWait(h));
    for (std::uint32_t at = 0; at < image.size(); at += 4096) {
        std::vector<std::uint8_t> part(image.begin() + at, image.begin() + std::min<std::size_t>(at + 4096, image.size()));
        SRB_ExecSCSICmd c = Chunk(0, 1, 32 + at, part);
        ASSERT_EQ(SS_COMP, SendAndWait(c)) << "chunk at " << at;
    }
    std::vector<std::uint8_t> scratch;
    SRB_ExecSCSICmd s = Save(0, 1, scratch);
    ASSERT_EQ(SS_COMP, SendAndWait(s));

    EXPECT_EQ(std::string(image.begin(), image.end()), ReadFile(InDir("saved-0-1.bin")));

    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_EQ(7u, lines.size()) << ReadFile(RecordPath());  // load, header, 3 chunks, save, saved
    EXPECT_EQ("load", Fields(lines[0])["kind"]);
    EXPECT_EQ("1", Fields(lines[0])["drives"]);

    auto header0 = Fields(lines[1]);
    EXPECT_EQ("cmd", header0["kind"]);
    EXPECT_EQ("0", header0["ha"]);
    EXPECT_EQ("1", header0["target"]);
    EXPECT_EQ("1", header0["seq"]);
    EXPECT_EQ("3B0600000000000020000000", header0["cdb"]);
    EXPECT_EQ("out", header0["dir"]);
    EXPECT_EQ("32", header0["len"]);
    EXPECT_EQ("pending", header0["via"]);
    EXPECT_EQ("GOOD", header0["result"]);
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04X", (header[30] + header[31]) & 0xFFFF);  // the other header bytes are 0
    EXPECT_EQ(sum, header0["sum"]);

    auto last = Fields(lines[4]);
    EXPECT_EQ("3B0600002020000328000000", last["cdb"]);  // offset 8224, length 808
    EXPECT_EQ("808", last["out"]);

    auto save = Fields(lines[5]);
    EXPECT_EQ("3B0700000000000000000000", save["cdb"]);
    EXPECT_EQ("in", save["dir"]);
    EXPECT_EQ("GOOD", save["result"]);

    auto saved = Fields(lines[6]);
    EXPECT_EQ("saved", saved["kind"]);
    EXPECT_EQ("9000", saved["bytes"]);
    EXPECT_EQ("saved-0-1.bin", saved["file"]);

    // The new revision shows in the next INQUIRY.
    std::uint8_t data[36] = {};
    SRB_ExecSCSICmd inq = Exec(0, 1, {0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}, SRB_DIR_IN, data, sizeof data);
    ASSERT_EQ(SS_COMP, SendAndWait(inq));
    EXPECT_EQ(0, std::memcmp(data + 32, "A055", 4));
}

TEST_F(RecordTest, BadSumIsRecordedAsCheckAndSavesNothing) {
    Load("adapter 0\ndrive 0 0 \"V\" \"P\" \"R\"\n");
    std::vector<std::uint8_t> image(100, 9);
    std::vector<std::uint8_t> header = HeaderFor(image);
    header[31] ^= 1;
    SRB_ExecSCSICmd h = Chunk(0, 0, 0, header);
    SRB_ExecSCSICmd c = Chunk(0, 0, 32, image);
    std::vector<std::uint8_t> scratch;
    SRB_ExecSCSICmd s = Save(0, 0, scratch);
    ASSERT_EQ(SS_COMP, SendAndWait(h));
    ASSERT_EQ(SS_COMP, SendAndWait(c));
    EXPECT_EQ(SS_ERR, SendAndWait(s));

    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("CHECK", Fields(lines[3])["result"]);
    EXPECT_EQ("05/26/00", Fields(lines[3])["sense"]);
    EXPECT_FALSE(std::filesystem::exists(InDir("saved-0-0.bin")));
}

TEST_F(RecordTest, MalformedLinesAreNotedAndTheRestServed) {
    Load("adapter 0 targets=2\n"
         "adapter 2\n"                                   // 2: not the next number
         "drive 0 0 \"V\" \"P\" \"R\"\n"
         "drive 0 0 \"V\" \"P\" \"R\"\n"                 // 4: address taken
         "drive 0 1 \"VENDORTOOLONG\" \"P\" \"R\"\n"     // 5: vendor longer than 8
         "fault 0 0 chunk offset=32 sense=05/zz/00\n"    // 6: bad sense
         "bogus\n"                                       // 7
         "drive 0 1 \"unterminated\n");                  // 8
    EXPECT_EQ(0x0101u, supportInfo());
    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ("6", Fields(lines[0])["notes"]) << lines[0];
    std::string noted;
    for (const auto& l : lines)
        if (l.rfind("note line ", 0) == 0) noted += l.substr(10, l.find(':') - 10) + " ";
    EXPECT_EQ("2 4 5 6 7 8 ", noted);
}

}  // namespace
