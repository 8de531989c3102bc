// The virtual drives' record file (see vdrive/aspi/README.md) read back, and
// the commands a test expects written the same way, so that a mismatch
// shows as two readable lists.
#ifndef E2E_RECORD_H
#define E2E_RECORD_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Firmware.h"

namespace e2e {

struct RecordLine {
    std::string kind;  // "load", "note", "cmd", "saved"
    std::map<std::string, std::string> fields;
    std::string Field(const std::string& name) const;
};

std::vector<RecordLine> ReadRecordText(const std::string& text);

// One drive's commands as "CDB dir len=N out=N fnv=X sum=X RESULT[ sense=..]".
std::vector<std::string> CommandsOf(const std::vector<RecordLine>& record, int ha, int target);
std::vector<const RecordLine*> SavesOf(const std::vector<RecordLine>& record, int ha, int target);

// The expected lines for the program's commands.
std::string ExpectInquiry();
std::string ExpectVendorBlock();
std::string ExpectChunk(std::uint32_t offset, const std::uint8_t* data, const std::string& result = "GOOD");
std::string ExpectHeader(std::uint16_t sum, const std::string& result = "GOOD");
std::string ExpectSave(const std::string& result = "GOOD");

}  // namespace e2e

#endif
