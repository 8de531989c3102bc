// The real device calls.
#include "device/DeviceCalls.h"

namespace {

void* HeapAllocBuffer(SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void HeapFreeBuffer(void* buffer) { HeapFree(GetProcessHeap(), 0, buffer); }

}  // namespace

const DeviceCalls kRealDeviceCalls = {CreateFileA, DeviceIoControl, CloseHandle, HeapAllocBuffer, HeapFreeBuffer};
DeviceCalls g_DeviceCalls = kRealDeviceCalls;
