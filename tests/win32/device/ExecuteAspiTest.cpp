// fgExecuteCmd on the ASPI transport against fake SendASPI32Command entry
// points: one that finishes at once, one that finishes later from its own
// thread through the completion event.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "device/AspiLibrary.h"
#include "device/ExecuteCmd.h"

namespace {

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
