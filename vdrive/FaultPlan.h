// FaultPlan: the failures a virtual drive is told to show. Plans combine;
// every builder returns the plan so they chain:
//   FaultPlan().FailChunkAt(32, 5, s).VanishAfter(40)
// The drive consults the plan under its own lock; a plan alone is a plain
// value with no locking.
//
// Order in which a command meets the plan (first match wins):
//   1. vanished (command number > VanishAfter): transport failure;
//   2. FailCommand for this command number;
//   2a. LoseAnswer for this command number: the command is carried out as
//      below, but its answer never reaches the initiator;
//   3. the drive's own NOT READY window after a save;
//   4. the per-command faults: INQUIRY, header (mode-6 write at offset
//      0), chunk at an offset (counted down only when it fires), save.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "vdrive/Result.h"

namespace vdrive {

class FaultPlan {
public:
    static constexpr std::uint32_t kAlways = 0xFFFFFFFFu;

    // Command number n (1-based, counting every command the drive has
    // received since it was built) ends in CHECK CONDITION with `s`.
    FaultPlan& FailCommand(std::uint64_t n, Sense s);
    // The mode-6 write to buffer offset `offset` fails `times` times (kAlways:
    // every time), then is accepted.
    FaultPlan& FailChunkAt(std::uint32_t offset, std::uint32_t times, Sense s);
    FaultPlan& FailInquiry(Sense s = sense::kInternalTargetFailure);
    FaultPlan& FailHeader(Sense s = sense::kInternalTargetFailure);
    FaultPlan& FailSave(Sense s = sense::kInternalTargetFailure);
    // Commands 1..n are served; from command n+1 on the drive is gone.
    FaultPlan& VanishAfter(std::uint64_t n);
    // The drive is gone from the first mode-6 write to buffer offset
    // `offset` on, whatever number that command has: part way through a
    // transfer however many commands earlier runs sent.
    FaultPlan& VanishAtChunk(std::uint32_t offset);
    // Command number n is carried out (a chunk is stored, a save programs),
    // but its answer is lost on the way back: the initiator sees a transport
    // failure and gets no data.
    FaultPlan& LoseAnswer(std::uint64_t n);
    // The 95h vendor block answer carries `length` bytes instead of 32: a
    // shorter one ends early, a longer one (zeros after the block) is more
    // than the initiator asks for and is cut to its allocation.
    FaultPlan& VendorAnswerLength(std::uint32_t length);

    // Command `commandNumber` is a mode-6 write to `offset`: the drive goes
    // at it if the plan says so.
    void NoteChunk(std::uint32_t offset, std::uint64_t commandNumber);
    bool IsVanished(std::uint64_t commandNumber) const;
    std::optional<Sense> CommandFault(std::uint64_t commandNumber) const;
    bool IsAnswerLost(std::uint64_t commandNumber) const;
    std::optional<std::uint32_t> VendorAnswer() const { return m_vendorLength; }
    std::optional<Sense> InquiryFault() const { return m_inquiry; }
    std::optional<Sense> HeaderFault() const { return m_header; }
    std::optional<Sense> SaveFault() const { return m_save; }
    // Fires and counts down the first armed chunk fault for `offset`.
    std::optional<Sense> TakeChunkFault(std::uint32_t offset);

private:
    struct NthFault {
        std::uint64_t n;
        Sense s;
    };
    struct ChunkFault {
        std::uint32_t offset;
        std::uint32_t remaining;
        Sense s;
    };

    std::vector<NthFault> m_nth;
    std::vector<std::uint64_t> m_lost;
    std::vector<ChunkFault> m_chunks;
    std::optional<Sense> m_inquiry;
    std::optional<Sense> m_header;
    std::optional<Sense> m_save;
    std::optional<std::uint64_t> m_vanishAfter;
    std::optional<std::uint32_t> m_vanishAtChunk;
    std::optional<std::uint32_t> m_vendorLength;
};

}  // namespace vdrive
