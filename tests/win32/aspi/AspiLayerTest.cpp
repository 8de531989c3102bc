// wnaspi32.dll through its two entry points, as an initiator sees it:
// adapters, device types, command completion (at once and pending), sense
// data, configured faults, and the record left behind.
#include <cstdio>

#include "LayerFixture.h"

namespace {

using aspitest::Lines;
using aspitest::ReadFile;

constexpr char kTwoAdapters[] =
    "adapter 0 targets=4 align=01 name=\"HA ZERO\"\n"
    "adapter 1 targets=0 align=0xFF\n"
    "drive 0 0 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" notready=0\n"
    "drive 0 1 \"DISKCO  \" \"PLAIN DISK\" \"0001\" peripheral=00\n"
    "drive 0 2 \"MARROWFN\" \"NOT CONNECTED\" \"A054\" peripheral=25\n"
    "drive 0 3 \"MARROWFN\" \"NO DEVICE\" \"A054\" peripheral=7F\n"
    "drive 1 0 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" complete=immediate\n";

class AspiLayerTest : public aspitest::LayerFixture {};

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

TEST_F(AspiLayerTest, AdapterInquiryGivesAlignmentAndTargetCount) {
    Load(kTwoAdapters);
    const struct {
        std::uint8_t ha, status, unique0, unique3;
    } cases[] = {{0, SS_COMP, 0x01, 4}, {1, SS_COMP, 0xFF, 0}, {2, SS_INVALID_HA, 0, 0}};
    for (const auto& c : cases) {
        SRB_HAInquiry srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_HA_INQUIRY;
        srb.SRB_HaId = c.ha;
        EXPECT_EQ(c.status, send(&srb)) << "adapter " << int(c.ha);
        EXPECT_EQ(c.status, srb.SRB_Status);
        EXPECT_EQ(2, srb.HA_Count);
        if (c.status != SS_COMP) continue;
        EXPECT_EQ(c.unique0, srb.HA_Unique[0]) << "adapter " << int(c.ha);
        EXPECT_EQ(c.unique3, srb.HA_Unique[3]) << "adapter " << int(c.ha);
        EXPECT_EQ(7, srb.HA_SCSI_ID);
    }
    SRB_HAInquiry srb{};
    srb.SRB_HaId = 0;
    send(&srb);
    EXPECT_EQ(0, std::memcmp(srb.HA_Identifier, "HA ZERO         ", 16));
}

TEST_F(AspiLayerTest, DeviceTypeFollowsThePeripheralByte) {
    Load(kTwoAdapters);
    const struct {
        std::uint8_t ha, target, lun, status, type;
    } cases[] = {
        {0, 0, 0, SS_COMP, 5},         // optical drive
        {0, 1, 0, SS_COMP, 0},         // disk
        {0, 2, 0, SS_COMP, 5},         // qualifier 1: the type alone; INQUIRY tells the rest
        {0, 3, 0, SS_NO_DEVICE, 0},    // qualifier 3: nothing there
        {1, 1, 0, SS_NO_DEVICE, 0},    // empty target
        {0, 0, 1, SS_NO_DEVICE, 0},    // only LUN 0 exists
        {5, 0, 0, SS_INVALID_HA, 0},
    };
    for (const auto& c : cases) {
        SRB_GDEVBlock srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_GET_DEV_TYPE;
        srb.SRB_HaId = c.ha;
        srb.SRB_Target = c.target;
        srb.SRB_Lun = c.lun;
        EXPECT_EQ(c.status, send(&srb)) << int(c.ha) << "/" << int(c.target) << "/" << int(c.lun);
        EXPECT_EQ(c.status, srb.SRB_Status);
        if (c.status == SS_COMP) {
            EXPECT_EQ(c.type, srb.SRB_DeviceType) << int(c.ha) << "/" << int(c.target);
        }
    }
}

TEST_F(AspiLayerTest, InquiryCompletesAtOnceAndSignals) {
    Load(kTwoAdapters);
    std::uint8_t data[36];
    std::memset(data, 0xEE, sizeof data);
    SRB_ExecSCSICmd srb = Exec(0, 2, {0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}, SRB_DIR_IN, data, sizeof data);
    std::uint32_t returned = 0;
    EXPECT_EQ(SS_COMP, SendAndWait(srb, &returned));
    EXPECT_EQ(SS_COMP, returned);
    EXPECT_EQ(0x25, data[0]);
    EXPECT_EQ(0, std::memcmp(data + 8, "MARROWFNNOT CONNECTED   A054", 28));

    // Without an event the answer is the same, and it is final.
    SRB_ExecSCSICmd plain = Exec(0, 0, {0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}, SRB_DIR_IN, data, sizeof data);
    EXPECT_EQ(SS_COMP, send(&plain));
    EXPECT_EQ(SS_COMP, plain.SRB_Status);
    EXPECT_EQ(0x05, data[0]);
}

TEST_F(AspiLayerTest, CompletionRuleDecidesPendingOrImmediate) {
    Load(std::string(kTwoAdapters) + "drive 1 1 \"MARROWFN\" \"CDR-8400 VIRTUAL\" \"A054\" complete=pending\n");
    std::vector<std::uint8_t> bytes(4096, 0x5A);
    std::uint8_t block[32];
    const struct {
        std::uint8_t ha, target;
        bool chunk;  // WRITE BUFFER mode 6, else INQUIRY or 95h
        std::uint8_t opcode;
        std::uint32_t returned;
    } cases[] = {
        {0, 0, true, 0x3B, SS_PENDING},  // auto: WRITE BUFFER pends
        {0, 0, false, 0x95, SS_PENDING}, // auto: the vendor command pends
        {0, 0, false, 0x12, SS_COMP},    // auto: INQUIRY at once
        {1, 0, true, 0x3B, SS_COMP},     // immediate
        {1, 1, false, 0x12, SS_PENDING}, // pending
    };
    for (const auto& c : cases) {
        SRB_ExecSCSICmd srb = c.chunk ? Chunk(c.ha, c.target, 32, bytes)
                                      : Exec(c.ha, c.target, {c.opcode, 0x22, 0, 0, 32, 0, 0, 0, 0, 0, 0, 0},
                                             SRB_DIR_IN, block, sizeof block);
        if (c.opcode == 0x12) srb.CDBByte[1] = 0;
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
    std::memset(&block, 0xEE, sizeof block);
    const struct {
        std::uint8_t senseLen;
        std::size_t written;
    } cases[] = {{SENSE_LEN, 14}, {0, 0}, {200, 16}};
    for (const auto& c : cases) {
        std::memset(&block, 0xEE, sizeof block);
        block.srb = Exec(0, 0, {0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, SRB_DIR_IN, nullptr, 0);  // unknown to the drive
        block.srb.SRB_SenseLen = c.senseLen;
        std::uint32_t returned = 0;
        EXPECT_EQ(SS_ERR, SendAndWait(block.srb, &returned));
        EXPECT_EQ(SS_ERR, returned);
        EXPECT_EQ(2, block.srb.SRB_TargStat);
        EXPECT_EQ(0, block.srb.SRB_HaStat);
        for (std::size_t i = 0; i < sizeof block.srb.SenseArea; ++i) {
            if (i >= c.written) {
                EXPECT_EQ(0, block.srb.SenseArea[i]) << "sense byte " << i << " written, len " << int(c.senseLen);
            }
        }
        if (c.written >= 14) {
            EXPECT_EQ(0x70, block.srb.SenseArea[0]);
            EXPECT_EQ(0x05, block.srb.SenseArea[2]);
            EXPECT_EQ(0x20, block.srb.SenseArea[12]);
        }
        for (std::uint8_t g : block.guard) EXPECT_EQ(0xEE, g) << "written past the request, len " << int(c.senseLen);
    }
}

TEST_F(AspiLayerTest, MalformedRequestsAreRefused) {
    Load(kTwoAdapters);
    std::uint8_t header[8] = {0x05, 0xFF};  // SC_GET_DISK_INFO-style command the layer does not offer
    EXPECT_EQ(SS_INVALID_CMD, send(header));
    EXPECT_EQ(SS_INVALID_CMD, header[1]);

    SRB_ExecSCSICmd longCdb = Exec(0, 0, {0x12}, SRB_DIR_IN, nullptr, 0);
    longCdb.SRB_CDBLen = 17;
    EXPECT_NE(SS_COMP, SendAndWait(longCdb));
    EXPECT_NE(SS_PENDING, longCdb.SRB_Status);

    SRB_ExecSCSICmd empty = Exec(1, 3, {0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}, SRB_DIR_IN, nullptr, 0);
    EXPECT_EQ(SS_NO_DEVICE, SendAndWait(empty));
    SRB_ExecSCSICmd badHa = Exec(9, 0, {0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}, SRB_DIR_IN, nullptr, 0);
    EXPECT_EQ(SS_INVALID_HA, SendAndWait(badHa));
}

TEST_F(AspiLayerTest, ChunkFaultFailsTwiceThenAccepts) {
    Load("adapter 0 targets=2\n"
         "drive 0 1 \"V\" \"P\" \"R\"\n"
         "fault 0 1 chunk offset=4128 times=2 sense=03/0C/00\n");
    std::vector<std::uint8_t> bytes(4096, 1);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        SRB_ExecSCSICmd srb = Chunk(0, 1, 4128, bytes);
        const std::uint8_t status = SendAndWait(srb);
        if (attempt <= 2) {
            EXPECT_EQ(SS_ERR, status) << "attempt " << attempt;
            EXPECT_EQ(0x03, srb.SenseArea[2]);
            EXPECT_EQ(0x0C, srb.SenseArea[12]);
        } else {
            EXPECT_EQ(SS_COMP, status) << "attempt " << attempt;
        }
    }
    // A chunk elsewhere was never affected.
    SRB_ExecSCSICmd other = Chunk(0, 1, 32, bytes);
    EXPECT_EQ(SS_COMP, SendAndWait(other));
}

TEST_F(AspiLayerTest, VanishedDriveStopsAnswering) {
    Load("adapter 0\n"
         "drive 0 0 \"V\" \"P\" \"R\"\n"
         "fault 0 0 vanish after=2\n");
    std::uint8_t data[36];
    for (int n = 1; n <= 3; ++n) {
        SRB_ExecSCSICmd srb = Exec(0, 0, {0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}, SRB_DIR_IN, data, sizeof data);
        const std::uint8_t status = SendAndWait(srb);
        if (n <= 2) {
            EXPECT_EQ(SS_COMP, status) << "command " << n;
        } else {
            EXPECT_NE(SS_COMP, status);
            EXPECT_NE(SS_PENDING, status);
            EXPECT_EQ(0, srb.SRB_TargStat) << "no CHECK CONDITION from a drive that is gone";
        }
    }
    SRB_GDEVBlock dev{};
    dev.SRB_Cmd = SC_GET_DEV_TYPE;
    EXPECT_EQ(SS_NO_DEVICE, send(&dev));
    const auto lines = Lines(ReadFile(RecordPath()));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find("result=TRANSPORT")) << lines.back();
}

}  // namespace
