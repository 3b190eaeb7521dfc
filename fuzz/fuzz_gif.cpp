// The GIF reader and the compositor on arbitrary bytes: every input must end in a picture, a
// GifError or a warning, within the pixel and canvas budgets, never in a crash or a hang.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gif/gif_compositor.h"
#include "gif/gif_image.h"

using namespace torvana::gif;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The program's own budgets: one picture and its canvas share the program's budget, as in
    // the player and the editor.
    GifImage image;
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
        GifCompositor compositor(image);
        for (size_t i = 0; i < image.frames.Count() && i < 64; ++i) compositor.Compose(i);
    } catch (const GifError&) {
    }
    // What was taken stays within the budget.
    if (GifMemoryBudget::Program().InUse() > GifMemoryBudget::Program().Limit()) std::abort();
    return 0;
}
