// The two halves of CDeviceAccess::ExecuteCmd, one per transport. Internal
// to device access; ExecuteCmd has already cleared the sense bytes and
// checked the CDB length when these run.
#pragma once

#include <cstdint>

#include "scsi/DriveEntry.h"
#include "device/DeviceAccess.h"

int ExecutePassThrough(Platform& platform, const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                       std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t* sense);

int ExecuteAspi(CDeviceAccess& device, const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                std::uint8_t cdbLength, const std::uint8_t* cdb);
