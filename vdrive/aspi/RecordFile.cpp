#include "vdrive/aspi/RecordFile.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "scsi/ScsiTypes.h"
#include "vdrive/Digest.h"

namespace vdrive::aspi {
namespace {

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

const char* DirectionName(std::uint8_t flags) {
    const bool in = (flags & SRB_DIR_IN) != 0;
    const bool out = (flags & SRB_DIR_OUT) != 0;
    if (in && out) return "both";
    if (in) return "in";
    if (out) return "out";
    return "none";
}

std::string Address(std::uint8_t adapter, std::uint8_t target) {
    return "ha=" + std::to_string(adapter) + " target=" + std::to_string(target);
}

}  // namespace

std::string FormatCommandLine(std::uint8_t adapter, std::uint8_t target, const CommandRecord& r, bool pending) {
    std::string cdb;
    for (std::size_t i = 0; i < r.cdbLength && i < r.cdb.size(); ++i) cdb += Hex(r.cdb[i], 2);
    if (cdb.empty()) cdb = "-";
    std::string line = "cmd " + Address(adapter, target) + " seq=" + std::to_string(r.number) + " cdb=" + cdb +
                       " dir=" + DirectionName(r.dirFlags) + " len=" + std::to_string(r.length) +
                       " out=" + std::to_string(r.outBytes) + " fnv=" + Hex(r.outFnv, 8) + " sum=" + Hex(r.outSum, 4) +
                       " in=" + std::to_string(r.inBytes) + " via=" + (pending ? "pending" : "immediate");
    switch (r.outcome) {
    case Outcome::Good:
        return line + " result=GOOD";
    case Outcome::CheckCondition:
        return line + " result=CHECK sense=" + Hex(r.sense.key, 2) + "/" + Hex(r.sense.asc, 2) + "/" + Hex(r.sense.ascq, 2);
    case Outcome::TransportFailure:
        break;
    }
    return line + " result=TRANSPORT";
}

std::string FormatSavedLine(std::uint8_t adapter, std::uint8_t target, const std::vector<std::uint8_t>& image,
                            const std::string& fileName) {
    return "saved " + Address(adapter, target) + " bytes=" + std::to_string(image.size()) +
           " fnv=" + Hex(Fnv1a32(image.data(), image.size()), 8) + " sum=" + Hex(Sum16(image.data(), image.size()), 4) +
           " file=" + fileName;
}

std::string SavedImageName(std::uint8_t adapter, std::uint8_t target) {
    return "saved-" + std::to_string(adapter) + "-" + std::to_string(target) + ".bin";
}

RecordFile::RecordFile(const std::string& path) {
    if (path.empty()) return;
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path full = fs::absolute(fs::path(path), ec);
    if (ec) full = fs::path(path);
    m_path = full.string();
    m_folder = full.parent_path().string();
    // "record out/vdrive-record.txt" in a fresh working directory should
    // just work; a folder that cannot be made shows up as a missing record.
    if (!m_folder.empty()) fs::create_directories(full.parent_path(), ec);
}

void RecordFile::Append(const std::string& line) {
    if (!Enabled()) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Opened per line: every line is on disk before the command's caller
    // hears the outcome, and a reader may move or truncate the file freely.
    if (std::FILE* f = std::fopen(m_path.c_str(), "ab")) {
        std::fputs(line.c_str(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

bool RecordFile::WriteBeside(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    if (!Enabled()) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string path = (std::filesystem::path(m_folder) / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace vdrive::aspi
