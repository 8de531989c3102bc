// One SCSI command through SendASPI32Command, waiting on an event.
//
// The layer may finish the request before SendASPI32Command returns (it then
// answers the final status instead of SS_PENDING); only a pending request is
// waited for. Sense data stays inside the request: callers of this transport
// judge by the result alone.
#include <cstring>

#include "scsi/AspiDefs.h"
#include "device/ExecuteTransports.h"

int ExecuteAspi(CDeviceAccess& device, const DriveEntry& entry, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                std::uint8_t cdbLength, const std::uint8_t* cdb) {
    if (!device.HasAspiEntryPoints()) {
        return 0;  // the layer is not loaded: nothing to send through
    }
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    std::memcpy(srb.CDBByte, cdb, cdbLength);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = entry.HID;
    srb.SRB_Flags = flags;
    srb.SRB_Target = entry.TID;
    srb.SRB_Lun = 0;
    srb.SRB_BufLen = length;
    srb.SRB_BufPointer = data;
    srb.SRB_SenseLen = SENSE_LEN;
    srb.SRB_CDBLen = cdbLength;

    HANDLE hEvent = device.CreateEventA(TRUE, FALSE);
    if (hEvent == nullptr) {
        return 0;
    }
    srb.SRB_Flags |= SRB_EVENT_NOTIFY;
    srb.SRB_PostProc = hEvent;
    ResetEvent(hEvent);

    if (device.SendASPI32Command(&srb) == SS_PENDING) {
        if (WaitForSingleObject(hEvent, INFINITE) == WAIT_OBJECT_0) {
            ResetEvent(hEvent);
        }
    }
    device.CloseHandle(hEvent);
    return srb.SRB_Status == SS_COMP ? 1 : 0;
}
