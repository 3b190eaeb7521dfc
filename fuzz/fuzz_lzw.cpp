// The raster decoder against the plain one on arbitrary bytes: the same pixels, warnings, errors
// and stream position, or the run stops with the difference.

#include <cstdio>
#include <cstdlib>

#include "gif/lzw_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two bytes of frame size and one of interlacing, then the raster from its minimum code size.
    if (size < 3) return 0;
    const int width = data[0], height = data[1] % 64;
    const bool interlaced = data[2] & 1;
    const std::vector<uint8_t> raster(data + 3, data + size);
    const std::string difference = giftest::DifferenceFromReference(raster, width, height, interlaced);
    if (!difference.empty()) {
        std::fprintf(stderr, "%dx%d%s: %s\n", width, height, interlaced ? " interlaced" : "", difference.c_str());
        std::abort();
    }
    return 0;
}
