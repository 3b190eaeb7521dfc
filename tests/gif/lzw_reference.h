#pragma once
// A plain LZW raster decoder to check the production one against: one code at a time, the
// string walked through the prefix table onto a stack, one pixel at a time. It is slow and
// obviously right, and keeps the same rules on damaged data (codes beyond the next free slot,
// cycles, truncation, where the stream is left). The decoder tests and the LZW fuzz target
// compare the two on the same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "gif/gif_image.h"

namespace giftest {

struct ReferenceRaster {
    std::vector<uint8_t> pixels;
    std::vector<std::string> warnings;
    std::string error;  // empty when decoding succeeded
    size_t position = 0;  // where the stream was left
};

// `data` starts at the minimum code size byte.
inline ReferenceRaster ReferenceDecode(const std::vector<uint8_t>& data, int width, int height, bool interlaced) {
    ReferenceRaster r;
    r.pixels.assign(size_t(width) * height, 0);
    size_t pos = 0;
    auto readByte = [&]() -> int { return pos < data.size() ? data[pos++] : -1; };
    const int mcs = readByte();
    if (mcs < 0) return r;
    if (mcs > 11) {
        r.error = "Invalid LZW minimum code size";
        r.position = 0;
        return r;
    }
    const int clear = 1 << mcs, end = clear + 1;
    int codeSize = mcs + 1, nextFree = clear + 2, growAt = 2 * clear, firstValue = 0, previous = 0;
    std::vector<int> prefix(4096), suffix(4096), stack;
    uint8_t buffer[2 + 255 + 4] = {};
    int fill = 2, bitPos = 0, bitLimit = 0;
    bool dataEnded = false, passed = false, clearFirst = true;

    auto skip = [&] {
        for (int n; (n = readByte()) > 0;) pos += size_t(n);
        passed = true;
    };
    auto fetch = [&](int n) -> int {
        if (clearFirst) {
            clearFirst = false;
            return clear;
        }
        // Sub-blocks are loaded until the code lies whole behind the two bytes carried over.
        for (bool first = true; bitPos + n >= bitLimit + (first ? 0 : 1) && (first || !dataEnded); first = false) {
            if (dataEnded) {
                if (bitPos >= bitLimit) r.warnings.push_back("Decoder bit buffer under-run");
                return -1;
            }
            buffer[0] = buffer[fill - 2];
            buffer[1] = buffer[fill - 1];
            int length = readByte();
            if (length < 0) {
                passed = true;
                return -1;
            }
            if (length == 0) dataEnded = passed = true;
            const size_t left = pos < data.size() ? data.size() - pos : 0;
            if (size_t(length) > left) {
                r.warnings.push_back("Premature end of data");
                length = int(left);
            }
            for (int i = 0; i < length; ++i) buffer[2 + i] = data[pos++];
            for (int i = 0; i < 4; ++i) buffer[2 + length + i] = 0;
            fill = length + 2;
            bitPos = bitPos - bitLimit + 16;
            bitLimit = 8 * fill;
        }
        uint32_t word = 0;
        for (int i = 0; i < 3; ++i) word |= uint32_t(buffer[bitPos / 8 + i]) << (8 * i);
        const int code = int((word >> (bitPos % 8)) & ((1u << n) - 1));
        bitPos += n;
        return code;
    };
    // One code: the first value of its string (the rest waits on the stack), -1 or -2.
    auto step = [&]() -> int {
        int code = fetch(codeSize);
        if (code < 0) return code;
        if (code == clear) {
            for (int c = 0; c < 4096; ++c) prefix[c] = 0, suffix[c] = c < clear ? c : 0;
            codeSize = mcs + 1, growAt = 2 * clear, nextFree = clear + 2;
            stack.clear();
            while ((code = fetch(codeSize)) == clear) {
            }
            if (code < 0) return code;
            if (code == end) {
                if (!dataEnded) skip();
                return -2;
            }
            firstValue = previous = code;
            return code;
        }
        if (code == end) {
            if (!dataEnded) skip();
            return -2;
        }
        const int incoming = code;
        if (code >= nextFree) stack.push_back(firstValue), code = previous;
        while (code >= clear) {
            if (stack.size() >= 8191) throw std::string("Circular decoder table entry");
            stack.push_back(suffix[code]);
            code = prefix[code];
        }
        firstValue = suffix[code];
        stack.push_back(firstValue);
        if (nextFree < 4096) {
            prefix[nextFree] = previous, suffix[nextFree] = firstValue;
            if (++nextFree >= growAt && growAt < 4096) growAt *= 2, ++codeSize;
        }
        previous = incoming;
        const int value = stack.back();
        stack.pop_back();
        return value;
    };
    auto next = [&]() -> int {
        if (stack.empty()) return step();
        const int value = stack.back();
        stack.pop_back();
        return value;
    };

    try {
        std::vector<int> rows;
        if (interlaced) {
            for (int start : {0, 4, 2, 1})
                for (int y = start; y < height; y += start == 2 ? 4 : start == 1 ? 2 : 8) rows.push_back(y);
        } else {
            for (int y = 0; y < height; ++y) rows.push_back(y);
        }
        int stop = 0;
        for (size_t i = 0; i < rows.size() * size_t(width) && stop == 0; ++i) {
            const int value = next();
            if (value < 0) stop = value;
            else r.pixels[size_t(rows[i / width]) * width + i % width] = uint8_t(value);
        }
        if (stop == 0 && stack.empty()) next();
        if (!passed) skip();
    } catch (const std::string& error) {
        r.error = error;
        r.position = 0;
        return r;
    }
    r.position = pos;
    return r;
}

// Decodes `data` (from the minimum code size byte) with the frame's own raster reader and with
// the reference; returns what differs (error, pixels, warnings, where the stream was left), or
// an empty text when both agree.
inline std::string DifferenceFromReference(const std::vector<uint8_t>& data, int width, int height, bool interlaced) {
    const ReferenceRaster expected = ReferenceDecode(data, width, height, interlaced);
    torvana::gif::GifImage image;
    std::vector<std::string> warnings;
    image.OnGIFWarning = [&](torvana::gif::GifObject*, int, const std::string& message) { warnings.push_back(message); };
    torvana::gif::GifFrame frame(&image);
    frame.frameWidth = static_cast<uint16_t>(width);
    frame.frameHeight = static_cast<uint16_t>(height);
    frame.frameFlags = interlaced ? 0x40 : 0;
    torvana::gif::GifMemoryStream stream(data.data(), data.size());
    std::string error;
    try {
        frame.ReadFrameData(stream);
    } catch (const torvana::gif::GifError& e) {
        error = e.what();
    }
    if (error != expected.error) return "error \"" + error + "\" instead of \"" + expected.error + "\"";
    if (!error.empty()) return "";
    if (frame.pixels != expected.pixels) {
        size_t i = 0;
        while (frame.pixels[i] == expected.pixels[i]) ++i;
        return "pixel " + std::to_string(i) + " is " + std::to_string(frame.pixels[i]) + " instead of " +
               std::to_string(expected.pixels[i]);
    }
    std::string got, want;
    for (const auto& w : warnings) got += w + ";";
    for (const auto& w : expected.warnings) want += w + ";";
    if (got != want) return "warnings \"" + got + "\" instead of \"" + want + "\"";
    if (stream.Position() != static_cast<int64_t>(expected.position))
        return "stream left at " + std::to_string(stream.Position()) + " instead of " + std::to_string(expected.position);
    return "";
}

}  // namespace giftest
