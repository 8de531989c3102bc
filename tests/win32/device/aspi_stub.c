/* A stand-in ASPI layer for the loader tests: GetASPI32SupportInfo always,
   SendASPI32Command only when built with ASPI_STUB_SEND. */
#include <stdint.h>

__declspec(dllexport) uint32_t __cdecl GetASPI32SupportInfo(void) { return 0x0102; }

#ifdef ASPI_STUB_SEND
__declspec(dllexport) uint32_t __cdecl SendASPI32Command(void* srb) {
    ((uint8_t*)srb)[1] = 0x04;
    return 0x04;
}
#endif
