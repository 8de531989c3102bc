// The Upgrade command in process: a whole flash on the worker thread against
// a virtual drive behind a drive letter (the 91-second wait recorded, not
// slept), and the check no outside run can reach. The other checks, the file
// choice and the confirmation dialog are driven from outside (tests/e2e).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "DialogScript.h"
#include "MachineFixture.h"
#include "flash/FlashWorker.h"
#include "res/resource.h"
#include "win/PlatformCalls.h"

using testing_win::PumpUntil;

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

    void List(const std::string& row0File, const std::string& row1File) {
        WriteFile("IDString.txt", std::string("\"") + kModel + "\",\"" + row0File + "\",\"N\"\n\"" + kModel +
                                      "\",\"" + row1File + "\",\"N\"\n");
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

}  // namespace
