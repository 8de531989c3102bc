// VDriveExecuteCmd: the program's command-execution signature (that of
// Platform::ExecuteCmd) served by a virtual drive, so that the engine and
// discovery can be run against one. `entry.hDevice` is the
// vdrive::VirtualDrive* to address (HID and TID are ignored); a null handle
// is a drive that does not answer.
//
// It hands back what the program's own transports hand back:
//   - sense[0..15] is zeroed first, on both transports;
//   - GOOD: result 1; data-in bytes are in `data`;
//   - CHECK CONDITION on the pass-through transport (transport != 0): result
//     0, sense[0..23] the drive's sense bytes, sense[24..31] zero;
//   - CHECK CONDITION on ASPI (transport == 0): result 0, sense zero;
//   - no answer (vanished drive, null handle): result 0, sense zero;
//   - on any failure the caller's data buffer is left as it was.
// On the pass-through transport a request with SRB_DIR_OUT set reaches the
// drive as data-out only, as the platform's DATA_OUT request does; ASPI
// passes the flags unchanged. Thread safety: that of VirtualDrive.
#pragma once

#include <cstdint>

#include "scsi/ScsiTypes.h"

int VDriveExecuteCmd(const DriveEntry& entry, std::uint8_t flags, std::uint32_t length,
                     std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                     std::uint8_t transport, std::uint8_t* sense);
