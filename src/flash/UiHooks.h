// UiHooks: the hook table through which the engine shows what it does and
// asks whether to stop. The main dialog supplies the bodies; the engine never
// sees a window. Portable.
#pragma once

#include <cstdint>

// Plain functions. Each is handed the table's context, what the hooks act on
// (for the main dialog, its controls), and at most one argument of its own.
typedef void (*PFN_CB_TEXT)(void* context, const char* text);
typedef int (*PFN_CB_GETTEXT)(void* context, char* buffer);  // buffer of at least 50 bytes
typedef int (*PFN_CB_PROGRESS)(void* context, int position);  // answers the previous position
typedef void (*PFN_CB_IDLE)(void* context);
typedef std::uint8_t (*PFN_CB_TERMINATED)(void* context);

// The hook table, in slot order, after the context it hands every hook. One
// value, filled by the dialog and copied whole into the engine.
struct UiHooks {
    void* pContext;
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
