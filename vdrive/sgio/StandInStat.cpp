// fstat on a stand-in file reports a block device, as a CD-ROM's device
// node is. Wine's adapter inquiry list (the NT 4 road) gives a unit its
// PathId and TargetId only for a block device, and then asks
// SCSI_IOCTL_GET_IDLUN, which Preload.cpp answers with the drive's adapter
// and target; with a regular file every drive would be listed at 0/0. The
// rest of the answer is the real file's. Every other descriptor's answer is
// left exactly as the C library gives it.
//
// The spelling replaced is the one Wine's ntdll calls: fstat on amd64, and
// __fstat64_time64 on i386, where Debian builds Wine for 64-bit time. That
// function fills the 64-bit time layout of struct stat, which this file
// gets from the C library's own headers by asking for 64-bit time and file
// offsets before any of them is read.
#if defined(__i386__)
#define _FILE_OFFSET_BITS 64
#define _TIME_BITS 64
#endif

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdint>

namespace vdrive::sgio {
bool IsStandIn(std::uint64_t dev, std::uint64_t ino);  // Preload.cpp
}  // namespace vdrive::sgio

namespace {

using StatFn = int (*)(int, struct stat*);

int ShownAsBlockDevice(StatFn next, int fd, struct stat* st) {
    const int rc = next(fd, st);
    if (rc == 0 && S_ISREG(st->st_mode) && vdrive::sgio::IsStandIn(st->st_dev, st->st_ino))
        st->st_mode = (st->st_mode & ~static_cast<mode_t>(S_IFMT)) | S_IFBLK;
    return rc;
}

}  // namespace

#if defined(__i386__)
extern "C" __attribute__((visibility("default"))) int __fstat64_time64(int fd, struct stat* st) {
    static const auto next = reinterpret_cast<StatFn>(dlsym(RTLD_NEXT, "__fstat64_time64"));
    return ShownAsBlockDevice(next, fd, st);
}
#else
extern "C" __attribute__((visibility("default"))) int fstat(int fd, struct stat* st) __THROW {
    static const auto next = reinterpret_cast<StatFn>(dlsym(RTLD_NEXT, "fstat"));
    return ShownAsBlockDevice(next, fd, st);
}
#endif
