// The command descriptor blocks and the header block of the upgrade, built
// from their values alone.
#include "flash/VendorCommands.h"

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
