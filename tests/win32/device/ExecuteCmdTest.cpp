// fgExecuteCmd on both transports. Pass-through against a fake
// DeviceIoControl: the request record byte for byte, the bounce buffer, data
// and sense copies. ASPI against fake SendASPI32Command entry points: one
// that finishes at once, one that finishes later from its own thread
// through the completion event.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "DeviceCallsFake.h"
#include "device/AspiLibrary.h"
#include "device/ExecuteCmd.h"
#include "device/PassThroughDefs.h"

namespace {

constexpr std::uint8_t kCdb[12] = {0x3B, 0x06, 0x00, 0x01, 0x02, 0x03, 0x00, 0x10, 0x00, 0x00, 0x00, 0x99};

// The drive records the request, answers IN transfers with 0x40, 0x41, ...
// and ends with `status`, plus 24 sense bytes 0x70, 0x71, ... when not GOOD.
class ExecutePassThroughTest : public ::testing::Test {
protected:
    ExecutePassThroughTest() {
        fake.control = [this](const DeviceCallsFake::Call& call) {
            auto* record = static_cast<PassThroughRecord*>(call.in);
            sent = *record;
            auto* buffer = static_cast<std::uint8_t*>(record->Spt.DataBuffer);
            sentData.assign(buffer, buffer + record->Spt.DataTransferLength);
            for (std::uint32_t i = 0; record->Spt.DataIn == 1 && i < record->Spt.DataTransferLength; ++i) buffer[i] = 0x40 + i;
            record->Spt.ScsiStatus = status;
            for (int i = 0; status != 0 && i < 24; ++i) reinterpret_cast<std::uint8_t*>(record)[48 + i] = 0x70 + i;
            return controlResult;
        };
        entry = {DeviceCallsFake::LetterHandle('e'), 3, 5, 0x7FF, "", ""};
        std::memset(sense, 0xEE, sizeof sense);
    }
    ~ExecutePassThroughTest() override { EXPECT_EQ(fake.allocs - fake.failAlloc, fake.frees) << "bounce buffer kept"; }
    int Run(std::uint8_t flags, std::uint32_t length, std::uint8_t* data, std::uint8_t cdbLength = 12) {
        return fgExecuteCmd(entry, flags, length, data, cdbLength, kCdb, TransportPassThrough, sense);
    }

