// A main dialog created modelessly from template 102 on the test thread.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include <windows.h>

#include "app/FlashDlg.h"
#include "app/Hooks.h"

class MainDialogFixture : public ::testing::Test {
protected:
    MainDialogFixture() {
        dlg = std::make_unique<CFlashDlg>();
        hDlg = dlg->Create(nullptr);
    }
    ~MainDialogFixture() override {
        if (::IsWindow(hDlg)) ::DestroyWindow(hDlg);
        dlg.reset();
    }
    void SetUp() override { ASSERT_NE(nullptr, hDlg); }

    std::unique_ptr<CFlashDlg> dlg;
    HWND hDlg = nullptr;
};
