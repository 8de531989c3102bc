// The drive list's selection handler. Windows only; dialog thread.
#pragma once

#include <windows.h>

#include "scsi/DriveEntry.h"

// The main dialog's OnDriveSelEndOk: shows in hLabel the Revision of every
// entry whose ModelName equals the combo box's selected text (the last one
// wins), or four spaces when none does or nothing is selected.
void ShowSelectedDriveRevision(HWND hCombo, HWND hLabel, const DriveTable& table);
