// CDeviceAccess's commands, DiscoverDrives and ReleaseDrives over the test
// platform's fake pass-through device calls behind drive letters and its
// fake ASPI entry points; LoadAspiLibrary and ReleaseDeviceAccess against
// stand-in layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "TestPlatform.h"
#include "scsi/AspiDefs.h"
#include "device/DriveDiscovery.h"
#include "device/DeviceAccess.h"
#include "scsi/PassThroughDefs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const std::uint8_t kCdb[16] = {0x3B, 0x06, 0x00, 0x01, 0x02, 0x03, 0x00, 0x10, 0x00, 0x00, 0x00, 0x99};  // 12 sent

// The expected pass-through record: everything the test does not name is 0.
PassThroughRecord Record(std::uint8_t path, std::uint8_t target, std::uint8_t cdbLength, std::uint8_t dataIn,
                         std::uint32_t length, std::uint32_t timeout, void* buffer, const std::uint8_t* cdb) {
    PassThroughRecord r;
    std::memset(&r, 0, sizeof r);  // filler and sense area included
    r.Spt.Length = 44, r.Spt.PathId = path, r.Spt.TargetId = target, r.Spt.CdbLength = cdbLength;
    r.Spt.SenseInfoLength = 24, r.Spt.DataIn = dataIn, r.Spt.DataTransferLength = length;
    r.Spt.TimeOutValue = timeout, r.Spt.DataBuffer = buffer, r.Spt.SenseInfoOffset = 48;
    std::memcpy(r.Spt.Cdb, cdb, 16);
    return r;
}

// The drive records the request, answers IN transfers with 0x40, 0x41, ...
// and ends with `status`, plus 24 sense bytes 0x70, 0x71, ... when not GOOD.
class PassThrough : public ::testing::Test {
protected:
    PassThrough() {
        fake.control = [this](const TestPlatform::Call& call) {
            auto* record = static_cast<PassThroughRecord*>(call.in);
            std::memcpy(&sent, record, sizeof sent);
            auto* buffer = static_cast<std::uint8_t*>(record->Spt.DataBuffer);
            sentData.assign(buffer, buffer + record->Spt.DataTransferLength);
            for (std::uint32_t i = 0; record->Spt.DataIn == 1 && i < record->Spt.DataTransferLength; ++i) buffer[i] = 0x40 + i;
            record->Spt.ScsiStatus = status;
            for (int i = 0; status != 0 && i < 24; ++i) record->SenseBuf[i] = 0x70 + i;
            return controlResult;
        };
    }
    ~PassThrough() override { EXPECT_EQ(fake.bounceAllocs - fake.failBounce, fake.bounceFrees) << "bounce buffer kept"; }
    int Run(std::uint8_t flags, std::uint32_t length, std::uint8_t* data, std::uint8_t cdbLength = 12) {
        std::memset(sense, 0xEE, sizeof sense);
        return CDeviceAccess(fake).ExecuteCmd(entry, flags, length, data, cdbLength, kCdb, TransportPassThrough, sense);
    }

    TestPlatform fake;
    DriveEntry entry{TestPlatform::LetterHandle('e'), 3, 5, 0x7FF, "", ""};
    std::uint8_t sense[32], status = 0;
    BOOL controlResult = TRUE;
    PassThroughRecord sent;
    Bytes sentData;
};

