// marrowfin-check: the start-up check and the Upgrade command of the main
// dialog, replayed for one drive with the program's own decision functions,
// then the engine's run against a platform that answers every command at
// once. Nothing reaches a drive; sum.txt goes to a temporary file.
#include "Check.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/CompatList.h"
#include "app/UpgradeChoice.h"
#include "flash/FlashEngine.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCurrentDirectorySize = 260;  // the dialog's MAX_PATH buffer
const char* const kRestart = "Please Restart Your Computer.";

const char* const kHelp =
    "Usage: marrowfin-check [--list IDString.txt] [--dir FOLDER] --id ID --revision REV [--verbose]\n"
    "       marrowfin-check [--verbose] FOLDER ID REVISION\n"
    "Shows what MARROWFIN would do with a firmware package for one drive, without\n"
    "touching any drive: the list row that matches, the image chosen, every refusal\n"
    "in the program's own words, and the engine's run with every command accepted.\n"
    "\n"
    "  -l, --list FILE      compatibility list (default: FOLDER/IDString.txt, or\n"
    "                       IDString.txt in the current directory)\n"
    "  -d, --dir FOLDER     folder MARROWFIN would run in, holding the images\n"
    "                       (default: FOLDER, or the list's folder)\n"
    "  -i, --id ID          the drive's INQUIRY vendor (8) and product (16)\n"
    "                       identification: 24 characters, trailing spaces included\n"
    "  -r, --revision REV   the drive's INQUIRY revision, 4 characters (e.g. A054)\n"
    "  -v, --verbose        also list every command sent and the sum.txt trace\n"
    "  -h, --help           print this help and exit\n"
    "\n"
    "Exit status: 0 the upgrade would start and end in \"Please Restart Your\n"
    "Computer.\"; 1 MARROWFIN would refuse or the run would fail; 2 usage error.\n";

// What the program would show, in order; the engine's hooks write here.
struct Shown {
    std::string text;                   // "  log: ..." and "  box: ..." lines
    std::vector<std::string> messages;  // the engine's log lines alone
    bool verbose = false;
};
Shown* g_shown = nullptr;

void Show(const char* where, const std::string& line) { g_shown->text += std::string("  ") + where + line + "\n"; }
void HookMessage(const char* text) {
    g_shown->messages.push_back(text);
    Show("log: ", text);
}
void HookStatus(const char* text) {
    if (g_shown->verbose && text[0] != '\0') Show("status: ", text);
}
void HookText(const char*) {}
int HookGetText(char* buffer) { return buffer[0] = '\0', 0; }
int HookProgress(int) { return 0; }
void HookIdle() {}
std::uint8_t HookTerminated() { return 0; }

// Accepts every command at once with clear sense and records it.
class DryRunPlatform final : public PlatformWrapper {
public:
    DryRunPlatform() : PlatformWrapper(Platform::Default()) {}

    int chunks = 0;
    bool header = false, saved = false;
    unsigned headerSum = 0;
    std::uint32_t sleptMs = 0;
    std::string commands;

    int ExecuteCmd(const DriveEntry&, std::uint8_t flags, std::uint32_t length, std::uint8_t* data,
                   std::uint8_t cdbLength, const std::uint8_t* cdb, std::uint8_t, std::uint8_t* sense) override {
        std::memset(sense, 0, kSenseBufferSize);
        char line[80] = "  cmd:";
        for (int i = 0; i < cdbLength; ++i)
            std::snprintf(line + std::strlen(line), sizeof line - std::strlen(line), " %02X", cdb[i]);
        commands += line + std::string(flags == SRB_DIR_OUT ? "  out " : "  in ") + std::to_string(length) + "\n";
        if (cdbLength < 9 || cdb[0] != kOpWriteBuffer) return 1;
        const std::uint32_t listLength = (cdb[6] << 16) | (cdb[7] << 8) | cdb[8];
        if (cdb[1] == kWriteBufferDownloadOffsets && listLength == kChunkSize) ++chunks;
        if (cdb[1] == kWriteBufferDownloadOffsets && listLength == kHeaderSize && length >= kHeaderSize) {
            header = true;
            headerSum = (data[30] << 8) | data[31];
        }
        if (cdb[1] == kWriteBufferDownloadSave) saved = true;
        return 1;
    }
    void Sleep(std::uint32_t ms) override { sleptMs += ms; }
    void* AllocImage(std::size_t size) override { return std::malloc(size); }
    void LockImage(void*, std::size_t) override {}
    void UnlockImage(void*, std::size_t) override {}
    void FreeImage(void* base, std::size_t) override { std::free(base); }
};

// The folder as GetCurrentDirectory would name it: absolute, no trailing separator.
std::string CurrentDirectory(const std::string& dir) {
    std::error_code ec;
    fs::path path = fs::absolute(dir.empty() ? fs::path(".") : fs::path(dir), ec).lexically_normal();
    if (!path.has_filename() && path != path.root_path()) path = path.parent_path();
    return ec ? std::string() : path.string();
}

