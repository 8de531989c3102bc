// What a whole upgrade must leave in the log box and in sum.txt, worked out
// from the commands a virtual drive received and how it answered each: the
// image's chunks in order, each tried up to six times, then the header, then
// the save; the first refusal ends the run. The behaviour fuzz target and the
// soak both hold their runs to it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "flash/VendorCommands.h"
#include "vdrive/CommandLog.h"
#include "vdrive/Digest.h"

struct ExpectedRun {
    std::vector<std::string> log;  // from "Please wait a minute....." on
    std::string sum;               // sum.txt, from its first line on
    bool saved = false;            // the save was answered good
    std::size_t end = 0;           // one past the run's last command in the drive's record
    const char* broken = nullptr;  // the first way the record leaves the design's sequence
};

inline std::string FormatLine(const char* format, unsigned a, unsigned b, unsigned c = 0) {
    char text[128];
    return std::snprintf(text, sizeof text, format, a, b, c), text;
}

// `next`: the record's first WRITE BUFFER; `sent`: the image as its chunks
// carry it. Only the pass-through road hands the drive's sense to the log;
// the ASPI road and a lost answer show zeros. `total` is the process's
// running sum.txt total, carried on from run to run.
inline ExpectedRun ExpectRun(const std::vector<vdrive::CommandRecord>& records, std::size_t next,
                             const std::vector<std::uint8_t>& sent, bool senseShown, const std::string& model,
                             const std::string& revision, std::uint16_t& total) {
    ExpectedRun e{{"Please wait a minute....."}, "Model Name : " + model + "(0) HID : 0 TID : 0 Ver.: " + revision + "\n"};
    const auto answeredGood = [&](int mode, std::uint32_t offset, std::uint32_t length) {
        if (next == records.size()) return e.broken = "the design's next command reached the drive", false;
        const auto& c = records[next++].cdb;
        if (c[0] != 0x3B || c[1] != mode || std::uint32_t(c[3] << 16 | c[4] << 8 | c[5]) != offset ||
            std::uint32_t(c[6] << 16 | c[7] << 8 | c[8]) != length)
            return e.broken = "it is the design's next command", false;
        return records[next - 1].outcome == vdrive::Outcome::Good;
    };
    const auto fail = [&](char step) {
        const vdrive::CommandRecord& r = records[next - 1];
        const vdrive::Sense s = senseShown && r.outcome == vdrive::Outcome::CheckCondition ? r.sense : vdrive::Sense{};
        e.log.push_back(FormatLine("Execute command error%c!! ", step, 0) + FormatLine("%2X/%2X/%2X", s.key, s.asc, s.ascq));
        e.sum += FormatLine("Execute command error!! %2X/%2X/%2X", s.key, s.asc, s.ascq) + (step == 'C' ? "" : "\n");
    };
    bool good = true;
    std::uint16_t before = 0;
    for (std::uint32_t at = 0; at < sent.size() && good; at += kChunkSize) {
        const std::uint16_t withChunk = static_cast<std::uint16_t>(before + vdrive::Sum16(sent.data() + at, kChunkSize));
        good = false;
        for (int attempt = 0; attempt < 6 && !good && !e.broken; ++attempt) {
            good = answeredGood(6, at + kHeaderSize, kChunkSize), total = static_cast<std::uint16_t>(total + withChunk);
            e.sum += FormatLine("Address=%.8X,_wSecSum=%.4X,_total=%.4X\n", at + kHeaderSize, withChunk, total);
        }
        if (!good && !e.broken) fail('A');
        before = withChunk;
    }
    if (good) {
        e.sum += "Finished : fgWriteOneFlashCmdData()\n" + FormatLine("sSendBuf[30]=%X   sSendBuf[31]=%X\n", before >> 8, before & 0xFF);
        if (!answeredGood(6, 0, kHeaderSize)) {
            if (!e.broken) fail('B');
        } else if (e.sum += "Finished : fgWriteHeader()\n", (e.saved = answeredGood(7, 0, 0))) {
            e.sum += "I will in fgTestUnitReadyComplete()\n";
        } else if (!e.broken) {
            fail('C');
        }
    }
    e.log.push_back(e.saved ? "Please Restart Your Computer." : "Flashing is incorrect!!");
    return e.end = next, e;
}
