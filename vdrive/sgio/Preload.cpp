// libmfsgio.so: preloaded into a Linux process (sg3_utils, or Wine running
// the program), it answers the SCSI generic calls made on a stand-in file of
// the drive list named by MARROWFIN_VDRIVES by forwarding them to mf-vdrived.
// Every other descriptor and request goes to the C library untouched.
//
// Handled on a stand-in: SG_GET_VERSION_NUM, SG_IO (sg_io_hdr, interface
// 'S', no scatter lists) and SCSI_IOCTL_GET_IDLUN; fstat shows a stand-in
// as a block device (StandInStat.cpp). A stand-in is recognised
// by its device and inode, so any path or link to it (Wine's dosdevices
// entry included) counts. Built without sanitizers and with the C++ runtime
// linked in, so it loads into any program of its word size.
#include <dlfcn.h>
#include <pthread.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vdrive/aspi/LayerConfig.h"
#include "vdrive/sgio/Protocol.h"

namespace vdrive::sgio {
namespace {

constexpr int kSgVersion = 30536;     // what a current Linux sg driver answers
constexpr std::uint8_t kDirIn = 0x08;   // SRB_DIR_IN
constexpr std::uint8_t kDirOut = 0x10;  // SRB_DIR_OUT
constexpr unsigned char kDriverSense = 0x08;

struct StandIn {
    dev_t dev;
    ino_t ino;
    std::uint8_t adapter;
    std::uint8_t target;
    std::string path;
};

using IoctlFn = int (*)(int, unsigned long, ...);

pthread_once_t g_once = PTHREAD_ONCE_INIT;
std::string g_list;  // real path; empty when nothing is served
std::vector<StandIn> g_standIns;
pthread_mutex_t g_wire = PTHREAD_MUTEX_INITIALIZER;
int g_socket = -1;
pid_t g_socketOwner = 0;  // a forked child opens its own connection
std::atomic<bool> g_toldDead{false};

void Say(const std::string& message) {
    const std::string line = "libmfsgio: " + message + "\n";
    (void)!write(2, line.data(), line.size());
}

void LoadList() {
    const char* env = std::getenv("MARROWFIN_VDRIVES");
    if (env == nullptr || *env == 0) {
        Say("MARROWFIN_VDRIVES is not set, so no stand-in file is served");
        return;
    }
    char real[PATH_MAX];
    if (realpath(env, real) == nullptr) {
        Say(std::string("cannot find the drive list ") + env + ": " + std::strerror(errno));
        return;
    }
    std::ifstream in(real, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const aspi::LayerConfig config = aspi::ParseLayerConfig(text.str());
    for (const std::string& note : config.notes) Say(std::string(real) + ": " + note);
    g_list = real;
    for (const aspi::DriveSlotConfig& slot : config.drives) {
        if (slot.path.empty()) continue;
        const std::string path = BesideList(g_list, slot.path);
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            Say("the stand-in file " + path + " is missing: " + std::strerror(errno));
            continue;
        }
        g_standIns.push_back(StandIn{st.st_dev, st.st_ino, slot.adapter, slot.target, path});
    }
}

// Set while this thread reads the list: a stat the C++ library makes on
// its own stream then must not ask for the list again.
thread_local bool t_loading = false;

void LoadListOnce() {
    t_loading = true;
    LoadList();
    t_loading = false;
}

const StandIn* FindIdentity(std::uint64_t dev, std::uint64_t ino) {
    if (t_loading) return nullptr;
    pthread_once(&g_once, LoadListOnce);
    for (const StandIn& s : g_standIns)
        if (s.dev == dev && s.ino == ino) return &s;
    return nullptr;
}

const StandIn* Find(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return nullptr;
    return FindIdentity(st.st_dev, st.st_ino);
}


void Disconnect() {
    if (g_socket >= 0) close(g_socket);
    g_socket = -1;
}

bool Connect() {
    if (g_socket >= 0 && g_socketOwner == getpid()) return true;
    g_socket = -1;  // a parent's connection stays the parent's
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string name = SocketName(g_list);
    std::memcpy(a.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), length) != 0) {
        const int e = errno;
        close(fd);
        errno = e;
        return false;
    }
    g_socket = fd;
    g_socketOwner = getpid();
    return true;
}

// One command there and back. False when the daemon cannot be reached or
// went away part way; the command is sent a second time only when the
// first attempt could not even be delivered (a daemon restarted since).
bool Transact(const Request& q, const void* out, Response& r, void* in, std::uint32_t inCap) {
    pthread_mutex_lock(&g_wire);
    bool ok = false;
    for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
        if (!Connect()) break;
        if (!WriteAll(g_socket, &q, sizeof q) || (out != nullptr && !WriteAll(g_socket, out, q.length))) {
            Disconnect();
            continue;
        }
        ok = ReadAll(g_socket, &r, sizeof r) && r.magic == kResponseMagic && r.dataIn <= inCap &&
             (r.dataIn == 0 || ReadAll(g_socket, in, r.dataIn));
        if (!ok) {
            Disconnect();
            break;
        }
    }
    const int e = errno;
    pthread_mutex_unlock(&g_wire);
    if (!ok && !g_toldDead.exchange(true))
        Say("the drive process of " + g_list + " does not answer (" + std::strerror(e) +
            "); is mf-vdrived running? SCSI commands to its stand-in files fail");
    return ok;
}

