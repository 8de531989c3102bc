// CommandLog: the ordered record of every command a virtual drive received
// and how it ended, with the queries tests ask most. A plain value; the
// drive hands out copies taken under its lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vdrive/Result.h"

namespace vdrive {

enum class Outcome { Good, CheckCondition, TransportFailure };

struct CommandRecord {
    std::uint64_t number = 0;  // 1-based, in arrival order
    std::array<std::uint8_t, 16> cdb{};  // bytes past cdbLength are zero
    std::uint8_t cdbLength = 0;
    std::uint8_t dirFlags = 0;
    std::uint32_t length = 0;  // transfer length the initiator gave
    // The data the initiator offered to the drive (SRB_DIR_OUT), whatever
    // the drive then did with it.
    std::uint32_t outBytes = 0;
    std::uint32_t outFnv = 0;
    std::uint16_t outSum = 0;
    std::uint32_t inBytes = 0;  // bytes returned to the initiator
    Outcome outcome = Outcome::Good;
    Sense sense;  // meaningful on CheckCondition

    std::uint8_t Opcode() const { return cdb[0]; }
};

// One WRITE BUFFER mode-6 command, accepted or not.
struct ChunkWrite {
    std::uint32_t offset = 0;  // CDB bytes 3-5
    std::uint32_t length = 0;  // parameter list length, CDB bytes 6-8
    std::uint32_t fnv = 0;
    std::uint16_t sum = 0;
    Outcome outcome = Outcome::Good;
    Sense sense;
};

class CommandLog {
public:
    void Add(const CommandRecord& record) { m_records.push_back(record); }
    void Clear() { m_records.clear(); }

    const std::vector<CommandRecord>& Records() const { return m_records; }
    std::size_t Size() const { return m_records.size(); }
    const CommandRecord& operator[](std::size_t i) const { return m_records.at(i); }

    std::size_t CountOpcode(std::uint8_t opcode) const;
    std::size_t CountOutcome(Outcome outcome) const;
    // Every WRITE BUFFER mode-6 command, in order, failed attempts included.
    std::vector<ChunkWrite> Chunks() const;
    // Only the mode-6 commands the drive accepted, in order.
    std::vector<ChunkWrite> AcceptedChunks() const;

private:
    std::vector<CommandRecord> m_records;
};

}  // namespace vdrive
