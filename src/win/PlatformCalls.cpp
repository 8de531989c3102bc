#include "win/PlatformCalls.h"

const PlatformCalls kRealPlatformCalls = {&::GetVersionExA, &::GetCurrentDirectoryA, &::MessageBoxA};
PlatformCalls g_Platform = kRealPlatformCalls;
