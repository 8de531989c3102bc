// MARROWFIN.exe under four Windows versions, with a comctl32.dll planted
// beside it that Wine is told to prefer (comctl32=n,b): the program takes
// comctl32 from the system folder, never the planted one, and still gets its
// progress bar; and it takes the road its version calls for (9x: the ASPI
// layer; NT: pass-through, which never loads the layer). A program loading
// comctl32.dll by name from the same folder proves the plant would be seen.
#include <filesystem>

#include "E2eFixture.h"
#include "WineSettings.h"

namespace e2e {
namespace {

constexpr char kMark[] = "planted-loaded.txt";

struct VersionCase {
    const char* mode;  // Wine's name of the Windows version
    bool aspiRoad;
};
void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.mode; }

class SystemLibraries : public E2eTest, public ::testing::WithParamInterface<VersionCase> {
protected:
    bool Launch(uidriver::Program& program, const std::string& exe) {
        return program.Start({Path(exe), m_dir, {{"MARROWFIN_VDRIVES", Path("vdrives.txt")}}});
    }
};

TEST_P(SystemLibraries, PlantedComctl32IsNeverLoaded) {
    // Each copy has a name of its own, so Wine shows it its own version.
    const std::string exe = std::string("MARROWFIN-") + GetParam().mode + ".exe";
    ASSERT_TRUE(uidriver::SetAppWindowsVersion(exe, GetParam().mode));
    for (const auto& [from, to] : {std::pair{E2E_PLANTED_DLL, "comctl32.dll"},
                                   std::pair{E2E_LOAD_BY_NAME_EXE, "load-by-name.exe"},
                                   std::pair{E2E_WNASPI32_DLL, "wnaspi32.dll"}, std::pair{E2E_MARROWFIN_EXE, ""}}) {
        std::string source = from;  // the build's paths are Z:/...
        for (char& c : source) c = c == '/' ? '\\' : c;
        ASSERT_TRUE(::CopyFileA(source.c_str(), Path(*to ? to : exe).c_str(), FALSE)) << source;
    }
    Write("vdrives.txt", OneDrive("A054"));
    Write("IDString.txt", IdString({{kModel, "Afw.hex"}}));

    uidriver::Program byName;
    ASSERT_TRUE(Launch(byName, "load-by-name.exe") && byName.WaitForExit(kQuickMs));
    ASSERT_TRUE(Exists(kMark)) << "loading comctl32.dll by name did not take the planted one";
    ASSERT_TRUE(std::filesystem::remove(Path(kMark)));

    ASSERT_TRUE(Launch(m_program, exe)) << m_program.LastError();
    const bool started = m_program.WaitForMainWindow(kQuickMs) != nullptr && WaitForReady();
    EXPECT_FALSE(Exists(kMark)) << "the program loaded the planted comctl32.dll";
    ASSERT_TRUE(started);
    char className[32] = "";
    ::GetClassNameA(::GetDlgItem(Main(), IDC_PROGRESS), className, sizeof className);
    EXPECT_STREQ(className, "msctls_progress32");
    const bool aspi = GetParam().aspiRoad;
    EXPECT_EQ(uidriver::ComboItems(Main(), IDC_DRIVE_LIST), aspi ? Lines{kModel + "(0)"} : Lines{});
    EXPECT_EQ(Commands(), aspi ? Lines{kInquiry} : Lines{});
    ASSERT_TRUE(uidriver::Click(Main(), IDCANCEL));
    EXPECT_TRUE(m_program.WaitForExit(kQuickMs));
}

INSTANTIATE_TEST_SUITE_P(Versions, SystemLibraries,
                         ::testing::Values(VersionCase{"win98", true}, VersionCase{"nt40", false},
                                           VersionCase{"winxp", false}, VersionCase{"win10", false}),
                         [](const auto& info) { return std::string(info.param.mode); });

}  // namespace
}  // namespace e2e