// The record for each direction, and the data through a bounce buffer whose
// start meets the drive's alignment mask inside its allocation, wherever the
// allocation lies.
TEST_F(PassThrough, RequestRecordAndDataForEachDirectionThroughAnAlignedBounceBuffer) {
    const struct { std::uint8_t flags, dataIn; std::uint32_t mask; std::size_t misalign; std::uint8_t cdbLength; } cases[] = {
        {SRB_DIR_OUT, 0, 0x7FF, 8, 12}, {SRB_DIR_IN, 1, 0x7FF, 1, 12}, {SRB_DIR_IN | SRB_DIR_OUT, 0, 0x7FF, 0, 12},
        {0, 0, 0x3, 1, 12}, {SRB_DIR_IN, 1, 0, 5, 12}, {SRB_DIR_OUT, 0, 0x7FF, 8, 16}};  // 16: the field's whole size
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << int(c.flags) << ", mask " << c.mask);
        ASSERT_EQ(&c - cases, static_cast<int>(fake.calls.size()));
        entry.AlignMask = c.mask;
        fake.misalign = c.misalign;
        std::uint8_t data[100];
        Bytes before(100), back(100);
        for (int i = 0; i < 100; ++i) data[i] = before[i] = static_cast<std::uint8_t>(i), back[i] = 0x40 + i;
        ASSERT_EQ(1, Run(c.flags, sizeof data, data, c.cdbLength));
        const auto& call = fake.calls.back();
        EXPECT_EQ(entry.hDevice, call.h);
        EXPECT_EQ(0x4D014u, call.code);
        EXPECT_EQ(call.in, call.out);
        EXPECT_TRUE(call.overlappedNull);
        EXPECT_EQ(44u, call.inLength);
        EXPECT_EQ(80u, call.outLength);
        const PassThroughRecord want = Record(3, 5, c.cdbLength, c.dataIn, 100, 65535, sent.Spt.DataBuffer, kCdb);
        EXPECT_EQ(0, std::memcmp(&want, &sent, sizeof want));
        if (c.flags & SRB_DIR_OUT) {
            EXPECT_EQ(before, sentData) << "data sent";
        }
        EXPECT_EQ(c.dataIn ? back : before, Bytes(data, data + 100));
        const auto raw = reinterpret_cast<std::uintptr_t>(fake.lastBounce);
        const auto at = reinterpret_cast<std::uintptr_t>(sent.Spt.DataBuffer);
        EXPECT_EQ(0u, at & c.mask);
        EXPECT_GE(at, raw) << "before the allocation";
        EXPECT_LE(at - raw, c.mask) << "past the room the allocation has for alignment";
    }
}

// A failed command hands back the 24 sense bytes and leaves the data alone;
// one that cannot be carried ends before any device call.
TEST_F(PassThrough, FailureCopiesSenseAndRefusalsSendNothing) {
    status = 2;  // CHECK CONDITION
    for (BOOL controlOk : {TRUE, FALSE}) {
        controlResult = controlOk;
        std::uint8_t data[64];
        std::memset(data, 0xAB, sizeof data);
        EXPECT_EQ(0, Run(SRB_DIR_IN, sizeof data, data));
        for (int i = 0; i < 32; ++i) EXPECT_EQ(i < 24 ? 0x70 + i : 0, sense[i]) << "sense byte " << i;
        EXPECT_EQ(Bytes(64, 0xAB), Bytes(data, data + 64));
    }
    fake.calls.clear();
    fake.failBounce = true;
    std::uint8_t data[16] = {};
    const int allocs = fake.bounceAllocs;
    EXPECT_EQ(0, Run(SRB_DIR_OUT, sizeof data, data)) << "no bounce buffer";
    EXPECT_EQ(0, Run(SRB_DIR_IN, 0xFFFFF900u, data)) << "length + AlignMask wraps";
    EXPECT_EQ(0, Run(SRB_DIR_IN, sizeof data, data, 17)) << "CDB longer than 16";
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(allocs + 1, fake.bounceAllocs);
    EXPECT_EQ(Bytes(16, 0), Bytes(sense, sense + 16));
}

// INQUIRY data: byte 0, the model at 8 and the revision at 32, space-padded.
Bytes Inquiry(std::uint8_t type, const char* rev = "1.00") {
    Bytes b(36, ' ');
    b[0] = type;
    std::memcpy(&b[8], "ACME    CD-ROM", 14);
    std::memcpy(&b[32], rev, 4);
    return b;
}

