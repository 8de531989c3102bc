// Bounded walk over the adapter inquiry data list.
#include "device/AdapterInquiryList.h"

#include <algorithm>
#include <cstring>

AdapterUnitWalker::AdapterUnitWalker(const std::uint8_t* buffer, std::size_t size)
    : m_pBuffer(buffer),
      m_size(std::min(size, kAdapterInquiryBufferSize)),
      m_buses(m_size > 0 ? buffer[0] : 0),
      m_nextBus(0),
      m_dwOffset(0) {}

bool AdapterUnitWalker::Next(AdapterUnit& unit) {
    for (;;) {
        if (m_dwOffset == 0) {
            // This bus is done (or none was started): move to the next bus
            // that has a list. A BusData element beyond the buffer ends the
            // walk, whatever NumberOfBuses claims.
            if (m_nextBus >= m_buses) {
                return false;
            }
            const std::size_t field = kBusDataOffset + m_nextBus * kBusDataSize + kBusDataInquiryOffsetField;
            if (field + 4 > m_size) {
                m_nextBus = m_buses;
                return false;
            }
            m_dwOffset = ReadLe32(m_pBuffer + field);
            ++m_nextBus;
            m_visited.reset();
            continue;
        }

        const std::uint32_t offset = m_dwOffset;
        m_dwOffset = 0;
        if (m_size < kUnitHeaderSize || offset > m_size - kUnitHeaderSize || m_visited.test(offset)) {
            continue;  // header outside the buffer or a loop: this bus's list ends
        }
        m_visited.set(offset);

        const std::uint8_t* p = m_pBuffer + offset;
        unit.PathId = p[0];
        unit.TargetId = p[1];
        unit.Lun = p[2];
        const std::size_t claimed = ReadLe32(p + 4);
        const std::size_t present = m_size - offset - kUnitHeaderSize;
        const std::size_t n = std::min({claimed, present, kInquiryIdentityLength});
        std::memset(unit.InquiryData, 0, sizeof unit.InquiryData);
        std::memcpy(unit.InquiryData, p + kUnitHeaderSize, n);
        m_dwOffset = ReadLe32(p + 8);
        return true;
    }
}
