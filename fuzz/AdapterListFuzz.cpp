// The adapter inquiry list a driver hands back (NT 4 discovery): offsets and
// counts come from outside. The walk must stay inside the buffer and end.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device/AdapterInquiryList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The program's buffer holds 2,048 bytes; a copy of exactly the input's
    // length lets ASan see any read past what was given.
    const std::vector<std::uint8_t> buffer(data, data + std::min(size, kAdapterInquiryBufferSize));
    AdapterUnitWalker walker(buffer.data(), buffer.size());
    // Each unit header sits at a distinct offset of one bus, so no walk can
    // hand out more units than buses times buffer offsets.
    std::size_t units = 0;
    for (AdapterUnit unit; walker.Next(unit);)
        if (++units > 256 * kAdapterInquiryBufferSize) std::abort();
    return 0;
}
