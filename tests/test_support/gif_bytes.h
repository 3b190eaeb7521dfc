#pragma once
// A real GIF picture of one colour for tests that need a picture the players show, built with
// the tests' GIF writer.

#include <string>

#include "gif/gif_writer.h"

namespace testgif {

inline std::string solid(int width, int height) {
    giftest::GifBuilder g;
    g.Header(width, height, giftest::Palette(4))
        .Image(0, 0, width, height, giftest::Bytes(size_t(width) * size_t(height), 1), 2)
        .Trailer();
    return g.str();
}

}  // namespace testgif
