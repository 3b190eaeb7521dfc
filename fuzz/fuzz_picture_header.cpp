// Fuzzes the header reading of BMP, PNG and JPEG pictures the disc check, the web page and the
// players share: any bytes either give a picture of a size within the players' limits or a
// reason, and nothing is read past the bytes given.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "media/picture_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const torvana::StillHeader header = torvana::readStillHeader(bytes);
    if (header.format == torvana::StillFormat::None) {
        if (header.error.empty()) std::abort();
    } else if (header.width <= 0 || header.height <= 0 || header.width > torvana::kMaxPictureSide ||
               header.height > torvana::kMaxPictureSide) {
        std::abort();
    }
    return 0;
}
