// fgExecuteCmd: sends one SCSI command to one drive on either transport and
// waits for it (Windows). The engine and discovery reach it through
// Platform::ExecuteCmd; ScsiTypes.h has the flag values.
#pragma once

#include "device/ScsiTypes.h"
#include "platform/Platform.h"

// Device calls and ASPI entry points come from `platform`.
int fgExecuteCmd(Platform& platform, const DriveEntry& entry, std::uint8_t flags, std::uint32_t length,
                 std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                 std::uint8_t transport, std::uint8_t* sense);
