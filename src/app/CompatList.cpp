#include "app/CompatList.h"

#include <cstring>

namespace {

void ClearLine(char* line) { std::memset(line, 0, kCompatLineBuffer); }

}  // namespace

std::int32_t ReadCompatList(CharSource source, CompatList& list, std::int32_t& showWarning) {
    std::memset(&list, 0, sizeof list);
    char line[kCompatLineBuffer];
    ClearLine(line);
    int row = -1;
    for (;;) {
        if (row + 1 >= kCompatRows) break;  // the list holds 10 rows
        int c = source.pfnGet(source.context);
        if (c != '"') break;  // end of file, or a line that is not a row
        ++row;
        int position = 0;
        int quotes = 0;
        bool modelPending = true;
        while (c != '\n' && c != EOF) {
            // The end of the file counts as a character read: it is stored like
            // any other and ends the row after the checks below.
            c = source.pfnGet(source.context);
            if (c == '"')
                ++quotes;
            else if (position >= 0 && position < kCompatLineBuffer)
                line[position] = static_cast<char>(c);
            if (quotes == 2 && modelPending) {
                std::memcpy(list.Model[row], line, kModelLength);
                list.Model[row][kModelLength] = '\0';
                ClearLine(line);
                position = -1;
                modelPending = false;
            }
            if (quotes == 3) {
                // Positions 0..p, cut to the 59 characters the row can hold.
                int count = position + 1;
                if (count > kFirmwareFileLength) count = kFirmwareFileLength;
                if (count > kCompatLineBuffer) count = kCompatLineBuffer;
                std::memcpy(list.FirmwareFile[row], line, static_cast<size_t>(count));
                list.FirmwareFile[row][count] = '\0';
            }
            if (quotes == 4) {
                // The character at position p: the one just read, or the zero
                // left at a quote's place.
                showWarning = (c == 'Y' || c == 'y') ? 1 : 0;  // EOF is neither
            }
            ++position;
        }
        ClearLine(line);
    }
    return row + 1;
}

namespace {

struct TextStream {
    std::FILE* fp;
    bool atStart;
};

int GetTextChar(void* context) {
    auto* stream = static_cast<TextStream*>(context);
    std::FILE* fp = stream->fp;
    int c = std::fgetc(fp);
    if (stream->atStart) {
        stream->atStart = false;
        // Editors that save "UTF-8 with BOM" put EF BB BF in front of the
        // first quote; without skipping it every list so saved would read as
        // empty. Anything else starting with EF is no row either way: the
        // EF is answered and the reader stops there.
        if (c == 0xEF) {
            if (std::fgetc(fp) != 0xBB || std::fgetc(fp) != 0xBF) return 0xEF;
            c = std::fgetc(fp);
        }
    }
    if (c == '\r') {
        int next = std::fgetc(fp);
        if (next == '\n') return '\n';
        if (next != EOF) std::ungetc(next, fp);
    }
    return c;
}

}  // namespace

std::int32_t ReadCompatListFile(std::FILE* fp, CompatList& list, std::int32_t& showWarning) {
    TextStream stream{fp, true};
    return ReadCompatList(CharSource{&GetTextChar, &stream}, list, showWarning);
}

bool CompatRowMatches(const CompatList& list, int row, const char* modelName, const char* revision) {
    return std::strncmp(modelName, list.Model[row], kModelLength) == 0 &&
           revision[0] == list.FirmwareFile[row][0];
}
