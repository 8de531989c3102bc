// RecordFile: the text record through which tests outside the process see
// what the virtual drives received. One line per event, appended and flushed
// at once, so a reader never sees half a line from a crashed run; saved
// images go to files beside it. The line formats are documented in README.md
// and parsed by the end-to-end suite: change them only together.
//
// Thread safety: Append and WriteBeside serialise on the record's own mutex.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "vdrive/CommandLog.h"

namespace vdrive::aspi {

// "cmd ha=0 target=1 seq=3 cdb=3B06000000000000100000 dir=out len=4096
//  out=4096 fnv=1A2B3C4D sum=BEEF in=0 via=pending result=GOOD"
// (one line; result=CHECK adds " sense=05/26/00").
std::string FormatCommandLine(std::uint8_t adapter, std::uint8_t target, const CommandRecord& record, bool pending);
// "saved ha=0 target=1 bytes=1048576 fnv=1A2B3C4D sum=BEEF file=saved-0-1.bin"
std::string FormatSavedLine(std::uint8_t adapter, std::uint8_t target, const std::vector<std::uint8_t>& image,
                            const std::string& fileName);
std::string SavedImageName(std::uint8_t adapter, std::uint8_t target);

class RecordFile {
public:
    // An empty path records nothing. A relative path is taken from the
    // working directory now, so a later change of directory does not move it.
    explicit RecordFile(const std::string& path);

    bool Enabled() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }

    void Append(const std::string& line);
    // Replaces the file `name` in the record's folder with `bytes`.
    bool WriteBeside(const std::string& name, const std::vector<std::uint8_t>& bytes);

private:
    std::mutex m_mutex;
    std::string m_path;
    std::string m_folder;
};

}  // namespace vdrive::aspi
