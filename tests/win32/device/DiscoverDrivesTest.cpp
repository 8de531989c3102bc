// DiscoverDrives: through drive letters, both NT ways, against fake
// letters; through ASPI against a fake layer of adapters and targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "DeviceCallsFake.h"
#include "device/AspiLibrary.h"
#include "device/DriveDiscovery.h"
#include "device/PassThroughDefs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// INQUIRY data: byte 0, then the model at 8 and the revision at 32, space-padded.
Bytes Inquiry(std::uint8_t type, const std::string& model = "ACME    CD-ROM", const std::string& rev = "1.00") {
    Bytes b(36, ' ');
    b[0] = type;
    std::copy(model.begin(), model.end(), b.begin() + 8);
    std::copy(rev.begin(), rev.end(), b.begin() + 32);
    return b;
}
HANDLE H(char letter) { return DeviceCallsFake::LetterHandle(letter); }

class DiscoverLettersTest : public ::testing::Test {
protected:
    DiscoverLettersTest() {
        fake.control = [this](const DeviceCallsFake::Call& c) -> BOOL {
            const char letter = DeviceCallsFake::LetterOf(c.h);
            if (c.code == kIoctlScsiPassThroughDirect) {  // NT 5: the INQUIRY itself
                auto* record = static_cast<PassThroughRecord*>(c.in);
                sent = *record;
                auto* data = static_cast<std::uint8_t*>(record->Spt.DataBuffer);
                firstByteBefore = data[0];
                const Bytes& inquiry = answers[letter];
                std::copy(inquiry.begin(), inquiry.end(), data);
                return !inquiry.empty();
            }
            if (c.code == kIoctlScsiGetCapabilities) {
                const std::uint32_t mask = 0x1FF;
                if (c.outLength != 24 || !alignmentKnown) return FALSE;
                std::memcpy(static_cast<char*>(c.out) + 16, &mask, 4);
                return TRUE;
            }
            // NT 4: bus 1 of 2 holds this letter's units, one after the other.
            const auto& units = lists[letter];
            auto* b = static_cast<std::uint8_t*>(c.out);
            b[0] = 2;
            for (std::uint32_t i = 0, at = 100; i < units.size(); ++i, at += 48) {
                const std::uint32_t fields[3] = {36, i + 1 < units.size() ? at + 48 : (loop ? 100 : 0), 0};
                if (i == 0) std::memcpy(b + 16, &at, 4);
                b[at] = units[i].first >> 8, b[at + 1] = units[i].first & 0xFF;
                std::memcpy(b + at + 4, fields, 8);
                std::memcpy(b + at + 12, units[i].second.data(), 36);
            }
            return c.outLength == 2048 && !units.empty();
        };
    }
    ~DiscoverLettersTest() override { ReleaseDrives(table); }

    // Every opened handle ends up in an entry or closed, never both.
    void ExpectNoHandleLost() {
        for (char letter : fake.opened) {
            const bool kept = std::any_of(table.pEntries, table.pEntries + table.nCount,
                                          [&](const DriveEntry* e) { return e->hDevice == H(letter); });
            const bool open = fake.openable.find(letter) != std::string::npos;
            EXPECT_EQ(open && !kept ? 1 : 0, std::count(fake.closed.begin(), fake.closed.end(), H(letter))) << letter;
        }
    }

    DeviceCallsFake fake;
    DriveTable table{{}, -1};
    std::map<char, Bytes> answers;                                  // NT 5; none: the call fails
    std::map<char, std::vector<std::pair<int, Bytes>>> lists;       // NT 4: (path << 8 | target, inquiry)
    bool loop = false, alignmentKnown = true;
    PassThroughRecord sent{};
    std::uint8_t firstByteBefore = 0;
};

TEST_F(DiscoverLettersTest, InquiryWayProbesCThroughZ) {
    fake.openable = "abcdefghijklmnopqrstuvwxyz";
    answers['z'] = Inquiry(0x05, "LAST    LETTER", "Z001");
    DiscoverDrives(table, TransportPassThrough, 0);
    EXPECT_EQ("cdefghijklmnopqrstuvwxyz", fake.opened);
    for (std::size_t i = 0; i < fake.openArgs.size(); i += 5) {
        EXPECT_EQ((std::vector<DWORD>{GENERIC_READ | GENERIC_WRITE, 3, OPEN_EXISTING, 0, 1}),
                  std::vector<DWORD>(fake.openArgs.begin() + i, fake.openArgs.begin() + i + 5));
    }
    for (const auto& call : fake.calls) EXPECT_TRUE(call.inLength == 80 && call.outLength == 80 && call.in == call.out);
    const std::uint8_t head[] = {44, 0, 0, 0, 0, 0, 6, 24, 1};
    EXPECT_EQ(0, std::memcmp(head, &sent, sizeof head));
    EXPECT_EQ(2048u, sent.Spt.DataTransferLength);
    EXPECT_EQ(2u, sent.Spt.TimeOutValue);
    EXPECT_EQ(48u, sent.Spt.SenseInfoOffset);
    const std::uint8_t cdb[16] = {0x12, 0, 0, 0, 0x7F, 0};
    EXPECT_EQ(0, std::memcmp(cdb, sent.Spt.Cdb, 16));
    EXPECT_EQ(0xFF, firstByteBefore);
    ASSERT_EQ(1, table.nCount);
    EXPECT_STREQ("LAST    LETTER          ", table.pEntries[0]->ModelName);
    EXPECT_STREQ("Z001", table.pEntries[0]->Revision);
    ExpectNoHandleLost();
}

