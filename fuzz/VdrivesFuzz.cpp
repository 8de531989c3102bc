// vdrives.txt, the virtual drives' list that users edit by hand: any text.
// A malformed line becomes a note; nothing may crash, hang or grow without
// bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vdrive/aspi/LayerConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vdrive::aspi::LayerConfig config = vdrive::aspi::ParseLayerConfig(text);
    if (config.adapters.size() > vdrive::aspi::kMaxAdapters) std::abort();
    for (const auto& slot : config.drives) (void)config.FindDrive(slot.adapter, slot.target);
    return 0;
}
