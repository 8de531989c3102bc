#include "vdrive/VirtualDrive.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "scsi/ScsiTypes.h"
#include "vdrive/Digest.h"

namespace vdrive {
namespace {

constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpWriteBuffer = 0x3B;
constexpr std::uint8_t kOpVendor = 0x95;
constexpr std::uint8_t kVendorBlockPage = 0x22;
constexpr std::uint8_t kModeDownloadOffsets = 0x06;
constexpr std::uint8_t kModeDownloadSave = 0x07;
constexpr std::uint32_t kVendorBlockLength = 32;

std::uint32_t Field24(const std::array<std::uint8_t, 16>& cdb, std::size_t at) {
    return (std::uint32_t{cdb[at]} << 16) | (std::uint32_t{cdb[at + 1]} << 8) | cdb[at + 2];
}

Outcome OutcomeOf(const Result& r) {
    if (r.transportFailure) return Outcome::TransportFailure;
    return r.status == kStatusGood ? Outcome::Good : Outcome::CheckCondition;
}

}  // namespace

VirtualDrive::VirtualDrive(DriveConfig config)
    : m_config(std::move(config)),
      m_buffer(std::min(m_config.downloadBufferSize, kMaxDownloadBufferSize), 0),
      m_saveCount(m_config.savesBefore) {}

Result VirtualDrive::Execute(const std::uint8_t* cdb, std::uint8_t cdbLength, std::uint8_t dirFlags,
                             std::uint8_t* data, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);

    CommandRecord record;
    record.number = ++m_commandCount;
    record.cdbLength = cdbLength;
    record.dirFlags = dirFlags;
    record.length = length;
    if (cdb != nullptr) std::memcpy(record.cdb.data(), cdb, std::min<std::size_t>(cdbLength, 16));

    Transfer t{};
    if (data != nullptr && (dirFlags & SRB_DIR_IN) != 0) {
        t.in = data;
        t.inCap = length;
    }
    if (data != nullptr && (dirFlags & SRB_DIR_OUT) != 0) {
        t.out = data;
        t.outLen = length;
    }
    record.outBytes = t.outLen;
    record.outFnv = Fnv1a32(t.out, t.outLen);
    record.outSum = Sum16(t.out, t.outLen);

    // A lost answer: the drive does the work, but nothing of the answer,
    // data included, reaches the initiator.
    const bool lost = !m_config.faults.IsVanished(record.number) && m_config.faults.IsAnswerLost(record.number);
    std::vector<std::uint8_t> unseen;
    if (lost && t.in != nullptr) {
        unseen.resize(t.inCap);
        t.in = unseen.data();
    }

    // A missing or empty CDB reads as all zeros: operation code 00h, which
    // this drive does not know.
    Result result = Dispatch(record.number, record.cdb, t);
    if (lost) result = Result::TransportFailure();

    record.outcome = OutcomeOf(result);
    record.sense = result.GetSense();
    record.inBytes = result.dataIn;
    m_log.Add(record);
    return result;
}

Result VirtualDrive::Dispatch(std::uint64_t number, const std::array<std::uint8_t, 16>& cdb, const Transfer& t) {
    if (cdb[0] == kOpWriteBuffer && (cdb[1] & 0x1F) == kModeDownloadOffsets)
        m_config.faults.NoteChunk(Field24(cdb, 3), number);
    if (m_config.faults.IsVanished(number)) return Result::TransportFailure();
    if (auto s = m_config.faults.CommandFault(number)) return Result::CheckCondition(*s);
    // While the saved image is being programmed the drive answers nothing
    // else, INQUIRY included: the program's own discovery must not find a
    // drive that is still busy.
    if (NotReadyLocked()) return Result::CheckCondition(sense::kBecomingReady);
    m_programming = false;

    switch (cdb[0]) {
    case kOpInquiry:
        return Inquiry(cdb, t);
    case kOpVendor:
        return VendorBlock(cdb, t);
    case kOpWriteBuffer:
        switch (cdb[1] & 0x1F) {
        case kModeDownloadOffsets:
            return WriteChunk(cdb, t);
        case kModeDownloadSave:
            // The program sends this with SRB_DIR_IN and 4096 bytes although
            // the CDB asks for none: whatever the direction, nothing moves.
            return Save();
        default:
            return Result::CheckCondition(sense::kInvalidOpcode);
        }
    default:
        return Result::CheckCondition(sense::kInvalidOpcode);
    }
}

Result VirtualDrive::Inquiry(const std::array<std::uint8_t, 16>& cdb, const Transfer& t) {
    if (auto s = m_config.faults.InquiryFault()) return Result::CheckCondition(*s);
    // No vital product data pages; a page code needs EVPD.
    if ((cdb[1] & 0x01) != 0 || cdb[2] != 0) return Result::CheckCondition(sense::kInvalidFieldInCdb);
    const auto answer = m_config.InquiryData();
    const std::uint32_t count = std::min<std::uint32_t>({cdb[4], t.inCap, static_cast<std::uint32_t>(kInquiryLength)});
    if (count != 0) std::memcpy(t.in, answer.data(), count);
    return Result::Good(count);
}

