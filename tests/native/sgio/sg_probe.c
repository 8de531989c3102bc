/* A SCSI generic caller, built for amd64 and for i386 with 64-bit time as
 * Debian's Wine is (so that its ioctl and fstat are __ioctl_time64 and
 * __fstat64_time64): tells the file type fstat gives, asks the sg version,
 * the address and a standard INQUIRY of the device named, each twice, and
 * prints what came back or why it failed. */
#include <errno.h>
#include <fcntl.h>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    int fd = argc == 2 ? open(argv[1], O_RDONLY) : -1;
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return 2;
    printf("%s ", S_ISBLK(st.st_mode) ? "block" : S_ISREG(st.st_mode) ? "file" : "other");
    for (int round = 0; round < 2; ++round) {
        int version = 0, idlun[2] = {0, 0};
        unsigned char cdb[6] = {0x12, 0, 0, 0, 36, 0}, data[36] = {0}, sense[32] = {0};
        sg_io_hdr_t h;
        memset(&h, 0, sizeof h);
        h.interface_id = 'S';
        h.dxfer_direction = SG_DXFER_FROM_DEV;
        h.cmd_len = sizeof cdb;
        h.cmdp = cdb;
        h.dxfer_len = sizeof data;
        h.dxferp = data;
        h.mx_sb_len = sizeof sense;
        h.sbp = sense;
        if (ioctl(fd, SG_GET_VERSION_NUM, &version) != 0 || ioctl(fd, SCSI_IOCTL_GET_IDLUN, idlun) != 0) return 3;
        if (ioctl(fd, SG_IO, &h) != 0) {
            printf("version=%d idlun=%08X sg_io=%s\n", version, (unsigned)idlun[0], strerror(errno));
            continue;
        }
        printf("version=%d idlun=%08X status=%d resid=%d id=%.28s\n", version, (unsigned)idlun[0], h.status, h.resid,
               (const char*)data + 8);
    }
    return 0;
}
