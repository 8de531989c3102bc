// The Upgrade command in process: its checks and messages, the confirmation
// dialog, the firmware file it picks, and a whole flash on the worker thread
// against a virtual drive (the 91-second wait recorded, not slept).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "DialogScript.h"
#include "MachineFixture.h"
#include "flash/FlashWorker.h"
#include "res/resource.h"
#include "win/PlatformCalls.h"

using testing_win::FindDialog;
using testing_win::PumpUntil;
using testing_win::WindowText;

namespace {

const char kModel[] = "MARROW  FIN-52M CDROM   ";

std::vector<std::uint32_t> g_sleeps;
void RecordSleep(std::uint32_t ms) { g_sleeps.push_back(ms); }

class UpgradeCommand : public MachineFixture {
protected:
    UpgradeCommand() {
        g_sleeps.clear();
        m_savedSeams = g_WorkerSeams;
        g_WorkerSeams.pfnSleep = &RecordSleep;
    }
    ~UpgradeCommand() override { g_WorkerSeams = m_savedSeams; }

    void List(const std::string& row0File, const std::string& row1File, const char* warn = "N") {
        WriteFile("IDString.txt", std::string("\"") + kModel + "\",\"" + row0File + "\",\"" + warn + "\"\n\"" +
                                      kModel + "\",\"" + row1File + "\",\"" + warn + "\"\n");
    }
    // Presses Upgrade and keeps the dialog's thread serving until the command
    // and any worker it started have finished (Close enabled again).
    void PressUpgrade() {
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_UPGRADE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_UPGRADE)));
        ASSERT_TRUE(PumpUntil([&] { return Enabled(IDCANCEL); }, 30000)) << "Close stayed disabled";
    }
    std::string LastLog() const {
        auto lines = LogLines();
        return lines.empty() ? "" : lines.back();
    }
    // A ".bin" image holding the drive's identification and revision.
    std::string BinImage(size_t size, const char* revision) {
        std::string image(size, '\0');
        for (size_t i = 0; i < size; ++i) image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
        std::memcpy(&image[1000], kModel, 24);
        std::memcpy(&image[2000], revision, 2);
        return image;
    }

    EngineSeams m_savedSeams;
};

TEST_F(UpgradeCommand, FlashesABinImageEndToEndOnTheWorker) {
    vdrive::VirtualDrive& drive = AddDrive('e', kModel, "A054");
    const std::string image = BinImage(40000, "A0");
    WriteFile("A054.bin", image);
    List("A054.bin", "B010.bin");
    ASSERT_NE(nullptr, CreateMainDialog());
    ASSERT_TRUE(Enabled(IDC_UPGRADE));
    PressUpgrade();

    EXPECT_EQ("Please Restart Your Computer.", LastLog());
    EXPECT_EQ(100, ::SendMessageA(::GetDlgItem(hDlg, IDC_PROGRESS), PBM_GETPOS, 0, 0));
    EXPECT_EQ("", Text(IDC_STATUS));
    EXPECT_EQ("", Text(IDC_DRIVE_LIST));
    EXPECT_EQ("", Text(IDC_REVISION));
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
    EXPECT_TRUE(Enabled(IDCANCEL));
    std::uint32_t slept = 0;
    for (std::uint32_t ms : g_sleeps) slept += ms;
    EXPECT_EQ(91000u, slept);

    ASSERT_EQ(1u, drive.SaveCount());
    std::vector<std::uint8_t> saved = drive.SavedImage();
    ASSERT_EQ(40960u, saved.size());  // ten chunks, the last filled with FFh
    EXPECT_EQ(0, std::memcmp(saved.data(), image.data(), image.size()));
    for (size_t i = image.size(); i < saved.size(); ++i) ASSERT_EQ(0xFF, saved[i]) << i;
    EXPECT_EQ(std::string(Directory() + "\\A054.bin"), dlg->Job().szImagePath);
    EXPECT_EQ(0, dlg->Job().bHexImage);
}