// The ASPI layer: adapters with their SRB_Status, alignment mask, target
// count and CD-ROM drives from target 0 up. Target 1 of adapter 2 answers
// INQUIRY as a unit that is not connected (25h). A command finishes 50 ms
// late when `g_later`, so that a caller that does not wait reads SS_PENDING.
struct Adapter {
    std::uint8_t status, targets, drives, align = 0;
};
std::vector<Adapter> g_adapters;
std::uint32_t g_supportInfo;
std::string g_probed;  // "<ha><target> " per device type probe
SRB_ExecSCSICmd g_seen;  // the last command as it was sent
std::uint8_t g_finalStatus = SS_COMP;
bool g_later;
std::thread g_completer;

std::uint32_t ASPI_CALL SupportInfo() { return g_supportInfo; }

std::uint32_t ASPI_CALL Send(void* p) {
    auto* h = static_cast<std::uint8_t*>(p);  // SRB_Cmd, SRB_Status, SRB_HaId; the target at 8
    if (h[0] == SC_HA_INQUIRY) {
        auto* srb = static_cast<SRB_HAInquiry*>(p);
        srb->HA_Unique[0] = g_adapters.at(h[2]).align, srb->HA_Unique[3] = g_adapters.at(h[2]).targets;
        return h[1] = g_adapters.at(h[2]).status;
    }
    if (h[0] == SC_GET_DEV_TYPE) {
        g_probed += std::to_string(h[2]) + std::to_string(h[8]) + " ";
        static_cast<SRB_GDEVBlock*>(p)->SRB_DeviceType = DTYPE_CDROM;
        return h[1] = h[8] < g_adapters.at(h[2]).drives ? SS_COMP : SS_NO_DEVICE;
    }
    auto* srb = static_cast<SRB_ExecSCSICmd*>(p);
    g_seen = *srb;
    std::memset(srb->SenseArea, 0x5A, sizeof srb->SenseArea);  // must stay inside the request
    std::memcpy(srb->SRB_BufPointer, Inquiry(h[2] == 2 && h[8] == 1 ? 0x25 : 0x05).data(), 36);
    if (!g_later) return srb->SRB_Status = g_finalStatus;
    g_completer = std::thread([srb] {
        Sleep(50);
        srb->SRB_Status = g_finalStatus;
        SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
    });
    return SS_PENDING;
}

TEST(ExecuteAspi, RequestBlockAndResultFromSrbStatusOnBothPaths) {
    const struct { bool loaded, later; std::uint8_t flags, status; int expected; } cases[] = {
        {true, false, SRB_DIR_IN, SS_COMP, 1}, {true, false, SRB_DIR_OUT, SS_ERR, 0},
        {true, false, SRB_DIR_IN | SRB_DIR_OUT, SS_ABORTED, 0}, {true, true, SRB_DIR_OUT, SS_COMP, 1},
        {true, true, SRB_DIR_IN, SS_ERR, 0}, {false, false, SRB_DIR_IN, SS_COMP, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.later ? "pending" : "at once") << ", status " << int(c.status));
        TestPlatform platform;
        platform.aspiEntryPoints = {{"GetASPI32SupportInfo", TestPlatform::EntryPoint(SupportInfo)},
                                    {"SendASPI32Command", TestPlatform::EntryPoint(Send)}};
        CDeviceAccess device(platform);  // with no layer loaded, nothing can be sent
        if (c.loaded) {
            ASSERT_TRUE(device.LoadAspiLibrary(nullptr, TransportAspi));
        }
        g_later = c.later, g_finalStatus = c.status;
        std::uint8_t data[40] = {}, sense[32];
        std::memset(sense, 0xEE, sizeof sense);
        const DriveEntry entry{nullptr, 2, 6, 0x7FF, "", ""};
        EXPECT_EQ(c.expected, device.ExecuteCmd(entry, c.flags, sizeof data, data, 12, kCdb, TransportAspi, sense));
        if (g_completer.joinable()) g_completer.join();
        EXPECT_TRUE(platform.events.empty()) << "the request's event is left open";
        EXPECT_EQ(Bytes(16, 0), Bytes(sense, sense + 16));
        if (!c.loaded) continue;
        SRB_ExecSCSICmd want;
        std::memset(&want, 0, sizeof want);
        want.SRB_Cmd = SC_EXEC_SCSI_CMD, want.SRB_HaId = 2, want.SRB_Flags = c.flags | SRB_EVENT_NOTIFY;
        want.SRB_Target = 6, want.SRB_BufLen = 40, want.SRB_BufPointer = data, want.SRB_SenseLen = 14;
        want.SRB_CDBLen = 12, want.SRB_PostProc = g_seen.SRB_PostProc;
        std::memcpy(want.CDBByte, kCdb, 16);
        EXPECT_EQ(0, std::memcmp(&want, &g_seen, sizeof want));
        EXPECT_NE(nullptr, g_seen.SRB_PostProc);
    }
}

