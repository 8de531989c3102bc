// The four commands the engine sends to a drive during an upgrade: the pure
// CDB builders, and the engine operations that send them through the
// command seam and trace them into sum.txt.
#include "flash/VendorCommands.h"

#include <cstring>

#include "flash/FlashEngine.h"

Cdb12 MakeVendorBlockCdb() {
    Cdb12 cdb{};
    cdb[0] = kOpVendorBlock;
    cdb[1] = 0x22;
    return cdb;
}

bool MakeWriteBufferCdb(std::uint8_t mode, std::uint32_t offset, std::uint32_t length,
                        Cdb12& cdb) {
    cdb.fill(0);
    if (offset > kMaxField24 || length > kMaxField24) return false;
    cdb[0] = kOpWriteBuffer;
    cdb[1] = mode;
    cdb[2] = 0x00;  // buffer id
    cdb[3] = static_cast<std::uint8_t>(offset >> 16);
    cdb[4] = static_cast<std::uint8_t>(offset >> 8);
    cdb[5] = static_cast<std::uint8_t>(offset);
    cdb[6] = static_cast<std::uint8_t>(length >> 16);
    cdb[7] = static_cast<std::uint8_t>(length >> 8);
    cdb[8] = static_cast<std::uint8_t>(length);
    return true;
}

Cdb12 MakeChunkCdb(std::uint32_t offset) {
    Cdb12 cdb{};
    MakeWriteBufferCdb(kWriteBufferDownloadOffsets, offset, kChunkSize, cdb);
    return cdb;
}

Cdb12 MakeHeaderCdb(std::uint32_t offset) {
    Cdb12 cdb{};
    MakeWriteBufferCdb(kWriteBufferDownloadOffsets, offset, kHeaderSize, cdb);
    return cdb;
}

Cdb12 MakeDownloadSaveCdb() {
    Cdb12 cdb{};
    MakeWriteBufferCdb(kWriteBufferDownloadSave, 0, 0, cdb);
    return cdb;
}

HeaderBlock MakeHeaderBlock(std::uint16_t wSum) {
    HeaderBlock block{};
    block[30] = static_cast<std::uint8_t>(wSum >> 8);
    block[31] = static_cast<std::uint8_t>(wSum);
    return block;
}

// ---------------------------------------------------------------------------
// Engine operations

std::uint16_t CFlashEngine::_total = 0;

bool CFlashEngine::Execute(std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                           const Cdb12& cdb, std::uint8_t* sense) {
    const int result = m_seams.pfnExecuteCmd(Drive, flags, length, data,
                                             static_cast<std::uint8_t>(cdb.size()),
                                             cdb.data(), bUsePassThrough, sense);
    // A drive may complete the transfer and still post a CHECK CONDITION; the
    // whole sense key byte must be clear for the step to count.
    return result == 1 && sense[2] == 0;
}

bool CFlashEngine::fgReadVendorBlock(std::uint8_t* sense) {
    std::uint8_t block[kVendorBlockSize] = {};
    (void)Execute(SRB_DIR_IN, sizeof block, block, MakeVendorBlockCdb(), sense);
    // The drive's answer means nothing to the upgrade; the caller goes on
    // whatever happened.
    return false;
}

bool CFlashEngine::fgWriteOneFlashCmdData(std::uint32_t offset, std::uint8_t* sense) {
    if (byBank >= kBankCount || pBank[byBank] == nullptr ||
        wOffset > kBankSize - kChunkSize) {
        return false;  // no chunk there: nothing to send
    }
    std::uint8_t chunk[kChunkSize];
    const std::uint8_t* src = pBank[byBank] + wOffset;
    std::uint32_t sum = _wSecSum;
    for (std::uint32_t i = 0; i < kChunkSize; ++i) {
        chunk[i] = src[i];
        sum += src[i];
    }
    _wSecSum = static_cast<std::uint16_t>(sum);

    const bool good = Execute(SRB_DIR_OUT, kChunkSize, chunk, MakeChunkCdb(offset), sense);
    _total = static_cast<std::uint16_t>(_total + _wSecSum);
    SumPrintf("Address=%.8X,_wSecSum=%.4X,_total=%.4X\n", static_cast<unsigned>(offset),
              static_cast<unsigned>(_wSecSum), static_cast<unsigned>(_total));
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
