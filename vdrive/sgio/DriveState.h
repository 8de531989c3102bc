// DriveState: what a served drive keeps from one run of mf-vdrived to the
// next, so that a flashed drive reports its new revision when the program
// starts again. One line per drive in "<list>.state":
//   drive <adapter> <target> from=<8 hex> revision=<8 hex> saves=<n>
// `from` is the revision the list declared when the state was written; a
// list whose line now declares another revision has been edited on purpose,
// and its drive starts afresh from the list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vdrive/DriveConfig.h"

namespace vdrive::sgio {

struct DriveState {
    std::uint8_t adapter = 0;
    std::uint8_t target = 0;
    Revision from{};
    Revision revision{};
    std::uint32_t saves = 0;
};

// Reads the state text. A line that cannot be read makes the whole text
// unreadable: `error` names it, and the caller must not overwrite the file.
std::optional<std::vector<DriveState>> ParseDriveState(const std::string& text, std::string& error);
std::string FormatDriveState(const std::vector<DriveState>& states);

}  // namespace vdrive::sgio
