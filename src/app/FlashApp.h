// CFlashApp: starts the program, runs the main dialog modally and ends when
// the dialog ends. There is no other window and no message loop of its own.
#pragma once

class CFlashApp {
public:
    CFlashApp() = default;
    virtual ~CFlashApp() = default;
    // Returns false: the program ends when the dialog has ended.
    virtual bool InitInstance();
};
