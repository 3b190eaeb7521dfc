#pragma once
// A small GIF writer for building test pictures: an LZW encoder with the usual options
// (sub-block size, clear codes, deferred clear, end code), a code packer for hand-made rasters
// and a builder for the blocks of a file. Used by the tests, the fuzz seeds and the benchmark.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::vector<uint8_t>;

// Packs codes of given widths least significant bit first.
class CodePacker {
public:
    void Put(int code, int width) {
        acc_ |= uint64_t(uint32_t(code) & ((1u << width) - 1)) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            bytes_.push_back(static_cast<uint8_t>(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    Bytes Finish() {
        if (bits_ > 0) bytes_.push_back(static_cast<uint8_t>(acc_));
        acc_ = 0;
        bits_ = 0;
        return std::move(bytes_);
    }

private:
    Bytes bytes_;
    uint64_t acc_ = 0;
    int bits_ = 0;
};

// Splits data into sub-blocks of at most `blockSize` bytes; appends the 0 terminator unless
// told not to.
inline Bytes SubBlocks(const Bytes& data, int blockSize = 255, bool terminator = true) {
    Bytes out;
    for (size_t i = 0; i < data.size(); i += static_cast<size_t>(blockSize)) {
        const size_t n = std::min(data.size() - i, static_cast<size_t>(blockSize));
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(i), data.begin() + static_cast<ptrdiff_t>(i + n));
    }
    if (terminator) out.push_back(0);
    return out;
}

struct LzwOptions {
    bool deferClear = false;  // keep going with a full table instead of sending a clear
    bool endCode = true;
    int clearEvery = 0;       // also send a clear after this many codes (0: never)
};

// The LZW codes (as packed bytes, without sub-blocks) for the given indices.
inline Bytes LzwEncode(const uint8_t* indices, size_t count, int minimumCodeSize, LzwOptions options = {}) {
    const int clear = 1 << minimumCodeSize;
    const int end = clear + 1;
    CodePacker packer;
    int codeSize = minimumCodeSize + 1;
    int next = clear + 2;
    bool full = false;
    // Open-addressing table from (prefix, value) to code.
    constexpr int hashSize = 1 << 14;
    std::vector<int32_t> keys(hashSize, -1);
    std::vector<uint16_t> codes(hashSize);
    bool afterClear = true;  // the decoder makes no entry for the first code after a clear
    auto reset = [&] {
        std::fill(keys.begin(), keys.end(), -1);
        codeSize = minimumCodeSize + 1;
        next = clear + 2;
        full = false;
        afterClear = true;
    };
    packer.Put(clear, codeSize);
    if (count == 0) {
        if (options.endCode) packer.Put(end, codeSize);
        return packer.Finish();
    }
    int prefix = indices[0] & (clear - 1);
    int emitted = 0;
    for (size_t i = 1; i < count; ++i) {
        const int value = indices[i] & (clear - 1);
        const int32_t key = (prefix << 8) | value;
        uint32_t h = (uint32_t(key) * 2654435761u) >> 18;
        bool found = false;
        while (keys[h] != -1) {
            if (keys[h] == key) {
                found = true;
                break;
            }
            h = (h + 1) & (hashSize - 1);
        }
        if (found) {
            prefix = codes[h];
            continue;
        }
        packer.Put(prefix, codeSize);
        ++emitted;
        afterClear = false;
        if (!full) {
            keys[h] = key;
            codes[h] = static_cast<uint16_t>(next);
            ++next;
            if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
            if (next == 4096) {
                if (options.deferClear) {
                    full = true;
                } else {
                    packer.Put(clear, codeSize);
                    reset();
                }
            }
        }
        if (options.clearEvery > 0 && emitted % options.clearEvery == 0) {
            packer.Put(clear, codeSize);
            reset();
        }
        prefix = value;
    }
    packer.Put(prefix, codeSize);
    // Reading the last code the decoder makes the entry the encoder made last, and may widen.
    if (!full && !afterClear && next + 1 > (1 << codeSize) && codeSize < 12) ++codeSize;
    if (options.endCode) packer.Put(end, codeSize);
    return packer.Finish();
}

inline Bytes LzwEncode(const Bytes& indices, int minimumCodeSize, LzwOptions options = {}) {
    return LzwEncode(indices.data(), indices.size(), minimumCodeSize, options);
}

// Rows of an image in the four-pass interlaced order.
inline Bytes Interlace(const Bytes& indices, int width, int height) {
    Bytes out;
    out.reserve(indices.size());
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            out.insert(out.end(), indices.begin() + int64_t(y) * width, indices.begin() + int64_t(y + 1) * width);
    return out;
}

struct Rgb {
    uint8_t r, g, b;
};

inline int TableSizeCode(size_t entries) {
    int code = 0;
    while ((2u << code) < entries) ++code;
    return code;
}

class GifBuilder {
public:
    GifBuilder& Raw(const Bytes& bytes) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    GifBuilder& Raw(std::initializer_list<int> bytes) {
        for (int b : bytes) out_.push_back(static_cast<uint8_t>(b));
        return *this;
    }
    GifBuilder& Text(const std::string& s) {
        out_.insert(out_.end(), s.begin(), s.end());
        return *this;
    }
    GifBuilder& U16(int v) { return Raw({v & 0xFF, (v >> 8) & 0xFF}); }

    // Signature, logical screen descriptor and the global table (none when empty; padded to
    // a power of two).
    GifBuilder& Header(int width, int height, const std::vector<Rgb>& colors = {}, int background = 0,
                       int aspect = 0, const char* signature = "GIF89a") {
        Text(signature);
        U16(width);
        U16(height);
        const int code = colors.empty() ? 0 : TableSizeCode(colors.size());
        Raw({colors.empty() ? 0 : (0x80 | 0x70 | code), background, aspect});
        if (!colors.empty()) Table(colors, code);
        return *this;
    }
    GifBuilder& Gce(int disposal, int delay, int transparent = -1, int blockSize = 4) {
        Raw({0x21, 0xF9, blockSize, ((disposal & 7) << 2) | (transparent >= 0 ? 1 : 0)});
        U16(delay);
        return Raw({transparent >= 0 ? transparent : 0, 0});
    }
    GifBuilder& Comment(const std::string& text) {
        Raw({0x21, 0xFE});
        return Raw(SubBlocks(Bytes(text.begin(), text.end())));
    }
    GifBuilder& Application(const std::string& identifier11, const Bytes& data, int blockSize = 11) {
        Raw({0x21, 0xFF, blockSize});
        Text(identifier11.substr(0, 11));
        return Raw(SubBlocks(data));
    }
    GifBuilder& Loop(int count, const char* identifier = "NETSCAPE2.0") {
        return Application(identifier, Bytes{1, static_cast<uint8_t>(count & 0xFF), static_cast<uint8_t>(count >> 8)});
    }
    // Image descriptor (and local table) only.
    GifBuilder& Descriptor(int left, int top, int width, int height, bool interlaced = false,
                           const std::vector<Rgb>& local = {}) {
        Raw({','});
        U16(left);
        U16(top);
        U16(width);
        U16(height);
        const int code = local.empty() ? 0 : TableSizeCode(local.size());
        Raw({(local.empty() ? 0 : 0x80 | code) | (interlaced ? 0x40 : 0)});
        if (!local.empty()) Table(local, code);
        return *this;
    }
    // A whole image: descriptor, minimum code size and the encoded raster.
    GifBuilder& Image(int left, int top, int width, int height, const Bytes& indices, int minimumCodeSize = 8,
                      bool interlaced = false, const std::vector<Rgb>& local = {}, LzwOptions options = {},
                      int blockSize = 255) {
        Descriptor(left, top, width, height, interlaced, local);
        Raw({minimumCodeSize});
        const Bytes ordered = interlaced ? Interlace(indices, width, height) : indices;
        return Raw(SubBlocks(LzwEncode(ordered, minimumCodeSize, options), blockSize));
    }
    GifBuilder& Trailer() { return Raw({';'}); }

    const Bytes& bytes() const { return out_; }
    std::string str() const { return std::string(out_.begin(), out_.end()); }

private:
    void Table(const std::vector<Rgb>& colors, int code) {
        const size_t n = size_t(2) << code;
        for (size_t i = 0; i < n; ++i) {
            const Rgb c = i < colors.size() ? colors[i] : Rgb{0, 0, 0};
            Raw({c.r, c.g, c.b});
        }
    }
    Bytes out_;
};

// A palette of n distinct colours.
inline std::vector<Rgb> Palette(int n) {
    std::vector<Rgb> colors;
    for (int i = 0; i < n; ++i)
        colors.push_back(Rgb{static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 11 + 5)});
    return colors;
}

}  // namespace giftest
