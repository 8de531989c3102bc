// The Upgrade command's choices: target drive, list row, firmware row by
// revision, image path and image kind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/UpgradeChoice.h"

namespace {

DriveEntry Entry(const char* name) {
    DriveEntry e = {};
    std::strncpy(e.ModelName, name, sizeof e.ModelName - 1);
    return e;
}

TEST(FindDriveByName, WholeNameCaseSensitiveFirstWins) {
    DriveEntry a = Entry("VENDOR  PRODUCT-16-CHARS(0)"), b = Entry("VENDOR  PRODUCT-16-CHARS(1)"),
               c = Entry("VENDOR  PRODUCT-16-CHARS(1)");
    DriveTable table = {{&a, &b, &c}, 3};
    EXPECT_EQ(0, FindDriveByName(table, "VENDOR  PRODUCT-16-CHARS(0)"));
    EXPECT_EQ(1, FindDriveByName(table, "VENDOR  PRODUCT-16-CHARS(1)"));
    EXPECT_EQ(-1, FindDriveByName(table, "VENDOR  PRODUCT-16-CHARS"));  // suffix required
    EXPECT_EQ(-1, FindDriveByName(table, "vendor  product-16-chars(0)"));
    EXPECT_EQ(-1, FindDriveByName(table, "typed text"));
    table.nCount = 0;
    EXPECT_EQ(-1, FindDriveByName(table, "VENDOR  PRODUCT-16-CHARS(0)"));
}

TEST(FindModelRow, First24CharactersAgainstEachRowInOrder) {
    CompatList list = {};
    std::strcpy(list.Model[0], "OTHER   MODEL-16-CHARSXX");
    std::strcpy(list.Model[1], "VENDOR  PRODUCT-16-CHARS");
    std::strcpy(list.Model[2], "VENDOR  PRODUCT-16-CHARS");
    EXPECT_EQ(1, FindModelRow(list, 3, "VENDOR  PRODUCT-16-CHARS(0)"));
    EXPECT_EQ(-1, FindModelRow(list, 1, "VENDOR  PRODUCT-16-CHARS(0)"));  // row count limits the search
    EXPECT_EQ(-1, FindModelRow(list, 3, "VENDOR  PRODUCT"));
}

TEST(FirmwareRowForRevision, RowZeroPrefixesAndEverythingElse) {
    const struct { const char* revision; int row; } cases[] = {
        {"A049", 0}, {"A054", 0}, {"A056", 0}, {"0012", 0}, {"AAZZ", 0}, {"A055", 1},
        {"B010", 1}, {"a049", 1}, {"aa", 1},   {"A04", 1},  {"0", 1},    {"", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.row, FirmwareRowForRevision(c.revision)) << '"' << c.revision << '"';
}

TEST(BuildImagePath, JoinsWithOneBackslashAsGivenAndNeverOverflows) {
    char path[512];
    EXPECT_TRUE(BuildImagePath(path, sizeof path, "C:\\flash", "A054.hex"));
    EXPECT_STREQ("C:\\flash\\A054.hex", path);
    EXPECT_TRUE(BuildImagePath(path, sizeof path, "C:\\", "A054.hex"));
    EXPECT_STREQ("C:\\\\A054.hex", path);  // nothing is added or removed

    char small[16];
    std::memset(small, '#', sizeof small);
    EXPECT_FALSE(BuildImagePath(small, 12, "C:\\directory", "file.hex"));
    EXPECT_STREQ("", small);
    for (size_t i = 12; i < sizeof small; ++i) EXPECT_EQ('#', small[i]);
}

TEST(ImageKind, LastDotDecides) {
    const struct { std::string path; ImageKind kind; } cases[] = {
        {"C:\\fw\\A054.hex", ImageKind::Hex},      {"C:\\fw.old\\B010.bin", ImageKind::Bin},
        {"C:\\fw\\A054.HEX", ImageKind::Unknown},  // the caller lowers it first
        {"C:\\fw\\A054.hex.rom", ImageKind::Unknown}, {"C:\\fw\\A054.hexx", ImageKind::Unknown},
        {"C:\\fw.d\\A054", ImageKind::Unknown},
    };
    for (auto c : cases) EXPECT_EQ(c.kind, KindOfExtension(FindExtension(c.path.data()))) << c.path;
    char none[] = "C:\\fw\\noext";
    EXPECT_EQ(nullptr, FindExtension(none));
}

}  // namespace