struct LetterCase {
    const char* name;
    BYTE legacy;
    std::string openable;
    std::map<char, Bytes> answers;  // NT 5: INQUIRY data per letter; none: the call fails
    std::map<char, std::vector<std::pair<int, Bytes>>> lists;  // NT 4: (path << 8 | target, INQUIRY data)
    bool loop, alignmentKnown;  // NT 4: last unit leads back to the first; capabilities answered
    const char* opened;
    const char* entries;  // "<letter><path>:<target>/<revision> " per entry
    std::uint32_t mask;
};

// NT 5's INQUIRY through the pass-through request; NT 4's adapter list (bus 1
// of 2 holds the letter's units, one after the other) and capabilities.
struct Letters : TestPlatform {
    explicit Letters(const LetterCase& c) {
        openable = c.openable;
        control = [this, &c](const Call& call) -> BOOL {
            if (call.code == kIoctlScsiPassThroughDirect) {
                auto* record = static_cast<PassThroughRecord*>(call.in);
                std::memcpy(&sent, record, sizeof sent);
                auto* data = static_cast<std::uint8_t*>(record->Spt.DataBuffer);
                firstByteBefore = data[0];
                const auto it = c.answers.find(LetterOf(call.h));
                if (it != c.answers.end()) std::copy(it->second.begin(), it->second.end(), data);
                return it != c.answers.end() && call.inLength == 80 && call.outLength == 80 && call.in == call.out;
            }
            const std::uint32_t mask = 0x1FF;
            if (call.code == kIoctlScsiGetCapabilities && call.outLength == 24 && c.alignmentKnown)
                return std::memcpy(static_cast<char*>(call.out) + 16, &mask, 4), TRUE;
            const auto it = c.lists.find(LetterOf(call.h));
            if (call.code != kIoctlScsiGetInquiryData || call.outLength != 2048 || it == c.lists.end()) return FALSE;
            auto* b = static_cast<std::uint8_t*>(call.out);
            b[0] = 2, b[16] = 100;
            for (std::uint32_t i = 0, at = 100, n = it->second.size(); i < n; ++i, at += 48) {
                const std::uint32_t fields[2] = {36, i + 1 < n ? at + 48 : (c.loop ? 100 : 0)};
                b[at] = it->second[i].first >> 8, b[at + 1] = it->second[i].first & 0xFF;
                std::memcpy(b + at + 4, fields, 8);
                std::memcpy(b + at + 12, it->second[i].second.data(), 36);
            }
            return TRUE;
        };
    }
    PassThroughRecord sent{};
    std::uint8_t firstByteBefore = 0;
};

