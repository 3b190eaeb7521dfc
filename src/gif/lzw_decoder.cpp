#include "gif/lzw_decoder.h"

#include <algorithm>
#include <cstring>

namespace torvana::gif {

namespace {

const char* const circularEntry = "Circular decoder table entry";

}  // namespace

LzwDecoder::LzwDecoder(GifStream& stream, GifFrame& frame, int minimumCodeSize)
    : stream_(stream), frame_(frame), minimumCodeSize_(minimumCodeSize) {
    // Codes never grow beyond 12 bits, so a larger minimum code size would put the clear code
    // and the codes read outside the 4096-entry tables.
    if (minimumCodeSize > maxMinimumCodeSize) throw GifError("Invalid LZW minimum code size");
    clearCode_ = 1 << minimumCodeSize;
    endCode_ = clearCode_ + 1;
    codeSize_ = minimumCodeSize + 1;
    nextFree_ = clearCode_ + 2;
    growAt_ = 2 * clearCode_;
    std::memset(bitBuffer_, 0, sizeof bitBuffer_);
}

void LzwDecoder::Clear() {
    for (int code = 0; code < clearCode_; ++code) {
        prefixTable_[code] = 0;
        suffixTable_[code] = static_cast<uint8_t>(code);
    }
    std::memset(prefixTable_ + clearCode_, 0, sizeof(prefixTable_[0]) * static_cast<size_t>(tableSize - clearCode_));
    std::memset(suffixTable_ + clearCode_, 0, static_cast<size_t>(tableSize - clearCode_));
    codeSize_ = minimumCodeSize_ + 1;
    growAt_ = 2 * clearCode_;
    nextFree_ = clearCode_ + 2;
    stackTop_ = 0;
}

// Loads the next sub-block behind the last two bytes of the current one. Returns -1 when no
// code can be had any more, else 0.
int LzwDecoder::Refill() {
    if (dataEnded_) {
        if (bitPos_ >= bitLimit_) frame_.ReportWarning(gifWarningSeverity, "Decoder bit buffer under-run");
        return -1;
    }
    bitBuffer_[0] = bitBuffer_[bufferFill_ - 2];
    bitBuffer_[1] = bitBuffer_[bufferFill_ - 1];
    const int length = stream_.ReadByte();
    if (length < 0) {
        terminatorPassed_ = true;  // the stream has ended; there is nothing left to skip
        return -1;
    }
    int got = length;
    if (length == 0) {
        dataEnded_ = true;
        terminatorPassed_ = true;
    } else {
        const int64_t remaining = stream_.Remaining();
        if (remaining < length) {
            frame_.ReportWarning(gifWarningSeverity, "Premature end of data");
            got = static_cast<int>(remaining);
        }
        if (got > 0 && stream_.Read(bitBuffer_ + 2, static_cast<size_t>(got)) != static_cast<size_t>(got))
            throw GifError("Premature end of data");
    }
    // Bits past the data read as zeros rather than as what an earlier sub-block left there.
    std::memset(bitBuffer_ + 2 + got, 0, 4);
    bufferFill_ = got + 2;
    bitPos_ = bitPos_ - bitLimit_ + 16;
    bitLimit_ = 8 * (got + 2);
    return 0;
}

int LzwDecoder::FetchCode(int n) {
    if (returnClearFirst_) {
        // The first request of every raster starts a fresh table.
        returnClearFirst_ = false;
        return clearCode_;
    }
    if (bitPos_ + n >= bitLimit_ && Refill() < 0) return -1;
    uint32_t word;
    std::memcpy(&word, bitBuffer_ + (bitPos_ >> 3), 4);
    // Assemble least significant byte first whatever the host's byte order.
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&word);
    word = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    const int code = static_cast<int>((word >> (bitPos_ & 7)) & ((1u << n) - 1));
    bitPos_ += n;
    return code;
}

void LzwDecoder::SkipSubBlocks() {
    for (;;) {
        const int length = stream_.ReadByte();
        if (length <= 0) break;
        stream_.Move(length);
    }
    terminatorPassed_ = true;
}

