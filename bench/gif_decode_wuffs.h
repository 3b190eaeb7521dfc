#pragma once
// The benchmark's peer decoder, compiled as C on its own (gif_decode_wuffs.c) when its source
// is beside the checkout.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Decodes every frame of the GIF in `data`. With `rgba` 0 each frame's indices go into one
// indexed canvas of the logical screen; with `rgba` 1 each frame is blended onto a 4-byte
// canvas, the previous frame's disposal applied first, as a program that shows the animation
// does. Returns a checksum of the canvas after each frame, or -1 when the picture fails.
int64_t wuffs_bench_decode(const uint8_t* data, size_t size, int rgba);

#ifdef __cplusplus
}
#endif
