// A main dialog created modelessly from template 102 on the test thread, on a
// machine without drives and without IDString.txt.
#pragma once

#include "MachineFixture.h"

class MainDialogFixture : public MachineFixture {
protected:
    void SetUp() override { ASSERT_NE(nullptr, CreateMainDialog()); }
};