void LowerExtension(char* extension) {
#ifdef _WIN32
    ::CharLowerA(extension);
#else
    for (char* c = extension; *c != '\0'; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
#endif
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", value & 0xFFFF);
    return text;
}

bool Contains(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const auto& line : lines)
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

// Replays the dialog; answers a CheckExit. `facts` gets the tool's own lines.
int Replay(const CheckOptions& o, Shown& shown, std::string& facts) {
    CompatList compat{};
    std::int32_t rows = 0, showWarning = 0;
    DriveEntry drive{};
    drive.HID = drive.TID = 0;  // a drive the program found
    std::snprintf(drive.ModelName, sizeof drive.ModelName, "%s(0)", o.id.c_str());
    std::snprintf(drive.Revision, sizeof drive.Revision, "%s", o.revision.c_str());

    // Start-up: without the list the dialog stops before its check, and
    // Upgrade stays enabled.
    if (std::FILE* fp = std::fopen(o.listPath.c_str(), "r")) {
        rows = ReadCompatListFile(fp, compat, showWarning);
        std::fclose(fp);
        Show("log: ", "This firmware can be used on below drives  :");
        for (int row = 0; row < rows; ++row)
            Show("log: ", "(" + std::to_string(row + 1) + ") " + compat.Model[row] + "  " + compat.FirmwareFile[row]);
        int matched = 0;
        while (matched < rows && !CompatRowMatches(compat, matched, drive.ModelName, drive.Revision)) ++matched;
        if (matched == rows) {
            Show("log: ", "CD-ROM drive model doesn't match!!");
            facts += "Start-up : no row has this model with a file name starting with '" + o.revision.substr(0, 1) +
                     "'; Upgrade is disabled\n";
            return kCheckRefused;
        }
        facts += "Start-up : row " + std::to_string(matched + 1) + " matches the drive\n";
    } else {
        Show("box: ", "The IDString.txt doesn't exist!!");
        facts += "Start-up : no list at " + o.listPath + "\n";
    }

    // Upgrade.
    if (FindModelRow(compat, rows, drive.ModelName) < 0) {
        Show("log: ", "Drive model doesn't match!");
        facts += "Upgrade  : no row has this model\n";
        return kCheckRefused;
    }
    if (showWarning != 0) facts += "Upgrade  : the list asks for confirmation first (\"Y\"); taken as confirmed\n";
    const std::string directory = CurrentDirectory(o.imageDir);
    if (directory.empty() || directory.size() >= kCurrentDirectorySize) {
        Show("box: ", "Can't retrieves the current directory.");
        facts += "Upgrade  : the folder's name must be shorter than 260 characters\n";
        return kCheckRefused;
    }
    FlashJob job{};
    job.Drive = drive;
    std::snprintf(job.szDriveText, sizeof job.szDriveText, "%s", drive.ModelName);
    std::snprintf(job.szRevision, sizeof job.szRevision, "%s", drive.Revision);
    if (FindModelRow(compat, rows, job.szDriveText) >= 0) {
        const int row = FirmwareRowForRevision(job.szRevision);
        const char* file = compat.FirmwareFile[row];
        facts += "Upgrade  : revision " + o.revision + " picks row " + std::to_string(row + 1) +
                 (row < rows ? ": \"" + std::string(file) + "\"\n" : ", which the list does not have\n");
        BuildImagePath(job.szImagePath, sizeof job.szImagePath, directory.c_str(), file);
    }
    ImageKind kind = ImageKind::Unknown;
    if (job.szImagePath[0] != '\0') {
        char* extension = FindExtension(job.szImagePath);
        const std::string asListed = extension != nullptr ? extension : "";
        if (extension != nullptr) LowerExtension(extension);
        kind = KindOfExtension(extension);
#ifndef _WIN32
        // The program's file system ignores case and takes '\'; this one
        // needs the name as listed and '/'.
        if (extension != nullptr) std::memcpy(extension, asListed.c_str(), asListed.size());
        job.szImagePath[directory.size()] = '/';
#endif
        facts += "Image    : " + std::string(job.szImagePath);
        if (kind == ImageKind::Unknown) {
            Show("box: ", "Input file format mismatched.");
            facts += ", neither \".hex\" nor \".bin\"\n";
            return kCheckRefused;
        }
        facts += kind == ImageKind::Hex ? " (Intel-HEX)\n" : " (raw binary)\n";
    }
    if (job.szImagePath[0] == '\0') {
        Show("box: ", "Update file name is not assigned.");
        facts += "Upgrade  : the image path does not fit " + std::to_string(kPathSize) + " characters\n";
        return kCheckRefused;
    }

    // The worker's run.
    job.bHexImage = kind == ImageKind::Hex ? 1 : 0;
    job.Hooks = UiHooks{HookText,     HookText,     HookText, HookGetText,   HookMessage,
                        HookStatus,   HookProgress, HookIdle, HookTerminated};
    job.bUsePassThrough = TransportPassThrough;
    DryRunPlatform platform;
    std::error_code ec;
    const fs::path sumPath =
        fs::temp_directory_path(ec) /
        ("marrowfin-check-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".txt");
    fs::remove(sumPath, ec);
    bool modelFound = false, revisionFound = false;
    {
        CFlashEngine engine(job, platform);
        engine.SetSumFilePath(sumPath.string().c_str());
        engine.Run();
        modelFound = engine.ModelFound();
        revisionFound = engine.RevisionFound();
    }
    std::ifstream sumFile(sumPath, std::ios::binary);
    const std::string trace((std::istreambuf_iterator<char>(sumFile)), std::istreambuf_iterator<char>());
    sumFile.close();
    fs::remove(sumPath, ec);

    const auto& said = shown.messages;
    if (Contains(said, "Check Sum") || Contains(said, "It is an incorrect firmware version!")) {
        const char* found[] = {"not found", "found"};
        if (kind == ImageKind::Hex) modelFound = Contains(said, "Check Sum");
        facts += std::string("Content  : identification ") + found[modelFound];
        if (kind == ImageKind::Bin)
            facts += std::string(", revision \"") + o.revision.substr(0, 2) + "\" " + found[revisionFound];
        facts += "\n";
    }
    facts += "Commands : " + std::to_string(platform.chunks) + " chunks of 4096 bytes";
    if (platform.header) facts += ", header sum " + Hex4(platform.headerSum);
    facts += platform.saved ? ", save sent" : ", no save";
    if (platform.sleptMs != 0) facts += "; " + std::to_string(platform.sleptMs / 1000) + " s of waiting skipped";
    facts += "\n";
    if (o.verbose) facts += "Commands sent:\n" + platform.commands + "sum.txt:\n" + trace;
    return !said.empty() && said.back() == kRestart ? kCheckWouldFlash : kCheckRefused;
}

}  // namespace

int RunCheck(const CheckOptions& options, std::string& report) {
    Shown shown;
    shown.verbose = options.verbose;
    g_shown = &shown;
    std::string facts;
    const int status = Replay(options, shown, facts);
    g_shown = nullptr;
    report += "Drive    : \"" + options.id + "\" revision \"" + options.revision + "\"\n";
    report += "List     : " + options.listPath + "\n";
    report += "MARROWFIN would show:\n" + shown.text + facts;
    report += status == kCheckWouldFlash ? "Result   : the upgrade would start and succeed\n"
                                         : "Result   : MARROWFIN would refuse or the run would fail\n";
    return status;
}

int ParseCheckArgs(int argc, const char* const* argv, CheckOptions& o, std::string& message) {
    struct Valued {
        const char *shortName, *longName;
        std::string* value;
        bool set;
    } valued[] = {{"-l", "--list", &o.listPath, false},
                  {"-d", "--dir", &o.imageDir, false},
                  {"-i", "--id", &o.id, false},
                  {"-r", "--revision", &o.revision, false}};
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") optionsEnded = true;
        else if (arg == "-h" || arg == "--help") return message = kHelp, kCheckWouldFlash;
        else if (arg == "-v" || arg == "--verbose") o.verbose = true;
        else {
            Valued* option = nullptr;
            std::string value;
            bool hasValue = false;
            for (auto& v : valued) {
                const std::string prefix = std::string(v.longName) + "=";
                if (arg == v.shortName || arg == v.longName) option = &v;
                else if (arg.rfind(prefix, 0) == 0) option = &v, value = arg.substr(prefix.size()), hasValue = true;
            }
            if (option == nullptr) return message = "unknown option '" + arg + "'", kCheckUsage;
            if (!hasValue && i + 1 >= argc) return message = "option '" + arg + "' needs a value", kCheckUsage;
            if (option->set) return message = "option '" + std::string(option->longName) + "' given twice", kCheckUsage;
            *option->value = hasValue ? value : argv[++i];
            option->set = true;
        }
    }
    std::string folder;
    if (positional.size() == 1 || positional.size() == 3) {
        folder = positional[0];
        for (std::size_t p = 1; p < positional.size(); ++p) {
            if (valued[p + 1].set) return message = "identification or revision given twice", kCheckUsage;
            *valued[p + 1].value = positional[p];
        }
    } else if (!positional.empty()) {
        return message = "expected FOLDER, or FOLDER ID REVISION", kCheckUsage;
    }
    if (!folder.empty()) {
        if (o.listPath.empty()) o.listPath = (fs::path(folder) / "IDString.txt").string();
        if (o.imageDir.empty()) o.imageDir = folder;
    }
    if (o.listPath.empty()) o.listPath = "IDString.txt";
    if (o.imageDir.empty()) o.imageDir = fs::path(o.listPath).parent_path().string();
    if (o.id.size() != static_cast<std::size_t>(kModelLength))
        return message = "the identification must be 24 characters, vendor (8) and product (16) with their spaces; got " +
                         std::to_string(o.id.size()),
               kCheckUsage;
    if (o.revision.size() != 4) return message = "the revision must be 4 characters (e.g. A054)", kCheckUsage;
    return -1;
}
