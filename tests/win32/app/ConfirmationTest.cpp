// The confirmation dialog: its texts and their styling. Its answers are the
// dialog layer's, proven on the main dialog's routes and from outside.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "res/resource.h"
#include "ui/WarningDlg.h"

namespace {

const char kDrive[] = "MARROW  CDR-8400 FLASHER (0)";

INT_PTR RunConfirmation(const std::function<void(HWND)>& script) {
    CWarningDlg dlg(kDrive, "A054 ");
    return RunModal(dlg, script);
}

CLabelCtrl* Label(HWND hDlg, int id) {
    return dynamic_cast<CLabelCtrl*>(CSubclassedWindow::FromHandle(::GetDlgItem(hDlg, id)));
}

// What a label does to the DC it paints on, recorded in a metafile: the fonts
// it selects; and how many pixels of each colour it leaves on a bitmap.
struct Drawn {
    std::vector<LOGFONTW> fonts;
    int inkOf[2] = {};  // pixels of pure black, of pure blue
};
int CALLBACK RecordDrawn(HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM into) {
    auto& d = *reinterpret_cast<Drawn*>(into);
    if (r->iType == EMR_EXTCREATEFONTINDIRECTW)
        d.fonts.push_back(reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(r)->elfw.elfLogFont);
    return 1;
}
Drawn PaintRecorded(CLabelCtrl& label) {
    const HDC screen = ::GetDC(nullptr);
    const HDC emf = ::CreateEnhMetaFileA(screen, nullptr, nullptr, nullptr);
    label.Paint(emf, RECT{0, 0, 400, 120});
    const HENHMETAFILE recorded = ::CloseEnhMetaFile(emf);
    Drawn drawn;
    ::EnumEnhMetaFile(nullptr, recorded, &RecordDrawn, &drawn, nullptr);
    ::DeleteEnhMetaFile(recorded);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 400, -120, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HDC dc = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(dc, bitmap);
    label.Paint(dc, RECT{0, 0, 400, 120});
    ::GdiFlush();
    for (int i = 0; i < 400 * 120; ++i) {
        const std::uint32_t px = static_cast<const std::uint32_t*>(bits)[i] & 0xFFFFFF;  // 0x00RRGGBB
        drawn.inkOf[0] += px == 0, drawn.inkOf[1] += px == 0x0000FF;
    }
    ::SelectObject(dc, old), ::DeleteObject(bitmap), ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return drawn;
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
        ExpectTemplate(hDlg, 314, 213, {
            {IDOK, "OK", 82, 188, 50, 14, true, BS_DEFPUSHBUTTON},
            {IDCANCEL, "Cancel", 159, 188, 50, 14},
            {IDC_WARN_GREETING, nullptr, 21, 13, 245, 24},
            {IDC_WARN_VERSION_OF, nullptr, 21, 38, 91, 8},
            {IDC_WARN_DRIVE, nullptr, 112, 40, 98, 8},
            {IDC_WARN_FIRMWARE_IS, nullptr, 217, 38, 37, 8},
            {IDC_WARN_REVISION, nullptr, 259, 40, 22, 8},
            {IDC_STATIC, "Warning !!", 7, 52, 300, 115, true, BS_GROUPBOX},
            {IDC_WARN_TEXT, nullptr, 13, 62, 288, 57},
            {IDC_WARN_SUNKEN, nullptr, 21, 127, 262, 27, true, SS_SUNKEN, WS_EX_CLIENTEDGE},
            {IDC_WARN_QUESTION, nullptr, 21, 172, 275, 8},
        });
        for (const auto& r : rows) {
            SCOPED_TRACE(r.id);
            CLabelCtrl* label = Label(hDlg, r.id);
            ASSERT_NE(nullptr, label);
            EXPECT_EQ(r.text, label->GetText());
            const Drawn drawn = PaintRecorded(*label);
            ASSERT_EQ(1u, drawn.fonts.size()) << "one font selected to paint";
            EXPECT_EQ(std::wstring(L"Times New Roman"), drawn.fonts[0].lfFaceName);
            EXPECT_EQ(r.height, drawn.fonts[0].lfHeight);
            EXPECT_EQ(r.weight, drawn.fonts[0].lfWeight);
            const bool blue = r.colour == RGB(0, 0, 255);
            EXPECT_GT(drawn.inkOf[blue], 0) << "text in its colour";
            EXPECT_EQ(0, drawn.inkOf[!blue]) << "text in the other colour";
        }
        CLabelCtrl* box = Label(hDlg, IDC_WARN_SUNKEN);
        ASSERT_NE(nullptr, box) << "the sunken box is a label too";
        EXPECT_EQ("", box->GetText());
        const Drawn plain = PaintRecorded(*box);
        for (const LOGFONTW& font : plain.fonts)
            EXPECT_NE(std::wstring(L"Times New Roman"), font.lfFaceName) << "the sunken box is not styled";
        ::PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace
