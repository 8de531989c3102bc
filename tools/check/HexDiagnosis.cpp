// The loader's ".hex" rules, read once more to explain a rejection. The
// loader looks at the low seven bits of every character (a colon with its top
// bit set still starts a record), so this reading does too.
#include "HexDiagnosis.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint64_t kSegment = 65536;
constexpr std::uint64_t kBuffer = 1048576;

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02Xh", value & 0xFF);
    return text;
}

class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    HexReading Read() {
        for (;;) {
            while (m_at < m_text.size() && (m_text[m_at] & 0x7F) != ':') ++m_at;
            if (m_at == m_text.size()) return Fail(m_at, "the file ends without an end record (type 01)");
            const std::size_t start = m_at++;
            m_sum = 0;
            int count, high, low, type;
            if (!Byte(count) || !Byte(high) || !Byte(low) || !Byte(type)) return m_result;
            std::uint64_t address = static_cast<std::uint64_t>(high) * 256 + low + m_result.segments * kSegment;
            if (type == 0x00) {
                for (int i = 0; i < count; ++i, ++address) {
                    if (address >= kBuffer) {
                        char text[96];
                        std::snprintf(text, sizeof text, "data at %llXh lies beyond the 1 MB the drive holds",
                                      static_cast<unsigned long long>(address));
                        return Fail(start, text);
                    }
                    int value;
                    if (!Byte(value)) return m_result;
                    m_result.dataEnd = std::max(m_result.dataEnd, static_cast<std::uint32_t>(address + 1));
                }
            } else if (type != 0x01 && type != 0x55) {
                return Fail(start, "record type " + Hex2(type) +
                                       " is not one the format has (00 data, 01 end, 55h next segment)");
            }
            const unsigned expected = (0x100 - m_sum) & 0xFF;
            int found;
            if (!Byte(found)) return m_result;
            if (type != 0x00 && count != 0)
                return Fail(start, std::string(type == 0x01 ? "an end" : "a segment") + " record must hold no data; its count is " +
                                       Hex2(count));
            if ((m_sum & 0xFF) != 0)
                return Fail(start, "bad record checksum: expected " + Hex2(expected) + ", found " + Hex2(found));
            if (type == 0x01) {
                m_result.complete = true;
                return m_result;
            }
            if (type == 0x55) ++m_result.segments;
        }
    }

private:
    // Two hex digits into `value`; adds the byte to the record's sum.
    bool Byte(int& value) {
        value = 0;
        for (int digit = 0; digit < 2; ++digit, ++m_at) {
            if (m_at == m_text.size()) return Fail(m_at, "the file ends inside a record"), false;
            const int c = m_text[m_at] & 0x7F;
            int nibble = -1;
            if (c >= '0' && c <= '9') nibble = c - '0';
            else if (c >= 'A' && c <= 'F') nibble = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f') nibble = c - 'a' + 10;
            if (nibble < 0) {
                const unsigned char raw = static_cast<unsigned char>(m_text[m_at]);
                char text[64];
                if (raw >= 0x20 && raw < 0x7F) std::snprintf(text, sizeof text, "'%c' is not a hex digit", raw);
                else std::snprintf(text, sizeof text, "the byte %02Xh is not a hex digit", raw);
                return Fail(m_at, text), false;
            }
            value = value * 16 + nibble;
        }
        m_sum += static_cast<unsigned>(value);
        return true;
    }

    HexReading Fail(std::size_t at, const std::string& why) {
        m_result.faultLine = 1 + static_cast<int>(std::count(m_text.begin(), m_text.begin() + at, '\n'));
        m_result.fault = why;
        return m_result;
    }

    const std::string& m_text;
    std::size_t m_at = 0;
    unsigned m_sum = 0;
    HexReading m_result;
};

}  // namespace

HexReading ReadHexForDiagnosis(const std::string& text) { return Reader(text).Read(); }
