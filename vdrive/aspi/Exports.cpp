// The two entry points of wnaspi32.dll. The drive list is read at the first
// call of either, not in DllMain: reading files under the loader lock is
// asking for trouble, and an initiator (or a test) that sets the
// environment after loading the layer still gets its own list.
#include <windows.h>

#include <cstdio>
#include <string>
#include <type_traits>

#include "scsi/AspiDefs.h"
#include "vdrive/aspi/AspiLayer.h"

extern "C" std::uint32_t ASPI_CALL GetASPI32SupportInfo(void);
extern "C" std::uint32_t ASPI_CALL SendASPI32Command(void* srb);

// The program calls through these types; a mismatch in calling convention
// would corrupt its stack on every call.
static_assert(std::is_same_v<decltype(&GetASPI32SupportInfo), PFN_GETASPI32SUPPORTINFO>);
static_assert(std::is_same_v<decltype(&SendASPI32Command), PFN_SENDASPI32COMMAND>);

namespace {

constexpr char kConfigVariable[] = "MARROWFIN_VDRIVES";
constexpr char kDefaultConfig[] = "vdrives.txt";
// A drive list is a few lines; anything larger is not one.
constexpr long kMaxConfigBytes = 1024 * 1024;

// GetEnvironmentVariableA, not getenv: the C runtime keeps its own copy of
// the environment, taken at start, which SetEnvironmentVariableA does not
// update.
std::string ConfigPath() {
    const DWORD size = GetEnvironmentVariableA(kConfigVariable, nullptr, 0);
    if (size == 0) return kDefaultConfig;
    std::string path(size, '\0');
    const DWORD written = GetEnvironmentVariableA(kConfigVariable, path.data(), size);
    if (written == 0 || written >= size) return kDefaultConfig;
    path.resize(written);
    return path;
}

vdrive::aspi::LayerConfig ReadConfig(const std::string& path) {
    vdrive::aspi::LayerConfig none;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return none;  // no list: an ASPI manager without adapters
    std::string text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() < kMaxConfigBytes) text.append(chunk, n);
    std::fclose(f);
    if (text.size() >= kMaxConfigBytes) {
        none.notes.push_back("line 0: drive list larger than 1 MB, not read: " + path);
        return none;
    }
    return vdrive::aspi::ParseLayerConfig(text);
}

vdrive::aspi::AspiLayer& Layer() {
    // Constructed once, by whichever thread calls first.
    static vdrive::aspi::AspiLayer layer = [] {
        const std::string path = ConfigPath();
        return vdrive::aspi::AspiLayer(ReadConfig(path), path);
    }();
    return layer;
}

}  // namespace

extern "C" std::uint32_t ASPI_CALL GetASPI32SupportInfo(void) {
    return Layer().SupportInfo();
}

extern "C" std::uint32_t ASPI_CALL SendASPI32Command(void* srb) {
    return Layer().Send(srb);
}
