// wnaspi32.dll through its two entry points, as an initiator sees it:
// adapters, device types, command completion (at once and pending), sense
// data, configured faults, and the record left behind.
#include <cstdio>

#include "LayerFixture.h"

namespace {

using namespace aspitest;

constexpr char kTwoAdapters[] =
    "adapter 0 targets=4 align=01 name=\"HA ZERO\"\n"
    "adapter 1 targets=0 align=0xFF\n"
    "drive 0 0 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" notready=0\n"
    "drive 0 1 \"DISKCO  \" \"PLAIN DISK\" \"0001\" peripheral=00\n"
    "drive 0 2 \"MARROWFN\" \"NOT CONNECTED\" \"A054\" peripheral=25\n"
    "drive 0 3 \"MARROWFN\" \"NO DEVICE\" \"A054\" peripheral=7F\n"
    "drive 1 0 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" complete=immediate\n";

class AspiLayerTest : public LayerFixture {};

TEST_F(AspiLayerTest, SupportInfoCountsAdaptersOrReportsNone) {
    const struct {
        const char* config;  // null: no file at all
        std::uint32_t expected;
    } cases[] = {
        {kTwoAdapters, 0x0102},
        {"# nothing configured\n", 0xE800},
        {"drive 0 0 \"V\" \"P\" \"R\"\n", 0xE800},  // a drive without its adapter is refused
        {nullptr, 0xE800},
    };
    for (const auto& c : cases) {
        if (c.config != nullptr) {
            Load(c.config);
        } else {
            std::remove(ConfigPath().c_str());
            LoadLayer();
        }
        EXPECT_EQ(c.expected, supportInfo()) << (c.config ? c.config : "(no file)");
    }
}

TEST_F(AspiLayerTest, AdapterInquiryAndDeviceTypes) {
    Load(kTwoAdapters);
    const struct { std::uint8_t ha, status, unique0, unique3; } adapters[] = {
        {0, SS_COMP, 0x01, 4}, {1, SS_COMP, 0xFF, 0}, {2, SS_INVALID_HA, 0, 0}};
    for (const auto& c : adapters) {
        SRB_HAInquiry srb{};
        srb.SRB_Cmd = SC_HA_INQUIRY;
        srb.SRB_HaId = c.ha;
        EXPECT_EQ(c.status, send(&srb)) << "adapter " << int(c.ha);
        EXPECT_EQ(c.status, srb.SRB_Status);
        EXPECT_EQ(2, srb.HA_Count);
        if (c.status != SS_COMP) continue;
        EXPECT_EQ(c.unique0, srb.HA_Unique[0]) << "adapter " << int(c.ha);
        EXPECT_EQ(c.unique3, srb.HA_Unique[3]) << "adapter " << int(c.ha);
        EXPECT_EQ(7, srb.HA_SCSI_ID);
        if (c.ha == 0) {
            EXPECT_EQ(0, std::memcmp(srb.HA_Identifier, "HA ZERO         ", 16));
        }
    }
    const struct { std::uint8_t ha, target, lun, status, type; } devices[] = {
        {0, 0, 0, SS_COMP, 5},       // optical drive
        {0, 1, 0, SS_COMP, 0},       // disk
        {0, 2, 0, SS_COMP, 5},       // qualifier 1: the type alone; INQUIRY tells the rest
        {0, 3, 0, SS_NO_DEVICE, 0},  // qualifier 3: nothing there
        {1, 1, 0, SS_NO_DEVICE, 0},  // empty target
        {0, 0, 1, SS_NO_DEVICE, 0},  // only LUN 0 exists
        {5, 0, 0, SS_INVALID_HA, 0},
    };
    for (const auto& c : devices) {
        SRB_GDEVBlock srb{};
        srb.SRB_Cmd = SC_GET_DEV_TYPE;
        srb.SRB_HaId = c.ha;
        srb.SRB_Target = c.target;
        srb.SRB_Lun = c.lun;
        EXPECT_EQ(c.status, send(&srb)) << int(c.ha) << "/" << int(c.target) << "/" << int(c.lun);
        EXPECT_EQ(c.status, srb.SRB_Status);
        EXPECT_EQ(c.type, c.status == SS_COMP ? srb.SRB_DeviceType : 0) << int(c.ha) << "/" << int(c.target);
    }
}

// INQUIRY finishes at once, with or without an event; other commands pend
// or not as the drive's completion rule says.
TEST_F(AspiLayerTest, CompletionRuleDecidesPendingOrImmediate) {
    Load(std::string(kTwoAdapters) + "drive 1 1 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" complete=pending\n");
    std::uint8_t data[36];
    std::memset(data, 0xEE, sizeof data);
    SRB_ExecSCSICmd srb = Inquiry(0, 2, data);
    std::uint32_t returned = 0;
    EXPECT_EQ(SS_COMP, SendAndWait(srb, &returned));
    EXPECT_EQ(SS_COMP, returned);
    EXPECT_EQ(0x25, data[0]);
    EXPECT_EQ(0, std::memcmp(data + 8, "MARROWFNNOT CONNECTED   A054", 28));
    SRB_ExecSCSICmd plain = Inquiry(0, 0, data);
    EXPECT_EQ(SS_COMP, send(&plain));
    EXPECT_EQ(SS_COMP, plain.SRB_Status) << "answered without an event: final";
    EXPECT_EQ(0x05, data[0]);

    Bytes bytes(4096, 0x5A);
    const struct { std::uint8_t ha, target, opcode; std::uint32_t returned; } cases[] = {
        {0, 0, 0x3B, SS_PENDING},  // auto: WRITE BUFFER pends
        {0, 0, 0x95, SS_PENDING},  // auto: the vendor command pends
        {0, 0, 0x12, SS_COMP},     // auto: INQUIRY at once
        {1, 0, 0x3B, SS_COMP},     // immediate
        {1, 1, 0x12, SS_PENDING},  // pending
    };
    for (const auto& c : cases) {
        SRB_ExecSCSICmd srb = c.opcode == 0x3B   ? Chunk(c.ha, c.target, 32, bytes)
                              : c.opcode == 0x12 ? Inquiry(c.ha, c.target, data)
                                                 : Exec(c.ha, c.target, {0x95, 0x22}, SRB_DIR_IN, data, 32);
        std::uint32_t returned = 0xFF;
        EXPECT_EQ(SS_COMP, SendAndWait(srb, &returned)) << "opcode " << std::hex << int(c.opcode);
        EXPECT_EQ(c.returned, returned) << int(c.ha) << "/" << int(c.target) << " opcode " << std::hex << int(c.opcode);
    }
}

TEST_F(AspiLayerTest, CheckConditionGivesErrorAndBoundedSense) {
    Load(kTwoAdapters);
    // The request sits in a larger block so a sense copy past its end shows.
    struct {
        SRB_ExecSCSICmd srb;
        std::uint8_t guard[32];
    } block;
    const struct { std::uint8_t senseLen; std::size_t written; } cases[] = {{SENSE_LEN, 14}, {0, 0}, {200, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "sense length " << int(c.senseLen));
        std::memset(&block, 0xEE, sizeof block);
        block.srb = Exec(0, 0, {0x00}, SRB_DIR_IN, nullptr, 0);  // unknown to the drive
        block.srb.SRB_SenseLen = c.senseLen;
        std::uint32_t returned = 0;
        EXPECT_EQ(SS_ERR, SendAndWait(block.srb, &returned));
        EXPECT_EQ(SS_ERR, returned);
        EXPECT_EQ(2, block.srb.SRB_TargStat);
        EXPECT_EQ(0, block.srb.SRB_HaStat);
        for (std::size_t i = c.written; i < sizeof block.srb.SenseArea; ++i) {
            EXPECT_EQ(0, block.srb.SenseArea[i]) << "sense byte " << i << " written";
        }
        if (c.written >= 14) {
            EXPECT_EQ(0x70, block.srb.SenseArea[0]);
            EXPECT_EQ(0x05, block.srb.SenseArea[2]);
            EXPECT_EQ(0x20, block.srb.SenseArea[12]);
        }
        for (std::uint8_t g : block.guard) EXPECT_EQ(0xEE, g) << "written past the request";
    }
}

TEST_F(AspiLayerTest, MalformedRequestsAreRefused) {
    Load(kTwoAdapters);
    std::uint8_t header[8] = {0x05, 0xFF};  // SC_GET_DISK_INFO-style command the layer does not offer
    EXPECT_EQ(SS_INVALID_CMD, send(header));
    EXPECT_EQ(SS_INVALID_CMD, header[1]);

    SRB_ExecSCSICmd longCdb = Inquiry(0, 0, nullptr);
    longCdb.SRB_CDBLen = 17;
    EXPECT_NE(SS_COMP, SendAndWait(longCdb));
    EXPECT_NE(SS_PENDING, longCdb.SRB_Status);
    SRB_ExecSCSICmd empty = Inquiry(1, 3, nullptr);
    EXPECT_EQ(SS_NO_DEVICE, SendAndWait(empty));
    SRB_ExecSCSICmd badHa = Inquiry(9, 0, nullptr);
    EXPECT_EQ(SS_INVALID_HA, SendAndWait(badHa));
}

// Fault lines reach the drives: a chunk fault fails its offset twice with
// its sense; a vanished drive stops answering, with no CHECK CONDITION, and
// the record says so.
TEST_F(AspiLayerTest, ConfiguredFaultsReachTheDrives) {
    Load("adapter 0 targets=2\n"
         "drive 0 0 \"V\" \"P\" \"R\"\n"
         "drive 0 1 \"V\" \"P\" \"R\"\n"
         "fault 0 1 chunk offset=4128 times=2 sense=03/0C/00\n"
         "fault 0 0 vanish after=2\n");
    Bytes bytes(4096, 1);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        SRB_ExecSCSICmd srb = Chunk(0, 1, 4128, bytes);
        EXPECT_EQ(attempt <= 2 ? SS_ERR : SS_COMP, SendAndWait(srb)) << "attempt " << attempt;
        EXPECT_EQ(attempt <= 2 ? 0x03 : 0, srb.SenseArea[2]);
        EXPECT_EQ(attempt <= 2 ? 0x0C : 0, srb.SenseArea[12]);
    }
    SRB_ExecSCSICmd other = Chunk(0, 1, 32, bytes);
    EXPECT_EQ(SS_COMP, SendAndWait(other)) << "a chunk elsewhere is never affected";

    std::uint8_t data[36];
    for (int n = 1; n <= 3; ++n) {
        SRB_ExecSCSICmd srb = Inquiry(0, 0, data);
        const std::uint8_t status = SendAndWait(srb);
        if (n <= 2) {
            EXPECT_EQ(SS_COMP, status) << "command " << n;
        } else {
            EXPECT_TRUE(status != SS_COMP && status != SS_PENDING) << int(status);
            EXPECT_EQ(0, srb.SRB_TargStat) << "no CHECK CONDITION from a drive that is gone";
        }
    }
    SRB_GDEVBlock dev{};
    dev.SRB_Cmd = SC_GET_DEV_TYPE;
    EXPECT_EQ(SS_NO_DEVICE, send(&dev));
    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find("ha=0 target=0")) << lines.back();
    EXPECT_NE(std::string::npos, lines.back().find("result=TRANSPORT")) << lines.back();
}

}  // namespace