TEST_F(UpgradeCommand, RevisionChoosesRowZeroOrRowOneWhicheverRowMatched) {
    struct Case { const char* revision; const char* file; };
    for (const Case& c : {Case{"A054", "A054.hex"}, Case{"B010", "B010.hex"}, Case{"AA01", "A054.hex"}}) {
        SCOPED_TRACE(c.revision);
        AddDrive('e', kModel, c.revision);
        // Row 0 does not match a B drive's revision letter, but row 1 does:
        // the model check passes and the file still comes from row 0 or 1.
        WriteFile("IDString.txt", std::string("\"") + kModel + "\",\"A054.hex\",\"N\"\n\"" + kModel +
                                      "\",\"B010.hex\",\"N\"\n");
        ASSERT_NE(nullptr, CreateMainDialog());
        PressUpgrade();
        EXPECT_EQ(Directory() + "\\" + c.file, dlg->Job().szImagePath);
        // The file does not exist: the run reports it and fails.
        auto lines = LogLines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ("ERR: fail to open output file!", lines[lines.size() - 3]);
        EXPECT_EQ("ERR: fail to read input file!", lines[lines.size() - 2]);
        EXPECT_EQ("Flashing is incorrect!!", lines.back());
        ::DestroyWindow(hDlg);
    }
}

TEST_F(UpgradeCommand, UpperCaseHexIsAcceptedAndLowered) {
    AddDrive('e', kModel, "A054");
    List("A054.HEX", "B010.HEX");
    ASSERT_NE(nullptr, CreateMainDialog());
    PressUpgrade();
    EXPECT_EQ(Directory() + "\\A054.hex", dlg->Job().szImagePath);
    EXPECT_EQ(1, dlg->Job().bHexImage);
    EXPECT_TRUE(s_boxes.empty());
}

