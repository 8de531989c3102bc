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
#include <vector>

#include "Controls.h"
#include "Dialogs.h"
#include "Firmware.h"
#include "Process.h"
#include "Record.h"
#include "res/resource.h"

namespace e2e {

// The identification every compatible virtual drive reports, and the
// vdrives.txt words that give it.
inline const std::string kModel = "MARROW  CDR-8400 FLASHER";
inline const std::string kDriveWords = "\"MARROW\" \"CDR-8400 FLASHER\"";

// Quick waits (start-up, a failing run); the 91-second wait has its own.
inline constexpr DWORD kStartMs = 20000;
inline constexpr DWORD kQuickMs = 20000;
inline constexpr DWORD kFullRunMs = 180000;

inline const char kRestart[] = "Please Restart Your Computer.";
inline const char kIncorrect[] = "Flashing is incorrect!!";

enum class Layer {
    Ours,          // wnaspi32.dll copied, Wine told to take it
    Missing,       // Wine told to take a native one, none there
    WineBuiltIn,   // nothing copied, no override: Wine's own wnaspi32
};

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& name) const { return m_dir + "\\" + name; }
    void Write(const std::string& name, const std::string& text) const;
    void WriteBytes(const std::string& name, const Bytes& bytes) const;
    bool Exists(const std::string& name) const;
    std::string Read(const std::string& name) const;
    Bytes ReadBytes(const std::string& name) const;

    // Starts the program and waits for its main dialog; false if either fails.
    bool Start(Layer layer = Layer::Ours);
    // Waits until the dialog's initialisation has ended (it is shown then).
    bool WaitForReady(DWORD timeoutMs = kStartMs) const;
    HWND Main() const { return m_program.MainWindow(); }
    DWORD Pid() const { return m_program.Pid(); }

    std::vector<std::string> Log() const { return uidriver::ControlLines(Main(), IDC_LOG); }
    std::string Text(int id) const { return uidriver::ControlText(Main(), id); }
    bool Enabled(int id) const { return uidriver::IsControlEnabled(Main(), id); }
    int Progress() const { return uidriver::ProgressPosition(Main(), IDC_PROGRESS); }
    // Waits until a line equal to `line` is in the log box.
    bool WaitForLogLine(const std::string& line, DWORD timeoutMs) const;
    // Waits until a run has ended: the log's last line is an outcome line
    // and "Close" is enabled again.
    bool WaitForRunEnd(DWORD timeoutMs) const;
    // Waits until "Close" is enabled again after a press of "Upgrade" that
    // started no run.
    bool WaitForCloseEnabled(DWORD timeoutMs) const;
    // Presses "Upgrade".
    bool PressUpgrade() const { return uidriver::Click(Main(), IDC_UPGRADE); }

    std::vector<RecordLine> Record() const;

    uidriver::Program m_program;
    std::string m_dir;
};

// vdrives.txt with one compatible drive at adapter 0, target 0, the given
// revision and extra statements (faults), recording to record.txt.
std::string OneDrive(const std::string& revision, const std::string& extra = "");
// One IDString.txt line.
std::string Row(const std::string& model, const std::string& file, const std::string& showWarning = "N");

// The log lines the start-up scan writes for a compatibility list.
std::vector<std::string> CompatLogLines(const std::vector<std::pair<std::string, std::string>>& rows);
// The last n lines of a log.
std::vector<std::string> Tail(const std::vector<std::string>& lines, size_t n);

// sum.txt as a run must write it, built line by line: a text file, so on
// Windows its lines end in CR LF.
class TraceBuilder {
public:
    void Line(const std::string& line) { m_text += line + "\r\n"; }
    void ModelLine(const std::string& modelName, int ha, int target, const std::string& revision);
    // One chunk attempt: the running sum after it, and the process-wide
    // total that adds every printed running sum.
    void Chunk(std::uint32_t offset, std::uint16_t runningSum);
    void Header(std::uint16_t sum);
    void Raw(const std::string& text) { m_text += text; }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
    std::uint16_t m_total = 0;
};

}  // namespace e2e

#endif
