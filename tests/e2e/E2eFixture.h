// One end-to-end test: a scratch working directory with a copy of
// MARROWFIN.exe (and, unless a test says otherwise, our wnaspi32.dll), the
// program started there as a 9x-family program, and the driver's view of its
// main dialog. The program is always ended when the test ends; a failed test
// leaves a screenshot (failure.bmp) in its scratch directory.
#ifndef E2E_E2EFIXTURE_H
#define E2E_E2EFIXTURE_H

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "Controls.h"
#include "Dialogs.h"
#include "Poll.h"
#include "Process.h"
#include "res/resource.h"

namespace e2e {

using Lines = std::vector<std::string>;
using Rows = std::vector<std::pair<std::string, std::string>>;  // IDString.txt: model, file

// The identification every compatible virtual drive reports, and the
// vdrives.txt words that give it.
inline const std::string kModel = "MARROW  CDR-8400 FLASHER";
inline const std::string kDriveWords = "\"MARROW\" \"CDR-8400 FLASHER\"";

inline constexpr DWORD kQuickMs = 20000;
inline const char kRestart[] = "Please Restart Your Computer.";
inline const char kIncorrect[] = "Flashing is incorrect!!";
// The record lines of the start-up INQUIRY and of the run's opening 95h.
inline const char kInquiry[] = "120000002400000000000000 in len=36 sum=0000 GOOD";
inline const char kVendorBlock[] = "952200000000000000000000 in len=32 sum=0000 GOOD";

// Ours: wnaspi32.dll copied, Wine told to take it; Missing: Wine told to
// take a native one, none there; WineBuiltIn: no override, Wine's own.
enum class Layer { Ours, Missing, WineBuiltIn };

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return m_dir + "\\" + name; }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;  // empty when missing
    bool Exists(const std::string& name) const;

    // Starts the program and waits for its main dialog, which stays hidden
    // while its initialisation shows a message box; false if either fails.
    bool Start(Layer layer = Layer::Ours);
    bool WaitForReady() const {
        return uidriver::WaitUntil([&] { return ::IsWindowVisible(Main()) != FALSE; }, kQuickMs);
    }
    HWND Main() const { return m_program.MainWindow(); }
    DWORD Pid() const { return m_program.Pid(); }

    Lines Log() const { return uidriver::ControlLines(Main(), IDC_LOG); }
    std::string Text(int id) const { return uidriver::ControlText(Main(), id); }
    bool Enabled(int id) const { return uidriver::IsControlEnabled(Main(), id); }
    int Progress() const { return uidriver::ProgressPosition(Main(), IDC_PROGRESS); }
    bool PressUpgrade() const { return uidriver::Click(Main(), IDC_UPGRADE); }
    // A run has ended: the log's last line is an outcome, "Close" is enabled.
    bool RunEnded() const;
    bool WaitForRunEnd() const { return uidriver::WaitUntil([&] { return RunEnded(); }, kQuickMs); }
    bool WaitForCloseEnabled() const { return uidriver::WaitUntil([&] { return Enabled(IDCANCEL); }, kQuickMs); }

    // Drive ha/target's commands in the record, one "CDB dir len=N sum=S
    // RESULT[ sense=KK/AA/QQ]" each (sum: the 16-bit sum of the data sent),
    // with " fnv=F" after it (the data's FNV-1a 32) when `fnv` is asked for.
    Lines Commands(int ha = 0, int target = 0, bool fnv = false) const;

    uidriver::Program m_program;
    std::string m_dir;
    std::string m_record;  // the record file, when not record.txt in m_dir
};

// The record line of a 4096-byte chunk written at `offset` of the buffer.
std::string ChunkCommand(unsigned offset, const std::string& sum, const std::string& result = "GOOD");
// vdrives.txt with one compatible drive at adapter 0, target 0, the given
// revision and extra statements (faults), recording to record.txt.
std::string OneDrive(const std::string& revision, const std::string& extra = "");
std::string IdString(const Rows& rows, const std::string& warn = "N");
// The log lines the start-up scan writes for a compatibility list.
Lines CompatLogLines(const Rows& rows);
Lines Concat(Lines a, const Lines& b);

// A ".bin" image of 10,000 zero bytes with the identification at 0 and the
// revision A054 at 4096: three chunks, the third ending in 2,288 bytes of FFh
// fill. Chunk sums: 060Fh (the identification's bytes add to 1551), 00DAh
// ("A054": 41h+30h+35h+34h), E710h (2288 * FFh = 583,440 mod 65536); running
// sums 060F, 06E9, EDF9. (Inline, so that the case tables of other files
// find it made.)
inline const std::string kTransferImage = [] {
    std::string image(10000, '\0');
    return image.replace(0, kModel.size(), kModel).replace(4096, 4, "A054");
}();
// The log lines that begin its transfer. The check sum covers the whole 1 MB
// buffer: 1551 + 218 + (1,048,576 - 10,000) * FFh = 1DF9h mod 65536.
inline const Lines kTransferStart{"Check Sum : 1DF9", "Please wait a minute....."};

// The two-segment ".hex" image of the whole-flash runs: four bytes at 0, four
// zero bytes at 1000h, the segment record and the identification at 10010h.
extern const std::string kTwoSegmentHex;
// What a drive records for it after `inquiry`: the 95h block, 32 chunks (the
// one at 1020h refused `refusals` times first), the header and the save.
Lines TwoSegmentCommands(const std::string& inquiry, int refusals = 0);
// The 128 KB a drive saves from it, its FFh fill included.
std::string TwoSegmentSaved();

}  // namespace e2e

#endif
