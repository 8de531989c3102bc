// CDeviceAccess's LoadAspiLibrary and ReleaseDeviceAccess with Wine's wnaspi32 disabled
// (WINEDLLOVERRIDES=wnaspi32=n, no wnaspi32.dll here) and two stand-in layers
// that the test platform loads in place of WNASPI32: aspi_half.dll without
// SendASPI32Command, aspi_full.dll with both entry points.
#include <gtest/gtest.h>

#include "TestPlatform.h"
#include "device/DeviceAccess.h"
#include "scsi/ScsiTypes.h"

namespace {

TEST(AspiLibrary, LoadsTheLayerOrSaysWhyNot) {
    ASSERT_EQ(nullptr, LoadLibraryA("WNASPI32")) << "the test needs WNASPI32 to be missing";
    const HWND owner = reinterpret_cast<HWND>(77);
    const struct { BYTE transport; const char* library; BOOL loaded; const char* box; UINT style; } cases[] = {
        {TransportPassThrough, "", TRUE, "", 0},  // needs no layer
        {TransportAspi, "", FALSE, "No find the dynamic library!!|Error!!", MB_ICONINFORMATION},
        {TransportAspi, "aspi_half", FALSE, "Cannot Load Dynamic Library!!!|Error!", MB_OKCANCEL},
        {TransportAspi, "aspi_full", TRUE, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.library);
        TestPlatform platform;  // answers every box with OK: the load still failed
        platform.aspiLibrary = c.library;
        CDeviceAccess device(platform);
        EXPECT_EQ(c.loaded, device.LoadAspiLibrary(owner, c.transport));
        // A layer without both entry points stays loaded until the release.
        const std::string dll = std::string(c.library) + ".dll";
        EXPECT_EQ(*c.library ? GetModuleHandleA(dll.c_str()) : nullptr, device.AspiModule());
        ASSERT_EQ(*c.box ? 1u : 0u, platform.boxes.size());
        for (const auto& b : platform.boxes) {
            EXPECT_EQ(c.box, b.text + "|" + b.caption);
            EXPECT_EQ(owner, b.owner);
            EXPECT_EQ(c.style, b.style);
        }
        EXPECT_EQ(*c.library && c.loaded, device.HasAspiEntryPoints());
        if (device.HasAspiEntryPoints()) {  // the stand-in's entry points are the ones called
            SRB_HAInquiry srb{};
            EXPECT_EQ(0x0102u, device.GetASPI32SupportInfo());
            EXPECT_EQ(0x04u, device.SendASPI32Command(&srb));
            EXPECT_EQ(0x04, srb.SRB_Status);
        }
        for (int release = 0; release < 2; ++release) EXPECT_TRUE(device.ReleaseDeviceAccess());
        EXPECT_EQ(nullptr, device.AspiModule());
        EXPECT_FALSE(device.HasAspiEntryPoints()) << "entry points left after the release";
        EXPECT_EQ(nullptr, GetModuleHandleA(dll.c_str()));
    }
}

}  // namespace
