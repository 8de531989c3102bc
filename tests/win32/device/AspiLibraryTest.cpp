// LoadAspiLibrary and ReleaseDeviceAccess, run with Wine's wnaspi32 disabled
// (WINEDLLOVERRIDES=wnaspi32=n, no wnaspi32.dll here) and two stand-in
// layers: aspi_half.dll without SendASPI32Command, aspi_full.dll with both.
// Message boxes go to a recorder.
#include <gtest/gtest.h>

#include <string>

#include "device/AspiLibrary.h"
#include "device/ScsiTypes.h"

namespace {

std::string g_boxes;  // "owner|text|caption|style;" per box
int g_answer;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    g_boxes += std::to_string(reinterpret_cast<std::uintptr_t>(owner)) + "|" + text + "|" + caption + "|" +
               std::to_string(style) + ";";
    return g_answer;
}
const HWND kOwner = reinterpret_cast<HWND>(77);

class AspiLibraryTest : public ::testing::Test {
protected:
    AspiLibraryTest() { g_boxes.clear(), g_pfnAspiMessageBox = RecordBox; }
    ~AspiLibraryTest() override {
        ReleaseDeviceAccess(&hAspi);
        g_pfnAspiMessageBox = MessageBoxA;
        g_pszAspiLibraryName = "WNASPI32";
    }
    HMODULE hAspi = nullptr;
};

TEST_F(AspiLibraryTest, MissingLibrary) {
    ASSERT_EQ(nullptr, LoadLibraryA("WNASPI32")) << "the test needs WNASPI32 to be missing";
    EXPECT_TRUE(LoadAspiLibrary(kOwner, TransportPassThrough, &hAspi)) << "pass-through needs no library";
    EXPECT_TRUE(hAspi == nullptr && GetASPI32SupportInfo == nullptr && SendASPI32Command == nullptr);
    EXPECT_EQ("", g_boxes);
    EXPECT_FALSE(LoadAspiLibrary(kOwner, TransportAspi, &hAspi));
    EXPECT_EQ(nullptr, hAspi);
    EXPECT_EQ("77|No find the dynamic library!!|Error!!|64;", g_boxes);
}

TEST_F(AspiLibraryTest, MissingEntryPointKeepsTheLibraryUntilRelease) {
    g_pszAspiLibraryName = "aspi_half";
    for (int answer : {IDOK, IDCANCEL}) {
        g_boxes.clear();
        g_answer = answer;
        EXPECT_FALSE(LoadAspiLibrary(kOwner, TransportAspi, &hAspi));
        EXPECT_EQ("77|Cannot Load Dynamic Library!!!|Error!|1;", g_boxes);
        ASSERT_NE(nullptr, hAspi);
        EXPECT_EQ(hAspi, GetModuleHandleA("aspi_half.dll"));
        EXPECT_TRUE(ReleaseDeviceAccess(&hAspi));
        EXPECT_TRUE(hAspi == nullptr && GetModuleHandleA("aspi_half.dll") == nullptr);
    }
}

TEST_F(AspiLibraryTest, BothEntryPointsFromTheLoadedLibrary) {
    g_pszAspiLibraryName = "aspi_full";
    ASSERT_TRUE(LoadAspiLibrary(kOwner, TransportAspi, &hAspi));
    EXPECT_EQ("", g_boxes);
    EXPECT_EQ(0x0102u, GetASPI32SupportInfo());
    SRB_HAInquiry srb{};
    EXPECT_EQ(0x04u, SendASPI32Command(&srb));
    EXPECT_EQ(0x04, srb.SRB_Status);
    EXPECT_TRUE(ReleaseDeviceAccess(&hAspi));
    EXPECT_TRUE(GetModuleHandleA("aspi_full.dll") == nullptr && SendASPI32Command == nullptr);
    EXPECT_TRUE(ReleaseDeviceAccess(&hAspi)) << "nothing loaded";
}

}  // namespace
