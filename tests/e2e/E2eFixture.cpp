#include "E2eFixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Poll.h"
#include "Screen.h"
#include "WineSettings.h"

namespace e2e {

namespace {

namespace fs = std::filesystem;

std::string Normal(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

// The program must see a 9x family Windows to use ASPI; every copy is named
// MARROWFIN.exe, so one per-program setting covers all scratch directories.
class NineXEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(uidriver::SetAppWindowsVersion("MARROWFIN.exe", "win98")); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new NineXEnvironment);

}  // namespace

void E2eTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
        if (c == '/' || c == '.') c = '-';
    m_dir = Normal(E2E_SCRATCH_ROOT) + "\\" + name;
    std::error_code ec;
    fs::remove_all(m_dir, ec);
    fs::create_directories(m_dir, ec);
    ASSERT_FALSE(ec) << "cannot create " << m_dir << ": " << ec.message();
    fs::copy_file(Normal(E2E_MARROWFIN_EXE), Path("MARROWFIN.exe"), fs::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << "cannot copy MARROWFIN.exe: " << ec.message();
}

void E2eTest::TearDown() {
    if (HasFailure() && m_program.Running()) uidriver::SaveScreenshot(Path("failure.bmp"));
    m_program.End();
}

void E2eTest::Write(const std::string& name, const std::string& text) const {
    std::ofstream out(Path(name), std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << name;
}

void E2eTest::WriteBytes(const std::string& name, const Bytes& bytes) const {
    std::ofstream out(Path(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << name;
}

bool E2eTest::Exists(const std::string& name) const { return fs::exists(Path(name)); }

std::string E2eTest::Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes E2eTest::ReadBytes(const std::string& name) const {
    const std::string text = Read(name);
    return Bytes(text.begin(), text.end());
}

bool E2eTest::Start(Layer layer) {
    // Wine takes DLL overrides from the Unix environment the test itself was
    // started with, not from the block handed to CreateProcess, so each
    // ctest entry sets WINEDLLOVERRIDES for the layer its cases need.
    char overrides[256] = "";
    ::GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    const bool nativeLayer = std::string(overrides).find("wnaspi32=n") != std::string::npos;
    if (nativeLayer != (layer != Layer::WineBuiltIn)) {
        ADD_FAILURE() << "WINEDLLOVERRIDES=\"" << overrides << "\" does not suit this case: run it through its "
                      << "ctest entry (see tests/e2e/CMakeLists.txt)";
        return false;
    }
    if (layer == Layer::Ours) {
        std::error_code ec;
        fs::copy_file(Normal(E2E_WNASPI32_DLL), Path("wnaspi32.dll"), fs::copy_options::overwrite_existing, ec);
        if (ec) {
            ADD_FAILURE() << "cannot copy wnaspi32.dll: " << ec.message();
            return false;
        }
    }
    uidriver::LaunchOptions options;
    options.exePath = Path("MARROWFIN.exe");
    options.workingDir = m_dir;
    options.environment = {{"MARROWFIN_VDRIVES", Path("vdrives.txt")}};
    if (!m_program.Start(options)) {
        ADD_FAILURE() << m_program.LastError();
        return false;
    }
    if (m_program.WaitForMainWindow(kStartMs) == nullptr) {
        ADD_FAILURE() << "no \"MARROWFIN\" dialog within " << kStartMs << " ms";
        return false;
    }
    return true;
}

bool E2eTest::WaitForReady(DWORD timeoutMs) const {
    return uidriver::WaitUntil([&] { return ::IsWindowVisible(Main()) != FALSE; }, timeoutMs);
}

bool E2eTest::WaitForLogLine(const std::string& line, DWORD timeoutMs) const {
    return uidriver::WaitUntil([&] {
        for (const auto& l : Log())
            if (l == line) return true;
        return false;
    }, timeoutMs, 100);
}

bool E2eTest::WaitForRunEnd(DWORD timeoutMs) const {
    return uidriver::WaitUntil([&] {
        const auto log = Log();
        return !log.empty() && (log.back() == kRestart || log.back() == kIncorrect) && Enabled(IDCANCEL);
    }, timeoutMs, 100);
}

bool E2eTest::WaitForCloseEnabled(DWORD timeoutMs) const {
    return uidriver::WaitUntil([&] { return Enabled(IDCANCEL); }, timeoutMs);
}

std::vector<RecordLine> E2eTest::Record() const { return ReadRecordText(Read("record.txt")); }

std::string OneDrive(const std::string& revision, const std::string& extra) {
    return "adapter 0\ndrive 0 0 " + kDriveWords + " \"" + revision + "\"\n" + extra + "record record.txt\n";
}

std::string Row(const std::string& model, const std::string& file, const std::string& showWarning) {
    return "\"" + model + "\" \"" + file + "\" \"" + showWarning + "\"\n";
}

std::vector<std::string> CompatLogLines(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::vector<std::string> lines{"This firmware can be used on below drives  :"};
    for (size_t i = 0; i < rows.size(); ++i)
        lines.push_back("(" + std::to_string(i + 1) + ") " + rows[i].first + "  " + rows[i].second);
    return lines;
}

std::vector<std::string> Tail(const std::vector<std::string>& lines, size_t n) {
    return lines.size() <= n ? lines : std::vector<std::string>(lines.end() - static_cast<long>(n), lines.end());
}

void TraceBuilder::ModelLine(const std::string& modelName, int ha, int target, const std::string& revision) {
    Line("Model Name : " + modelName + " HID : " + std::to_string(ha) + " TID : " + std::to_string(target) +
         " Ver.: " + revision);
}

void TraceBuilder::Chunk(std::uint32_t offset, std::uint16_t runningSum) {
    m_total = static_cast<std::uint16_t>(m_total + runningSum);
    char line[64];
    std::snprintf(line, sizeof line, "Address=%.8X,_wSecSum=%.4X,_total=%.4X", static_cast<unsigned>(offset),
                  static_cast<unsigned>(runningSum), static_cast<unsigned>(m_total));
    Line(line);
}

void TraceBuilder::Header(std::uint16_t sum) {
    char line[64];
    std::snprintf(line, sizeof line, "sSendBuf[30]=%X   sSendBuf[31]=%X", static_cast<unsigned>(sum >> 8),
                  static_cast<unsigned>(sum & 0xFF));
    Line(line);
}

}  // namespace e2e
