// The GIF reader and the compositor on arbitrary bytes: every input must end in a picture, a
// GifError or a warning, within the pixel and canvas budgets, never in a crash or a hang.

#include <cstddef>
#include <cstdint>

#include "gif/gif_compositor.h"
#include "gif/gif_image.h"

using namespace torvana::gif;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Smaller budgets than the program's keep each run fast; the limits work the same way.
    constexpr int64_t budget = int64_t(64) << 20;
    GifImage image;
    image.pixelBudget = budget;
    size_t warnings = 0;
    image.OnGIFWarning = [&](GifObject*, int, const std::string&) { ++warnings; };
    GifMemoryStream stream(data, size);
    try {
        image.LoadFromStream(stream);
    } catch (const GifError&) {
        // The frames read before the error stay and are composed below.
    }
    if (image.frames.Count() == 0) return 0;
    try {
        GifCompositor::Options options;
        options.byteBudget = budget;
        GifCompositor compositor(image, options);
        for (size_t i = 0; i < image.frames.Count() && i < 64; ++i) compositor.Compose(i);
    } catch (const GifError&) {
    }
    return 0;
}
