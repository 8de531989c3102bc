// IDString.txt reading: rows, the 24-character model cut, the firmware file
// name, the warning switch, the storage limits and line ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/CompatList.h"

namespace {

struct Memory {
    const std::string* text;
    size_t at;
};

int GetMemoryChar(void* context) {
    auto* m = static_cast<Memory*>(context);
    if (m->at >= m->text->size()) return EOF;
    return static_cast<unsigned char>((*m->text)[m->at++]);
}

constexpr std::int32_t kUntouched = -7;

struct Parsed {
    std::int32_t rows;
    std::int32_t warn;
    CompatList list;
};

Parsed Parse(const std::string& text) {
    Parsed p;
    p.warn = kUntouched;
    Memory m{&text, 0};
    p.rows = ReadCompatList(CharSource{&GetMemoryChar, &m}, p.list, p.warn);
    return p;
}

const std::string kModel24 = "VENDOR  PRODUCT-16-CHARS";  // 8 + 16

struct Case {
    const char* name;
    std::string text;
    std::int32_t rows;
    std::int32_t warn;
    std::vector<std::pair<std::string, std::string>> expected;  // model, file per row
};

TEST(CompatListReader, TableOfLines) {
    const std::string longName(150, 'f');
    const std::string row = "\"" + kModel24 + "\",\"A054.hex\",";
    const Case cases[] = {
        {"one row, switch N", row + "\"N\"\n", 1, 0, {{kModel24, "A054.hex"}}},
        {"Y sets the warning", row + "\"Y\"\n", 1, 1, {{kModel24, "A054.hex"}}},
        {"y sets it too", row + "\"y\"\n", 1, 1, {{kModel24, "A054.hex"}}},
        {"Yes: its last character decides", row + "\"Yes\"\n", 1, 0, {{kModel24, "A054.hex"}}},
        {"empty third field clears", row + "\"\"\n", 1, 0, {{kModel24, "A054.hex"}}},
        {"no third field leaves the switch alone", "\"" + kModel24 + "\",\"A054.hex\"\n", 1, kUntouched,
         {{kModel24, "A054.hex"}}},
        {"the last line with a switch decides", row + "\"Y\"\n\"M2\",\"B.bin\"\n", 2, 1,
         {{kModel24, "A054.hex"}, {"M2", "B.bin"}}},
        {"a later N clears an earlier Y", row + "\"Y\"\n\"M2\",\"B.bin\",\"N\"\n", 2, 0,
         {{kModel24, "A054.hex"}, {"M2", "B.bin"}}},
        {"empty first line: no rows", "\n" + row + "\"Y\"\n", 0, kUntouched, {}},
        {"a comment line ends the list", row + "\"Y\"\n# more\n\"M2\",\"B\",\"N\"\n", 1, 1,
         {{kModel24, "A054.hex"}}},
        {"trailing spaces are part of the model", "\"VENDOR  PRODUCT         \",\"A.hex\",\"N\"\n", 1, 0,
         {{"VENDOR  PRODUCT         ", "A.hex"}}},
        {"a model longer than 24 is cut", "\"" + kModel24 + "-AND-MORE\",\"A.hex\",\"N\"\n", 1, 0,
         {{kModel24, "A.hex"}}},
        {"one quoted field: an empty row", "\"" + kModel24 + "\"\n", 1, kUntouched, {{"", ""}}},
        {"empty separators", "\"M\"\"F.hex\"\"Y\"\n", 1, 1, {{"M", "F.hex"}}},
        {"text after the sixth quote is ignored", "\"M\",\"F.hex\",\"y\" comment Y\n", 1, 1, {{"M", "F.hex"}}},
        {"last line without line end", row + "\"Y\"", 1, 1, {{kModel24, "A054.hex"}}},
        {"end of file inside the switch counts as its last character", row + "\"Y", 1, 0,
         {{kModel24, "A054.hex"}}},
        {"a 200-character line is cut, never overflowed", "\"M\",\"" + longName + "\",\"Y\"\n", 1, 1,
         {{"M", std::string(59, 'f')}}},
        {"empty file", "", 0, kUntouched, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Parsed p = Parse(c.text);
        EXPECT_EQ(c.rows, p.rows);
        EXPECT_EQ(c.warn, p.warn);
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(c.expected[i].first, p.list.Model[i]) << "row " << i;
            EXPECT_EQ(c.expected[i].second, p.list.FirmwareFile[i]) << "row " << i;
        }
    }
}

TEST(CompatListReader, ReadsTenRowsAtMost) {
    std::string text;
    for (int i = 0; i < 11; ++i)
        text += "\"M" + std::to_string(i) + "\",\"F" + std::to_string(i) + ".hex\",\"" + (i == 10 ? "Y" : "N") + "\"\n";
    Parsed p = Parse(text);
    EXPECT_EQ(10, p.rows);
    EXPECT_STREQ("M9", p.list.Model[9]);
    EXPECT_STREQ("F9.hex", p.list.FirmwareFile[9]);
    EXPECT_EQ(0, p.warn) << "the eleventh row is not read, so its switch does not count";
}

TEST(CompatListReader, ClearsEarlierContents) {
    Parsed p = Parse("\"LONGER-MODEL-NAME\",\"LONGER.hex\",\"N\"\n");
    Memory m{nullptr, 0};
    std::string shorter = "\"M\",\"F\",\"N\"\n";
    m.text = &shorter;
    std::int32_t warn = 0;
    EXPECT_EQ(1, ReadCompatList(CharSource{&GetMemoryChar, &m}, p.list, warn));
    EXPECT_STREQ("M", p.list.Model[0]);
    EXPECT_STREQ("F", p.list.FirmwareFile[0]);
}

TEST(CompatListReader, FileWithCrLfReadsLikeLf) {
    const std::string lf = "\"" + kModel24 + "\",\"A054.hex\",\"Y\"\n\"M2\",\"B010.bin\",\"y\"\n";
    std::string crlf;
    for (char ch : lf) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    for (const std::string* text : std::vector<const std::string*>{&lf, &crlf}) {
        std::FILE* fp = std::tmpfile();
        ASSERT_NE(nullptr, fp);
        std::fwrite(text->data(), 1, text->size(), fp);
        std::rewind(fp);
        CompatList list;
        std::int32_t warn = kUntouched;
        EXPECT_EQ(2, ReadCompatListFile(fp, list, warn));
        std::fclose(fp);
        EXPECT_EQ(kModel24, list.Model[0]);
        EXPECT_STREQ("B010.bin", list.FirmwareFile[1]);
        EXPECT_EQ(1, warn);
    }
}

TEST(CompatRowMatches, ModelAndFirstRevisionCharacter) {
    Parsed p = Parse("\"" + kModel24 + "\",\"A054.hex\",\"N\"\n\"SHORT MODEL\",\"B.bin\",\"N\"\n");
    const std::string named = kModel24 + "(0)";
    struct M { const char* name; std::string model; const char* revision; int row; bool match; };
    const M cases[] = {
        {"suffix does not take part", named, "A049", 0, true},
        {"only the first revision character counts", named, "AZZZ", 0, true},
        {"revision letter differs", named, "B010", 0, false},
        {"a shorter listed model never matches 24 characters", named, "B010", 1, false},
        {"short name matches a short row exactly", "SHORT MODEL", "BX", 1, true},
        {"case-sensitive", "vendor  product-16-chars(0)", "A054", 0, false},
    };
    for (const M& c : cases)
        EXPECT_EQ(c.match, CompatRowMatches(p.list, c.row, c.model.c_str(), c.revision)) << c.name;
}

}  // namespace
