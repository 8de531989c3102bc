// mf-vdrived: the process that owns the virtual drives of one drive list and
// answers the SCSI commands libmfsgio.so forwards from any Linux process
// (format of the list: vdrive/aspi/README.md; this program: README.md here).
//
//   mf-vdrived run <list>     serve in the foreground until stopped
//   mf-vdrived start <list>   serve in the background; returns once it listens
//   mf-vdrived stop <list>    ask the background process to end
//
// Any fault in the list, a missing stand-in file or an unreadable state file
// stops it before it serves anything, with the reason on stderr and exit 2;
// nothing on disk is touched then.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "vdrive/VirtualDrive.h"
#include "vdrive/aspi/LayerConfig.h"
#include "vdrive/aspi/RecordFile.h"
#include "vdrive/sgio/DriveState.h"
#include "vdrive/sgio/Protocol.h"

namespace vdrive::sgio {
namespace {

constexpr std::size_t kMaxListBytes = 1024 * 1024;

struct Served {
    std::uint8_t adapter = 0;
    std::uint8_t target = 0;
    Revision declared{};  // the revision the list gives
    std::unique_ptr<VirtualDrive> drive;
};

struct Daemon {
    std::string list;  // real path
    std::string statePath;
    std::vector<Served> drives;
    std::unique_ptr<aspi::RecordFile> record;
    std::mutex mutex;  // one command at a time, so record lines and state stay in order
    int listener = -1;
    std::size_t adapters = 0;
};

int Refuse(const std::string& message) {
    std::fprintf(stderr, "mf-vdrived: %s\n", message.c_str());
    return 2;
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

// Everything that can be wrong with the input is found here, before any
// file is written or any socket is bound.
int Load(const char* listArg, Daemon& d) {
    char real[PATH_MAX];
    if (realpath(listArg, real) == nullptr)
        return Refuse(std::string("cannot find the drive list ") + listArg + ": " + std::strerror(errno));
    d.list = real;
    std::string text, error;
    if (!ReadFile(d.list, text, error)) return Refuse(error);
    if (text.size() > kMaxListBytes) return Refuse(d.list + " is larger than 1 MB");

    const aspi::LayerConfig config = aspi::ParseLayerConfig(text);
    for (const std::string& note : config.notes) std::fprintf(stderr, "mf-vdrived: %s: %s\n", d.list.c_str(), note.c_str());
    if (!config.notes.empty()) return Refuse("the list has lines it cannot use; nothing was started");

    d.adapters = config.adapters.size();
    d.statePath = d.list + ".state";
    std::vector<DriveState> states;
    if (ReadFile(d.statePath, text, error)) {
        auto parsed = ParseDriveState(text, error);
        if (!parsed) return Refuse(d.statePath + ": " + error + "; move it away to start the drives afresh");
        states = *parsed;
    }

    // Callers find a drive by its stand-in's device and inode, so two
    // spellings of one file ("sr0", "./sr0") would leave the second drive
    // unreachable.
    std::vector<std::pair<dev_t, ino_t>> files;
    for (const aspi::DriveSlotConfig& slot : config.drives) {
        if (slot.path.empty()) continue;  // served by the ASPI layer only
        const std::string standIn = BesideList(d.list, slot.path);
        const std::string name = "drive " + std::to_string(slot.adapter) + " " + std::to_string(slot.target);
        struct stat st {};
        if (stat(standIn.c_str(), &st) != 0)
            return Refuse("the stand-in file " + standIn + " of " + name + " is missing (" + std::strerror(errno) +
                          "); create it, an empty file will do");
        for (const auto& [dev, ino] : files)
            if (dev == st.st_dev && ino == st.st_ino)
                return Refuse("the stand-in file " + standIn + " of " + name + " is another drive's too");
        files.emplace_back(st.st_dev, st.st_ino);
        Served s;
        s.adapter = slot.adapter;
        s.target = slot.target;
        s.declared = slot.drive.revision;
        DriveConfig drive = slot.drive;
        for (const DriveState& st2 : states) {
            if (st2.adapter == s.adapter && st2.target == s.target && st2.from == s.declared) {
                drive.revision = st2.revision;
                drive.savesBefore = st2.saves;
            }
        }
        s.drive = std::make_unique<VirtualDrive>(drive);
        d.drives.push_back(std::move(s));
    }
    if (d.drives.empty()) return Refuse(d.list + " has no drive with a path= stand-in file; nothing to serve");

    // The record's relative path, like the stand-ins', is taken from the
    // list's folder: the daemon's working directory is nobody's concern.
    d.record = std::make_unique<aspi::RecordFile>(config.recordPath.empty() ? "" : BesideList(d.list, config.recordPath));
    return 0;
}

void SaveState(Daemon& d) {
    std::vector<DriveState> states;
    for (const Served& s : d.drives)
        states.push_back(DriveState{s.adapter, s.target, s.declared, s.drive->CurrentRevision(), s.drive->SaveCount()});
    // Written aside and renamed, so a crash never leaves half a state file.
    const std::string temp = d.statePath + ".new";
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << FormatDriveState(states);
    out.close();
    if (!out || std::rename(temp.c_str(), d.statePath.c_str()) != 0)
        std::fprintf(stderr, "mf-vdrived: cannot write %s: %s\n", d.statePath.c_str(), std::strerror(errno));
}


Response Execute(Daemon& d, const Request& q, std::vector<std::uint8_t>& data) {
    Response r;
    Served* served = nullptr;
    for (Served& s : d.drives)
        if (s.adapter == q.adapter && s.target == q.target) served = &s;
    if (served == nullptr) {
        r.outcome = kNoSuchDrive;
        return r;
    }
    std::lock_guard<std::mutex> lock(d.mutex);
    const std::uint32_t savesBefore = served->drive->SaveCount();
    const Result result = served->drive->Execute(q.cdb, q.cdbLength, q.dirFlags, data.data(), q.length);
    const CommandLog log = served->drive->Log();
    served->drive->ClearLog();
    for (const CommandRecord& c : log.Records())
        d.record->Append(aspi::FormatCommandLine(q.adapter, q.target, c, false));
    if (served->drive->SaveCount() != savesBefore) {
        const auto image = served->drive->SavedImage();
        const std::string name = aspi::SavedImageName(q.adapter, q.target);
        if (d.record->WriteBeside(name, image)) d.record->Append(aspi::FormatSavedLine(q.adapter, q.target, image, name));
        SaveState(d);
    }
    if (result.transportFailure) {
        r.outcome = kNoAnswer;
        return r;
    }
    r.status = result.status;
    std::memcpy(r.sense, result.senseData.data(), sizeof r.sense);
    r.dataIn = result.dataIn;
    return r;
}

void Serve(Daemon& d, int fd) {
    Request q;
    while (ReadAll(fd, &q, sizeof q)) {
        if (q.magic == kStopMagic) {
            std::lock_guard<std::mutex> lock(d.mutex);  // no command is half done
            close(d.listener);
            Response r;
            WriteAll(fd, &r, sizeof r);
            std::fprintf(stderr, "mf-vdrived: stopped\n");
            std::_Exit(0);
        }
        if (q.magic != kRequestMagic || q.length > kMaxTransfer || q.cdbLength > 16) break;
        std::vector<std::uint8_t> data(q.length, 0);
        if ((q.dirFlags & 0x10) != 0 && !ReadAll(fd, data.data(), data.size())) break;  // SRB_DIR_OUT
        const Response r = Execute(d, q, data);
        if (!WriteAll(fd, &r, sizeof r) || !WriteAll(fd, data.data(), r.dataIn)) break;
    }
    close(fd);
}

sockaddr_un Address(const std::string& list, socklen_t& length) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string name = SocketName(list);
    std::memcpy(a.sun_path + 1, name.data(), name.size());  // sun_path[0] = 0: abstract
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return a;
}

int Listen(Daemon& d) {
    socklen_t length = 0;
    const sockaddr_un a = Address(d.list, length);
    d.listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (d.listener < 0 || bind(d.listener, reinterpret_cast<const sockaddr*>(&a), length) != 0) {
        if (errno == EADDRINUSE) return Refuse("another mf-vdrived already serves " + d.list);
        return Refuse(std::string("cannot open the drive socket: ") + std::strerror(errno));
    }
    if (listen(d.listener, 16) != 0) return Refuse(std::string("cannot listen: ") + std::strerror(errno));
    d.record->Append("load config=" + d.list + " adapters=" + std::to_string(d.adapters) + " drives=" + std::to_string(d.drives.size()) + " notes=0");
    return 0;
}

[[noreturn]] void AcceptLoop(Daemon& d) {
    for (;;) {
        const int fd = accept4(d.listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            std::fprintf(stderr, "mf-vdrived: accept failed: %s\n", std::strerror(errno));
            std::_Exit(1);
        }
        std::thread(Serve, std::ref(d), fd).detach();
    }
}

int Stop(const char* listArg) {
    char real[PATH_MAX];
    if (realpath(listArg, real) == nullptr)
        return Refuse(std::string("cannot find the drive list ") + listArg + ": " + std::strerror(errno));
    socklen_t length = 0;
    const sockaddr_un a = Address(real, length);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&a), length) != 0)
        return Refuse(std::string("no drive process serves ") + real);
    Request q;
    q.magic = kStopMagic;
    Response r;
    const bool ok = WriteAll(fd, &q, sizeof q) && ReadAll(fd, &r, sizeof r);
    close(fd);
    return ok ? 0 : Refuse("the drive process did not confirm the stop");
}

}  // namespace
}  // namespace vdrive::sgio

int main(int argc, char** argv) {
    using namespace vdrive::sgio;
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "run" && mode != "start" && mode != "stop") {
        std::fprintf(stderr, "usage: mf-vdrived run|start|stop <vdrives.txt>\n");
        return 2;
    }
    if (mode == "stop") return Stop(argv[2]);
    std::signal(SIGPIPE, SIG_IGN);
    static Daemon d;
    if (int rc = Load(argv[2], d); rc != 0) return rc;
    if (int rc = Listen(d); rc != 0) return rc;
    if (mode == "start") {
        // Listening already, so clients may connect the moment this returns.
        const std::string logPath = d.list + ".log";
        const pid_t pid = fork();
        if (pid < 0) return Refuse(std::string("cannot start: ") + std::strerror(errno));
        if (pid > 0) {
            std::printf("%d\n", static_cast<int>(pid));
            return 0;
        }
        setsid();
        // Away from the caller's terminal and pipes, so a script that reads
        // this program's output is not held open by the background process.
        const int nul = open("/dev/null", O_RDONLY);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (nul >= 0) dup2(nul, 0);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
    }
    std::fprintf(stderr, "mf-vdrived: serving %zu drive(s) of %s\n", d.drives.size(), d.list.c_str());
    AcceptLoop(d);
}
