// UiHooks: the hook table through which the engine shows what it does and
// asks whether to stop. The main dialog supplies the bodies. Portable.
#pragma once

#include <cstdint>

// Plain functions taking at most one argument: the engine never sees a window.
typedef void (*PFN_CB_TEXT)(const char* text);
typedef int (*PFN_CB_GETTEXT)(char* buffer);  // buffer of at least 50 bytes
typedef int (*PFN_CB_PROGRESS)(int position);  // answers the previous position
typedef void (*PFN_CB_IDLE)(void);
typedef std::uint8_t (*PFN_CB_TERMINATED)(void);

// The hook table, in slot order. One value, filled by the dialog and copied
// whole into the engine.
struct UiHooks {
    // Never called by the engine; the main dialog's version writes to a
    // control the dialog does not have.
    PFN_CB_TEXT CBSetAuxText;
    PFN_CB_TEXT CBSetRevision;
    PFN_CB_TEXT CBSetDriveName;
    PFN_CB_GETTEXT CBGetDriveName;
    PFN_CB_TEXT CBShowMessage;
    PFN_CB_TEXT CBShowStatus;
    PFN_CB_PROGRESS CBSetProgress;
    PFN_CB_IDLE CBIdle;
    PFN_CB_TERMINATED CBIfTerminated;
};
