#pragma once
// The LZW decoder of GIF rasters: variable code width (minimum code size + 1 up to 12 bits),
// codes packed least significant bit first into data sub-blocks, a prefix/suffix string table of
// 4096 codes and an output stack of 8192 places.
//
// It pulls one sub-block at a time from the stream and keeps the last two bytes of the previous
// one, so a code may span two sub-blocks. Truncated data is tolerated: the decoder warns and the
// pixels it could not decode keep their fill value. Damaged data never reaches outside the
// tables: a minimum code size above 11 and a cycle in the string table raise GifError.
//
// GifFrame::ReadFrameData is the one user; it creates a decoder per raster.

#include <cstdint>

#include "gif/gif_image.h"

namespace torvana::gif {

class LzwDecoder {
public:
    static constexpr int tableSize = 4096;
    static constexpr int stackSize = 8192;
    static constexpr int maxMinimumCodeSize = 11;

    // The stream stands on the first data sub-block (after the minimum code size byte).
    // Raises GifError "Invalid LZW minimum code size" above 11.
    LzwDecoder(GifStream& stream, GifFrame& frame, int minimumCodeSize);

    // Decodes into `pixels` (width × height indices; rows in the four-pass order when
    // interlaced) until the frame is full, the end code arrives or the data run out, then
    // leaves the stream right after the raster's block terminator.
    void DecodeFrame(uint8_t* pixels, int width, int height, bool interlaced);

    // The next code of n bits, or -1 when the data ran out.
    int FetchCode(int n);
    // Processes one code (a clear code together with the code after it). The decoded string is
    // on the output stack; its first value is taken off and returned. -1 when the data ran out,
    // -2 at the end code.
    int DecodeStep();
    // The next pixel value: from the output stack, else from DecodeStep.
    int NextValue();

private:
    void Clear();
    int Refill();
    void SkipSubBlocks();

    GifStream& stream_;
    GifFrame& frame_;

    int minimumCodeSize_;
    int codeSize_;
    int clearCode_;
    int endCode_;
    int nextFree_;
    int growAt_;
    uint8_t firstValue_ = 0;  // values are kept as their low 8 bits, which is what pixels store
    int previousCode_ = 0;

    bool dataEnded_ = false;        // the bit reader met the zero-length sub-block
    bool terminatorPassed_ = false; // the stream stands after the raster's terminator (or its end)
    bool returnClearFirst_ = true;

    int bufferFill_ = 2;
    int bitPos_ = 0;
    int bitLimit_ = 0;
    int stackTop_ = 0;

    uint16_t prefixTable_[tableSize];
    uint8_t suffixTable_[tableSize];
    uint8_t outputStack_[stackSize];
    // Two carried bytes, one sub-block, and zero padding so a code is read with one 32-bit load.
    uint8_t bitBuffer_[2 + 255 + 8];
};

}  // namespace torvana::gif
