// The wire between libmfsgio.so (inside any Linux process that opens a
// stand-in file) and mf-vdrived (the one process that owns the drives).
// One Unix stream connection per client process; each SCSI command is one
// request followed by its data-out bytes, answered by one response followed
// by its data-in bytes. Only fixed-width fields, naturally aligned, so the
// i386 and amd64 builds of the library talk to the same daemon.
//
// Header-only and free of C++ library state: the preload library includes it
// and runs inside programs that are not ours.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "vdrive/Digest.h"

namespace vdrive::sgio {

constexpr std::uint32_t kRequestMagic = 0x4D465351;   // "MFSQ"
constexpr std::uint32_t kResponseMagic = 0x4D465352;  // "MFSR"
constexpr std::uint32_t kStopMagic = 0x4D465354;      // "MFST": end the daemon
// Largest transfer either side accepts: more than a 24-bit offset plus a
// 24-bit length can address in the download buffer.
constexpr std::uint32_t kMaxTransfer = 32u * 1024u * 1024u;

struct Request {
    std::uint32_t magic = kRequestMagic;
    std::uint8_t adapter = 0;
    std::uint8_t target = 0;
    std::uint8_t cdbLength = 0;
    std::uint8_t dirFlags = 0;  // SRB_DIR_IN / SRB_DIR_OUT; data-out bytes follow when OUT is set
    std::uint8_t cdb[16] = {};
    std::uint32_t length = 0;
};
static_assert(sizeof(Request) == 28);

enum : std::uint8_t { kAnswered = 0, kNoAnswer = 1, kNoSuchDrive = 2 };

struct Response {
    std::uint32_t magic = kResponseMagic;
    std::uint8_t outcome = kAnswered;
    std::uint8_t status = 0;      // SCSI status when answered
    std::uint8_t sense[18] = {};  // fixed-format sense on CHECK CONDITION
    std::uint32_t dataIn = 0;     // data-in bytes that follow
};
static_assert(sizeof(Response) == 28);

// The daemon listens in the abstract socket namespace: nothing is left on
// disk when it dies, a dead daemon is a refused connection, and the name
// depends only on the list's real path, so every process that is given the
// same list finds the same daemon without another setting.
inline std::string SocketName(const std::string& realListPath) {
    char name[64];
    std::snprintf(name, sizeof name, "marrowfin-vdrived/%u/%08X", static_cast<unsigned>(getuid()),
                  static_cast<unsigned>(Fnv1a32(reinterpret_cast<const std::uint8_t*>(realListPath.data()),
                                                realListPath.size())));
    return name;
}

// A drive's stand-in path, a relative one taken from the list's folder so
// that the daemon and every client agree whatever their working directory.
inline std::string BesideList(const std::string& realListPath, const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    const auto slash = realListPath.rfind('/');
    return (slash == std::string::npos ? std::string(".") : realListPath.substr(0, slash)) + "/" + path;
}

// Whole messages over the stream: interrupted calls are resumed, a short
// transfer goes on, and the end of the connection is a failure. Sending never
// raises SIGPIPE in a program that is not ours.
inline bool ReadAll(int fd, void* data, std::size_t size) {
    auto* p = static_cast<std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

inline bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace vdrive::sgio
