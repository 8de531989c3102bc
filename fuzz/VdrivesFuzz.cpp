// vdrives.txt, the virtual drives' list that users edit by hand: any text.
// A malformed line becomes a note; nothing may crash, hang or grow without
// bound.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vdrive/aspi/LayerConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto config = vdrive::aspi::ParseLayerConfig({reinterpret_cast<const char*>(data), size});
    if (config.adapters.size() > vdrive::aspi::kMaxAdapters) std::abort();
    for (const auto& slot : config.drives) (void)config.FindDrive(slot.adapter, slot.target);
    return 0;
}
