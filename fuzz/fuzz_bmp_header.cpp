// Fuzzes the BMP header reader of the disc check: any bytes either give a positive size or are
// no BMP header, and nothing is read past the bytes given.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "media/media_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string head(reinterpret_cast<const char*>(data), size);
    int width = 0, height = 0;
    if (torvana::bmpSize(head, width, height) && (width <= 0 || height <= 0)) std::abort();
    return 0;
}
