// A second reading of a ".hex" image by the loader's own rules, for the
// checker only: where the loader merely rejects a file ("input file format
// mismatched!"), this one says on which line and why, and it measures what
// the "Check Sum" and the header block each add up. Not used by the program.
// Also the one writer of records in that format, for the tests, fuzz targets
// and benchmarks that need an image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct HexReading {
    bool complete = false;      // an end record was reached with no fault before it
    int faultLine = 0;          // 1-based line of the fault, 0 when there is none
    std::string fault;          // why the loader stops there
    std::uint32_t segments = 0; // segment records met before the end or the fault
    std::uint32_t dataEnd = 0;  // one past the highest address a data record wrote
};

// Reads `text`, the whole file, as the loader does: anything up to a colon is
// skipped, a record is count, address, type, data and checksum in hex digits,
// 55h moves on to the next 64 KB segment, data must stay inside 1 MB.
HexReading ReadHexForDiagnosis(const std::string& text);

// One record: count, address, type, data and checksum in upper-case digits,
// ended by CR LF.
inline std::string IntelHexRecord(std::uint8_t type, std::uint16_t address, const std::uint8_t* data = nullptr,
                                  std::size_t count = 0) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string line = ":";
    unsigned sum = 0;
    const auto put = [&](unsigned b) { line += kDigits[b >> 4 & 15], line += kDigits[b & 15], sum += b; };
    put(count & 0xFF), put(address >> 8), put(address & 0xFF), put(type);
    for (std::size_t i = 0; i < count; ++i) put(data[i]);
    put((0x100 - (sum & 0xFF)) & 0xFF);
    return line + "\r\n";
}