// Runs a scan and answers its entries, each as `describe` puts it and a
// space, after the checks every scan owes.
template <class Describe>
std::string Scan(CDeviceAccess& device, TestPlatform& platform, BYTE transport, BYTE legacy, Describe describe) {
    DriveTable table{{}, -1};
    DiscoverDrives(device, table, transport, legacy);
    EXPECT_LE(table.nCount, kMaxDrives) << "written past the table";
    EXPECT_EQ(table.nCount, platform.entryAllocs - platform.entryFrees) << "an entry kept outside the table";
    std::string entries;
    for (int i = 0; i < std::min(table.nCount, kMaxDrives); ++i) {
        EXPECT_STREQ("ACME    CD-ROM          ", table.pEntries[i]->ModelName);
        entries += describe(*table.pEntries[i]) + " ";
    }
    ReleaseDrives(platform, table);
    EXPECT_EQ(platform.entryAllocs, platform.entryFrees) << "an entry outlives the release";
    EXPECT_EQ(0, table.nCount);
    return entries;
}

TEST(DiscoverLetters, BothNtWaysFindOpticalDrivesAndCloseEachHandleOnce) {
    const std::string all = "abcdefghijklmnopqrstuvwxyz";
    const Bytes five = Inquiry(0x05);
    const LetterCase cases[] = {
        {"NT 5 probes c..z", 0, all, {{'c', Inquiry(0x00)}, {'z', Inquiry(0x05, "Z001")}}, {}, false, true,
         "cdefghijklmnopqrstuvwxyz", "z0:0/Z001 ", 0x7FF},
        // c a disk, e not connected, f fails the call, g sends no data.
        {"NT 5 keeps type 5 and at most eight", 0, "cdefghijklmnop",
         {{'c', Inquiry(0x00)}, {'d', five}, {'e', Inquiry(0x25)}, {'g', Bytes(36, 0xFF)}, {'h', five}, {'i', five},
          {'j', five}, {'k', five}, {'l', five}, {'m', five}, {'n', five}, {'o', five}},
         {}, false, true, "cdefghijklmn", "d0:0/1.00 h0:0/1.00 i0:0/1.00 j0:0/1.00 k0:0/1.00 l0:0/1.00 m0:0/1.00 n0:0/1.00 ",
         0x7FF},
        // d: two drives, a disk, an unconnected unit; e: the first drive again.
        {"NT 4 adapter lists of c..y", 1, all, {},
         {{'d', {{0x103, Inquiry(0x05, "A001")}, {0x100, Inquiry(0x00)}, {0x104, Inquiry(0x25)}, {0x205, Inquiry(0x05, "B001")}}},
          {'e', {{0x103, Inquiry(0x05, "A001")}}}},
         false, true, "cdefghijklmnopqrstuvwxy", "d1:3/A001 d2:5/B001 e1:3/A001 ", 0x1FF},
        {"NT 4 looping lists fill the table; no capabilities", 1, "cde", {},
         {{'c', {{0, five}, {1, five}}}, {'d', std::vector<std::pair<int, Bytes>>(9, {0, five})}, {'e', {{0, five}}}},
         true, false, "cd", "c0:0/1.00 c0:1/1.00 d0:0/1.00 d0:0/1.00 d0:0/1.00 d0:0/1.00 d0:0/1.00 d0:0/1.00 ", 0},
    };
    for (const LetterCase& c : cases) {
        SCOPED_TRACE(c.name);
        Letters fake(c);
        CDeviceAccess device(fake);
        EXPECT_EQ(c.entries, Scan(device, fake, TransportPassThrough, c.legacy, [&c](const DriveEntry& e) {
                      EXPECT_EQ(c.mask, e.AlignMask);
                      return TestPlatform::LetterOf(e.hDevice) + std::to_string(e.HID) + ":" + std::to_string(e.TID) +
                             "/" + e.Revision;
                  }));
        EXPECT_EQ(c.opened, fake.opened);
        for (std::size_t i = 0; i < fake.openArgs.size(); i += 5)
            EXPECT_EQ((std::vector<DWORD>{GENERIC_READ | GENERIC_WRITE, 3, OPEN_EXISTING, 0, 1}),
                      std::vector<DWORD>(fake.openArgs.begin() + i, fake.openArgs.begin() + i + 5));
        for (char letter : fake.opened)  // every handle opened is closed once, by the scan or by the release
            EXPECT_EQ(c.openable.find(letter) != std::string::npos ? 1 : 0,
                      std::count(fake.closed.begin(), fake.closed.end(), TestPlatform::LetterHandle(letter))) << letter;
        if (c.legacy) continue;
        const std::uint8_t inquiry[16] = {0x12, 0, 0, 0, 0x7F, 0};
        const PassThroughRecord want = Record(0, 0, 6, 1, 2048, 2, fake.sent.Spt.DataBuffer, inquiry);
        EXPECT_EQ(0, std::memcmp(&want, &fake.sent, sizeof want));
        EXPECT_EQ(0xFF, fake.firstByteBefore) << "data not prefilled";
    }
}

