// The adapter inquiry list a driver hands back (NT 4 discovery): offsets and
// counts come from outside. The walk must stay inside the buffer and end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "device/AdapterInquiryList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The walker reads the program's fixed 2,048-byte buffer; a copy of
    // exactly the input's length lets ASan see any read past what was given.
    const std::size_t n = size < kAdapterInquiryBufferSize ? size : kAdapterInquiryBufferSize;
    auto* buffer = static_cast<std::uint8_t*>(std::malloc(n == 0 ? 1 : n));
    if (n != 0) std::memcpy(buffer, data, n);
    AdapterUnitWalker walker(buffer, n);
    AdapterUnit unit;
    std::size_t units = 0;
    while (walker.Next(unit)) {
        // Each unit header sits at a distinct offset of one bus, so no walk
        // can hand out more units than buses times buffer offsets.
        if (++units > 256 * kAdapterInquiryBufferSize) std::abort();
    }
    std::free(buffer);
    return 0;
}
