// IDString.txt as a user may hand it over: any bytes. The reader must keep
// every row, model and file name inside its fixed buffers and terminated.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/CompatList.h"

namespace {

struct Bytes {
    const std::uint8_t* data;
    std::size_t size, at;
};

int NextByte(void* context) {
    auto* b = static_cast<Bytes*>(context);
    return b->at < b->size ? b->data[b->at++] : EOF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes bytes{data, size, 0};
    CompatList list;
    std::int32_t showWarning = 7;
    const std::int32_t rows = ReadCompatList(CharSource{&NextByte, &bytes}, list, showWarning);
    if (rows < 0 || rows > kCompatRows) std::abort();
    for (int r = 0; r < kCompatRows; ++r) {
        if (std::memchr(list.Model[r], '\0', sizeof list.Model[r]) == nullptr) std::abort();
        if (std::memchr(list.FirmwareFile[r], '\0', sizeof list.FirmwareFile[r]) == nullptr) std::abort();
    }
    if (showWarning != 0 && showWarning != 1 && showWarning != 7) std::abort();
    return 0;
}