    DeviceCallsFake fake;
    DriveEntry entry;
    std::uint8_t sense[32];
    std::uint8_t status = 0;
    BOOL controlResult = TRUE;
    PassThroughRecord sent{};
    std::vector<std::uint8_t> sentData;
};

TEST_F(ExecutePassThroughTest, RequestRecordAndDataForEachDirection) {
    const struct {
        std::uint8_t flags, dataIn;
        bool dataOut, dataBack;
    } cases[] = {{SRB_DIR_OUT, 0, true, false}, {SRB_DIR_IN, 1, false, true}, {SRB_DIR_IN | SRB_DIR_OUT, 0, true, true}, {0, 0, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << int(c.flags));
        std::uint8_t data[100];
        for (int i = 0; i < 100; ++i) data[i] = static_cast<std::uint8_t>(i);
        const std::vector<std::uint8_t> before(data, data + 100);
        fake.calls.clear();
        ASSERT_EQ(1, Run(c.flags, sizeof data, data));
        ASSERT_EQ(1u, fake.calls.size());
        const auto& call = fake.calls[0];
        EXPECT_TRUE(call.h == entry.hDevice && call.code == 0x4D014 && call.in == call.out && call.overlappedNull);
        EXPECT_EQ(44u, call.inLength);
        EXPECT_EQ(80u, call.outLength);
        const std::uint8_t head[] = {44, 0, 0, 3, 5, 0, 12, 24, c.dataIn};
        EXPECT_EQ(0, std::memcmp(head, &sent, sizeof head));
        EXPECT_EQ(100u, sent.Spt.DataTransferLength);
        EXPECT_EQ(65535u, sent.Spt.TimeOutValue);
        EXPECT_EQ(48u, sent.Spt.SenseInfoOffset);
        const std::uint8_t cdb16[16] = {0x3B, 0x06, 0x00, 0x01, 0x02, 0x03, 0x00, 0x10, 0x00, 0x00, 0x00, 0x99};
        EXPECT_EQ(0, std::memcmp(cdb16, sent.Spt.Cdb, 16));
        const auto* tail = reinterpret_cast<const std::uint8_t*>(&sent) + 44;
        EXPECT_EQ(std::vector<std::uint8_t>(36, 0), std::vector<std::uint8_t>(tail, tail + 36)) << "filler, sense";
        if (c.dataOut) {
            EXPECT_EQ(before, sentData);
        }
        EXPECT_EQ(c.dataIn == 1 ? 0x40 : 0, data[0]);
    }
}

TEST_F(ExecutePassThroughTest, BounceBufferAlignedToTheMask) {
    const struct {
        std::uint32_t mask;
        std::size_t misalign;
    } cases[] = {{0x7FF, 8}, {0x7FF, 1}, {0x7FF, 0}, {0x3, 1}, {0, 5}};
    std::vector<std::uint8_t> storage(600);
    for (const auto& c : cases) {
        entry.AlignMask = c.mask;
        fake.misalign = c.misalign;
        ASSERT_EQ(1, Run(SRB_DIR_OUT, 512, storage.data() + 3));
        const auto raw = reinterpret_cast<std::uintptr_t>(fake.lastBuffer);
        const auto at = reinterpret_cast<std::uintptr_t>(sent.Spt.DataBuffer);
        EXPECT_EQ(0u, at & c.mask) << "mask " << c.mask;
        EXPECT_TRUE(at >= raw && at + 512 <= raw + 512 + c.mask && (c.mask || at == raw)) << "mask " << c.mask;
    }
}

TEST_F(ExecutePassThroughTest, FailureCopiesSenseAndLeavesDataAlone) {
    for (BOOL controlOk : {TRUE, FALSE}) {
        controlResult = controlOk;
        status = 2;  // CHECK CONDITION
        std::uint8_t data[64];
        std::memset(data, 0xAB, sizeof data);
        std::memset(sense, 0xEE, sizeof sense);
        EXPECT_EQ(0, Run(SRB_DIR_IN, sizeof data, data));
        for (int i = 0; i < 32; ++i) EXPECT_EQ(i < 24 ? 0x70 + i : 0, sense[i]) << "sense byte " << i;
        EXPECT_EQ(std::vector<std::uint8_t>(64, 0xAB), std::vector<std::uint8_t>(data, data + 64));
    }
    controlResult = TRUE;
    EXPECT_EQ(0, Run(SRB_DIR_IN, 0, nullptr)) << "no data phase: result from ScsiStatus";
    status = 0;
    EXPECT_EQ(1, Run(SRB_DIR_IN, 0, nullptr));
}

// Commands that cannot be carried end with 0 before the platform is asked.
TEST_F(ExecutePassThroughTest, RefusedWithoutDeviceCall) {
    std::uint8_t data[16] = {};
    fake.failAlloc = true;
    EXPECT_EQ(0, Run(SRB_DIR_OUT, sizeof data, data)) << "no bounce buffer";
    EXPECT_EQ(0, Run(SRB_DIR_IN, 0xFFFFF900u, data)) << "length + AlignMask wraps";
    EXPECT_EQ(0, Run(SRB_DIR_IN, sizeof data, data, 17)) << "CDB longer than 16";
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(1, fake.allocs);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(0, sense[i]);
}

SRB_ExecSCSICmd g_seen;
bool g_signalledAtSend;
std::uint32_t g_answer;
std::uint8_t g_finalStatus;
std::thread g_completer;

void Record(SRB_ExecSCSICmd* srb) {
    g_seen = *srb;
    g_signalledAtSend = WaitForSingleObject(static_cast<HANDLE>(srb->SRB_PostProc), 0) == WAIT_OBJECT_0;
    std::memset(srb->SenseArea, 0x5A, sizeof srb->SenseArea);  // must stay inside the request
    if (srb->SRB_BufLen) srb->SRB_BufPointer[0] = 0x30;
}
std::uint32_t ASPI_CALL CompletesAtOnce(void* p) {
    Record(static_cast<SRB_ExecSCSICmd*>(p));
    static_cast<SRB_ExecSCSICmd*>(p)->SRB_Status = g_finalStatus;
    return g_answer;
}
// Finishes 50 ms later, so a caller that does not wait reads SS_PENDING.
std::uint32_t ASPI_CALL CompletesLater(void* p) {
    auto* srb = static_cast<SRB_ExecSCSICmd*>(p);
    Record(srb);
    g_completer = std::thread([srb] {
        Sleep(50);
        srb->SRB_Status = g_finalStatus;
        SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
    });
    return SS_PENDING;
}

class ExecuteAspiTest : public ::testing::Test {
protected:
    ~ExecuteAspiTest() override { SendASPI32Command = nullptr; }
    int Run(std::uint8_t flags, std::uint32_t length, std::uint8_t* data) {
        std::memset(sense, 0xEE, sizeof sense);
        const int result = fgExecuteCmd(entry, flags, length, data, sizeof cdb, cdb, TransportAspi, sense);
        if (g_completer.joinable()) g_completer.join();
        for (int i = 0; i < 16; ++i) EXPECT_EQ(0, sense[i]) << "sense byte " << i;
        return result;
    }
    DriveEntry entry{nullptr, 2, 6, 0x7FF, "", ""};
    std::uint8_t cdb[12] = {0x95, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B};
    std::uint8_t sense[32];
};

TEST_F(ExecuteAspiTest, RequestBlockFields) {
    SendASPI32Command = CompletesAtOnce;
    g_answer = g_finalStatus = SS_COMP;
    for (std::uint8_t flags : {SRB_DIR_IN, SRB_DIR_OUT, std::uint8_t(SRB_DIR_IN | SRB_DIR_OUT)}) {
        std::uint8_t data[40] = {};
        ASSERT_EQ(1, Run(flags, sizeof data, data));
        const std::uint8_t head[] = {SC_EXEC_SCSI_CMD, SS_PENDING, 2, std::uint8_t(flags | SRB_EVENT_NOTIFY), 0, 0, 0, 0, 6, 0};
        EXPECT_EQ(0, std::memcmp(head, &g_seen, sizeof head)) << "flags " << int(flags);
        EXPECT_EQ(40u, g_seen.SRB_BufLen);
        EXPECT_EQ(data, g_seen.SRB_BufPointer);
        EXPECT_EQ(14, g_seen.SRB_SenseLen);
        EXPECT_EQ(12, g_seen.SRB_CDBLen);
        const std::uint8_t cdb16[16] = {0x95, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B};
        EXPECT_EQ(0, std::memcmp(cdb16, g_seen.CDBByte, 16));
        EXPECT_NE(nullptr, g_seen.SRB_PostProc);
        EXPECT_FALSE(g_signalledAtSend);
    }
}

TEST_F(ExecuteAspiTest, ResultComesFromSrbStatus) {
    const struct {
        PFN_SENDASPI32COMMAND send;
        std::uint32_t answer;
        std::uint8_t status;
        int expected;
    } cases[] = {{CompletesAtOnce, SS_COMP, SS_COMP, 1}, {CompletesAtOnce, SS_ERR, SS_ERR, 0},
                 {CompletesAtOnce, SS_COMP, SS_ABORTED, 0}, {CompletesLater, 0, SS_COMP, 1},
                 {CompletesLater, 0, SS_ERR, 0}, {nullptr, 0, SS_COMP, 0}};
    for (const auto& c : cases) {
        SendASPI32Command = c.send;
        g_answer = c.answer;
        g_finalStatus = c.status;
        std::uint8_t data[4] = {};
        EXPECT_EQ(c.expected, Run(SRB_DIR_IN, sizeof data, data))
            << (c.send == CompletesLater ? "pending" : "at once") << ", status " << int(c.status);
    }
}

}  // namespace
