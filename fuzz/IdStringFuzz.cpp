// IDString.txt as a user may hand it over: any bytes. The reader must keep
// every row, model and file name inside its fixed buffers and terminated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/CompatList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const auto next = [](void* context) {
        auto& r = *static_cast<std::string_view*>(context);
        if (r.empty()) return EOF;
        const int c = static_cast<unsigned char>(r.front());
        r.remove_prefix(1);
        return c;
    };
    CompatList list;
    std::int32_t showWarning = 7;
    const std::int32_t rows = ReadCompatList(CharSource{next, &rest}, list, showWarning);
    if (rows < 0 || rows > kCompatRows || (showWarning != 0 && showWarning != 1 && showWarning != 7)) std::abort();
    for (int r = 0; r < kCompatRows; ++r)
        if (!std::memchr(list.Model[r], '\0', sizeof list.Model[r]) ||
            !std::memchr(list.FirmwareFile[r], '\0', sizeof list.FirmwareFile[r]))
            std::abort();
    return 0;
}