int Fail(int e) {
    errno = e;
    return -1;
}

int SgIo(const StandIn& s, sg_io_hdr_t* h) {
    if (h == nullptr) return Fail(EFAULT);
    if (h->interface_id != 'S') return Fail(ENOSYS);
    if (h->iovec_count != 0 || h->cmd_len == 0 || h->cmd_len > 16 || h->cmdp == nullptr) return Fail(EINVAL);
    Request q;
    q.adapter = s.adapter;
    q.target = s.target;
    q.cdbLength = h->cmd_len;
    std::memcpy(q.cdb, h->cmdp, h->cmd_len);
    switch (h->dxfer_direction) {
    case SG_DXFER_NONE:
        break;
    case SG_DXFER_TO_DEV:
        q.dirFlags = kDirOut;
        q.length = h->dxfer_len;
        break;
    case SG_DXFER_FROM_DEV:
    case SG_DXFER_TO_FROM_DEV:  // a data-in transfer, as the sg driver treats it
        q.dirFlags = kDirIn;
        q.length = h->dxfer_len;
        break;
    default:
        return Fail(EINVAL);
    }
    if (q.length > kMaxTransfer) return Fail(ENOMEM);
    if (q.length != 0 && h->dxferp == nullptr) return Fail(EFAULT);

    Response r;
    const bool in = q.dirFlags == kDirIn;
    if (!Transact(q, q.dirFlags == kDirOut ? h->dxferp : nullptr, r, in ? h->dxferp : nullptr, in ? q.length : 0))
        return Fail(ENODEV);
    if (r.outcome != kAnswered) return Fail(ENODEV);  // the drive vanished, or the daemon does not serve it

    h->status = r.status;
    h->masked_status = static_cast<unsigned char>((r.status >> 1) & 0x7F);
    h->msg_status = 0;
    h->host_status = 0;
    h->driver_status = 0;
    h->sb_len_wr = 0;
    if (r.status == 0x02) {  // CHECK CONDITION: the drive's fixed-format sense
        const unsigned n = h->sbp == nullptr ? 0 : std::min<unsigned>(h->mx_sb_len, sizeof r.sense);
        if (n != 0) std::memcpy(h->sbp, r.sense, n);
        h->sb_len_wr = static_cast<unsigned char>(n);
        h->driver_status = kDriverSense;
    }
    h->resid = in ? static_cast<int>(q.length - r.dataIn) : 0;
    h->duration = 0;
    h->info = (h->status != 0 || h->driver_status != 0) ? SG_INFO_CHECK : 0;
    return 0;
}

// True when the request is ours to answer (the result is then in `rc`).
bool Handle(int fd, unsigned long request, void* arg, int& rc) {
    if (request != SG_IO && request != SG_GET_VERSION_NUM && request != SCSI_IOCTL_GET_IDLUN) return false;
    const StandIn* s = Find(fd);
    if (s == nullptr) return false;
    if (request == SG_IO) {
        rc = SgIo(*s, static_cast<sg_io_hdr_t*>(arg));
    } else if (arg == nullptr) {
        rc = Fail(EFAULT);
    } else if (request == SG_GET_VERSION_NUM) {
        *static_cast<int*>(arg) = kSgVersion;
        rc = 0;
    } else {
        // dev_id: target, LUN 0, channel 0, host number = the list's adapter.
        int* idlun = static_cast<int*>(arg);
        idlun[0] = s->target | (s->adapter << 24);
        idlun[1] = s->adapter;
        rc = 0;
    }
    return true;
}

IoctlFn Next(const char* name) {
    auto fn = reinterpret_cast<IoctlFn>(dlsym(RTLD_NEXT, name));
    return fn != nullptr ? fn : reinterpret_cast<IoctlFn>(dlsym(RTLD_NEXT, "ioctl"));
}

}  // namespace

bool IsStandIn(std::uint64_t dev, std::uint64_t ino) { return FindIdentity(dev, ino) != nullptr; }

}  // namespace vdrive::sgio

// Both spellings: 32-bit programs built for 64-bit time (Debian's i386
// Wine among them) call __ioctl_time64. Each takes its one argument and
// hands the call on to the same dispatcher.
namespace {
// `next` is the spelling's own function in the C library, looked up once.
int Dispatch(vdrive::sgio::IoctlFn next, int fd, unsigned long request, void* arg) {
    int rc = 0;
    if (vdrive::sgio::Handle(fd, request, arg, rc)) return rc;
    return next(fd, request, arg);
}
}  // namespace

extern "C" __attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) __THROW {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    static const vdrive::sgio::IoctlFn next = vdrive::sgio::Next("ioctl");
    return Dispatch(next, fd, request, arg);
}

extern "C" __attribute__((visibility("default"))) int __ioctl_time64(int fd, unsigned long request, ...) __THROW {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    static const vdrive::sgio::IoctlFn next = vdrive::sgio::Next("__ioctl_time64");
    return Dispatch(next, fd, request, arg);
}
