// The Upgrade command in process: a press while the worker is held in a
// command, and the check no outside run can reach. Whole runs and the other
// checks are driven from outside (tests/e2e).
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "AppFixture.h"
#include "res/resource.h"

namespace {

const std::string kModel = "MARROW  FIN-52M CDROM   ";

class UpgradeCommand : public AppFixture {
protected:
    // A drive at e with revision A054, the list naming A054.<ext> for it.
    void StartWith(const char* ext) {
        AddDrive('e', kModel.c_str(), "A054");
        WriteList({{kModel, std::string("A054.") + ext}, {kModel, std::string("B010.") + ext}});
        ASSERT_NE(nullptr, CreateMainDialog());
        ASSERT_TRUE(Enabled(IDC_UPGRADE));
    }
    // Presses Upgrade; with `wait`, serves the dialog until the command and
    // any worker it started have finished (Close enabled again).
    void Press(bool wait) {
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_UPGRADE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDC_UPGRADE)));
        ASSERT_TRUE(!wait || PumpUntil([&] { return Enabled(IDCANCEL); }, 30000)) << "Close stayed disabled";
    }
};


TEST_F(UpgradeCommand, APressWhileTheWorkerRunsIsRefusedWithoutTouchingAnything) {
    StartWith("bin");  // no image: the run, once let go, ends quickly
    platform.holdThreads = true;  // the worker exists but has not run a line
    Press(false);
    ASSERT_EQ(1u, platform.heldThreads.size());
    EXPECT_FALSE(Enabled(IDC_UPGRADE)) << "greyed by the press itself, before the worker runs";
    EXPECT_FALSE(Enabled(IDCANCEL));

    std::vector<unsigned char> job(sizeof(FlashJob));
    std::memcpy(job.data(), &dlg->Job(), job.size());
    const std::string log = Text(IDC_LOG);
    ::EnableWindow(::GetDlgItem(hDlg, IDC_UPGRADE), TRUE);  // even an enabled button must not start a second run
    Press(false);
    EXPECT_EQ(1u, platform.heldThreads.size()) << "a second worker";
    EXPECT_FALSE(Enabled(IDCANCEL));
    EXPECT_EQ(0, std::memcmp(job.data(), &dlg->Job(), job.size()));
    EXPECT_EQ(log, Text(IDC_LOG));

    platform.ReleaseThreads();
    ASSERT_TRUE(PumpUntil([&] { return Enabled(IDCANCEL); }, 30000));
    Press(false);  // after the run too
    EXPECT_TRUE(Enabled(IDCANCEL));
    const std::string after = Text(IDC_LOG);  // one run, one outcome line, the last
    EXPECT_TRUE(after.ends_with("\r\nFlashing is incorrect!!")) << after;
    EXPECT_EQ(after.find("Flashing is incorrect!!"), after.rfind("Flashing is incorrect!!"));
}

// Unreadable, or longer than the 260-character buffer: the platform then
// answers the size it would need and leaves the buffer empty, which must not
// turn into an image path at the root of the drive.
TEST_F(UpgradeCommand, UnreadableCurrentDirectoryStopsWithASystemModalBox) {
    StartWith("hex");
    for (DWORD answer : {0ul, 300ul}) {  // a stopped command leaves the dialog ready for the next press
        SCOPED_TRACE(answer);
        platform.boxes.clear();
        platform.currentDirectory = [answer](DWORD size, LPSTR buffer) -> DWORD {
            if (size != 0) buffer[0] = '\0';
            return answer;
        };
        Press(true);
        ASSERT_EQ(1u, platform.boxes.size());
        EXPECT_EQ("Can't retrieves the current directory.", platform.boxes[0].text);
        EXPECT_EQ("GetCurrentDirectory Error !!", platform.boxes[0].caption);
        EXPECT_EQ(0x1010u, platform.boxes[0].style);
        EXPECT_TRUE(Enabled(IDC_UPGRADE));
    }
}

}  // namespace
