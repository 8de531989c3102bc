// CompatList: the rows of IDString.txt, the list of drive models this
// firmware is for, and the parser that reads them. Portable.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int kCompatRows = 10;
constexpr int kModelLength = 24;         // vendor (8) + product (16) identification
constexpr int kFirmwareFileLength = 59;

struct CompatList {
    char Model[kCompatRows][kModelLength + 1];
    char FirmwareFile[kCompatRows][kFirmwareFileLength + 1];
};
