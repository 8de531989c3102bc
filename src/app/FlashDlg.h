// CFlashDlg: the main dialog (template 102), the one window of the program.
// It owns the drive table, the compatibility list, the flash job handed to
// the worker and the module handle of the ASPI library.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/CompatList.h"
#include "app/FlashWorker.h"
#include "app/Hooks.h"
#include "app/ProgressPacer.h"
#include "device/DeviceAccess.h"
#include "scsi/DriveEntry.h"
#include "flash/FlashJob.h"
#include "platform/Platform.h"
#include "ui/controls/LabelCtrl.h"
#include "win/Controls.h"
#include "win/Dialog.h"

class CFlashDlg : public CDialog {
public:
    // Every system service the dialog, its scan and its worker use comes from
    // `platform`.
    explicit CFlashDlg(Platform& platform = Platform::Default());
    ~CFlashDlg() override;

    // Attributes
    static std::string GetTargetDriveText();
    static std::string GetRevisionText();
    FlashJob& Job() { return m_Job; }
    // The hook table acting on this dialog's controls.
    UiHooks GetHooks() { return MainDialogHooks(&m_HookTarget); }
    HICON GetAppIcon() const { return m_hIcon; }

    // Where the minimised dialog draws its icon: centred, divisions signed and
    // truncating toward zero.
    static POINT IconPaintOrigin(const RECT& client, int cxIcon, int cyIcon);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Message handlers
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnUpgrade(WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDriveSelEndOk(WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // Frees the bitmap the template's logo control loaded.
    void ReleaseLogo();

    // Device access
    BOOL LoadAspiLibrary();
    BOOL ReleaseDeviceAccess();

    // The Upgrade command's filling of the job: the drive the list names, the
    // defaults and the hook table.
    void PrepareJob();

private:
    // Start-up scan steps.
    void ChooseTransport();
    void ListDrives();
    bool ReadCompatList();  // false when IDString.txt cannot be opened
    void LogCompatList();
    void CheckCompatibility();
    // The Upgrade command after "Close" was disabled; false when it stopped.
    bool StartUpgrade();
    // A line in the log box, written as the hooks write theirs.
    void Log(const char* line) { CBShowMessage(&m_HookTarget, line); }
    // The worker's word on its run: "Upgrade" greyed as it starts, "Close"
    // enabled once it has ended.
    static void OnWorkerRunState(void* pDlg, bool running);

    // While "Close" is disabled an upgrade is under way: nothing may end the dialog.
    bool IsCloseAllowed() const;
    void AddAboutMenuEntry();

    static const MessageEntry<CFlashDlg> s_messageTable[6];
    static std::string s_TargetDriveText;
    static std::string s_RevisionText;

    Platform& m_platform;
    // The ASPI layer, discovery's and the engine's commands, over m_platform.
    CDeviceAccess m_device;
    CEdit m_LogBox;
    CLabelCtrl m_RevisionLabel;
    CComboBox m_DriveList;
    FlashJob m_Job;
    std::uint8_t m_byTransport = 0;
    std::uint8_t m_byLegacyNtScan = 0;
    std::uint8_t m_byModelMatched = 0;
    DriveTable m_Drives;
    std::int32_t m_nCompatRows = 0;
    std::int32_t m_dwShowWarning = 0;
    CompatList m_Compat;
    HICON m_hIcon = nullptr;

    // Where the Upgrade command stands; only Idle accepts a press. Dialog
    // thread only.
    enum class UpgradeState { Idle, InCommand, WorkerStarted };
    UpgradeState m_upgradeState = UpgradeState::Idle;
    // Paces the progress bar's repainting during a transfer.
    CProgressPacer m_ProgressPacer;
    // What the hooks act on, and what the worker is handed.
    CHookTarget m_HookTarget = {};
    FlashWorkerStart m_WorkerStart = {};
};
