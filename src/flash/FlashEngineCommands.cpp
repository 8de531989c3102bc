// The engine's four commands: each sent through the Platform to the job's
// drive on the job's transport, the chunks and the header traced into
// sum.txt.
#include <cstring>

#include "scsi/ScsiTypes.h"
#include "flash/FlashEngine.h"
#include "flash/ImageScan.h"

bool CFlashEngine::Execute(std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                           const Cdb12& cdb, std::uint8_t* sense) {
    const int result = m_platform.ExecuteCmd(m_Job.Drive, flags, length, data,
                                             static_cast<std::uint8_t>(cdb.size()),
                                             cdb.data(), m_Job.bUsePassThrough, sense);
    // A drive may complete the transfer and still post a CHECK CONDITION; the
    // whole sense key byte must be clear for the step to count.
    return result == 1 && sense[2] == 0;
}

// Always false: the drive's answer means nothing to the upgrade, and the
// caller goes on whatever happened.
bool CFlashEngine::fgReadVendorBlock(std::uint8_t* sense) {
    std::uint8_t block[kVendorBlockSize] = {};
    (void)Execute(SRB_DIR_IN, sizeof block, block, MakeVendorBlockCdb(), sense);
    return false;
}

bool CFlashEngine::fgWriteOneFlashCmdData(std::uint32_t offset, std::uint8_t* sense) {
    if (byBank >= kBankCount || pBank[byBank] == nullptr ||
        wOffset > kBankSize - kChunkSize) {
        return false;  // no chunk there: nothing to send
    }
    std::uint8_t chunk[kChunkSize];
    std::memcpy(chunk, pBank[byBank] + wOffset, kChunkSize);
    _wSecSum = static_cast<std::uint16_t>(_wSecSum + ImageByteSum(chunk, kChunkSize));

    const bool good = Execute(SRB_DIR_OUT, kChunkSize, chunk, MakeChunkCdb(offset), sense);
    // Every attempt counts in the total, the refused ones too.
    const std::uint16_t total = m_sumTrace.Add(_wSecSum);
    SumPrintf("Address=%.8X,_wSecSum=%.4X,_total=%.4X\n", static_cast<unsigned>(offset),
              static_cast<unsigned>(_wSecSum), static_cast<unsigned>(total));
    return good;
}

bool CFlashEngine::fgWriteHeader(std::uint32_t offset, std::uint8_t* sense) {
    HeaderBlock sSendBuf = MakeHeaderBlock(_wSecSum);
    SumPrintf("sSendBuf[30]=%X   sSendBuf[31]=%X\n", static_cast<unsigned>(sSendBuf[30]),
              static_cast<unsigned>(sSendBuf[31]));
    return Execute(SRB_DIR_OUT, kHeaderSize, sSendBuf.data(), MakeHeaderCdb(offset), sense);
}

bool CFlashEngine::fgDownloadSave(std::uint8_t* sense) {
    // The CDB asks for no data; the 4096-byte data phase is what drives of
    // this family are used to, and whatever comes back is ignored.
    std::uint8_t block[kSaveBlockSize] = {};
    return Execute(SRB_DIR_IN, kSaveBlockSize, block, MakeDownloadSaveCdb(), sense);
}