TEST_F(UpgradeCommand, ChecksThatStopShowTheirMessageAndGiveCloseBack) {
    struct Case {
        const char* name;
        const char* row0;
        const char* typed;  // drive list text at the press, or null
        bool emptyModelRow;
        const char* box;
        UINT style;
        const char* log;
    };
    const Case cases[] = {
        {"another extension", "A054.rom", nullptr, false, "Input file format mismatched.", MB_OK | MB_ICONHAND, nullptr},
        {"no extension at all", "A054", nullptr, false, "Input file format mismatched.", MB_OK | MB_ICONHAND, nullptr},
        {"text naming no drive", "A054.hex", "typed by hand", false, nullptr, 0, "Drive model doesn't match!"},
        {"no drive, but a row with an empty model", "A054.hex", "typed by hand", true, "No Target Drive.", MB_ICONHAND,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s_boxes.clear();
        AddDrive('e', kModel, "A054");
        std::string list = std::string("\"") + kModel + "\",\"" + c.row0 + "\",\"N\"\n";
        if (c.emptyModelRow) list += "\"\"\n";
        WriteFile("IDString.txt", list);
        ASSERT_NE(nullptr, CreateMainDialog());
        if (c.typed != nullptr) ::SetWindowTextA(::GetDlgItem(hDlg, IDC_DRIVE_LIST), c.typed);
        size_t linesBefore = LogLines().size();
        PressUpgrade();
        if (c.box != nullptr) {
            ASSERT_EQ(1u, s_boxes.size());
            EXPECT_EQ(c.box, s_boxes[0].text);
            EXPECT_EQ("Error!!", s_boxes[0].caption);
            EXPECT_EQ(c.style, s_boxes[0].style);
            EXPECT_EQ(linesBefore, LogLines().size());
        } else {
            EXPECT_TRUE(s_boxes.empty());
            EXPECT_EQ(c.log, LastLog());
        }
        EXPECT_TRUE(Enabled(IDC_UPGRADE)) << "no worker was started";
        ::DestroyWindow(hDlg);
    }
}

DWORD WINAPI NoDirectory(DWORD, LPSTR) { return 0; }

TEST_F(UpgradeCommand, UnreadableCurrentDirectoryStopsWithASystemModalBox) {
    AddDrive('e', kModel, "A054");
    List("A054.hex", "B010.hex");
    ASSERT_NE(nullptr, CreateMainDialog());
    g_Platform.GetCurrentDirectoryA = &NoDirectory;
    PressUpgrade();
    ASSERT_EQ(1u, s_boxes.size());
    EXPECT_EQ("Can't retrieves the current directory.", s_boxes[0].text);
    EXPECT_EQ("GetCurrentDirectory Error !!", s_boxes[0].caption);
    EXPECT_EQ(0x1010u, s_boxes[0].style);
    EXPECT_TRUE(Enabled(IDC_UPGRADE));
}

// Presses Upgrade with the confirmation dialog expected, and answers it.
struct WarningSeen {
    bool shown = false;
    std::string drive, revision, greeting, question, sunken;
};

WarningSeen PressAndAnswer(HWND hDlg, int answer) {
    WarningSeen seen;
    std::atomic<bool> done{false};
    DWORD thread = ::GetCurrentThreadId();
    std::thread user([&] {
        HWND hWarn = FindDialog(thread, "Firmware upgrade program");
        if (hWarn != nullptr) {
            seen.shown = true;
            seen.drive = WindowText(::GetDlgItem(hWarn, IDC_WARN_DRIVE));
            seen.revision = WindowText(::GetDlgItem(hWarn, IDC_WARN_REVISION));
            seen.greeting = WindowText(::GetDlgItem(hWarn, IDC_WARN_GREETING));
            seen.question = WindowText(::GetDlgItem(hWarn, IDC_WARN_QUESTION));
            seen.sunken = WindowText(::GetDlgItem(hWarn, IDC_WARN_SUNKEN));
            if (answer == IDCANCEL)
                ::PostMessageA(hWarn, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
            else
                ::PostMessageA(::GetDlgItem(hWarn, answer), BM_CLICK, 0, 0);
        }
        done = true;
    });
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_UPGRADE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_UPGRADE)));
    PumpUntil([&] { return done && ::IsWindowEnabled(::GetDlgItem(hDlg, IDCANCEL)); }, 30000);
    user.join();
    return seen;
}

TEST_F(UpgradeCommand, ConfirmationShowsThePressMomentTextsAndCancelStopsSilentlyEachTime) {
    AddDrive('e', kModel, "A054");
    List("A054.hex", "B010.hex", "Y");
    ASSERT_NE(nullptr, CreateMainDialog());
    size_t linesBefore = LogLines().size();
    for (int press = 0; press < 2; ++press) {
        SCOPED_TRACE(press);
        WarningSeen seen = PressAndAnswer(hDlg, IDCANCEL);
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(std::string(kModel) + "(0)", seen.drive);
        EXPECT_EQ("A054", seen.revision);
        EXPECT_EQ("Dear customer,\n \nThank you for choosing this product!", seen.greeting);
        EXPECT_EQ("Are you ready to update your firmware ?", seen.question);
        EXPECT_EQ("", seen.sunken);
        EXPECT_EQ(linesBefore, LogLines().size());
        EXPECT_TRUE(Enabled(IDCANCEL));
        EXPECT_TRUE(Enabled(IDC_UPGRADE));
        EXPECT_TRUE(s_boxes.empty());
    }
    EXPECT_EQ(std::string(kModel) + "(0)", CFlashDlg::GetTargetDriveText());
}

TEST_F(UpgradeCommand, ConfirmedWarningGoesOnToTheFlash) {
    AddDrive('e', kModel, "A054");
    List("A054.hex", "B010.hex", "y");
    ASSERT_NE(nullptr, CreateMainDialog());
    WarningSeen seen = PressAndAnswer(hDlg, IDOK);
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ("Flashing is incorrect!!", LastLog());  // no image file here: the run starts and fails
    EXPECT_FALSE(Enabled(IDC_UPGRADE));
}

}  // namespace
