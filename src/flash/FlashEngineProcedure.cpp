// fgUpgradeFirmware: the upgrade of one drive, from the opening vendor
// command to the end of the programming wait.
//
// The image goes to the drive's download buffer in 4096-byte chunks at
// buffer offset 32 + image address; a 32-byte header at offset 0 carries the
// 16-bit sum of the image bytes the drive holds; the save command makes the
// drive program its flash, which takes a fixed 91 seconds during which the
// drive must not be disturbed. sum.txt receives a trace of every step.
#include <cstdio>

#include "flash/FlashEngine.h"
#include "flash/ImageScan.h"

namespace {

constexpr int kChunkAttempts = 6;
constexpr int kProgrammingSteps = 17;
constexpr std::uint32_t kProgrammingStepMs = 5000;
constexpr std::uint32_t kSettleMs = 5000;
constexpr std::uint32_t kFinalMs = 1000;

}  // namespace

// The image of a ".hex" file is checked over the segments it announced: the
// first (nSegments + 1) * 64 KB of the buffer, whether or not records wrote
// there. The identification may straddle a bank boundary.
bool CFlashEngine::CheckHexImage() {
    // More segment records than the buffer has segments announce nothing
    // beyond the buffer's end.
    const std::uint32_t banks = nSegments >= kBankCount / 2 - 1 ? kBankCount
                                                                 : 2 * nSegments + 2;
    const auto* id = reinterpret_cast<const std::uint8_t*>(m_Job.szDriveText);
    int matched = 0;
    bool found = false;
    for (std::uint32_t b = 0; b < banks; ++b) {
        wCheckSum = static_cast<std::uint16_t>(wCheckSum + ImageByteSum(pBank[b], kBankSize));
        if (!found) found = ForwardMatch(pBank[b], kBankSize, id, kDriveIdLength, matched);
    }
    return found;
}

bool CFlashEngine::fgUpgradeFirmware() {
    std::uint8_t sense[kSenseBufferSize] = {};
    (void)fgReadVendorBlock(sense);
    // One sense buffer for the whole run: a failure names what the last
    // command left in it.
    return fgLoadAndCheckImage() && fgTransferImage(sense) && fgSaveAndWait(sense);
}

bool CFlashEngine::fgLoadAndCheckImage() {
    wCheckSum = 0;
    dwFileSize = 0;
    dwFileOffset = 0;
    switch (LoadImage()) {
    case kLoadComplete:
    case kLoadBufferFull:
        break;
    case kLoadUnreadable:
        ReportError(kErrReadInputFile);
        return false;
    case kLoadFormatError:
        ReportError(kErrFormatMismatch);
        return false;
    default:  // kLoadNoMemory, kLoadStopped: reported where it happened
        return false;
    }

    wCheckSum = 0;
    bool imageFits;
    if (m_Job.bHexImage != 0) {
        imageFits = CheckHexImage();
    } else {
        wCheckSum = _wSecSum;
        imageFits = bModelFound != 0 && bRevisionFound != 0;
    }
    if (!imageFits) {
        ShowMessage("It is an incorrect firmware version!");
        return false;
    }

    char text[100];
    std::snprintf(text, sizeof text, "Check Sum : %X", static_cast<unsigned>(wCheckSum));
    ShowMessage(text);
    return true;
}

bool CFlashEngine::fgTransferImage(std::uint8_t* sense) {
    ShowStatus("Updating.....");
    SetProgress(0);
    ShowMessage("Please wait a minute.....");

    std::uint32_t sent = 0;     // S: bytes sent
    std::uint32_t address = 0;  // A: image address of the next chunk
    wOffset = 0;
    byBank = 0;
    _wSecSum = 0;

    if (m_Job.bHexImage != 0) {
        // Send whole 64 KB segments: up to the end of the segment the data
        // ends in, plus one more when it ends on a segment's last byte. The
        // buffer's end bounds it; nothing lies beyond.
        dwImageSize = (dwImageSize & ~(kSegmentSize - 1)) + kSegmentSize;
        if (dwImageSize > kImageBufferSize) dwImageSize = kImageBufferSize;
    }

    fpSum = std::fopen(m_szSumPath, "a");
    SumPrintf("Model Name : %.*s HID : %d TID : %d Ver.: %.*s\n",
              static_cast<int>(sizeof m_Job.Drive.ModelName), m_Job.Drive.ModelName, m_Job.Drive.HID,
              m_Job.Drive.TID, static_cast<int>(sizeof m_Job.Drive.Revision), m_Job.Drive.Revision);

    while (sent < dwImageSize) {
        if (IfTerminated() != 0) {
            ReportError(kErrTerminateUpgrade);
            SumPrintf("CBIfTerminated failed!!\n");
            CloseSumFile();
            return false;
        }
        // A chunk sent again replaces the bytes the drive got before, so the
        // header's sum counts it once: each attempt starts from the sum of
        // the chunks already accepted.
        const std::uint16_t sumBefore = _wSecSum;
        bool good = false;
        for (int attempt = 0; attempt < kChunkAttempts && !good; ++attempt) {
            _wSecSum = sumBefore;
            good = fgWriteOneFlashCmdData(address + kHeaderSize, sense);
        }
        if (!good) {
            ReportCommandFailure('A', sense, true);
            return false;
        }
        SetProgress(5);
        address += kChunkSize;
        sent += kChunkSize;
        wOffset = static_cast<std::uint16_t>(wOffset + kChunkSize);
        if (wOffset == kBankSize) {
            wOffset = 0;
            ++byBank;
        }
        SetProgress(10);
    }
    SumPrintf("Finished : fgWriteOneFlashCmdData()\n");

    if (!fgWriteHeader(0, sense)) {
        ReportCommandFailure('B', sense, true);
        return false;
    }
    SumPrintf("Finished : fgWriteHeader()\n");
    SetProgress(15);
    return true;
}

bool CFlashEngine::fgSaveAndWait(std::uint8_t* sense) {
    if (!fgDownloadSave(sense)) {
        ReportCommandFailure('C', sense, false);
        return false;
    }

    // The drive programs its flash now and answers nothing meanwhile.
    for (int i = 0; i < kProgrammingSteps; ++i) {
        SetProgress(20 + 3 * i);
        m_platform.Sleep(kProgrammingStepMs);
    }
    SumPrintf("I will in fgTestUnitReadyComplete()\n");
    m_platform.Sleep(kSettleMs);
    m_platform.Sleep(kFinalMs);
    SetProgress(90);

    // The drive now reports a new revision; what the dialog showed is stale.
    SetDriveName("");
    SetRevision("");

    if (IfTerminated() != 0) {
        // Too late to stop anything: the drive has saved. Noted, not failed.
        ReportError(kErrTerminateUpgrade);
        SumPrintf("2: CBIfTerminated()\n");
    }
    CloseSumFile();
    SetProgress(100);
    return true;
}
