// The confirmation dialog: its texts and their styling. Its answers are the
// dialog layer's, proven on the main dialog's routes and from outside.
#include <windows.h>

#include <functional>

#include "AppFixture.h"
#include "res/resource.h"
#include "ui/WarningDlg.h"

namespace {

const char kDrive[] = "MARROW  CDR-8400 FLASHER (0)";

INT_PTR RunConfirmation(const std::function<void(HWND)>& script) {
    CWarningDlg dlg(kDrive, "A054 ");
    return RunModal(dlg, script);
}

const CLabelCtrl* Label(HWND hDlg, int id) {
    return dynamic_cast<const CLabelCtrl*>(CSubclassedWindow::FromHandle(::GetDlgItem(hDlg, id)));
}

TEST(Confirmation, LabelsCarryTheirTextsFacesAndColours) {
    const COLORREF black = ::GetSysColor(COLOR_WINDOWTEXT), blue = RGB(0, 0, 255);
    const struct { int id; const char* text; LONG height; COLORREF colour; LONG weight; } rows[] = {
        {IDC_WARN_GREETING, "Dear customer,\n \nThank you for choosing this product!", 16, black, FW_NORMAL},
        {IDC_WARN_VERSION_OF, "The current version of your", 16, black, FW_NORMAL},
        {IDC_WARN_DRIVE, kDrive, 12, blue, FW_BOLD},
        {IDC_WARN_FIRMWARE_IS, "firmware is", 16, black, FW_NORMAL},
        {IDC_WARN_REVISION, "A054 ", 12, blue, FW_BOLD},
        {IDC_WARN_TEXT,
         "1. We advise you to close any other programs that may be running on your system before starting this "
         "upgrade program.\n2. Please do not upgrade firmware unless you have been specifically instructed to do "
         "so!\n3. Failed firmware updates may render your drive inoperable.\n4. Marrowfin tools are exclusive to "
         "the single firmware which is not compatible with\n    miltiple F/W versions.\n5. Do not use this "
         "program in any other way than intended.",
         16, black, FW_NORMAL},
        {IDC_WARN_QUESTION, "Are you ready to update your firmware ?", 16, black, FW_NORMAL},
    };
    RunConfirmation([&](HWND hDlg) {
        EXPECT_EQ("Firmware upgrade program", WindowText(hDlg));
        for (const auto& r : rows) {
            SCOPED_TRACE(r.id);
            const CLabelCtrl* label = Label(hDlg, r.id);
            ASSERT_NE(nullptr, label);
            EXPECT_EQ(r.text, label->GetText());
            EXPECT_STREQ("Times New Roman", label->GetLogFont().lfFaceName);
            EXPECT_EQ(r.height, label->GetLogFont().lfHeight);
            EXPECT_EQ(r.weight, label->GetLogFont().lfWeight);
            EXPECT_EQ(r.colour, label->GetForeColor());
        }
        const CLabelCtrl* box = Label(hDlg, IDC_WARN_SUNKEN);
        ASSERT_NE(nullptr, box) << "the sunken box is a label too";
        EXPECT_EQ("", box->GetText());
        EXPECT_STRNE("Times New Roman", box->GetLogFont().lfFaceName) << "the sunken box is not styled";
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace
