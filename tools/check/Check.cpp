// marrowfin-check: the start-up check and the Upgrade command of the main
// dialog, replayed for one drive with the program's own decision functions,
// then the engine's run against a platform that answers every command at
// once. Nothing reaches a drive; sum.txt goes to a temporary file.
#include "Check.h"

#include <algorithm>
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

#include "CheckFacts.h"
#include "HexDiagnosis.h"
#include "app/CompatList.h"
#include "app/UpgradeChoice.h"
#include "flash/FlashEngine.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCurrentDirectorySize = 260;  // the dialog's MAX_PATH buffer
const char* const kRestart = "Please Restart Your Computer.";

const char* const kHelp =
    "Usage: marrowfin-check [--list IDString.txt] [--dir FOLDER] --id ID --revision REV [--verbose] [--json]\n"
    "       marrowfin-check [--verbose] [--json] FOLDER ID REVISION\n"
    "Shows what MARROWFIN would do with a firmware package for one drive, without\n"
    "touching any drive: the list row that matches, the image chosen, every refusal\n"
    "in the program's own words, the engine's run with every command accepted, and\n"
    "\"Why\" lines where the program's words do not say what is wrong.\n"
    "\n"
    "  -l, --list FILE      compatibility list (default: FOLDER/IDString.txt, or\n"
    "                       IDString.txt in the current directory)\n"
    "  -d, --dir FOLDER     folder MARROWFIN would run in, holding the images\n"
    "                       (default: FOLDER, or the list's folder)\n"
    "  -i, --id ID          the drive's INQUIRY vendor (8) and product (16)\n"
    "                       identification: 24 characters, trailing spaces included\n"
    "  -r, --revision REV   the drive's INQUIRY revision, 4 characters (e.g. A054)\n"
    "  -v, --verbose        also list every command sent and the sum.txt trace\n"
    "  -j, --json           print the same facts as one JSON object\n"
    "  -h, --help           print this help and exit\n"
    "\n"
    "Exit status:\n"
    "  0  the upgrade would start and end in \"Please Restart Your Computer.\"\n"
    "  1  refused at start-up: no list row matches the drive, Upgrade is disabled\n"
    "  2  usage error\n"
    "  3  refused by the Upgrade command's checks, before any command is sent\n"
    "  4  the image is rejected by the engine: no chunk, or no save, is sent\n";

CheckFacts* g_facts = nullptr;

void Show(const char* where, const std::string& text) { g_facts->shown.push_back({where, text}); }
void Note(const std::string& label, const std::string& text) { g_facts->notes.push_back(label + ": " + text); }
void HookMessage(void*, const char* text) { Show("log", text); }
void HookStatus(void*, const char* text) {
    if (g_facts->verbose && text[0] != '\0') Show("status", text);
}
void HookText(void*, const char*) {}
int HookGetText(void*, char* buffer) { return buffer[0] = '\0', 0; }
int HookProgress(void*, int) { return 0; }
void HookIdle(void*) {}
std::uint8_t HookTerminated(void*) { return 0; }

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

std::string Hex(unsigned value) {
    char text[12];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

bool Said(const std::string& prefix) {
    for (const auto& line : g_facts->shown)
        if (line.where == "log" && line.text.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The list's lines as a person sees them: whether an editor put a byte-order
// mark in front, and the rows past the tenth, which the program never reads.
void ReadListLines(const std::string& path, CheckFacts& f) {
    std::string text = ReadWhole(path);
    f.byteOrderMark = text.rfind("\xEF\xBB\xBF", 0) == 0;
    if (f.byteOrderMark) text.erase(0, 3);
    std::size_t at = 0;
    for (int line = 1; at < text.size() && text[at] == '"'; ++line) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string row = text.substr(at, end - at);
        if (!row.empty() && row.back() == '\r') row.pop_back();
        if (line > kCompatRows) f.ignoredRows.push_back({line, row});
        at = end + 1;
    }
}

// Why the image could not be read: not there (perhaps there in another case,
// which Windows would not mind), or empty.
void ExplainUnreadableImage(const std::string& path, CheckFacts& f) {
    std::error_code ec;
    const fs::path image(path);
    if (!fs::exists(image, ec)) {
        f.why.push_back("the image \"" + image.filename().string() + "\" does not exist in " +
                        image.parent_path().string());
#ifndef _WIN32
        const auto lower = [](std::string s) {
            for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        for (const auto& entry : fs::directory_iterator(image.parent_path(), ec)) {
            const std::string name = entry.path().filename().string();
            if (lower(name) == lower(image.filename().string()))
                f.why.push_back("\"" + name + "\" differs from it only in case: Windows would open it, but this "
                                "file system tells them apart");
        }
#endif
    } else if (fs::file_size(image, ec) == 0 && !ec) {
        f.why.push_back("the image file is empty (0 bytes)");
    }
}

// What each sum of a ".hex" image adds: the "Check Sum" the segments the file
// announces, the header the segments sent; they differ only when a data
// record runs on past the announced segments.
void ExplainHexSums(const HexReading& hex, CheckFacts& f) {
    const std::uint32_t segment = kSegmentSize, buffer = kImageBufferSize;
    const std::uint32_t checked = hex.segments >= kBankCount / 2 - 1 ? buffer : (hex.segments + 1) * segment;
    std::uint32_t sent = (hex.dataEnd & ~(segment - 1)) + segment;
    if (sent > buffer) sent = buffer;
    const bool oneMore = hex.dataEnd != 0 && hex.dataEnd % segment == 0 && sent > hex.dataEnd;
    const std::string last = hex.dataEnd != 0 ? Hex(hex.dataEnd - 1) + "h" : "none";
    f.why.push_back("the \"Check Sum\" adds the first " + std::to_string(checked / 1024) + " KB of the image, the " +
                    std::to_string(checked / segment) + " segment(s) the file announces (" +
                    std::to_string(hex.segments) + " segment record(s) and the first), unwritten bytes as FFh");
    f.why.push_back("the header sum adds the " + std::to_string(sent / 1024) +
                    " KB sent: up to the end of the segment holding the last data byte, " + last +
                    (oneMore ? ", and one segment more, since that byte ends a segment" : ""));
    f.why.push_back("so bytes " + Hex(std::min(checked, sent)) + "h to " + Hex(std::max(checked, sent) - 1) +
                    "h count in only one of them: a data record runs on past the segments the file announces");
}

// After the engine's run: what its words leave unsaid about the image.
void ExplainImage(const std::string& path, ImageKind kind, CheckFacts& f) {
    if (Said("ERR: fail to open output file!") || Said("ERR: fail to read input file!")) {
        ExplainUnreadableImage(path, f);
        return;
    }
    if (kind != ImageKind::Hex) return;
    std::error_code ec;
    if (fs::exists(path, ec) && fs::file_size(path, ec) == 0) {
        f.why.push_back("the image file is empty (0 bytes)");
        return;
    }
    const HexReading hex = ReadHexForDiagnosis(ReadWhole(path));
    if (Said("ERR: input file format mismatched!") && hex.faultLine != 0)
        f.why.push_back("line " + std::to_string(hex.faultLine) + ": " + hex.fault);
    else if (hex.complete && f.checkSum >= 0 && f.headerSum >= 0 && f.checkSum != f.headerSum)
        ExplainHexSums(hex, f);
}

// Replays the dialog and the worker; answers a CheckExit.
int Replay(const CheckOptions& o, CheckFacts& f) {
    CompatList compat{};
    std::int32_t rows = 0, showWarning = 0;
    DriveEntry drive{};
    drive.HID = drive.TID = 0;  // a drive the program found
    std::snprintf(drive.ModelName, sizeof drive.ModelName, "%s(0)", o.id.c_str());
    std::snprintf(drive.Revision, sizeof drive.Revision, "%s", o.revision.c_str());

    // Start-up: without the list the dialog stops before its check, and
    // Upgrade stays enabled.
    if (std::FILE* fp = std::fopen(o.listPath.c_str(), "r")) {
        f.listFound = true;
        rows = ReadCompatListFile(fp, compat, showWarning);
        std::fclose(fp);
        f.rows = rows;
        ReadListLines(o.listPath, f);
        if (f.byteOrderMark) Note("List     ", "starts with a UTF-8 byte-order mark, which is skipped");
        for (const auto& row : f.ignoredRows)
            f.why.push_back("line " + std::to_string(row.line) + " is ignored: the program reads " +
                            std::to_string(kCompatRows) + " rows at most: " + row.text);
        Show("log", "This firmware can be used on below drives  :");
        for (int row = 0; row < rows; ++row)
            Show("log", "(" + std::to_string(row + 1) + ") " + compat.Model[row] + "  " + compat.FirmwareFile[row]);
        int matched = 0;
        while (matched < rows && !CompatRowMatches(compat, matched, drive.ModelName, drive.Revision)) ++matched;
        if (matched == rows) {
            Show("log", "CD-ROM drive model doesn't match!!");
            Note("Start-up ", "no row has this model with a file name starting with '" + o.revision.substr(0, 1) +
                                  "'; Upgrade is disabled");
            return kCheckRefusedAtStartUp;
        }
        f.startUpRow = matched + 1;
        Note("Start-up ", "row " + std::to_string(matched + 1) + " matches the drive");
    } else {
        Show("box", "The IDString.txt doesn't exist!!");
        Note("Start-up ", "no list at " + o.listPath);
    }

    // Upgrade.
    if (FindModelRow(compat, rows, drive.ModelName) < 0) {
        Show("log", "Drive model doesn't match!");
        Note("Upgrade  ", "no row has this model");
        return kCheckRefusedByUpgrade;
    }
    f.confirmation = showWarning != 0;
    if (f.confirmation) Note("Upgrade  ", "the list asks for confirmation first (\"Y\"); taken as confirmed");
    const std::string directory = CurrentDirectory(o.imageDir);
    if (directory.empty() || directory.size() >= kCurrentDirectorySize) {
        Show("box", "Can't retrieves the current directory.");
        Note("Upgrade  ", "the folder's name must be shorter than 260 characters");
        return kCheckRefusedByUpgrade;
    }
    FlashJob job{};
    job.Drive = drive;
    std::snprintf(job.szDriveText, sizeof job.szDriveText, "%s", drive.ModelName);
    std::snprintf(job.szRevision, sizeof job.szRevision, "%s", drive.Revision);
    const int row = FirmwareRowForRevision(job.szRevision);
    const char* file = compat.FirmwareFile[row];
    f.revisionRow = row + 1;
    Note("Upgrade  ", "revision " + o.revision + " picks row " + std::to_string(row + 1) +
                          (row < rows ? ": \"" + std::string(file) + "\"" : ", which the list does not have"));
    if (row >= rows)
        f.why.push_back("only revisions beginning with A049, A054, A056, 00 or AA take row 1; " + o.revision +
                        " takes row " + std::to_string(row + 1) + ", and the list has " + std::to_string(rows) +
                        " row(s), so the image's file name is empty");
    BuildImagePath(job.szImagePath, sizeof job.szImagePath, directory.c_str(), file);
    ImageKind kind = ImageKind::Unknown;
    if (job.szImagePath[0] == '\0') {
        Show("box", "Update file name is not assigned.");
        Note("Upgrade  ", "the image path does not fit " + std::to_string(kPathSize) + " characters");
        return kCheckRefusedByUpgrade;
    }
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
    f.imagePath = job.szImagePath;
    if (kind == ImageKind::Unknown) {
        f.imageKind = "unknown";
        Show("box", "Input file format mismatched.");
        Note("Image    ", f.imagePath + ", neither \".hex\" nor \".bin\"");
        return kCheckRefusedByUpgrade;
    }
    f.imageKind = kind == ImageKind::Hex ? "hex" : "bin";
    Note("Image    ", f.imagePath + (kind == ImageKind::Hex ? " (Intel-HEX)" : " (raw binary)"));

    // The worker's run.
    job.bHexImage = kind == ImageKind::Hex ? 1 : 0;
    job.Hooks = UiHooks{nullptr,    HookText,     HookText,     HookText, HookGetText,
                        HookMessage, HookStatus, HookProgress, HookIdle, HookTerminated};
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
    f.sumTrace = ReadWhole(sumPath.string());
    fs::remove(sumPath, ec);

    for (const auto& line : f.shown) {
        unsigned value = 0;
        if (std::sscanf(line.text.c_str(), "Check Sum : %X", &value) == 1) f.checkSum = static_cast<int>(value);
    }
    if (f.checkSum >= 0 || Said("It is an incorrect firmware version!")) {
        const char* found[] = {"not found", "found"};
        if (kind == ImageKind::Hex) modelFound = f.checkSum >= 0;
        f.identificationFound = modelFound;
        std::string content = std::string("identification ") + found[modelFound];
        if (kind == ImageKind::Bin) {
            f.revisionFound = revisionFound;
            content += std::string(", revision \"") + o.revision.substr(0, 2) + "\" " + found[revisionFound];
        }
        Note("Content  ", content);
    }
    f.chunks = platform.chunks;
    f.saved = platform.saved;
    f.waitSkippedS = static_cast<int>(platform.sleptMs / 1000);
    if (platform.header) f.headerSum = static_cast<int>(platform.headerSum);
    std::string commands = std::to_string(platform.chunks) + " chunks of 4096 bytes";
    if (platform.header) commands += ", header sum " + Hex(platform.headerSum);
    commands += platform.saved ? ", save sent" : ", no save";
    if (platform.sleptMs != 0) commands += "; " + std::to_string(platform.sleptMs / 1000) + " s of waiting skipped";
    Note("Commands ", commands);
    f.commandsSent = platform.commands;
    ExplainImage(job.szImagePath, kind, f);
    const bool flashed = !f.shown.empty() && f.shown.back().text == kRestart;
    return flashed ? kCheckWouldFlash : kCheckImageRejected;
}

}  // namespace

int RunCheck(const CheckOptions& options, std::string& report) {
    CheckFacts facts;
    facts.id = options.id;
    facts.revision = options.revision;
    facts.listPath = options.listPath;
    facts.verbose = options.verbose;
    g_facts = &facts;
    facts.exit = Replay(options, facts);
    g_facts = nullptr;
    report += options.json ? RenderCheckJson(facts) : RenderCheckText(facts);
    return facts.exit;
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
        else if (arg == "-j" || arg == "--json") o.json = true;
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
