#include "E2eFixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "Screen.h"
#include "WineSettings.h"

namespace e2e {

namespace {

namespace fs = std::filesystem;

std::string Normal(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string Env(const char* name) {
    char value[1024] = "";
    const DWORD n = ::GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}

// A path of the build tree, given as Z:<unix path>. A prefix whose Unix root
// is another letter (tools/nt-prefix.sh: a:) names it in E2E_UNIX_DRIVE.
std::string BuildPath(const char* zPath) {
    const std::string drive = Env("E2E_UNIX_DRIVE");
    return Normal(drive.empty() ? zPath : drive + (zPath + 2));
}

// The program must see a 9x family Windows to use ASPI, unless the entry
// names another version (E2E_WINDOWS_VERSION); every copy is named
// MARROWFIN.exe, so one per-program setting covers all scratch directories.
class VersionEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string version = Env("E2E_WINDOWS_VERSION");
        ASSERT_TRUE(uidriver::SetAppWindowsVersion("MARROWFIN.exe", version.empty() ? "win98" : version));
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new VersionEnvironment);

}  // namespace

void E2eTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
        if (c == '/' || c == '.') c = '-';
    m_dir = BuildPath(E2E_SCRATCH_ROOT) + "\\" + name;
    std::error_code ec;
    fs::remove_all(m_dir, ec);
    fs::create_directories(m_dir, ec);
    ASSERT_FALSE(ec) << "cannot create " << m_dir << ": " << ec.message();
    fs::copy_file(BuildPath(E2E_MARROWFIN_EXE), Path("MARROWFIN.exe"), fs::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << "cannot copy MARROWFIN.exe: " << ec.message();
}

void E2eTest::TearDown() {
    if (HasFailure() && m_program.Running()) uidriver::SaveScreenshot(Path("failure.bmp"));
    m_program.End();
}

void E2eTest::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(Path(name), std::ios::binary);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << name;
}

std::string E2eTest::Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool E2eTest::Exists(const std::string& name) const { return fs::exists(Path(name)); }

bool E2eTest::Start(Layer layer) {
    // Wine takes DLL overrides from the Unix environment the test itself was
    // started with, not from the block handed to CreateProcess, so each
    // ctest entry sets WINEDLLOVERRIDES for the layer its cases need.
    char overrides[256] = "";
    ::GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    if ((std::string(overrides).find("wnaspi32=n") != std::string::npos) != (layer != Layer::WineBuiltIn)) {
        ADD_FAILURE() << "WINEDLLOVERRIDES=\"" << overrides << "\" does not suit this case: run it through its "
                      << "ctest entry (see tests/e2e/CMakeLists.txt)";
        return false;
    }
    std::error_code ec;
    if (layer == Layer::Ours)
        fs::copy_file(BuildPath(E2E_WNASPI32_DLL), Path("wnaspi32.dll"), fs::copy_options::overwrite_existing, ec);
    if (ec) {
        ADD_FAILURE() << "cannot copy wnaspi32.dll: " << ec.message();
        return false;
    }
    // An entry whose drives are served by mf-vdrived names their list itself.
    const auto list = Env("MARROWFIN_VDRIVES").empty()
                          ? std::vector<std::pair<std::string, std::string>>{{"MARROWFIN_VDRIVES", Path("vdrives.txt")}}
                          : std::vector<std::pair<std::string, std::string>>{};
    if (!m_program.Start({Path("MARROWFIN.exe"), m_dir, list})) {
        ADD_FAILURE() << m_program.LastError();
        return false;
    }
    if (m_program.WaitForMainWindow(kQuickMs) == nullptr) {
        ADD_FAILURE() << "no \"MARROWFIN\" dialog within " << kQuickMs << " ms";
        return false;
    }
    return true;
}

bool E2eTest::RunEnded() const {
    const auto log = Log();
    return !log.empty() && (log.back() == kRestart || log.back() == kIncorrect) && Enabled(IDCANCEL);
}

