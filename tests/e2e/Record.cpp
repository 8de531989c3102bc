#include "Record.h"

#include <cstdio>
#include <sstream>

namespace e2e {

std::string RecordLine::Field(const std::string& name) const {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

std::vector<RecordLine> ReadRecordText(const std::string& text) {
    std::vector<RecordLine> lines;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::istringstream words(raw);
        RecordLine line;
        words >> line.kind;
        std::string word;
        while (words >> word) {
            auto eq = word.find('=');
            if (eq != std::string::npos) line.fields[word.substr(0, eq)] = word.substr(eq + 1);
        }
        if (!line.kind.empty()) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CommandsOf(const std::vector<RecordLine>& record, int ha, int target) {
    std::vector<std::string> out;
    for (const auto& line : record) {
        if (line.kind != "cmd" || line.Field("ha") != std::to_string(ha) ||
            line.Field("target") != std::to_string(target)) {
            continue;
        }
        std::string summary = line.Field("cdb") + " " + line.Field("dir") + " len=" + line.Field("len") +
                              " out=" + line.Field("out") + " fnv=" + line.Field("fnv") + " sum=" +
                              line.Field("sum") + " " + line.Field("result");
        if (!line.Field("sense").empty()) summary += " sense=" + line.Field("sense");
        out.push_back(summary);
    }
    return out;
}

std::vector<const RecordLine*> SavesOf(const std::vector<RecordLine>& record, int ha, int target) {
    std::vector<const RecordLine*> out;
    for (const auto& line : record)
        if (line.kind == "saved" && line.Field("ha") == std::to_string(ha) &&
            line.Field("target") == std::to_string(target))
            out.push_back(&line);
    return out;
}

namespace {

std::string NoData(const std::string& cdb, const std::string& dir, int length, const std::string& result) {
    return cdb + " " + dir + " len=" + std::to_string(length) + " out=0 fnv=811C9DC5 sum=0000 " + result;
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

// WRITE BUFFER mode 6 (download with offsets): offset and length big-endian.
std::string WriteBufferCdb(std::uint32_t offset, std::uint32_t length) {
    return "3B0600" + Hex(offset, 6) + Hex(length, 6) + "000000";
}

}  // namespace

std::string ExpectInquiry() { return NoData("120000002400000000000000", "in", 36, "GOOD"); }

std::string ExpectVendorBlock() { return NoData("952200000000000000000000", "in", 32, "GOOD"); }

std::string ExpectChunk(std::uint32_t offset, const std::uint8_t* data, const std::string& result) {
    return WriteBufferCdb(offset, kChunk) + " out len=4096 out=4096 fnv=" + Hex(Fnv1a(data, kChunk), 8) +
           " sum=" + Hex(Sum16(data, kChunk), 4) + " " + result;
}

std::string ExpectHeader(std::uint16_t sum, const std::string& result) {
    std::uint8_t header[32] = {};
    header[30] = static_cast<std::uint8_t>(sum >> 8);
    header[31] = static_cast<std::uint8_t>(sum);
    return WriteBufferCdb(0, 32) + " out len=32 out=32 fnv=" + Hex(Fnv1a(header, 32), 8) + " sum=" +
           Hex(Sum16(header, 32), 4) + " " + result;
}

std::string ExpectSave(const std::string& result) { return NoData("3B0700000000000000000000", "in", 4096, result); }

}  // namespace e2e
