#include "gif/lzw_decoder.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <memory>
#include <optional>

#include "gif/gif_messages.h"

namespace torvana::gif {

namespace {

// Four bytes least significant first, whatever the host's byte order.
inline uint32_t LoadLittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Takes a code of `codeSize` bits (masked by `mask`) at bit `bitPos` of the buffer, least
// significant bit first; the buffer has at least four bytes from there.
inline int TakeCode(const uint8_t* buffer, intptr_t& bitPos, int codeSize, uint32_t mask) {
    const uint32_t word = LoadLittleEndian32(buffer + (bitPos >> 3));
    const int code = static_cast<int>((word >> (bitPos & 7)) & mask);
    bitPos += codeSize;
    return code;
}

// The short form of a string (see LzwDecoder::short_): `length` values from `p`, 0 past 7.
constexpr uint64_t kShortLengthOne = uint64_t(1) << 56;
inline uint64_t ShortForm(const uint8_t* p, int length) {
    if (length > 7) return 0;
    uint64_t value = uint64_t(length) << 56;
    for (int i = 0; i < length; ++i) value |= uint64_t(p[i]) << (8 * i);
    return value;
}

// The short form of the string `value` (of fewer than 7 values) followed by `next`. Its seventh
// value byte is 0, so the bits from 53 on are its length times 8: where `next` goes.
inline uint64_t Extend(uint64_t value, uint8_t next) {
    return (value + kShortLengthOne) | uint64_t(next) << (value >> 53);
}

// Writes a short string's values, and the byte of its length after them, with one store; what
// lies past the string lands on pixels not yet decoded, which are written again before anything
// reads them.
inline void StoreShort(uint8_t* dst, uint64_t value) {
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap64(value);
    std::memcpy(dst, &value, 8);
}

// One 16-byte move for a string of up to 16 bytes: the bytes past it land on pixels not yet
// decoded, which are written again before anything reads them.
inline void Move16(uint8_t* dst, const uint8_t* src) {
    uint8_t block[16];
    std::memcpy(block, src, 16);
    std::memcpy(dst, block, 16);
}

}  // namespace

void LzwDecoder::Begin(GifStream& stream, GifFrame& frame, int minimumCodeSize) {
    // Codes never grow beyond 12 bits, so a larger minimum code size would put the clear code
    // and the codes read outside the 4096-entry tables.
    if (minimumCodeSize > maxMinimumCodeSize) throw GifError(kInvalidCodeSize);
    stream_ = &stream;
    frame_ = &frame;
    minimumCodeSize_ = minimumCodeSize;
    clearCode_ = 1 << minimumCodeSize;
    endCode_ = clearCode_ + 1;
    c_ = Cursor{};
    c_.nextFree = clearCode_ + 2;
    dataEnded_ = false;
    terminatorPassed_ = false;
    bufferFill_ = 2;
    row_ = 0, step_ = 8, pass_ = 0;
    literalsReady_ = false;
    dirtyEnd_ = tableSize;
    growAt_ = tableSize;
}

// Loads the next sub-block behind the last two bytes of the current one. Returns -1 when no
// code can be had any more, else 0.
int LzwDecoder::Refill() {
    if (dataEnded_) {
        if (c_.bitPos >= c_.bitLimit) frame_->ReportWarning(gifWarningSeverity, kBitBufferUnderrun);
        return -1;
    }
    bitBuffer_[0] = bitBuffer_[bufferFill_ - 2];
    bitBuffer_[1] = bitBuffer_[bufferFill_ - 1];
    const int length = stream_->ReadByte();
    if (length < 0) {
        terminatorPassed_ = true;  // the stream has ended; there is nothing left to skip
        return -1;
    }
    int got = length;
    if (length == 0) {
        dataEnded_ = true;
        terminatorPassed_ = true;
    } else {
        const int64_t remaining = stream_->Remaining();
        if (remaining < length) {
            frame_->ReportWarning(gifWarningSeverity, kPrematureEnd);
            got = static_cast<int>(remaining);
        }
        if (got > 0 && stream_->Read(bitBuffer_ + 2, static_cast<size_t>(got)) != static_cast<size_t>(got))
            throw GifError(kPrematureEnd);
    }
    // Bits past the data read as zeros rather than as what an earlier sub-block left there.
    std::memset(bitBuffer_ + 2 + got, 0, 4);
    bufferFill_ = got + 2;
    c_.bitPos = c_.bitPos - c_.bitLimit + 16;
    c_.bitLimit = 8 * (got + 2);
    return 0;
}

// Loads sub-blocks until a code of the current width lies whole in the buffer: sub-blocks of one
// byte take two loads for a code of more than 8 bits. A code cut off by the end of the data is
// taken with zeros for its missing bits. False when no code can be had any more.
bool LzwDecoder::FillForCode() {
    do {
        if (Refill() < 0) return false;
    } while (c_.bitPos + c_.codeSize > c_.bitLimit && !dataEnded_);
    return true;
}

// The next code, or -1 when the data ran out. A code is taken only while bits remain after it;
// otherwise the next sub-blocks are loaded first.
int LzwDecoder::Fetch() {
    if (c_.bitPos + c_.codeSize >= c_.bitLimit && !FillForCode()) return -1;
    return TakeCode(bitBuffer_, c_.bitPos, c_.codeSize, c_.mask);
}

// Makes the next table entry: the previous string followed by the first value of the current
// one. It is copied from the pixels when the previous string was placed.
inline void LzwDecoder::Define(int& nextFree, int& codeSize, uint32_t& mask, int previousCode, uint8_t first,
                               int prevKind, const uint8_t* prevStart, int prevLen, uint64_t prevValue) {
    // A full table takes no entries until a clear: its entries go to the spare slot past the
    // table, which no code can name, and Grow keeps nextFree at the table's end.
    assert(prevValue == ((prevKind & placed) ? ShortForm(prevStart, prevLen) : 0));
    if (prevValue - 1 < (uint64_t(7) << 56) - 1) [[likely]] {
        // The previous string was placed and has at most 6 values: the entry has a short form,
        // which is all anything reads of it.
        short_[nextFree] = Extend(prevValue, first);
    } else if (prevKind & placed) {
        // A walk stops at a placed entry and copies it, so it needs no prefix and value.
        placed_[nextFree] = {static_cast<uint32_t>(prevStart - pixels_), static_cast<uint16_t>(prevLen + 1)};
        short_[nextFree] = 0;
    } else {
        placed_[nextFree] = {0, 0};
        short_[nextFree] = 0;
        prefixTable_[nextFree] = static_cast<uint16_t>(previousCode);
        suffixTable_[nextFree] = first;
        stable_[nextFree] = prevKind & stable;
    }
    if (++nextFree >= growAt_) Grow(nextFree, codeSize, mask);
}

// The width grows when the table passes what it can name, up to 12 bits; past 4096 entries the
// table is full. One comparison in Define stands for both, against growAt_.
void LzwDecoder::Grow(int& nextFree, int& codeSize, uint32_t& mask) {
    if (nextFree > tableSize) {
        nextFree = tableSize;
    } else if (codeSize < 12) {
        ++codeSize;
        mask = (1u << codeSize) - 1;
        growAt_ = codeSize < 12 ? static_cast<int>(mask) + 1 : tableSize;
    } else {
        growAt_ = tableSize + 1;
    }
}

void LzwDecoder::SkipSubBlocks() {
    for (;;) {
        const int length = stream_->ReadByte();
        if (length <= 0) break;
        stream_->Move(length);
    }
    terminatorPassed_ = true;
}

// The table part of a clear code.
void LzwDecoder::Restart() {
    dirtyEnd_ = std::max(dirtyEnd_, c_.nextFree);
    c_.codeSize = minimumCodeSize_ + 1;
    c_.mask = (1u << c_.codeSize) - 1;
    c_.nextFree = clearCode_ + 2;
    growAt_ = c_.codeSize < 12 ? static_cast<int>(c_.mask) + 1 : tableSize;
}

// Makes the prefix and suffix tables what a full clear leaves: every literal its own value, every
// slot from the next free one on prefix 0 and value 0. Done only when a walk needs the tables.
void LzwDecoder::PrepareTable() {
    if (!literalsReady_) {
        for (int code = 0; code < clearCode_; ++code) {
            prefixTable_[code] = 0;
            suffixTable_[code] = static_cast<uint8_t>(code);
        }
        prefixTable_[clearCode_] = prefixTable_[endCode_] = 0;
        suffixTable_[clearCode_] = suffixTable_[endCode_] = 0;
        literalsReady_ = true;
    }
    if (dirtyEnd_ > c_.nextFree) {
        const auto count = static_cast<size_t>(dirtyEnd_ - c_.nextFree);
        std::memset(prefixTable_ + c_.nextFree, 0, sizeof(prefixTable_[0]) * count);
        std::memset(suffixTable_ + c_.nextFree, 0, count);
        dirtyEnd_ = c_.nextFree;
    }
}

// Whether the string of a table code (above the end code) can only be had by walking the table.
bool LzwDecoder::MustWalk(int code) const {
    return code < c_.nextFree ? short_[code] == 0 && placed_[code].length == 0 : !(c_.prevKind & placed);
}

// The string of `code` through the prefix table, last value at the bottom of the output stack, so
// its first value is on top; returns its length. A code at or above the next free slot stands for
// the previous string followed by its own first value.
int LzwDecoder::WalkTable(int code) {
    PrepareTable();
    int top = 0;
    if (code >= c_.nextFree) {
        outputStack_[top++] = *c_.prevStart;
        code = c_.previousCode;
    }
    // A string of the table has at most 4096 - clearCode values, so a walk that fills the stack
    // has gone round a cycle of entries (an entry that is its own prefix included). Placed
    // entries are stable and end the walk with the bytes where they were written.
    while (code >= clearCode_) {
        if (code < c_.nextFree && short_[code] != 0) {
            const uint64_t value = short_[code];
            const int length = static_cast<int>(value >> 56);
            if (top + length >= stackSize) throw GifError(kCircularEntry);
            for (int i = length - 1; i >= 0; --i) outputStack_[top++] = static_cast<uint8_t>(value >> (8 * i));
            return top;
        }
        if (code < c_.nextFree && placed_[code].length != 0) {
            const Placed where = placed_[code];
            if (top + where.length >= stackSize) throw GifError(kCircularEntry);
            for (int i = where.length - 1; i >= 0; --i) outputStack_[top++] = pixels_[where.offset + static_cast<uint32_t>(i)];
            return top;
        }
        if (top >= stackSize - 1) throw GifError(kCircularEntry);
        outputStack_[top++] = suffixTable_[code];
        code = prefixTable_[code];
    }
    outputStack_[top++] = suffixTable_[code];
    return top;
}

// Moves the output to the next row of an interlaced frame (the four-pass order); false when the
// frame is full. The next string does not follow the previous one in memory.
bool LzwDecoder::NextRun() {
    if (!interlaced_ || --rowsLeft_ <= 0) return false;
    row_ += step_;
    while (row_ >= height_) {
        if (pass_ >= 3) return false;
        if (pass_ > 0) step_ /= 2;
        ++pass_;
        row_ = step_ / 2;
    }
    c_.out = pixels_ + int64_t(row_) * width_;
    c_.runEnd = c_.out + width_;
    c_.prevKind &= ~placed;
    c_.prevValue = 0;
    return true;
}

// Writes n bytes that do not overlap the output, continuing on the next rows; false when the
// frame filled up before all were written.
bool LzwDecoder::PutSplit(const uint8_t* src, int n) {
    for (;;) {
        const int k = static_cast<int>(std::min<int64_t>(n, c_.runEnd - c_.out));
        std::memcpy(c_.out, src, static_cast<size_t>(k));
        c_.out += k;
        src += k;
        n -= k;
        if (n == 0) return true;
        if (!NextRun()) return false;
    }
}

// The codes the decoding loop leaves aside: clear and end codes, strings that do not fit in what
// is left of the row, and strings only the table knows.
LzwDecoder::Step LzwDecoder::SlowCode(int code) {
    if (code == clearCode_) {
        Restart();
        do {
            code = Fetch();
        } while (code == clearCode_);
        if (code < 0) return Step::stopped;
        if (code == endCode_) {
            if (!dataEnded_) SkipSubBlocks();
            return Step::stopped;
        }
        // The first code after a clear stands for itself, a literal or not, and makes no entry.
        c_.prevStart = c_.out;
        *c_.out++ = static_cast<uint8_t>(code);
        c_.prevLen = 1;
        c_.prevKind = code < clearCode_ ? stable | placed : 0;
        c_.prevValue = code < clearCode_ ? short_[code] : 0;
        c_.previousCode = code;
        return Step::go;
    }
    if (code == endCode_) {
        if (!dataEnded_) SkipSubBlocks();
        return Step::stopped;
    }
    uint8_t* const start = c_.out;
    const bool own = code < c_.nextFree;
    // Whether the string is fixed in the table: a literal, a stable code, or the code about to
    // be defined after a stable one.
    const bool isStable = code < clearCode_ || (own ? short_[code] != 0 || placed_[code].length != 0 || stable_[code]
                                                    : code == c_.nextFree && (c_.prevKind & stable));
    int length;
    if (code < clearCode_) {
        outputStack_[0] = static_cast<uint8_t>(code);
        length = 1;
    } else if (own && short_[code] != 0) {
        const uint64_t value = short_[code];
        length = static_cast<int>(value >> 56);
        for (int i = 0; i < length; ++i) outputStack_[i] = static_cast<uint8_t>(value >> (8 * i));
    } else if (!MustWalk(code)) {
        // Pixels already written: the code's own string or, for the code about to be defined,
        // the previous string followed by its own first value.
        const uint8_t* src = own ? pixels_ + placed_[code].offset : c_.prevStart;
        length = own ? placed_[code].length : c_.prevLen;
        std::memcpy(outputStack_, src, static_cast<size_t>(length));
        if (!own) outputStack_[length++] = *src;
    } else {
        length = WalkTable(code);
        std::reverse(outputStack_, outputStack_ + length);
    }
    const uint8_t first = outputStack_[0];
    // A string split across rows is not in one place, so no entry may copy it; a stable one
    // written in one piece is copied from there from now on.
    const bool whole = length <= c_.runEnd - c_.out;
    const bool complete = PutSplit(outputStack_, length);
    if (whole && isStable && own && code > endCode_) {
        placed_[code] = {static_cast<uint32_t>(start - pixels_), static_cast<uint16_t>(length)};
        short_[code] = ShortForm(start, length);
    }
    Define(c_.nextFree, c_.codeSize, c_.mask, c_.previousCode, first, c_.prevKind, c_.prevStart, c_.prevLen,
           c_.prevValue);
    c_.previousCode = code;
    c_.prevStart = start;
    c_.prevLen = length;
    c_.prevKind = isStable ? (whole ? stable | placed : stable) : 0;
    c_.prevValue = (c_.prevKind & placed) ? ShortForm(start, length) : 0;
    return complete ? Step::go : Step::overflowed;
}

// The decoding loop. Its state lives in locals, so that it stays in registers while pixels are
// stored; it is handed back to c_ around the slow steps. While 16 bytes of the row are left, a
// string of up to 16 bytes is one 16-byte move; the end of each row goes code by code through
// SlowCode. In an interlaced frame the source of a move may lie in a later row, so it is also
// checked against the frame's end.
template <bool interlaced>
LzwDecoder::Step LzwDecoder::DecodeRuns() {
    intptr_t bitPos, bitStop;  // bitStop: 12 bits before the end of the buffer's bits
    int codeSize, nextFree, previousCode, prevKind, prevLen;
    uint64_t prevValue;
    uint32_t mask;
    const uint8_t* prevStart;
    uint8_t* out;
    // 16 bytes before the end of the run, as a number: while `out` has not passed it, a string of
    // up to 16 bytes is moved whole.
    uintptr_t fastEnd;
    auto load = [&] {
        bitPos = c_.bitPos, bitStop = c_.bitLimit - 12, codeSize = c_.codeSize, mask = c_.mask;
        nextFree = c_.nextFree, previousCode = c_.previousCode, prevKind = c_.prevKind;
        prevLen = c_.prevLen, prevStart = c_.prevStart, prevValue = c_.prevValue, out = c_.out;
        fastEnd = reinterpret_cast<uintptr_t>(c_.runEnd) - 16;
    };
    auto save = [&] {
        c_.bitPos = bitPos, c_.codeSize = codeSize, c_.mask = mask;
        c_.nextFree = nextFree, c_.previousCode = previousCode, c_.prevKind = prevKind;
        c_.prevLen = prevLen, c_.prevStart = prevStart, c_.prevValue = prevValue, c_.out = out;
    };
    auto room = [&] { return static_cast<int64_t>(fastEnd + 16 - reinterpret_cast<uintptr_t>(out)); };
    // Whether 16 bytes from `src` stay inside the frame.
    auto movable = [&](const uint8_t* src) { return !interlaced || pixelsEnd_ - src >= 16; };
    uint8_t* const pixels = pixels_;
    load();
    for (;;) {
        if (reinterpret_cast<uintptr_t>(out) > fastEnd) {
            if (room() == 0) {
                save();
                const bool more = NextRun();
                load();
                if (!more) return Step::filled;
                continue;
            }
            save();
            const int code = Fetch();
            const Step step = code < 0 ? Step::stopped : SlowCode(code);
            load();
            if (step != Step::go) return step;
            continue;
        }
        // A code of the widest kind fits before bitStop; past it the exact width decides.
        if (bitPos >= bitStop && bitPos + codeSize >= c_.bitLimit) {
            save();
            const bool loaded = FillForCode();
            load();
            if (!loaded) return Step::stopped;
        }
        const int code = TakeCode(bitBuffer_, bitPos, codeSize, mask);
        uint8_t* const start = out;
        if (code < nextFree && short_[code] != 0) {
            // A literal or a string of up to 7 values: written from its short form. The most
            // common step goes round on its own, so the values it needs stay in registers.
            const uint64_t value = short_[code];
            StoreShort(out, value);
            out += value >> 56;
            Define(nextFree, codeSize, mask, previousCode, static_cast<uint8_t>(value), prevKind, prevStart, prevLen,
                   prevValue);
            previousCode = code;
            prevStart = start;
            prevLen = static_cast<int>(value >> 56);
            prevKind = stable | placed;
            prevValue = value;
            continue;
        }
        int length;
        int kind;
        uint8_t first;
        uint64_t value = 0;
        if (code < nextFree && placed_[code].length - 1u < 16u && movable(pixels + placed_[code].offset)) {
            // A string of 8 to 16 values: copied from where it was written. The first four bytes
            // go one by one: they may have been stored a moment ago, and a wide load across
            // several recent stores waits for them to reach the cache.
            const Placed where = placed_[code];
            const uint8_t* src = pixels + where.offset;
            const uint8_t b0 = src[0], b1 = src[1], b2 = src[2], b3 = src[3];
            Move16(out, src);
            out[0] = b0, out[1] = b1, out[2] = b2, out[3] = b3;
            first = b0;
            length = where.length;
            kind = stable | placed;
        } else if (code > endCode_ && code < nextFree && placed_[code].length != 0 && placed_[code].length <= room()) {
            const Placed where = placed_[code];
            const uint8_t* src = pixels + where.offset;
            // Longer strings by 16-byte moves while the row has room for the last one's excess,
            // which lands on pixels not yet decoded; libc's copy costs more to call than that.
            const int moved = (where.length + 15) & ~15;
            if (moved <= room() && movable(src + moved - 16))
                for (int k = 0; k < where.length; k += 16) Move16(out + k, src + k);
            else
                std::memcpy(out, src, where.length);
            first = *src;
            length = where.length;
            kind = stable | placed;
        } else if (code >= nextFree && (prevKind & placed) && prevLen < room() && movable(prevStart)) {
            // The code about to be defined: the previous string followed by its own first value.
            if (prevLen < 7) {
                first = static_cast<uint8_t>(prevValue);
                value = Extend(prevValue, first);
                StoreShort(out, value);
            } else {
                first = *prevStart;
                if (prevLen <= 16) Move16(out, prevStart);
                else std::memcpy(out, prevStart, static_cast<size_t>(prevLen));
                out[prevLen] = first;
            }
            length = prevLen + 1;
            // A code beyond it is taken the same way, but is itself still undefined.
            kind = code == nextFree ? stable | placed : 0;
            if (kind == 0) value = 0;
        } else {
            save();
            const Step step = SlowCode(code);
            load();
            if (step != Step::go) return step;
            continue;
        }
        out += length;
        Define(nextFree, codeSize, mask, previousCode, first, prevKind, prevStart, prevLen, prevValue);
        previousCode = code;
        prevStart = start;
        prevLen = length;
        prevKind = kind;
        prevValue = value;
    }
}

void LzwDecoder::DecodeFrame(uint8_t* pixels, int width, int height, bool interlaced, uint8_t fillValue) {
    // Rows are filled as runs: the whole picture is one run when it is not interlaced.
    const int64_t total = int64_t(width) * height;
    const int64_t runLength = interlaced ? width : total;
    pixels_ = pixels;
    pixelsEnd_ = pixels + (total > 0 ? total : 0);
    width_ = width;
    height_ = height;
    interlaced_ = interlaced;
    rowsLeft_ = height;
    c_.out = pixels;
    c_.runEnd = pixels + (runLength > 0 && height > 0 ? runLength : 0);
    const bool empty = runLength <= 0 || height <= 0;
    // The codes above the literals make their entries before anything reads them, so the
    // literals' entries a raster with as many literals or more left behind are still good.
    for (int code = literalsKept_; code < clearCode_; ++code) {
        placed_[code] = {0, 1};  // a placed string of one value (a walk stops before it)
        short_[code] = kShortLengthOne | static_cast<uint8_t>(code);  // above 255, its low byte
    }
    literalsKept_ = clearCode_;
    placed_[clearCode_] = placed_[endCode_] = {0, 0};
    short_[clearCode_] = short_[endCode_] = 0;

    // The first request of every raster answers a clear, so every raster starts a fresh table.
    Step step = empty ? Step::filled : SlowCode(clearCode_);
    if (step == Step::go) step = interlaced ? DecodeRuns<true>() : DecodeRuns<false>();

    // Pixels not decoded take the fill value: the rest of the run (also where a short string's
    // wide move reached) and every run after it.
    if (step == Step::stopped) {
        do {
            if (c_.out < c_.runEnd) std::memset(c_.out, fillValue, static_cast<size_t>(c_.runEnd - c_.out));
        } while (NextRun());
    }

    // Leave the stream right after the raster's terminator. A raster exactly as long as the
    // frame meets its end code with one more request; a longer one, or one whose last code was
    // not the end code, is skipped to its terminator. That request still fails on a damaged
    // table, as decoding its code would; the first code after a clear is not decoded.
    if (step == Step::filled) {
        int code = empty ? clearCode_ : Fetch();
        const bool cleared = code == clearCode_;
        if (cleared) {
            Restart();
            do {
                code = Fetch();
            } while (code == clearCode_);
        }
        if (code == endCode_) {
            if (!dataEnded_) SkipSubBlocks();
        } else if (!cleared && code > endCode_ && MustWalk(code)) {
            WalkTable(code);
        }
    }
    if (!terminatorPassed_) SkipSubBlocks();
}

namespace {

// This thread's decoder, lent to one raster at a time. While it is lent (a warning handler that
// reads another picture while a raster is decoded), a raster gets a decoder of its own.
class DecoderLease {
public:
    DecoderLease() {
        if (!lent_) {
            if (!cached_) cached_ = std::make_unique_for_overwrite<LzwDecoder>();
            decoder_ = cached_.get();
            lent_ = true;
        } else {
            own_ = std::make_unique_for_overwrite<LzwDecoder>();
            decoder_ = own_.get();
        }
    }
    ~DecoderLease() {
        if (!own_) lent_ = false;
    }
    DecoderLease(const DecoderLease&) = delete;
    DecoderLease& operator=(const DecoderLease&) = delete;