// Adapters that do not answer SS_COMP are skipped, one that leaves the target
// count at 0 gets targets 0 and 1, a unit that is not connected is left out,
// and a full table ends the scan. Entries are "<ha>:<target>/<align mask>".
TEST(DiscoverAspi, TargetsOfReadyAdaptersUpToAFullTable) {
    const struct { std::uint32_t support; std::vector<Adapter> adapters; const char *probed, *entries; } cases[] = {
        {0x0100, {{SS_ERR, 4, 4}, {SS_COMP, 0, 3, 0x0F}, {SS_COMP, 3, 2}}, "10 11 20 21 22 ", "1:0/15 1:1/15 2:0/0 "},
        {0x0100, {{SS_COMP, 16, 9, 1}}, "00 01 02 03 04 05 06 07 ", "0:0/1 0:1/1 0:2/1 0:3/1 0:4/1 0:5/1 0:6/1 0:7/1 "},
        {0xE800, {{SS_COMP, 16, 9}}, "", ""},  // the layer is not ready
    };
    for (const auto& c : cases) {
        TestPlatform platform;
        platform.aspiEntryPoints = {{"GetASPI32SupportInfo", TestPlatform::EntryPoint(SupportInfo)},
                                    {"SendASPI32Command", TestPlatform::EntryPoint(Send)}};
        CDeviceAccess device(platform);
        ASSERT_TRUE(device.LoadAspiLibrary(nullptr, TransportAspi));
        g_adapters = c.adapters, g_later = false, g_finalStatus = SS_COMP;
        g_supportInfo = c.support | static_cast<std::uint32_t>(c.adapters.size());
        g_probed.clear();
        EXPECT_EQ(c.entries, Scan(device, platform, TransportAspi, 0, [](const DriveEntry& e) {
                      EXPECT_EQ(nullptr, e.hDevice);
                      return std::to_string(e.HID) + ":" + std::to_string(e.TID) + "/" + std::to_string(e.AlignMask);
                  }));
        EXPECT_EQ(c.probed, g_probed);
        EXPECT_TRUE(platform.closed.empty());
    }
}

// Wine's wnaspi32 is disabled and there is none here, so WNASPI32 is missing;
// the test platform loads the stand-in aspi_half.dll (no SendASPI32Command)
// or aspi_full.dll (both entry points) in its place.
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
        if (device.HasAspiEntryPoints()) {  // each name reaches its own function: swapped, they would only hang a run
            SRB_HAInquiry srb{};
            EXPECT_EQ(0x0102u, device.GetASPI32SupportInfo());
            EXPECT_EQ(0x04u, device.SendASPI32Command(&srb));
        }
        for (int release = 0; release < 2; ++release) EXPECT_TRUE(device.ReleaseDeviceAccess());
        EXPECT_EQ(nullptr, device.AspiModule());
        EXPECT_FALSE(device.HasAspiEntryPoints()) << "entry points left after the release";
        EXPECT_EQ(nullptr, GetModuleHandleA(dll.c_str()));
    }
}

}  // namespace
