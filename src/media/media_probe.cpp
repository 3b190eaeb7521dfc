#include "media/media_probe.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gif/gif_image.h"
#include "project/errors.h"
#include "project/wave_info.h"

namespace torvana {

namespace {

// The first `count` bytes of a file (fewer when it is shorter); false when it cannot be read.
bool readHead(const std::string& path, size_t count, std::string& head) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    head.resize(count);
    head.resize(std::fread(head.data(), 1, count, f));
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

uint32_t le(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

}  // namespace

bool bmpSize(const std::string& head, int& width, int& height) {
    if (head.size() < 26 || head.compare(0, 2, "BM") != 0) return false;
    const uint32_t infoSize = le(head, 14, 4);
    int64_t w = 0, h = 0;
    if (infoSize == 12) {  // the old core header: 16-bit unsigned sizes
        w = le(head, 18, 2);
        h = le(head, 20, 2);
    } else if (infoSize >= 40) {
        // 32-bit signed sizes; a negative height is a picture stored top-down.
        w = static_cast<int32_t>(le(head, 18, 4));
        h = std::llabs(static_cast<int32_t>(le(head, 22, 4)));
    }
    // A header without a size leaves width and height as they were: callers take a width
    // above 0 for a picture they can place.
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

PictureProbe probePicture(const std::string& path) {
    PictureProbe probe;
    std::string head;
    if (!readHead(path, 64, head)) {
        probe.problem = "cannot be read";
        return probe;
    }
    if (head.compare(0, 2, "BM") == 0) {
        if (bmpSize(head, probe.width, probe.height)) {
            probe.format = PictureFormat::Bmp;
        } else {
            probe.problem = "its BMP header is damaged";
        }
        return probe;
    }
    if (head.compare(0, 4, "GIF8") == 0) {
        try {
            // Every frame is decoded, so a damaged one is found, but none is kept.
            gif::GifImage gif;
            gif.keepFramePixels = false;
            gif.LoadFromFile(path);
            if (gif.Empty() || gif.Width() <= 0 || gif.Height() <= 0) {
                probe.problem = "the GIF holds no picture";
                return probe;
            }
            probe.format = PictureFormat::Gif;
            probe.width = gif.Width();
            probe.height = gif.Height();
        } catch (const Error& e) {
            probe.problem = e.what();
        }
        return probe;
    }
    probe.format = PictureFormat::NotAPicture;
    return probe;
}

bool isWavFile(const std::string& path) {
    std::string head;
    return readHead(path, 12, head) && head.size() == 12 && head.compare(0, 4, "RIFF") == 0 &&
           head.compare(8, 4, "WAVE") == 0;
}

std::string pictureProblem(const PictureProbe& probe) {
    if (probe.format == PictureFormat::NotAPicture) return "is neither a BMP nor a GIF picture";
    if (probe.format == PictureFormat::Unreadable) return "cannot be shown: " + probe.problem;
    return {};
}

std::string soundProblem(const std::string& path) {
    if (!isWavFile(path)) return "is not a WAV sound";
    // The players check every sound with this reader and leave out what it refuses.
    if (const WaveInfo wave = inspectWave(path); !wave.error.empty()) return "cannot be played: " + wave.error;
    return {};
}

}  // namespace torvana
