#pragma once
// Loading pictures in tests: the warnings and the error text of one load.

#include <string>
#include <vector>

#include "gif/gif_image.h"
#include "gif_writer.h"

namespace giftest {

struct Loaded {
    std::unique_ptr<torvana::gif::GifImage> image = std::make_unique<torvana::gif::GifImage>();
    std::vector<std::string> warnings;
    std::string error;  // empty when the load succeeded
    int64_t positionAfter = 0;

    torvana::gif::GifFrame& frame(size_t i) const { return image->frames[i]; }
    size_t frames() const { return image->frames.Count(); }
};

inline Loaded Load(const Bytes& bytes, int64_t pixelBudget = torvana::gif::GifImage::defaultPixelBudget) {
    Loaded result;
    result.image->pixelBudget = pixelBudget;
    result.image->OnGIFWarning = [&result](torvana::gif::GifObject*, int, const std::string& message) {
        result.warnings.push_back(message);
    };
    torvana::gif::GifMemoryStream stream(bytes.data(), bytes.size());
    try {
        result.image->LoadFromStream(stream);
    } catch (const torvana::gif::GifError& e) {
        result.error = e.what();
    }
    result.image->OnGIFWarning = nullptr;
    result.positionAfter = stream.Position();
    return result;
}

inline Loaded Load(const GifBuilder& builder) { return Load(builder.bytes()); }

inline Bytes Pixels(const torvana::gif::GifFrame& frame) { return Bytes(frame.pixels.begin(), frame.pixels.end()); }

}  // namespace giftest
