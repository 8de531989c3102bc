#include "vdrive/FaultPlan.h"

namespace vdrive {

FaultPlan& FaultPlan::FailCommand(std::uint64_t n, Sense s) {
    m_nth.push_back({n, s});
    return *this;
}

FaultPlan& FaultPlan::FailChunkAt(std::uint32_t offset, std::uint32_t times, Sense s) {
    if (times != 0) m_chunks.push_back({offset, times, s});
    return *this;
}

FaultPlan& FaultPlan::FailInquiry(Sense s) {
    m_inquiry = s;
    return *this;
}

FaultPlan& FaultPlan::FailHeader(Sense s) {
    m_header = s;
    return *this;
}

FaultPlan& FaultPlan::FailSave(Sense s) {
    m_save = s;
    return *this;
}

FaultPlan& FaultPlan::VanishAfter(std::uint64_t n) {
    m_vanishAfter = n;
    return *this;
}

FaultPlan& FaultPlan::VanishAtChunk(std::uint32_t offset) {
    m_vanishAtChunk = offset;
    return *this;
}

void FaultPlan::NoteChunk(std::uint32_t offset, std::uint64_t commandNumber) {
    if (m_vanishAtChunk == offset && !IsVanished(commandNumber)) m_vanishAfter = commandNumber - 1;
}

FaultPlan& FaultPlan::LoseAnswer(std::uint64_t n) {
    m_lost.push_back(n);
    return *this;
}

FaultPlan& FaultPlan::VendorAnswerLength(std::uint32_t length) {
    m_vendorLength = length;
    return *this;
}

bool FaultPlan::IsAnswerLost(std::uint64_t commandNumber) const {
    for (const std::uint64_t n : m_lost) {
        if (n == commandNumber) return true;
    }
    return false;
}

bool FaultPlan::IsVanished(std::uint64_t commandNumber) const {
    return m_vanishAfter && commandNumber > *m_vanishAfter;
}

std::optional<Sense> FaultPlan::CommandFault(std::uint64_t commandNumber) const {
    for (const NthFault& f : m_nth) {
        if (f.n == commandNumber) return f.s;
    }
    return std::nullopt;
}

std::optional<Sense> FaultPlan::TakeChunkFault(std::uint32_t offset) {
    for (ChunkFault& f : m_chunks) {
        if (f.offset != offset || f.remaining == 0) continue;
        if (f.remaining != kAlways) --f.remaining;
        return f.s;
    }
    return std::nullopt;
}

}  // namespace vdrive
