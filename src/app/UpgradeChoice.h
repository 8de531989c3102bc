// The Upgrade command's decisions that need no window: which drive the drive
// list names, which list row holds its model, which row's firmware file the
// revision picks, the image path and the kind of image. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/CompatList.h"
#include "scsi/DriveEntry.h"

// Index of the first drive whose ModelName equals `text` exactly, or -1.
int FindDriveByName(const DriveTable& table, const char* text);

// Index of the first of `rows` list rows whose Model equals the first 24
// characters of `name` (case-sensitive), or -1.
int FindModelRow(const CompatList& list, std::int32_t rows, const char* name);

// The list row whose FirmwareFile the drive's revision text picks: row 0 for
// revisions beginning with "A049", "A054", "A056", "00" or "AA", else row 1.
int FirmwareRowForRevision(const char* revision);

// Writes "<directory>\<file>" into `path` (size bytes, always terminated).
// Returns false, leaving `path` empty, when the result would not fit.
bool BuildImagePath(char* path, std::size_t size, const char* directory, const char* file);

enum class ImageKind { Hex, Bin, Unknown };

// The extension is everything from the path's last "." on; null when the
// path has no ".". The caller lower-cases it in place before asking its kind.
char* FindExtension(char* path);
ImageKind KindOfExtension(const char* extension);