TEST_F(DiscoverLettersTest, InquiryWayKeepsOnlyTypeFiveAndAtMostEight) {
    fake.openable = "cdefghijklmnop";
    answers['c'] = Inquiry(0x00);  // a disk
    answers['e'] = Inquiry(0x25);  // not connected
    answers['g'] = Bytes(36, 0xFF);  // no data arrived; 'f' fails the call
    for (char letter : std::string("dhijklmnop")) answers[letter] = Inquiry(0x05);
    DiscoverDrives(table, TransportPassThrough, 0);
    ASSERT_EQ(8, table.nCount);
    const std::string found = "dhijklmn";
    for (int i = 0; i < 8; ++i) {
        const DriveEntry& e = *table.pEntries[i];
        EXPECT_EQ(H(found[i]), e.hDevice);
        EXPECT_TRUE(e.HID == 0 && e.TID == 0 && e.AlignMask == 0x7FF) << i;
    }
    ExpectNoHandleLost();
    fake.closed.clear();
    ReleaseDrives(table);
    EXPECT_EQ(8u, fake.closed.size());
}

TEST_F(DiscoverLettersTest, AdapterListWayEntersEveryOpticalUnitWithTheLettersHandle) {
    fake.openable = "abcdefghijklmnopqrstuvwxyz";
    lists['z'] = {{0, Inquiry(0x05)}};  // z is not probed on this way
    lists['d'] = {{0x103, Inquiry(0x05, "ACME    A", "A001")}, {0x100, Inquiry(0x00)}, {0x104, Inquiry(0x25)},
                  {0x205, Inquiry(0x05, "ACME    B", "B001")}};
    lists['e'] = {{0x103, Inquiry(0x05, "ACME    A", "A001")}};  // the same drive seen from e
    DiscoverDrives(table, TransportPassThrough, 1);
    EXPECT_EQ("cdefghijklmnopqrstuvwxy", fake.opened);
    ASSERT_EQ(3, table.nCount);
    const struct {
        char letter;
        int hid, tid;
        const char* revision;
    } expected[] = {{'d', 1, 3, "A001"}, {'d', 2, 5, "B001"}, {'e', 1, 3, "A001"}};
    for (int i = 0; i < 3; ++i) {
        const DriveEntry& e = *table.pEntries[i];
        EXPECT_TRUE(e.hDevice == H(expected[i].letter) && e.HID == expected[i].hid && e.TID == expected[i].tid) << i;
        EXPECT_STREQ(expected[i].revision, e.Revision);
        EXPECT_EQ(0x1FFu, e.AlignMask);
    }
    ExpectNoHandleLost();
    fake.closed.clear();
    ReleaseDrives(table);  // d's two entries share one handle: closed once
    EXPECT_EQ((std::vector<HANDLE>{H('d'), H('e')}), fake.closed);
}

TEST_F(DiscoverLettersTest, AdapterListWayLoopingListAndFullTable) {
    fake.openable = "cde";
    alignmentKnown = false;
    loop = true;  // each list's last unit leads back to its first
    lists['c'] = {{0, Inquiry(0x05)}, {1, Inquiry(0x05)}};
    for (int t = 0; t < 9; ++t) lists['d'].push_back({t, Inquiry(0x05)});
    lists['e'] = lists['c'];
    DiscoverDrives(table, TransportPassThrough, 1);
    ASSERT_EQ(8, table.nCount);
    EXPECT_EQ(H('d'), table.pEntries[2]->hDevice);
    EXPECT_EQ(5, table.pEntries[7]->TID);
    EXPECT_EQ(0u, table.pEntries[0]->AlignMask) << "no capabilities: mask stays 0";
    EXPECT_EQ("cd", fake.opened) << "a full table ends the scan";
    ExpectNoHandleLost();
}

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

// Adapters that do not answer SS_COMP are skipped; one that leaves the
// target count at 0 gets targets 0 and 1. A failed or unusable INQUIRY frees
// its slot for the next drive.
TEST_F(DiscoverAspiTest, ProbesTargetsOfReadyAdaptersAndKeepsOpticalDrives) {
    g_adapters = {{SS_COMP, 0x03, 6, {{0, Cdrom("ACME    ZERO")}, {1, {0x00, 0x00, false, "DISK"}},
                                      {2, {DTYPE_CDROM, 0x05, true, "FAILS"}}, {3, {DTYPE_CDROM, 0x25, false, "GONE"}},
                                      {5, Cdrom("ACME    FIVE")}}},
                  {SS_ERR, 0, 8, {{0, Cdrom()}}},
                  {SS_COMP, 0x01, 0, {{1, Cdrom("ACME    ONE")}}}};
    Discover();
    EXPECT_EQ("p00 i00 p01 p02 i02 p03 i03 p04 p05 i05 p20 p21 i21 ", g_log);
    ASSERT_EQ(3, table.nCount);
    const struct {
        int hid, tid;
        std::uint32_t align;
        const char* model;
    } expected[] = {{0, 0, 3, "ACME    ZERO            "}, {0, 5, 3, "ACME    FIVE            "},
                    {2, 1, 1, "ACME    ONE             "}};
    for (int i = 0; i < 3; ++i) {
        const DriveEntry& e = *table.pEntries[i];
        EXPECT_TRUE(!e.hDevice && e.HID == expected[i].hid && e.TID == expected[i].tid && e.AlignMask == expected[i].align) << i;
        EXPECT_STREQ(expected[i].model, e.ModelName);
        EXPECT_STREQ("R1.0", e.Revision);
    }

    ReleaseDrives(table);
    g_log.clear();
    g_supportInfo = 0xE800;  // layer not ready
    Discover();
    EXPECT_EQ("", g_log);
    EXPECT_EQ(0, table.nCount);
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