// The 32-byte vendor block: 0-1 additional length (30), 2-5 the current
// revision, 6-9 the download buffer size, 10-11 the number of successful
// saves (stops at FFFFh), 12-31 zero. All numbers most significant byte first.
Result VirtualDrive::VendorBlock(const std::array<std::uint8_t, 16>& cdb, const Transfer& t) {
    if (cdb[1] != kVendorBlockPage) return Result::CheckCondition(sense::kInvalidFieldInCdb);
    std::array<std::uint8_t, kVendorBlockLength> block{};
    block[1] = kVendorBlockLength - 2;
    std::copy(m_config.revision.begin(), m_config.revision.end(), block.begin() + 2);
    const auto size = static_cast<std::uint32_t>(m_buffer.size());
    for (int i = 0; i < 4; ++i) block[6 + i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    const std::uint16_t saves = static_cast<std::uint16_t>(std::min<std::uint32_t>(m_saveCount, 0xFFFF));
    block[10] = static_cast<std::uint8_t>(saves >> 8);
    block[11] = static_cast<std::uint8_t>(saves);
    // A planned answer length stands for a drive that sends less, or more
    // than was asked; the transfer still stops at the initiator's allocation.
    std::vector<std::uint8_t> answer(block.begin(), block.end());
    answer.resize(m_config.faults.VendorAnswer().value_or(kVendorBlockLength), 0);
    const std::uint32_t count = std::min(static_cast<std::uint32_t>(answer.size()), t.inCap);
    if (count != 0) std::memcpy(t.in, answer.data(), count);
    return Result::Good(count);
}

Result VirtualDrive::WriteChunk(const std::array<std::uint8_t, 16>& cdb, const Transfer& t) {
    const std::uint32_t offset = Field24(cdb, 3);
    const std::uint32_t paramLength = Field24(cdb, 6);
    if (offset == 0) {
        if (auto s = m_config.faults.HeaderFault()) return Result::CheckCondition(*s);
    }
    if (auto s = m_config.faults.TakeChunkFault(offset)) return Result::CheckCondition(*s);
    // Only buffer id 0 exists; the data must fit the buffer and the
    // initiator must actually deliver the whole parameter list.
    if (cdb[2] != 0) return Result::CheckCondition(sense::kInvalidFieldInCdb);
    if (std::uint64_t{offset} + paramLength > m_buffer.size()) return Result::CheckCondition(sense::kInvalidFieldInCdb);
    if (t.outLen < paramLength) return Result::CheckCondition(sense::kInvalidFieldInCdb);
    if (paramLength == 0) return Result::Good(0);

    std::memcpy(m_buffer.data() + offset, t.out, paramLength);
    const std::uint32_t end = offset + paramLength;
    m_extent = std::max(m_extent, end);
    if (offset <= 30 && end > 30) m_header30 = true;
    if (offset <= 31 && end > 31) m_header31 = true;
    return Result::Good(0);
}

// The header's bytes 30-31 must carry the 16-bit sum of the image bytes the
// buffer holds: from offset 32 up to the highest offset any accepted mode-6
// write reached. A save without a header or without image bytes is a
// sequence error, not a matching sum of nothing.
Result VirtualDrive::Save() {
    if (auto s = m_config.faults.SaveFault()) return Result::CheckCondition(*s);
    if (!m_header30 || !m_header31 || m_extent <= kHeaderLength) {
        return Result::CheckCondition(sense::kCommandSequenceError);
    }
    const std::uint16_t wanted = static_cast<std::uint16_t>((m_buffer[30] << 8) | m_buffer[31]);
    const std::uint8_t* image = m_buffer.data() + kHeaderLength;
    const std::uint32_t imageLength = m_extent - kHeaderLength;
    if (Sum16(image, imageLength) != wanted) return Result::CheckCondition(sense::kInvalidFieldInParameterList);

    m_saved.assign(image, image + imageLength);
    ++m_saveCount;
    if (m_config.revisionAfterSave) m_config.revision = *m_config.revisionAfterSave;
    // The next download starts from a clean buffer.
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    m_extent = 0;
    m_header30 = m_header31 = false;
    m_programming = true;
    m_readyAt = Now() + m_config.notReadyMs;
    return Result::Good(0);
}

bool VirtualDrive::NotReadyLocked() const {
    return m_programming && Now() < m_readyAt;
}

std::uint64_t VirtualDrive::Now() const {
    if (m_config.clock) return m_config.clock();
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void VirtualDrive::SetFaults(const FaultPlan& plan) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config.faults = plan;
}

CommandLog VirtualDrive::Log() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void VirtualDrive::ClearLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.Clear();
}

std::uint64_t VirtualDrive::CommandCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commandCount;
}

bool VirtualDrive::HasVanished() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_config.faults.IsVanished(m_commandCount + 1);
}

std::vector<std::uint8_t> VirtualDrive::SavedImage() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_saved;
}

std::uint32_t VirtualDrive::SaveCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_saveCount;
}

std::vector<std::uint8_t> VirtualDrive::DownloadBuffer() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_buffer;
}

std::uint32_t VirtualDrive::ImageExtent() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_extent;
}

Revision VirtualDrive::CurrentRevision() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_config.revision;
}

std::array<std::uint8_t, kInquiryLength> VirtualDrive::InquiryData() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_config.InquiryData();
}

bool VirtualDrive::IsNotReady() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return NotReadyLocked();
}

}  // namespace vdrive
