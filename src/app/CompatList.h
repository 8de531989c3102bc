// CompatList: the rows of IDString.txt, the list of drive models this
// firmware is for, and the reader that fills it. Portable.
//
// IDString.txt holds one row per line:
//     "<Model>"<sep>"<FirmwareFile>"<sep>"<switch>"
// The reader keeps the character-by-character rules of the program's list
// format: a quote is never stored but its position is passed over, the model
// is cut to 24 characters, and the last character of the third field decides
// the warning switch ("Y" or "y" set it).
//
// Storage limits: at most 10 rows are read (the list ends after the tenth);
// characters past the 80-character line buffer are not stored but still
// counted, so an over-long line is cut, never written past the buffer; a
// firmware file name is cut to 59 characters.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int kCompatRows = 10;
constexpr int kModelLength = 24;         // vendor (8) + product (16) identification
constexpr int kFirmwareFileLength = 59;
constexpr int kCompatLineBuffer = 80;

struct CompatList {
    char Model[kCompatRows][kModelLength + 1];
    char FirmwareFile[kCompatRows][kFirmwareFileLength + 1];
};

// A source of characters: answers the next one, or EOF.
struct CharSource {
    int (*pfnGet)(void* context);
    void* context;
};

// Reads the rows into `list` (cleared first) and returns the row count.
// `showWarning` is set or cleared by every line that has a third field and
// left alone otherwise.
std::int32_t ReadCompatList(CharSource source, CompatList& list, std::int32_t& showWarning);

// Reads an open text stream from its start. A carriage return before a line
// feed is dropped on every platform, as the Windows text mode does, and one
// UTF-8 byte-order mark (EF BB BF) at the very start is skipped.
std::int32_t ReadCompatListFile(std::FILE* fp, CompatList& list, std::int32_t& showWarning);

// True when a drive's name and revision match a row: the first 24 characters
// of the name equal the row's model (a bounded comparison that stops early
// only at a terminator common to both) and the revision's first character
// equals the file name's first character.
bool CompatRowMatches(const CompatList& list, int row, const char* modelName, const char* revision);
