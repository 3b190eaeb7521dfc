#pragma once
// The LZW decoder of GIF rasters: variable code width (minimum code size + 1 up to 12 bits),
// codes packed least significant bit first into data sub-blocks, a string table of 4096 codes.
//
// It pulls one sub-block at a time from the stream and keeps the last two bytes of the previous
// one, so a code may span two sub-blocks. Truncated data is tolerated: the decoder warns and the
// pixels it could not decode keep their fill value. Damaged data never reaches outside the
// tables: a minimum code size above 11 and a cycle in the string table raise GifError.
//
// Speed: every code of the table also remembers where its string was last written in the frame,
// so decoding a code is one short copy from the pixels already written rather than a walk of
// the table; strings of up to 7 values are also held whole in a small table and written from
// there with one store. The walk through the prefix table (with its output stack of 8192 places and its
// cycle check) is kept for what a copy cannot stand for: strings built on codes that damaged
// data used before defining them, and strings split across the rows of an interlaced frame
// (once such a string has been written in one piece, it is copied from there). Both ways give
// the same pixels.
//
// GifFrame::ReadFrameData is the one user. It decodes every raster with one decoder per thread,
// so the tables (about 90 KB) are neither allocated nor set up again for each frame: Begin
// resets only the decoder's few scalars, and the literal codes' entries, which no raster
// changes, are kept from the raster before as far as its own reached.

#include <cstdint>

#include "gif/gif_image.h"

namespace torvana::gif {

class LzwDecoder {
public:
    static constexpr int tableSize = 4096;
    static constexpr int stackSize = 8192;
    static constexpr int maxMinimumCodeSize = 11;

    LzwDecoder() = default;
    LzwDecoder(const LzwDecoder&) = delete;
    LzwDecoder& operator=(const LzwDecoder&) = delete;

    // Starts a raster: the stream stands on its first data sub-block (after the minimum code
    // size byte). Raises GifError kInvalidCodeSize above 11.
    void Begin(GifStream& stream, GifFrame& frame, int minimumCodeSize);

    // Decodes into `pixels` (width × height indices; rows in the four-pass order when
    // interlaced) until the frame is full, the end code arrives or the data run out, then
    // leaves the stream right after the raster's block terminator. The pixels need not hold
    // anything when it starts; those not decoded hold `fillValue` at the end.
    void DecodeFrame(uint8_t* pixels, int width, int height, bool interlaced, uint8_t fillValue);

private:
    // Where a code's string was written: offset in the frame's pixels (a frame has fewer than
    // 2^32 pixels) and length; a length of 0 means the string must be walked through the prefix
    // table.
    struct Placed {
        uint32_t offset;
        uint16_t length;
    };
    // What the decoding loop changes for every code. The loop works on a copy in locals, so it
    // stays in registers while pixels are stored, and hands it back before a slow step.
    struct Cursor {
        intptr_t bitPos = 0;
        intptr_t bitLimit = 0;
        int codeSize = 0;
        uint32_t mask = 0;  // codes are masked with it; the width grows when nextFree passes it
        int nextFree = 0;
        int previousCode = 0;
        // What is known of the previous string: stable, its string in the table never changes;
        // placed, also the bytes where it was written are that string and the next string is
        // written right after them, so the entry they make may be copied from there.
        int prevKind = 0;
        int prevLen = 0;
        const uint8_t* prevStart = nullptr;  // its first byte is its first value
        uint64_t prevValue = 0;              // its short form (see short_), 0 when it has none
        uint8_t* out = nullptr;              // the next pixel to write
        uint8_t* runEnd = nullptr;           // the end of the row (interlaced) or of the frame
    };
    static constexpr int stable = 1;
    static constexpr int placed = 2;
    // How a code left the frame: more to come, decoding stopped (end code, no more data), the
    // frame filled up with the string, or the frame filled up before the string's end.
    enum class Step { go, stopped, filled, overflowed };

    int Refill();
    bool FillForCode();
    int Fetch();
    void Define(int& nextFree, int& codeSize, uint32_t& mask, int previousCode, uint8_t first, int prevKind,
                const uint8_t* prevStart, int prevLen, uint64_t prevValue);
    void Grow(int& nextFree, int& codeSize, uint32_t& mask);
    void SkipSubBlocks();
    void Restart();
    template <bool interlaced>
    Step DecodeRuns();
    Step SlowCode(int code);
    bool PutSplit(const uint8_t* src, int n);
    bool NextRun();
    void PrepareTable();
    int WalkTable(int code);
    bool MustWalk(int code) const;

    GifStream* stream_ = nullptr;
    GifFrame* frame_ = nullptr;

    int minimumCodeSize_ = 0;
    int clearCode_ = 0;
    int endCode_ = 0;
    Cursor c_;
    // The entries of the codes below it hold their literal (placed_ and short_), as a raster
    // with at least as many literals left them.
    int literalsKept_ = 0;

    bool dataEnded_ = false;        // the bit reader met the zero-length sub-block
    bool terminatorPassed_ = false; // the stream stands after the raster's terminator (or its end)
    int bufferFill_ = 2;

    // The frame being decoded and its rows.
    uint8_t* pixels_ = nullptr;
    uint8_t* pixelsEnd_ = nullptr;
    int width_ = 0, height_ = 0;
    bool interlaced_ = false;
    int row_ = 0, step_ = 8, pass_ = 0, rowsLeft_ = 0;

    // The prefix table is filled lazily: literal codes on the first walk, and slots from the
    // next free one up to dirtyEnd_ are zeroed (what a clear leaves) only when a walk needs them.
    bool literalsReady_ = false;
    int dirtyEnd_ = tableSize;

    // The next free slot at which Define calls Grow: where the width grows, or the table fills.
    int growAt_ = tableSize;

    // Each table has one spare slot past the 4096 codes, where a full table's entries go.
    Placed placed_[tableSize + 1];
    // The strings of up to 7 values that are placed, held whole: the values in the low seven
    // bytes (the first lowest, zeros after the last) and the length in the top byte; 0 for any
    // other code. A code with a short form is read only through it (its placed_ entry is not
    // kept). Such a string is written with one 8-byte store from this small table, which
    // stays in the first-level cache, and the next entry is made from it in registers; reading
    // it back from the pixels would wait for the few stores that wrote it a moment ago.
    uint64_t short_[tableSize + 1];
    // Whether a code's string in the table is fixed until the next clear: not when it was built
    // on a code that damaged data used before defining it.
    bool stable_[tableSize + 1];
    uint16_t prefixTable_[tableSize + 1];
    uint8_t suffixTable_[tableSize + 1];
    uint8_t outputStack_[stackSize];
    // Two carried bytes, one sub-block, and zero padding so a code is read with one 32-bit load.
    uint8_t bitBuffer_[2 + 255 + 8] = {};
};

}  // namespace torvana::gif
