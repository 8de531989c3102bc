// Whole runs against a drive that takes every command: hook calls, the
// commands sent, sum.txt, the programming wait, a stop and the
// refusals before the transfer. Every sum is worked out by hand from a fixed
// image.
#include <optional>

#include "FlashTestSupport.h"

using namespace fltest;

namespace {

// 36904 bytes: 4096-byte block k filled with k (k = 0..9), block 9 only 40
// bytes long, the identification and "1.05" over the start of block 0.
//   block 0: identification 1620 + "1.05" 196 = 1816 = 0718h
//   block k (1..8): k * 4096 = k000h
//   block 9 as sent, filled up with FFh: 40 * 9 + 4056 * 255 = C990h (mod 10000h)
//   running sums: 0718 1718 3718 6718 A718 F718 5718 C718 4718 10A8, whose
//   sum, the process's _total at the end, is D080h
//   check sum over the 1 MB buffer: 10A8h + (100000h - A000h) * FFh
//                                 = 10A8h - 6000h = B0A8h (mod 10000h)
std::string Image() {
    std::string image(36904, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i / 4096);
    return image.replace(0, 28, kDriveId + "1.05");
}
const std::string kHead = "Model Name : VENDORX CDROM DRIVE 52X (0) HID : 1 TID : 3 Ver.: 1.05\n";
const std::string kTerminated = "ERR: terminate upgrade/backup flash!";

using FlashProcedure = FlashTest;

// An abort seen after the save is only noted; a sum.txt that cannot be
// written changes nothing that is sent. (Refused chunks: the drive-behaviour
// fuzz target and the end-to-end runs; the commands' bytes and the ASPI
// transport: the same target and the end-to-end record and saved image.)
TEST_F(FlashProcedure, SuccessfulRuns) {
    const struct { const char* what; bool abortAtEnd; const char* sumDir; } cases[] = {
        {"clean", false, ""}, {"abort after the save", true, ""}, {"sum.txt in a missing folder", false, "no-such-folder"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        g_terminateAtCall = c.abortAtEnd ? 11 : 0;  // 10 chunks, then the final question
        const std::string end = "Address=00009020,_wSecSum=10A8,_total=D080\nFinished : fgWriteOneFlashCmdData()\n"
                                "sSendBuf[30]=10   sSendBuf[31]=A8\nFinished : fgWriteHeader()\n"
                                "I will in fgTestUnitReadyComplete()\n" + std::string(c.abortAtEnd ? "2: CBIfTerminated()\n" : "");
        WriteFile(Path("fw"), Image());
        Run(Job(false), c.sumDir);

        std::vector<std::string> events = {"Message:Check Sum : B0A8", "Status:Updating.....", "Progress:0",
                                           "Message:Please wait a minute....."};
        for (int i = 0; i < 10; ++i) events.insert(events.end(), {"Progress:5", "Progress:10"});
        for (int p : {15, 20, 23, 26, 29, 32, 35, 38, 41, 44, 47, 50, 53, 56, 59, 62, 65, 68, 90})
            events.push_back("Progress:" + std::to_string(p));
        events.insert(events.end(), {"DriveName:", "Revision:"});
        if (c.abortAtEnd) events.push_back("Message:" + kTerminated);
        events.insert(events.end(), {"Progress:100", "Message:" + kRestart, "Status:"});
        EXPECT_EQ(g_events, events);
        const std::string sum = ReadFile(Path("sum.txt"));
        EXPECT_TRUE(*c.sumDir ? sum.empty() : sum.starts_with(kHead + "Address=00000020,_wSecSum=0718,_total=0718\n") &&
                                                   sum.ends_with(end)) << sum;
        EXPECT_EQ(sent.size(), 13u);

        std::vector<std::uint32_t> waits(18, 5000);
        waits.push_back(1000);
        EXPECT_EQ(platform.sleeps, waits);
        EXPECT_TRUE(platform.imageLocks == 1 && platform.imageUnlocks == (c.abortAtEnd ? 0 : 1))
            << platform.imageLocks << " locks, " << platform.imageUnlocks << " unlocks";
    }
}

// ".hex" images are checked over the segments they announce and sent in
// whole segments, bounded by the buffer's end. Over whole segments of FFh
// fill only what is not FFh moves the sum, so the check sum and the header's
// sum agree: the identification, 1620, against its 24 bytes of fill is
// 1620 - 24 * 255 = EE6Ch; with 4 bytes of 00h more, 1620 - 28 * 255 = EA70h;
// with 233 more, 1620 - 257 * 255 = 1620 - FFFFh = 655h (all mod 10000h).
TEST_F(FlashProcedure, HexImagesAreCheckedAndSentBySegment) {
    const std::string id = HexRecord(0, 0, ToBytes(kDriveId)), idAt100 = HexRecord(0, 0x100, ToBytes(kDriveId)),
                      zerosAtTop = HexRecord(0, 0xFFFC, Bytes(4, 0)), ee6c = "sSendBuf[30]=EE   sSendBuf[31]=6C",
                      ea70 = "sSendBuf[30]=EA   sSendBuf[31]=70";
    const struct { const char* what; std::string file, checkSum, header; std::size_t chunks; unsigned last; } cases[] = {
        {"id and 233 bytes of 00h", id + HexRecord(0, 0x100, Bytes(233, 0)) + kEndRecord, "655",
         "sSendBuf[30]=6   sSendBuf[31]=55", 16, 0x0F020},
        {"data ending on a segment's last byte", idAt100 + kSegmentRecord + zerosAtTop + kEndRecord, "EA70", ea70, 48,
         0x2F020},
        {"more segment records than the buffer has", idAt100 + Repeat(kSegmentRecord, 16) + kEndRecord, "EE6C", ee6c,
         16, 0x0F020},
        {"id ending the buffer", Repeat(kSegmentRecord, 15) + HexRecord(0, 0xFFE8, ToBytes(kDriveId)) + kEndRecord, "EE6C", ee6c, 256, 0xFF020},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        WriteFile(Path("fw"), c.file);
        Run(Job(true));
        EXPECT_EQ(Messages(), (std::vector<std::string>{"Check Sum : " + c.checkSum, "Please wait a minute.....", kRestart}));
        EXPECT_NE(ReadFile(Path("sum.txt")).find("\n" + c.header + "\n"), std::string::npos);
        ASSERT_EQ(sent.size(), c.chunks + 3);
        const auto& last = sent[c.chunks];
        EXPECT_EQ(last[3] << 16 | last[4] << 8 | last[5], static_cast<int>(c.last)) << "offset of the last chunk";
    }
}

// A stop asked for during the transfer ends it before the next chunk, with
// no wait; the process's _total goes on from run to run.
TEST_F(FlashProcedure, StopDuringTheTransfer) {
    const std::string traces[] = {
        kHead + "Address=00000020,_wSecSum=0718,_total=0718\nAddress=00001020,_wSecSum=1718,_total=1E30\n",
        kHead + "Address=00000020,_wSecSum=0718,_total=2548\nAddress=00001020,_wSecSum=1718,_total=3C60\n"};
    WriteFile(Path("fw"), Image());
    for (const std::string& trace : traces) {
        Reset(&trace != traces);
        g_terminateAtCall = 3;
        Run(Job(false));
        EXPECT_EQ(Messages(), (std::vector<std::string>{"Check Sum : B0A8", "Please wait a minute.....", kTerminated, kIncorrect}));
        EXPECT_EQ(ReadFile(Path("sum.txt")), trace + "CBIfTerminated failed!!\n");
        EXPECT_TRUE(platform.sleeps.empty());
    }
}

// An image that cannot be loaded, or is not made for this drive, is refused
// before anything but the vendor command reaches the drive, with each
// failure reported once; sum.txt is not touched.
TEST_F(FlashProcedure, RefusalsBeforeTheTransfer) {
    using Log = std::vector<std::string>;
    const Log e6 = {"ERR: input file format mismatched!", kIncorrect}, wrong = {"It is an incorrect firmware version!", kIncorrect},
              unreadable = {"ERR: fail to read input file!", kIncorrect}, noMemory = {"ERR: fail to allocate memory!", kIncorrect},
              missing = {"ERR: fail to open output file!", unreadable[0], kIncorrect};
    const std::string upTo1M = Repeat(kSegmentRecord, 15);
    // file: none when there is no such file; abortAt: the call of CBIfTerminated that answers 1 (4: after the
    // colon and two digits).
    const struct { const char* what; bool hex; std::optional<std::string> file; Log log; bool failAlloc = false;
                   int abortAt = 0; } cases[] = {
        {"hex: missing", true, std::nullopt, missing},
        {"bin: empty", false, "", unreadable},
        {"bin: no buffer", false, "x", noMemory, true},
        {"hex: no buffer", true, kEndRecord, noMemory, true},
        {"hex: non-digit", true, ":0G000000\r\n", e6},
        // G read as 0 would make the record's sum right (F4h): the digit itself must refuse it.
        {"hex: non-digit in a whole record", true, ":04000000010G0304F4\n" + kEndRecord, e6},
        {"hex: abort while reading", true, HexRecord(0, 0, {1, 2, 3}) + kEndRecord, {kTerminated, kIncorrect}, false, 4},
        {"hex: abort while looking for the colon", true, "xyz", {kTerminated, kIncorrect}, false, 3},
        {"hex: abort inside the data", true, HexRecord(0, 0, {1, 2, 3}) + kEndRecord, {kTerminated, kIncorrect}, false, 12},
        {"hex: type 04", true, HexRecord(4, 0, {0x00, 0x01}) + kEndRecord, e6},
        // Each data byte makes a record sum of 0 with the header alone, as if it were the checksum.
        {"hex: end record with data", true, HexRecord(1, 0, {0xFE}), e6},
        {"hex: segment record with data", true, HexRecord(0x55, 0, {0xAA}) + kEndRecord, e6},
        {"hex: data after 16 segment records", true, upTo1M + kSegmentRecord + HexRecord(0, 0, {1}) + kEndRecord, e6},
        {"hex: data running past 1 MB", true, upTo1M + HexRecord(0, 0xFFF8, Bytes(16, 0x5A)) + kEndRecord, e6},
        {"hex: shortened id", true, HexRecord(0, 0, ToBytes(kDriveId.substr(0, 23))) + kEndRecord, wrong},
        {"bin: no id", false, "1.05" + std::string(100, 'x'), wrong},
        {"bin: no revision", false, kDriveId + "2.05", wrong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        platform.failImageAlloc = c.failAlloc;
        g_terminateAtCall = c.abortAt;
        std::filesystem::remove(Path("fw"));
        if (c.file) WriteFile(Path("fw"), *c.file);
        Run(Job(c.hex));
        EXPECT_EQ(Messages(), c.log);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0][0], 0x95);
        EXPECT_FALSE(std::filesystem::exists(Path("sum.txt")));
        if (c.abortAt != 0) {
            EXPECT_EQ(g_terminatedCalls, c.abortAt) << "nothing is read or asked after the stop";
        }
    }
}

// WRITE BUFFER fields at their 24-bit limits; beyond them nothing is built.
TEST(CdbBuilders, TwentyFourBitFieldsOrNothing) {
    Cdb12 cdb;
    EXPECT_TRUE(MakeWriteBufferCdb(6, 0xFFFFFF, 0xFFFFFF, cdb));
    EXPECT_EQ(Bytes(cdb.begin(), cdb.end()), (Bytes{0x3B, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}));
    for (std::uint32_t big : {0u, 1u}) {  // offset, then length, one past the limit
        cdb.fill(0xAA);
        EXPECT_FALSE(MakeWriteBufferCdb(6, big ? 0 : 0x1000000, big ? 0x1000000 : 32, cdb));
        EXPECT_EQ(Bytes(cdb.begin(), cdb.end()), Bytes(12, 0));
    }
}
}  // namespace
