#include "Firmware.h"

#include <cstdio>

namespace e2e {

Bytes Filler(std::size_t size, std::uint32_t seed) {
    Bytes out(size);
    std::uint32_t x = seed | 1u;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
        if (b == 'A') b = 'B';
    }
    return out;
}

void Put(Bytes& image, std::size_t at, const std::string& text) {
    if (image.size() < at + text.size()) image.resize(at + text.size(), 0xFF);
    for (std::size_t i = 0; i < text.size(); ++i) image[at + i] = static_cast<std::uint8_t>(text[i]);
}

Bytes PadWithFF(const Bytes& image, std::size_t size) {
    Bytes out = image;
    if (out.size() < size) out.resize(size, 0xFF);
    return out;
}

std::string HexRecord(std::uint16_t address, std::uint8_t type, const std::uint8_t* data, std::size_t count) {
    char field[16];
    std::string line = ":";
    unsigned sum = static_cast<unsigned>(count) + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(field, sizeof field, "%02X%04X%02X", static_cast<unsigned>(count), address, type);
    line += field;
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%02X", data[i]);
        line += field;
        sum += data[i];
    }
    std::snprintf(field, sizeof field, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    line += field;
    return line + "\n";
}

std::string IntelHex(const Bytes& image) {
    constexpr std::size_t kRecord = 32;
    std::string text;
    for (std::size_t base = 0; base < image.size(); base += kSegment) {
        if (base != 0) text += ":00000055AB\n";
        for (std::size_t at = base; at < image.size() && at < base + kSegment; at += kRecord) {
            std::size_t count = image.size() - at < kRecord ? image.size() - at : kRecord;
            text += HexRecord(static_cast<std::uint16_t>(at - base), 0x00, image.data() + at, count);
        }
    }
    return text + ":00000001FF\n";
}

std::uint16_t Sum16(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    return static_cast<std::uint16_t>(sum);
}

std::uint32_t Fnv1a(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 0x811C9DC5u;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= data[i];
        hash *= 0x01000193u;
    }
    return hash;
}

}  // namespace e2e
