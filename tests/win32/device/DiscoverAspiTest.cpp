// Discovery through ASPI against a fake layer of adapters and targets.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "device/AspiLibrary.h"
#include "device/DriveDiscovery.h"

namespace {

struct Target {
    std::uint8_t deviceType, inquiryByte0;
    bool inquiryFails;
    std::string model;
};
struct Adapter {
    std::uint8_t status, unique0, unique3;  // HA_Unique 0: alignment low byte, 3: targets
    std::map<int, Target> targets;
};
std::uint32_t g_supportInfo;
std::vector<Adapter> g_adapters;
std::string g_log;  // "p<ha><target>" per device type probe, "i<ha><target>" per INQUIRY

std::uint32_t ASPI_CALL SupportInfo() { return g_supportInfo; }

std::uint32_t ASPI_CALL Send(void* p) {
    auto* header = static_cast<std::uint8_t*>(p);
    Adapter& a = g_adapters.at(header[2]);
    if (header[0] == SC_HA_INQUIRY) {
        auto* srb = static_cast<SRB_HAInquiry*>(p);
        srb->HA_Unique[0] = a.unique0;
        srb->HA_Unique[3] = a.unique3;
        return srb->SRB_Status = a.status;
    }
    if (header[0] == SC_GET_DEV_TYPE) {
        auto* srb = static_cast<SRB_GDEVBlock*>(p);
        g_log += "p" + std::to_string(header[2]) + std::to_string(srb->SRB_Target) + " ";
        const auto it = a.targets.find(srb->SRB_Target);
        srb->SRB_DeviceType = it == a.targets.end() ? 0x1F : it->second.deviceType;
        return srb->SRB_Status = it == a.targets.end() || srb->SRB_Lun ? SS_NO_DEVICE : SS_COMP;
    }
    auto* srb = static_cast<SRB_ExecSCSICmd*>(p);
    g_log += "i" + std::to_string(header[2]) + std::to_string(srb->SRB_Target) + " ";
    const std::uint8_t cdb[16] = {0x12, 0, 0, 0, 36};
    const Target& t = a.targets.at(srb->SRB_Target);
    if (t.inquiryFails || srb->SRB_CDBLen != 12 || srb->SRB_BufLen != 36 || std::memcmp(cdb, srb->CDBByte, 16)) {
        return srb->SRB_Status = SS_ERR;
    }
    std::memset(srb->SRB_BufPointer, ' ', 36);
    srb->SRB_BufPointer[0] = t.inquiryByte0;
    std::memcpy(srb->SRB_BufPointer + 8, t.model.data(), t.model.size());
    std::memcpy(srb->SRB_BufPointer + 32, "R1.0", 4);
    return srb->SRB_Status = SS_COMP;
}

Target Cdrom(const char* model = "ACME    CD-ROM") { return {DTYPE_CDROM, 0x05, false, model}; }

class DiscoverAspiTest : public ::testing::Test {
protected:
    DiscoverAspiTest() {
        g_log.clear();
        g_supportInfo = 0x0100;
        GetASPI32SupportInfo = SupportInfo;
        SendASPI32Command = Send;
    }
    ~DiscoverAspiTest() override {
        ReleaseDrives(table);
        GetASPI32SupportInfo = nullptr;
        SendASPI32Command = nullptr;
    }
    void Discover() {
        g_supportInfo |= static_cast<std::uint32_t>(g_adapters.size());
        DiscoverDrives(table, TransportAspi, 0);
    }
    DriveTable table{{}, -1};
};

TEST_F(DiscoverAspiTest, ProbesTargetsOfReadyAdapters) {
    g_adapters = {{SS_COMP, 0, 0, {}}, {SS_ERR, 0, 8, {}}, {SS_COMP, 0, 3, {}}};  // 0: targets 0 and 1
    Discover();
    EXPECT_EQ("p00 p01 p20 p21 p22 ", g_log);
    EXPECT_EQ(0, table.nCount);

    g_log.clear();
    g_supportInfo = 0xE800;  // layer not ready
    Discover();
    EXPECT_EQ("", g_log);
}

TEST_F(DiscoverAspiTest, FailedInquiryFreesItsSlot) {
    g_adapters = {{SS_COMP, 0x03, 6, {{0, Cdrom("ACME    ZERO")}, {1, {0x00, 0x00, false, "DISK"}},
                                      {2, {DTYPE_CDROM, 0x05, true, "FAILS"}}, {3, {DTYPE_CDROM, 0x25, false, "GONE"}},
                                      {5, Cdrom("ACME    FIVE")}}},
                  {SS_COMP, 0x01, 2, {{1, Cdrom("ACME    ONE")}}}};
    Discover();
    EXPECT_EQ("p00 i00 p01 p02 i02 p03 i03 p04 p05 i05 p10 p11 i11 ", g_log);
    ASSERT_EQ(3, table.nCount);
    const struct {
        int hid, tid;
        std::uint32_t align;
        const char* model;
    } expected[] = {{0, 0, 3, "ACME    ZERO            "}, {0, 5, 3, "ACME    FIVE            "},
                    {1, 1, 1, "ACME    ONE             "}};
    for (int i = 0; i < 3; ++i) {
        const DriveEntry& e = *table.pEntries[i];
        EXPECT_TRUE(!e.hDevice && e.HID == expected[i].hid && e.TID == expected[i].tid && e.AlignMask == expected[i].align) << i;
        EXPECT_STREQ(expected[i].model, e.ModelName);
        EXPECT_STREQ("R1.0", e.Revision);
    }
}

TEST_F(DiscoverAspiTest, NineDrivesGiveEight) {
    g_adapters = {{SS_COMP, 0, 16, {}}};
    for (int t = 0; t < 9; ++t) g_adapters[0].targets[t] = Cdrom();
    Discover();
    ASSERT_EQ(8, table.nCount);
    EXPECT_EQ(7, table.pEntries[7]->TID);
    EXPECT_EQ(std::string::npos, g_log.find("p08")) << "a full table ends the scan";
}

}  // namespace