// The record's "cmd" lines (vdrive/aspi/README.md) are "cmd name=value ...".
Lines E2eTest::Commands(int ha, int target, bool fnv) const {
    Lines out;
    std::ifstream file(m_record.empty() ? Path("record.txt") : m_record, std::ios::binary);
    std::istringstream in{std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())};
    std::string line, word;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::map<std::string, std::string> f;
        if (!(words >> word) || word != "cmd") continue;
        while (words >> word)
            if (auto eq = word.find('='); eq != std::string::npos) f[word.substr(0, eq)] = word.substr(eq + 1);
        if (f["ha"] != std::to_string(ha) || f["target"] != std::to_string(target)) continue;
        out.push_back(f["cdb"] + " " + f["dir"] + " len=" + f["len"] + " sum=" + f["sum"] + " " + f["result"] +
                      (f["sense"].empty() ? "" : " sense=" + f["sense"]) + (fnv ? " fnv=" + f["fnv"] : ""));
    }
    return out;
}

// Record sums worked out by hand: 04+12+34+56+78 = 118h -> E8; 04+10 = 14h ->
// EC; 18h+10h + 1551 (the identification) = 637h -> C9.
const std::string kTwoSegmentHex = ":0400000012345678E8\n:0410000000000000EC\n:00000055AB\n:18001000"
                                   "4D4152524F5720204344522D3834303020464C4153484552C9\n:00000001FF\n";

// Chunk sums against the FFh fill, whose 4096 bytes add to F000h: F000h - 2E8h
// = ED18h, F000h - 3FCh = EC04h, chunk 16 F000h - 11D9h = DE27h. The header
// carries E743h, whose bytes add to E7h + 43h = 012Ah; the save is length 0
// with a 4096-byte data-in phase.
Lines TwoSegmentCommands(const std::string& inquiry, int refusals) {
    Lines commands{inquiry, kVendorBlock};
    for (unsigned k = 0; k < 32; ++k) {
        const std::string sum = k == 0 ? "ED18" : k == 1 ? "EC04" : k == 16 ? "DE27" : "F000";
        for (int refusal = 0; k == 1 && refusal < refusals; ++refusal)
            commands.push_back(ChunkCommand(32 + k * 4096, sum, "CHECK sense=03/0C/00"));
        commands.push_back(ChunkCommand(32 + k * 4096, sum));
    }
    commands.push_back("3B0600000000000020000000 out len=32 sum=012A GOOD");
    commands.push_back("3B0700000000000000000000 in len=4096 sum=0000 GOOD");
    return commands;
}

std::string TwoSegmentSaved() {
    std::string saved(2 * 65536, '\xFF');
    saved.replace(0, 4, "\x12\x34\x56\x78");
    saved.replace(0x1000, 4, std::string(4, '\0'));
    return saved.replace(0x10010, kModel.size(), kModel);
}

std::string ChunkCommand(unsigned offset, const std::string& sum, const std::string& result) {
    char cdb[32];  // WRITE BUFFER mode 6, the offset and length big-endian
    std::snprintf(cdb, sizeof cdb, "3B0600%06X001000000000", offset);
    return std::string(cdb) + " out len=4096 sum=" + sum + " " + result;
}

std::string OneDrive(const std::string& revision, const std::string& extra) {
    return "adapter 0\ndrive 0 0 " + kDriveWords + " \"" + revision + "\"\n" + extra + "record record.txt\n";
}

std::string IdString(const Rows& rows, const std::string& warn) {
    std::string text;
    for (const auto& [model, file] : rows) text += "\"" + model + "\" \"" + file + "\" \"" + warn + "\"\n";
    return text;
}

Lines CompatLogLines(const Rows& rows) {
    Lines lines{"This firmware can be used on below drives  :"};
    for (size_t i = 0; i < rows.size(); ++i)
        lines.push_back("(" + std::to_string(i + 1) + ") " + rows[i].first + "  " + rows[i].second);
    return lines;
}

Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace e2e
