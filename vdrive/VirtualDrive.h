// VirtualDrive: a model of an optical drive that speaks the commands the
// firmware upgrade uses: INQUIRY, the vendor command 95h/22h, WRITE BUFFER
// mode 6 (download with offsets) and mode 7 (download and save). It keeps a
// download buffer, checks the header sum on save, "programs" the image,
// stays NOT READY for a while afterwards, records every command and fails
// on request (FaultPlan).
//
// Thread safety: every public method takes the drive's mutex, so one drive
// may be addressed from several threads; queries return copies.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "vdrive/CommandLog.h"
#include "vdrive/DriveConfig.h"
#include "vdrive/Result.h"

namespace vdrive {

class VirtualDrive {
public:
    explicit VirtualDrive(DriveConfig config);
    VirtualDrive(const VirtualDrive&) = delete;
    VirtualDrive& operator=(const VirtualDrive&) = delete;

    // One command. `cdb` bytes past `cdbLength` (and past 16) read as zero.
    // Data moves only in the direction the flags allow (SRB_DIR_IN: into
    // `data`, at most `length` bytes; SRB_DIR_OUT: out of it); a null `data`
    // counts as no data. `data` is written only when the result is GOOD.
    Result Execute(const std::uint8_t* cdb, std::uint8_t cdbLength, std::uint8_t dirFlags,
                   std::uint8_t* data, std::uint32_t length);

    // Replaces the fault plan (chunk fault counters included).
    void SetFaults(const FaultPlan& plan);

    CommandLog Log() const;
    void ClearLog();
    std::uint64_t CommandCount() const;
    // The next command would find the drive gone.
    bool HasVanished() const;

    // The last image a successful save programmed (buffer bytes 32 up to the
    // received image extent), and how many saves succeeded.
    std::vector<std::uint8_t> SavedImage() const;
    std::uint32_t SaveCount() const;
    std::vector<std::uint8_t> DownloadBuffer() const;
    std::uint32_t ImageExtent() const;
    Revision CurrentRevision() const;
    std::array<std::uint8_t, kInquiryLength> InquiryData() const;
    bool IsNotReady() const;

private:
    struct Transfer {
        std::uint8_t* in;     // null when nothing may come back
        std::uint32_t inCap;
        const std::uint8_t* out;  // null when nothing was offered
        std::uint32_t outLen;
    };

    Result Dispatch(std::uint64_t number, const std::array<std::uint8_t, 16>& cdb, const Transfer& t);
    Result Inquiry(const std::array<std::uint8_t, 16>& cdb, const Transfer& t);
    Result VendorBlock(const std::array<std::uint8_t, 16>& cdb, const Transfer& t);
    Result WriteChunk(const std::array<std::uint8_t, 16>& cdb, const Transfer& t);
    Result Save();
    bool NotReadyLocked() const;
    std::uint64_t Now() const;

    mutable std::mutex m_mutex;
    DriveConfig m_config;
    std::vector<std::uint8_t> m_buffer;
    std::uint32_t m_extent = 0;  // highest offset + length of an accepted mode-6 write
    bool m_header30 = false;     // header sum bytes written since the last save
    bool m_header31 = false;
    std::vector<std::uint8_t> m_saved;
    std::uint32_t m_saveCount = 0;
    bool m_programming = false;
    std::uint64_t m_readyAt = 0;
    std::uint64_t m_commandCount = 0;
    CommandLog m_log;
};

}  // namespace vdrive
