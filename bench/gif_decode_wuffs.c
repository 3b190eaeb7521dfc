// The peer decoder for the GIF benchmark: its single-file release compiled here as C with its
// GIF, LZW and base modules, and the frame loop a program writes around it.

#define WUFFS_IMPLEMENTATION
#define WUFFS_CONFIG__MODULES
#define WUFFS_CONFIG__MODULE__BASE
#define WUFFS_CONFIG__MODULE__GIF
#define WUFFS_CONFIG__MODULE__LZW
#include "wuffs-v0.4.c"

#include "gif_decode_wuffs.h"

// One rectangle of the canvas: filled with 0 (transparent), or copied between two canvases.
static void fill_rect(uint8_t* canvas, uint32_t stride, wuffs_base__rect_ie_u32 r, uint32_t bpp) {
    for (uint32_t y = r.min_incl_y; y < r.max_excl_y; ++y)
        memset(canvas + (size_t)y * stride + (size_t)r.min_incl_x * bpp, 0, (size_t)(r.max_excl_x - r.min_incl_x) * bpp);
}

static void copy_rect(uint8_t* to, const uint8_t* from, uint32_t stride, wuffs_base__rect_ie_u32 r, uint32_t bpp) {
    for (uint32_t y = r.min_incl_y; y < r.max_excl_y; ++y) {
        const size_t at = (size_t)y * stride + (size_t)r.min_incl_x * bpp;
        memcpy(to + at, from + at, (size_t)(r.max_excl_x - r.min_incl_x) * bpp);
    }
}

int64_t wuffs_bench_decode(const uint8_t* data, size_t size, int rgba) {
    int64_t result = -1;
    uint8_t* memory = NULL;
    uint8_t* saved = NULL;
    uint8_t* workbuf = NULL;
    wuffs_gif__decoder* decoder = malloc(sizeof__wuffs_gif__decoder());
    if (!decoder) return -1;
    wuffs_base__status status = wuffs_gif__decoder__initialize(decoder, sizeof__wuffs_gif__decoder(), WUFFS_VERSION,
                                                               WUFFS_INITIALIZE__LEAVE_INTERNAL_BUFFERS_UNINITIALIZED);
    if (status.repr) goto done;

    wuffs_base__io_buffer src = wuffs_base__ptr_u8__reader((uint8_t*)data, size, true);
    wuffs_base__image_config config;
    memset(&config, 0, sizeof config);
    status = wuffs_gif__decoder__decode_image_config(decoder, &config, &src);
    if (status.repr) goto done;
    const uint32_t width = wuffs_base__pixel_config__width(&config.pixcfg);
    const uint32_t height = wuffs_base__pixel_config__height(&config.pixcfg);
    const uint32_t bpp = rgba ? 4 : 1;
    wuffs_base__pixel_config__set(&config.pixcfg,
                                  rgba ? WUFFS_BASE__PIXEL_FORMAT__BGRA_NONPREMUL
                                       : WUFFS_BASE__PIXEL_FORMAT__INDEXED__BGRA_BINARY,
                                  WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, width, height);
    const size_t canvas_bytes = (size_t)width * height * bpp;
    const size_t palette_bytes = rgba ? 0 : WUFFS_BASE__PIXEL_FORMAT__INDEXED__PALETTE_BYTE_LENGTH;
    memory = calloc(palette_bytes + canvas_bytes + 1, 1);
    if (!memory) goto done;
    uint8_t* canvas = memory + palette_bytes;
    wuffs_base__pixel_buffer buffer;
    status = wuffs_base__pixel_buffer__set_from_slice(&buffer, &config.pixcfg,
                                                      wuffs_base__make_slice_u8(memory, palette_bytes + canvas_bytes));
    if (status.repr) goto done;
    const uint64_t workbuf_len = wuffs_gif__decoder__workbuf_len(decoder).max_incl;
    workbuf = malloc(workbuf_len + 1);
    if (!workbuf) goto done;

    const uint32_t stride = width * bpp;
    wuffs_base__animation_disposal pending = WUFFS_BASE__ANIMATION_DISPOSAL__NONE;
    wuffs_base__rect_ie_u32 pending_rect = wuffs_base__utility__empty_rect_ie_u32();
    int64_t sum = 0;
    for (;;) {
        wuffs_base__frame_config frame;
        memset(&frame, 0, sizeof frame);
        status = wuffs_gif__decoder__decode_frame_config(decoder, &frame, &src);
        if (status.repr == wuffs_base__note__end_of_data) break;
        if (status.repr) goto done;
        const wuffs_base__rect_ie_u32 bounds = wuffs_base__frame_config__bounds(&frame);
        if (rgba) {
            if (pending == WUFFS_BASE__ANIMATION_DISPOSAL__RESTORE_BACKGROUND) fill_rect(canvas, stride, pending_rect, bpp);
            else if (pending == WUFFS_BASE__ANIMATION_DISPOSAL__RESTORE_PREVIOUS)
                copy_rect(canvas, saved, stride, pending_rect, bpp);
            pending = wuffs_base__frame_config__disposal(&frame);
            pending_rect = bounds;
            if (pending == WUFFS_BASE__ANIMATION_DISPOSAL__RESTORE_PREVIOUS) {
                if (!saved) saved = malloc(canvas_bytes + 1);
                if (!saved) goto done;
                copy_rect(saved, canvas, stride, bounds, bpp);
            }
        }
        const wuffs_base__pixel_blend blend = !rgba || wuffs_base__frame_config__overwrite_instead_of_blend(&frame)
                                                  ? WUFFS_BASE__PIXEL_BLEND__SRC
                                                  : WUFFS_BASE__PIXEL_BLEND__SRC_OVER;
        status = wuffs_gif__decoder__decode_frame(decoder, &buffer, &src, blend,
                                                  wuffs_base__make_slice_u8(workbuf, workbuf_len), NULL);
        if (status.repr) goto done;
        sum += canvas_bytes ? canvas[canvas_bytes - 1] : 0;
    }
    result = sum;
done:
    free(saved);
    free(workbuf);
    free(memory);
    free(decoder);
    return result;
}
