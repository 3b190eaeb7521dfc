#include "media/media_probe.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "media/picture_reader.h"
#include "media/wave_info.h"
#include "project/errors.h"
#include "project/file_io.h"

namespace torvana {

namespace {

// The first `count` bytes of a file (fewer when it is shorter); false when it cannot be read.
bool readHead(const std::string& path, size_t count, std::string& head) {
    std::FILE* f = openFile(path, "rb");
    if (!f) return false;
    head.resize(count);
    head.resize(std::fread(head.data(), 1, count, f));
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

PictureFormat formatOf(StillFormat format) {
    switch (format) {
        case StillFormat::Bmp: return PictureFormat::Bmp;
        case StillFormat::Png: return PictureFormat::Png;
        case StillFormat::Jpeg: return PictureFormat::Jpeg;
        case StillFormat::None: break;
    }
    return PictureFormat::Unreadable;
}

}  // namespace

PictureProbe probePicture(const std::string& path) {
    PictureProbe probe;
    std::string head;
    if (!readHead(path, 6, head)) {
        probe.problem = "cannot be read";
        return probe;
    }
    if (startsLikeGif(head)) {
        try {
            // Every frame is decoded, so a damaged one is found, but none is kept.
            gif::GifImage gif;
            gif.keepFramePixels = false;
            gif.LoadFromFile(path);
            if (gif.Empty() || gif.Width() <= 0 || gif.Height() <= 0) {
                probe.problem = "the GIF file holds no picture";
                return probe;
            }
            probe.format = PictureFormat::Gif;
            probe.width = gif.Width();
            probe.height = gif.Height();
        } catch (const Error& e) {
            probe.problem = e.what();
        } catch (const std::bad_alloc&) {
            probe.problem = gif::kNotEnoughMemory;
        }
        return probe;
    }
    try {
        const StillHeader header = readStillHeader(readFileContents(path, kMaxPictureFileBytes));
        if (header.format == StillFormat::None) {
            probe.format = header.error == kNotAPictureText ? PictureFormat::NotAPicture : PictureFormat::Unreadable;
            probe.problem = header.error;
            return probe;
        }
        probe.format = formatOf(header.format);
        probe.width = header.width;
        probe.height = header.height;
    } catch (const Error& e) {
        probe.problem = e.what();
    } catch (const std::bad_alloc&) {
        probe.problem = gif::kNotEnoughMemory;
    }
    return probe;
}

bool isWavFile(const std::string& path) {
    std::string head;
    return readHead(path, 12, head) && head.size() == 12 && head.compare(0, 4, "RIFF") == 0 &&
           head.compare(8, 4, "WAVE") == 0;
}

std::string pictureProblem(const PictureProbe& probe) {
    if (probe.format == PictureFormat::NotAPicture) return "is not a picture the players show (BMP, GIF, PNG or JPEG)";
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
