// The record file and the saved image, read back the way the end-to-end
// suite reads them: after a good download and save, after a bad sum, and
// for a drive list with mistakes in it.
#include <map>

#include "LayerFixture.h"

namespace {

using namespace aspitest;

// "key=value" fields of one record line, its first word as "kind".
std::map<std::string, std::string> Fields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::istringstream in(line);
    std::string word;
    in >> fields["kind"];
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos) fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return fields;
}

class RecordTest : public LayerFixture {};

TEST_F(RecordTest, GoodDownloadLeavesLinesAndSavedImage) {
    Load("adapter 0 targets=2\n"
         "drive 0 1 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" after=\"A055\" notready=0\n");
    // 9000 bytes: two full chunks and a short one, as the program sends them.
    Bytes image(9000);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    Bytes header = HeaderFor(image);
    SRB_ExecSCSICmd h = Chunk(0, 1, 0, header);
    ASSERT_EQ(SS_COMP, SendAndWait(h));
    for (std::uint32_t at = 0; at < image.size(); at += 4096) {
        Bytes part(image.begin() + at, image.begin() + std::min<std::size_t>(at + 4096, image.size()));
        SRB_ExecSCSICmd c = Chunk(0, 1, 32 + at, part);
        ASSERT_EQ(SS_COMP, SendAndWait(c)) << "chunk at " << at;
    }
    SRB_ExecSCSICmd s = Save(0, 1);
    ASSERT_EQ(SS_COMP, SendAndWait(s));
    EXPECT_EQ(std::string(image.begin(), image.end()), ReadFile(InDir("saved-0-1.bin")));

    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_EQ(7u, lines.size()) << ReadFile(RecordPath());  // load, header, 3 chunks, save, saved
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04X", (header[30] + header[31]) & 0xFFFF);  // the other header bytes are 0
    const struct { std::size_t line; const char* key; std::string value; } expected[] = {
        {0, "kind", "load"}, {0, "drives", "1"},
        {1, "kind", "cmd"}, {1, "ha", "0"}, {1, "target", "1"}, {1, "seq", "1"}, {1, "dir", "out"}, {1, "len", "32"},
        {1, "cdb", "3B0600000000000020000000"}, {1, "via", "pending"}, {1, "result", "GOOD"}, {1, "sum", sum},
        {4, "cdb", "3B0600002020000328000000"}, {4, "out", "808"},  // offset 8224, length 808
        {5, "cdb", "3B0700000000000000000000"}, {5, "dir", "in"}, {5, "result", "GOOD"},
        {6, "kind", "saved"}, {6, "bytes", "9000"}, {6, "file", "saved-0-1.bin"}};
    for (const auto& e : expected) EXPECT_EQ(e.value, Fields(lines[e.line])[e.key]) << lines[e.line];

    // The new revision shows in the next INQUIRY.
    std::uint8_t data[36] = {};
    SRB_ExecSCSICmd inq = Inquiry(0, 1, data);
    ASSERT_EQ(SS_COMP, SendAndWait(inq));
    EXPECT_EQ(0, std::memcmp(data + 32, "A055", 4));
}

TEST_F(RecordTest, BadSumIsRecordedAsCheckAndSavesNothing) {
    Load("adapter 0\ndrive 0 0 \"V\" \"P\" \"R\"\n");
    Bytes image(100, 9), header = HeaderFor(image);
    header[31] ^= 1;
    SRB_ExecSCSICmd h = Chunk(0, 0, 0, header), c = Chunk(0, 0, 32, image), s = Save(0, 0);
    ASSERT_EQ(SS_COMP, SendAndWait(h));
    ASSERT_EQ(SS_COMP, SendAndWait(c));
    EXPECT_EQ(SS_ERR, SendAndWait(s));
    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("CHECK", Fields(lines[3])["result"]);
    EXPECT_EQ("05/26/00", Fields(lines[3])["sense"]);
    EXPECT_FALSE(std::filesystem::exists(InDir("saved-0-0.bin")));
}

// Each bad line becomes a note with its number; the rest is served.
TEST_F(RecordTest, MalformedLinesAreNotedAndTheRestServed) {
    Load("adapter 0 targets=2\n"
         "adapter 2\n"                                 // 2: not the next number
         "drive 0 0 \"V\" \"P\" \"R\"\n"
         "drive 0 0 \"V\" \"P\" \"R\"\n"               // 4: address taken
         "fault 0 0 chunk offset=32 sense=05/zz/00\n"  // 5: bad sense
         "drive 0 1 \"unterminated\n");                // 6
    EXPECT_EQ(0x0101u, supportInfo());
    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ("4", Fields(lines[0])["notes"]) << lines[0];
    std::string noted;
    for (const auto& l : lines)
        if (l.rfind("note line ", 0) == 0) noted += l.substr(10, l.find(':') - 10) + " ";
    EXPECT_EQ("2 4 5 6 ", noted);
    SRB_ExecSCSICmd inq = Inquiry(0, 0, nullptr);
    EXPECT_EQ(SS_COMP, SendAndWait(inq)) << "the good drive line is served";
}

}  // namespace
