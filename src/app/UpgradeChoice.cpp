#include "app/UpgradeChoice.h"

#include <cstdio>
#include <cstring>

int FindDriveByName(const DriveTable& table, const char* text) {
    for (int i = 0; i < table.nCount && i < kMaxDrives; ++i)
        if (table.pEntries[i] != nullptr && std::strcmp(table.pEntries[i]->ModelName, text) == 0) return i;
    return -1;
}

int FindModelRow(const CompatList& list, std::int32_t rows, const char* name) {
    for (int row = 0; row < rows && row < kCompatRows; ++row)
        if (std::strncmp(list.Model[row], name, kModelLength) == 0) return row;
    return -1;
}

int FirmwareRowForRevision(const char* revision) {
    static const char* const kFourCharacter[] = {"A049", "A054", "A056"};
    for (const char* prefix : kFourCharacter)
        if (std::strncmp(revision, prefix, 4) == 0) return 0;
    if (std::strncmp(revision, "00", 2) == 0 || std::strncmp(revision, "AA", 2) == 0) return 0;
    return 1;
}

bool BuildImagePath(char* path, std::size_t size, const char* directory, const char* file) {
    int written = std::snprintf(path, size, "%s\\%s", directory, file);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        if (size > 0) path[0] = '\0';
        return false;
    }
    return true;
}

char* FindExtension(char* path) { return std::strrchr(path, '.'); }

ImageKind KindOfExtension(const char* extension) {
    if (extension == nullptr) return ImageKind::Unknown;
    if (std::strcmp(extension, ".hex") == 0) return ImageKind::Hex;
    if (std::strcmp(extension, ".bin") == 0) return ImageKind::Bin;
    return ImageKind::Unknown;
}
