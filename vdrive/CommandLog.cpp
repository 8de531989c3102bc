#include "vdrive/CommandLog.h"

#include <algorithm>

namespace vdrive {
namespace {

std::uint32_t Field24(const std::array<std::uint8_t, 16>& cdb, std::size_t at) {
    return (std::uint32_t{cdb[at]} << 16) | (std::uint32_t{cdb[at + 1]} << 8) | cdb[at + 2];
}

bool IsModeSixWrite(const CommandRecord& r) {
    return r.cdb[0] == 0x3B && (r.cdb[1] & 0x1F) == 0x06;
}

}  // namespace

std::size_t CommandLog::CountOpcode(std::uint8_t opcode) const {
    return static_cast<std::size_t>(std::count_if(m_records.begin(), m_records.end(),
        [opcode](const CommandRecord& r) { return r.Opcode() == opcode; }));
}

std::size_t CommandLog::CountOutcome(Outcome outcome) const {
    return static_cast<std::size_t>(std::count_if(m_records.begin(), m_records.end(),
        [outcome](const CommandRecord& r) { return r.outcome == outcome; }));
}

std::vector<ChunkWrite> CommandLog::Chunks() const {
    std::vector<ChunkWrite> chunks;
    for (const CommandRecord& r : m_records) {
        if (!IsModeSixWrite(r)) continue;
        chunks.push_back({Field24(r.cdb, 3), Field24(r.cdb, 6), r.outFnv, r.outSum, r.outcome, r.sense});
    }
    return chunks;
}

std::vector<ChunkWrite> CommandLog::AcceptedChunks() const {
    std::vector<ChunkWrite> chunks = Chunks();
    std::erase_if(chunks, [](const ChunkWrite& c) { return c.outcome != Outcome::Good; });
    return chunks;
}

}  // namespace vdrive