int LzwDecoder::DecodeStep() {
    int code = FetchCode(codeSize_);
    if (code < 0) return code;

    if (code == clearCode_) {
        Clear();
        do {
            code = FetchCode(codeSize_);
        } while (code == clearCode_);
        if (code < 0) return code;
        // An end code right after a clear ends the raster; it is not a pixel.
        if (code == endCode_) {
            if (!dataEnded_) SkipSubBlocks();
            return -2;
        }
        firstValue_ = static_cast<uint8_t>(code);
        previousCode_ = code;
        return firstValue_;
    }

    if (code == endCode_) {
        if (!dataEnded_) SkipSubBlocks();
        return -2;
    }

    const int incoming = code;
    int top = stackTop_;
    if (code >= nextFree_) {
        // The code about to be defined (or, in damaged data, any larger one): the previous
        // string followed by its own first value.
        outputStack_[top++] = firstValue_;
        code = previousCode_;
    }
    // A string of the table has at most 4096 - clearCode values, so a walk that fills the stack
    // has gone round a cycle of entries (an entry that is its own prefix included).
    while (code >= clearCode_) {
        if (top >= stackSize - 1) throw GifError(circularEntry);
        outputStack_[top++] = suffixTable_[code];
        code = prefixTable_[code];
    }
    firstValue_ = suffixTable_[code];
    outputStack_[top++] = firstValue_;

    if (nextFree_ < tableSize) {
        prefixTable_[nextFree_] = static_cast<uint16_t>(previousCode_);
        suffixTable_[nextFree_] = firstValue_;
        ++nextFree_;
        // Once the table is full the width stays at 12 bits and no entries are made until a
        // clear code arrives.
        if (nextFree_ >= growAt_ && growAt_ < tableSize) {
            growAt_ *= 2;
            ++codeSize_;
        }
    }
    previousCode_ = incoming;
    stackTop_ = top - 1;
    return outputStack_[top - 1];
}

int LzwDecoder::NextValue() {
    if (stackTop_ > 0) return outputStack_[--stackTop_];
    return DecodeStep();
}

void LzwDecoder::DecodeFrame(uint8_t* pixels, int width, int height, bool interlaced) {
    // Rows are filled as runs: the whole picture is one run when it is not interlaced.
    int row = 0, step = 8, pass = 0, rowsLeft = height;
    const int64_t runLength = interlaced ? width : int64_t(width) * height;
    auto nextRun = [&]() -> uint8_t* {
        if (!interlaced || --rowsLeft <= 0) return nullptr;
        row += step;
        while (row >= height) {
            if (pass >= 3) return nullptr;
            if (pass > 0) step /= 2;
            ++pass;
            row = step / 2;
        }
        return pixels + int64_t(row) * width;
    };

    bool full = runLength <= 0 || height <= 0;
    bool leftover = false;
    int stop = 0;
    uint8_t* out = pixels;
    uint8_t* end = pixels + (full ? 0 : runLength);
    while (!full) {
        const int value = DecodeStep();
        if (value < 0) {
            stop = value;
            break;
        }
        *out++ = static_cast<uint8_t>(value);
        for (;;) {
            if (out == end) {
                out = nextRun();
                if (!out) {
                    full = true;
                    leftover = stackTop_ > 0;
                    break;
                }
                end = out + runLength;
            }
            if (stackTop_ == 0) break;
            const int n = static_cast<int>(std::min<int64_t>(stackTop_, end - out));
            const uint8_t* src = outputStack_ + stackTop_;
            for (int i = 0; i < n; ++i) out[i] = *--src;
            out += n;
            stackTop_ -= n;
        }
    }

    // Leave the stream right after the raster's terminator. A raster exactly as long as the
    // frame meets its end code with one more request; a longer one, or one whose last code was
    // not the end code, is skipped to its terminator.
    if (stop == 0 && !leftover) {
        if (DecodeStep() >= 0) leftover = true;
    }
    if (!terminatorPassed_) SkipSubBlocks();
}

void GifFrame::ReadFrameData(GifStream& stream) {
    AllocatePixels();
    const uint8_t fillValue = hasTransparency && controlBlock ? controlBlock->transparentIndex : 0;
    if (fillValue != 0 && !pixels.empty()) std::memset(pixels.data(), fillValue, pixels.size());
    const int minimumCodeSize = stream.ReadByte();
    if (minimumCodeSize < 0) return;
    auto decoder = std::make_unique<LzwDecoder>(stream, *this, minimumCodeSize);
    decoder->DecodeFrame(pixels.data(), frameWidth, frameHeight, IsInterlaced());
}

}  // namespace torvana::gif