    LzwDecoder& operator*() const { return *decoder_; }
    LzwDecoder* operator->() const { return decoder_; }

private:
    static thread_local std::unique_ptr<LzwDecoder> cached_;
    static thread_local bool lent_;
    std::unique_ptr<LzwDecoder> own_;
    LzwDecoder* decoder_ = nullptr;
};

thread_local std::unique_ptr<LzwDecoder> DecoderLease::cached_;
thread_local bool DecoderLease::lent_ = false;

}  // namespace

void GifFrame::ReadFrameData(GifStream& stream, bool reserved) {
    // The code size is read and checked before the pixels are allocated: a raster that cannot
    // be decoded fails the frame without first filling up to a gigabyte of pixels.
    const int minimumCodeSize = stream.ReadByte();
    std::optional<DecoderLease> decoder;
    if (minimumCodeSize >= 0) {
        decoder.emplace();
        (*decoder)->Begin(stream, *this, minimumCodeSize);
    }
    const uint8_t fillValue = hasTransparency && controlBlock ? controlBlock->transparentIndex : 0;
    uint8_t* const memory = reserved && ownerImage ? ownerImage->FramePixels(int64_t(frameWidth) * frameHeight) : nullptr;
    // The pixels are not filled first: the decoder writes every one of them, the fill value where
    // the data end early, so the frame's memory is written once.
    renderCache.reset();
    pixelCount = int64_t(frameWidth) * frameHeight;
    if (memory)
        pixels.Place(memory, static_cast<size_t>(pixelCount));  // memory the picture reserved
    else
        pixels.Allocate(static_cast<size_t>(pixelCount));
    if (!decoder && !pixels.empty()) std::memset(pixels.data(), fillValue, pixels.size());
    if (decoder) (*decoder)->DecodeFrame(pixels.data(), frameWidth, frameHeight, IsInterlaced(), fillValue);
}

}  // namespace torvana::gif
