// ASPI for Win32 request blocks and constants, written from the published
// WNASPI32 interface. Shared by the program (which sends these blocks) and by
// the ASPI layer DLL of the virtual drive (which answers them), so it has no
// platform headers and no process-wide state. Not thread-aware: the blocks are
// plain records owned by whoever sends them.
//
// Layout trap: the published blocks are byte-packed. SRB_ExecSCSICmd happens
// to have every field on its natural boundary, but SRB_HAInquiry and
// SRB_GDEVBlock do not, and a block that is off by one byte makes the ASPI
// layer read the wrong target or write past the block. The static_asserts at
// the bottom pin every offset the program or the layer touches for the 32-bit
// build, the only one that talks to a real ASPI layer.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ASPI_CALL __cdecl
#else
#define ASPI_CALL
#endif

// Commands (SRB_Cmd).
constexpr std::uint8_t SC_HA_INQUIRY = 0x00;
constexpr std::uint8_t SC_GET_DEV_TYPE = 0x01;
constexpr std::uint8_t SC_EXEC_SCSI_CMD = 0x02;

// Request status (SRB_Status and the value SendASPI32Command returns).
constexpr std::uint8_t SS_PENDING = 0x00;
constexpr std::uint8_t SS_COMP = 0x01;
constexpr std::uint8_t SS_ABORTED = 0x02;
constexpr std::uint8_t SS_ERR = 0x04;
constexpr std::uint8_t SS_INVALID_CMD = 0x80;
constexpr std::uint8_t SS_INVALID_HA = 0x81;
constexpr std::uint8_t SS_NO_DEVICE = 0x82;
constexpr std::uint8_t SS_NO_ADAPTERS = 0xE8;

// Request flags (SRB_Flags). The direction values are the ones ScsiTypes.h
// shares with the pass-through transport.
constexpr std::uint8_t SRB_POSTING = 0x01;
constexpr std::uint8_t SRB_ENABLE_RESIDUAL_COUNT = 0x04;
constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;

// Sense bytes the program asks the layer for; the sense area holds two more.
constexpr std::uint8_t SENSE_LEN = 14;

// SCSI peripheral device type of CD/DVD drives.
constexpr std::uint8_t DTYPE_CDROM = 0x05;

#pragma pack(push, 1)

// SC_HA_INQUIRY: what one host adapter is. HA_Unique byte 0 is the low byte of
// the adapter's buffer alignment mask, byte 3 the number of targets it has
// (0 from layers that do not say).
struct SRB_HAInquiry {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t HA_Count;
    std::uint8_t HA_SCSI_ID;
    std::uint8_t HA_ManagerId[16];
    std::uint8_t HA_Identifier[16];
    std::uint8_t HA_Unique[16];
    std::uint16_t HA_Rsvd1;
};

// SC_GET_DEV_TYPE: the peripheral device type at one adapter/target/LUN.
struct SRB_GDEVBlock {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint8_t SRB_DeviceType;
    std::uint8_t SRB_Rsvd1;
};

// SC_EXEC_SCSI_CMD: one CDB with its data phase. With SRB_EVENT_NOTIFY set,
// SRB_PostProc carries an event handle the layer signals on completion.
struct SRB_ExecSCSICmd {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint16_t SRB_Rsvd1;
    std::uint32_t SRB_BufLen;
    std::uint8_t* SRB_BufPointer;
    std::uint8_t SRB_SenseLen;
    std::uint8_t SRB_CDBLen;
    std::uint8_t SRB_HaStat;
    std::uint8_t SRB_TargStat;
    void* SRB_PostProc;
    std::uint8_t SRB_Rsvd2[20];
    std::uint8_t CDBByte[16];
    std::uint8_t SenseArea[SENSE_LEN + 2];
};

#pragma pack(pop)

// The two entry points of the layer.
typedef std::uint32_t(ASPI_CALL* PFN_GETASPI32SUPPORTINFO)(void);
typedef std::uint32_t(ASPI_CALL* PFN_SENDASPI32COMMAND)(void* srb);

// GetASPI32SupportInfo's answer: bits 8-15 status, bits 0-7 adapter count.
constexpr std::uint8_t AspiSupportStatus(std::uint32_t info) { return static_cast<std::uint8_t>(info >> 8); }
constexpr std::uint8_t AspiAdapterCount(std::uint32_t info) { return static_cast<std::uint8_t>(info); }

static_assert(sizeof(SRB_GDEVBlock) == 12);
static_assert(offsetof(SRB_GDEVBlock, SRB_Target) == 8);
static_assert(offsetof(SRB_GDEVBlock, SRB_DeviceType) == 10);
static_assert(sizeof(SRB_HAInquiry) == 60);
static_assert(offsetof(SRB_HAInquiry, HA_Count) == 8);
static_assert(offsetof(SRB_HAInquiry, HA_ManagerId) == 10);
static_assert(offsetof(SRB_HAInquiry, HA_Identifier) == 26);
static_assert(offsetof(SRB_HAInquiry, HA_Unique) == 42);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Hdr_Rsvd) == 4);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Target) == 8);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Lun) == 9);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 20);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 21);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 22);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 23);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Rsvd2) == 28);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48);
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 64);
static_assert(sizeof(SRB_ExecSCSICmd) == 80);
#endif
