#include "vdrive/sgio/DriveState.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace vdrive::sgio {
namespace {

bool HexRevision(const std::string& text, Revision& out) {
    if (text.size() != 8) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        unsigned v = 0;
        if (std::sscanf(text.c_str() + 2 * i, "%2x", &v) != 1) return false;
        if (!std::isxdigit(static_cast<unsigned char>(text[2 * i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[2 * i + 1])))
            return false;
        out[i] = static_cast<std::uint8_t>(v);
    }
    return true;
}

std::string Hex(const Revision& r) {
    char text[9];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", r[0], r[1], r[2], r[3]);
    return text;
}

}  // namespace

std::optional<std::vector<DriveState>> ParseDriveState(const std::string& text, std::string& error) {
    std::vector<DriveState> states;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (line.empty()) continue;
        unsigned adapter = 0, target = 0;
        unsigned long saves = 0;
        char from[9] = {}, revision[9] = {};
        int end = 0;
        DriveState s;
        if (std::sscanf(line.c_str(), "drive %u %u from=%8s revision=%8s saves=%lu%n", &adapter, &target, from,
                        revision, &saves, &end) != 5 ||
            static_cast<std::size_t>(end) != line.size() || adapter > 255 || target > 255 || saves > 0xFFFFFFFFul ||
            !HexRevision(from, s.from) || !HexRevision(revision, s.revision)) {
            error = "line " + std::to_string(number) + " cannot be read: " + line.substr(0, 200);
            return std::nullopt;
        }
        s.adapter = static_cast<std::uint8_t>(adapter);
        s.target = static_cast<std::uint8_t>(target);
        s.saves = static_cast<std::uint32_t>(saves);
        states.push_back(s);
    }
    return states;
}

std::string FormatDriveState(const std::vector<DriveState>& states) {
    std::string text;
    for (const DriveState& s : states)
        text += "drive " + std::to_string(s.adapter) + " " + std::to_string(s.target) + " from=" + Hex(s.from) +
                " revision=" + Hex(s.revision) + " saves=" + std::to_string(s.saves) + "\n";
    return text;
}

}  // namespace vdrive::sgio
