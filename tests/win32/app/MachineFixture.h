// A machine for the main dialog to start on: a temporary working directory,
// an operating system version of the test's choice, recorded message boxes,
// and virtual drives behind drive letters (through the device-call table).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DeviceCallsFake.h"
#include "app/FlashDlg.h"
#include "vdrive/VirtualDrive.h"

struct RecordedBox {
    std::string text, caption;
    UINT style;
};

class MachineFixture : public ::testing::Test {
protected:
    MachineFixture();
    ~MachineFixture() override;

    // The version GetVersionExA reports: platform 2 (NT) or 1 (9x), major.
    void SetVersion(DWORD platformId, DWORD major);
    // A virtual optical drive behind a drive letter (c..z).
    vdrive::VirtualDrive& AddDrive(char letter, const char* identification24, const char* revision);
    void WriteFile(const std::string& name, const std::string& content);
    std::string Directory() const { return m_dir; }

    // Creates the main dialog modelessly: its initialisation runs the scan.
    HWND CreateMainDialog();
    std::string Text(int id) const;
    std::vector<std::string> LogLines() const;
    std::vector<std::string> ComboItems() const;
    bool Enabled(int id) const { return ::IsWindowEnabled(::GetDlgItem(hDlg, id)) != FALSE; }

public:
    static std::vector<RecordedBox> s_boxes;

protected:
    std::unique_ptr<CFlashDlg> dlg;
    HWND hDlg = nullptr;

private:
    std::string m_dir, m_oldDir;
    DeviceCallsFake m_letters;  // the drive letters; puts the real calls back when done
    std::map<char, std::unique_ptr<vdrive::VirtualDrive>> m_drives;
};
