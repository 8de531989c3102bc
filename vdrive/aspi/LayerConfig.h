// LayerConfig: what the ASPI layer serves, read from its drive list text
// (format in README.md): host adapters, the virtual drives at adapter/target
// addresses with their identity and fault plans, and where the record goes.
// Portable and pure; a malformed line never stops the parse, it becomes a
// note and is otherwise ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/DriveConfig.h"

namespace vdrive::aspi {

// When an execute request with a completion event is finished.
enum class Completion {
    Auto,       // WRITE BUFFER (3Bh) and the vendor command 95h later, the rest at once
    Pending,    // always later, from the layer's worker thread
    Immediate,  // always before SendASPI32Command returns
};

struct AdapterConfig {
    std::uint8_t targets = 0;    // HA_Unique byte 3; 0 lets the initiator choose
    std::uint8_t alignLow = 0;   // HA_Unique byte 0: low byte of the alignment mask
    std::string name;            // HA_Identifier, at most 16 characters
};

struct DriveSlotConfig {
    std::uint8_t adapter = 0;
    std::uint8_t target = 0;
    DriveConfig drive;
    Completion completion = Completion::Auto;
    // The file that stands in for the drive's device node when the drive is
    // served to Linux processes (vdrive/sgio), and the drive letter it takes
    // under Wine. The ASPI layer ignores both.
    std::string path;
    char letter = 0;  // 'a'..'z', 0 when none is given
};

struct LayerConfig {
    std::vector<AdapterConfig> adapters;  // adapter number = index
    std::vector<DriveSlotConfig> drives;
    std::string recordPath;               // empty: no record, no saved images
    std::vector<std::string> notes;       // one per ignored line

    const DriveSlotConfig* FindDrive(std::uint8_t adapter, std::uint8_t target) const;
};

// More adapters than this are refused: the program walks adapter numbers
// one by one, and a handful is all a demo needs.
constexpr std::size_t kMaxAdapters = 16;

LayerConfig ParseLayerConfig(std::string_view text);

}  // namespace vdrive::aspi
