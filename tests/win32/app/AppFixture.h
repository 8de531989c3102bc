// A machine for the main dialog to start on: a temporary working directory and,
// through the test platform, virtual drives behind drive letters; and the
// means to drive a dialog from a second thread as a user would.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "app/FlashDlg.h"
#include "vdrive/VirtualDrive.h"

std::string WindowText(HWND hWnd);
// Pumps this thread's messages until done() or the timeout; true if done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Returns once the dialog's thread has handled what was posted to it so far,
// and what handling that posted in turn.
void Settle(HWND hDlg);
// Runs `dlg` modally on this thread and `script` on a second one once it
// shows. Answers the dialog's result.
INT_PTR RunModal(CDialog& dlg, const std::function<void(HWND)>& script);
// Answers a pass-through request from the drive behind its letter; false: no answer.
BOOL PassThroughToDrive(vdrive::VirtualDrive& drive, const TestPlatform::Call& call);
// Runs the main dialog modally on this thread and `script` on a second one
// once the dialog shows. When the script returns and the dialog still
// exists, "Close" is enabled and pressed. Answers the dialog's result.
INT_PTR RunMainDialog(Platform& platform, const std::function<void(HWND)>& script);
// A template's control as created: id, text (null: not compared), place and
// size in dialog units (a combo box shows its closed height and a bitmap its
// own size: only their places count), and style bits it must have.
struct TemplateControl {
    int id;
    const char* text;
    int x, y, cx, cy;
    bool sized = true;
    DWORD style = 0, exStyle = 0;
};
// Checks the dialog's client size and its children, in creation order.
void ExpectTemplate(HWND hDlg, int cx, int cy, const std::vector<TemplateControl>& controls);
// The visible top-level window of `threadId` other than `except`, or null
// when none shows within five seconds.
HWND WaitForWindow(DWORD threadId, HWND except = nullptr);

class AppFixture : public ::testing::Test {
protected:
    AppFixture();
    ~AppFixture() override;

    // A virtual optical drive behind a drive letter (c..z).
    vdrive::VirtualDrive& AddDrive(char letter, const char* identification24, const char* revision);
    void WriteFile(const std::string& name, const std::string& content);
    // IDString.txt with one row per (model, firmware file), switch "N".
    void WriteList(const std::vector<std::pair<std::string, std::string>>& rows);

    // The main dialog, modeless: its initialisation runs the scan.
    HWND CreateMainDialog();
    std::string Text(int id) const { return WindowText(::GetDlgItem(hDlg, id)); }
    bool Enabled(int id) const { return ::IsWindowEnabled(::GetDlgItem(hDlg, id)) != FALSE; }

    TestPlatform platform;  // the dialog and its worker use it
    std::unique_ptr<CFlashDlg> dlg;
    HWND hDlg = nullptr;
    std::string directory;  // the working directory

private:
    std::string m_oldDir;
    std::vector<std::string> m_files;
    std::map<char, std::unique_ptr<vdrive::VirtualDrive>> m_drives;
};
