#include "vdrive/DriveConfig.h"

#include <algorithm>
#include <cstring>

namespace vdrive {
namespace {

template <std::size_t N>
void FillPadded(std::array<std::uint8_t, N>& field, std::string_view text) {
    field.fill(' ');
    const std::size_t count = std::min(text.size(), N);
    std::memcpy(field.data(), text.data(), count);
}

}  // namespace

DriveConfig DriveConfig::Optical(std::string_view identification, std::string_view revisionText) {
    DriveConfig config;
    FillPadded(config.vendor, identification.substr(0, 8));
    FillPadded(config.product, identification.size() > 8 ? identification.substr(8) : std::string_view());
    config.revision = MakeRevision(revisionText);
    return config;
}

Revision DriveConfig::MakeRevision(std::string_view text) {
    Revision r;
    FillPadded(r, text);
    return r;
}

DriveConfig& DriveConfig::WithRevisionAfterSave(std::string_view text) {
    revisionAfterSave = MakeRevision(text);
    return *this;
}

std::array<std::uint8_t, kInquiryLength> DriveConfig::InquiryData() const {
    std::array<std::uint8_t, kInquiryLength> data{};
    data[0] = peripheral;
    data[1] = 0x80;  // removable medium
    data[2] = 0x00;  // no ANSI version claimed, as ATAPI optical drives answer
    data[3] = 0x02;  // response data format 2
    data[4] = kInquiryLength - 5;  // additional length: 31
    std::copy(vendor.begin(), vendor.end(), data.begin() + 8);
    std::copy(product.begin(), product.end(), data.begin() + 16);
    std::copy(revision.begin(), revision.end(), data.begin() + 32);
    return data;
}

}  // namespace vdrive
