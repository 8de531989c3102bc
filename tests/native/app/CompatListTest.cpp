// IDString.txt reading: rows, the 24-character model cut, the firmware file
// name, the warning switch, the storage limits and line ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/CompatList.h"

namespace {

constexpr std::int32_t kUntouched = -7;

struct Parsed {
    std::int32_t rows, warn = kUntouched;
    CompatList list;
};

// The list as the program opens it: a file.
Parsed Parse(const std::string& text) {
    Parsed p;
    std::FILE* fp = std::tmpfile();
    EXPECT_NE(nullptr, fp);
    if (fp == nullptr) return p;
    std::fwrite(text.data(), 1, text.size(), fp);
    std::rewind(fp);
    p.rows = ReadCompatListFile(fp, p.list, p.warn);
    std::fclose(fp);
    return p;
}

const std::string kModel24 = "VENDOR  PRODUCT-16-CHARS";  // 8 + 16

TEST(CompatListReader, TableOfLines) {
    const std::string longName(150, 'f');
    const std::string row = "\"" + kModel24 + "\",\"A054.hex\",";
    // Windows line ends, and the byte-order mark that "UTF-8 with BOM" editors write.
    const std::string crLf = row + "\"N\"\r\n\"M2\",\"B\r010.bin\",\"y\"\r\n", bom = "\xEF\xBB\xBF";
    std::string elevenRows;  // the eleventh's switch is never read
    std::vector<std::pair<std::string, std::string>> tenRows;
    for (int i = 0; i <= 10; ++i) {
        const std::string model = "M" + std::to_string(i), file = "F" + std::to_string(i) + ".hex";
        elevenRows += "\"" + model + "\",\"" + file + "\",\"" + (i == 10 ? "Y" : "N") + "\"\n";
        if (i < 10) tenRows.emplace_back(model, file);
    }
    const struct {
        const char* name;
        std::string text;
        std::int32_t rows, warn;
        std::vector<std::pair<std::string, std::string>> expected;  // model, file per row
    } cases[] = {
        {"Yes: its last character decides", row + "\"Yes\"\n", 1, 0, {{kModel24, "A054.hex"}}},
        {"empty third field clears", row + "\"\"\n", 1, 0, {{kModel24, "A054.hex"}}},
        {"no third field leaves the switch alone", "\"" + kModel24 + "\",\"A054.hex\"\n", 1, kUntouched,
         {{kModel24, "A054.hex"}}},
        {"a later N clears an earlier Y", row + "\"Y\"\n\"M2\",\"B.bin\",\"N\"\n", 2, 0,
         {{kModel24, "A054.hex"}, {"M2", "B.bin"}}},
        {"a comment line ends the list", row + "\"Y\"\n# more\n\"M2\",\"B\",\"N\"\n", 1, 1,
         {{kModel24, "A054.hex"}}},
        {"trailing spaces are part of the model", "\"VENDOR  PRODUCT         \",\"A.hex\",\"N\"\n", 1, 0,
         {{"VENDOR  PRODUCT         ", "A.hex"}}},
        {"a model longer than 24 is cut", "\"" + kModel24 + "-AND-MORE\",\"A.hex\",\"N\"\n", 1, 0,
         {{kModel24, "A.hex"}}},
        {"one quoted field: an empty row", "\"" + kModel24 + "\"\n", 1, kUntouched, {{"", ""}}},
        {"y sets it too; text after the sixth quote is ignored", "\"M\",\"F.hex\",\"y\" comment N\n", 1, 1,
         {{"M", "F.hex"}}},
        {"Y sets the switch, on a last line without line end", row + "\"Y\"", 1, 1, {{kModel24, "A054.hex"}}},
        {"end of file inside the switch counts as its last character", row + "\"Y", 1, 0,
         {{kModel24, "A054.hex"}}},
        {"a 200-character line is cut, never overflowed", "\"M\",\"" + longName + "\",\"Y\"\n", 1, 1,
         {{"M", std::string(59, 'f')}}},
        {"empty file", "", 0, kUntouched, {}},
        {"ten rows at most", elevenRows, 10, 0, tenRows},
        {"CR LF reads like LF; a lone CR is a character of the name", crLf, 2, 1,
         {{kModel24, "A054.hex"}, {"M2", "B\r010.bin"}}},
        {"one mark at the start is skipped", bom + crLf, 2, 1, {{kModel24, "A054.hex"}, {"M2", "B\r010.bin"}}},
        {"only one mark is skipped", bom + bom + crLf, 0, kUntouched, {}},
        {"a cut mark is no row", "\xEF\xBB" + crLf, 0, kUntouched, {}},
        {"a mark further down ends the list", row + "\"N\"\r\n" + bom + crLf, 1, 0, {{kModel24, "A054.hex"}}},
    };
    for (const auto& c : cases) {
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

TEST(CompatRowMatches, ModelAndFirstRevisionCharacter) {
    Parsed p = Parse("\"" + kModel24 + "\",\"A054.hex\",\"N\"\n\"VENDOR  PRODUCT\",\"B.bin\",\"N\"\n");
    const std::string named = kModel24 + "(0)";
    const struct { const char* name; std::string model; const char* revision; int row; bool match; } cases[] = {
        {"suffix does not take part", named, "A049", 0, true},
        {"only the first revision character counts", named, "AZZZ", 0, true},
        {"revision letter differs", named, "B010", 0, false},
        {"a shorter listed model never matches 24 characters", named, "B010", 1, false},
        {"short name matches a short row exactly", "VENDOR  PRODUCT", "BX", 1, true},
        {"case-sensitive", "vendor  product-16-chars(0)", "A054", 0, false},
        {"the 24th character counts", kModel24.substr(0, 23) + "X(0)", "A054", 0, false},
        {"an empty identification and revision (INQUIRY zeros) match no row", "(0)", "", 0, false},
        {"revision bytes that are not printable are compared as they are", named, "\xC1\x01", 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.match, CompatRowMatches(p.list, c.row, c.model.c_str(), c.revision)) << c.name;
}

}  // namespace
