#include "media/wave_info.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "project/file_io.h"

namespace torvana {

namespace {

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

WaveInfo inspectWave(const std::string& path) {
    WaveInfo info;
    if (!fileExists(path)) {
        info.error = folderExists(path) ? "the file cannot be read" : "file not found";
        return info;
    }
    std::unique_ptr<std::FILE, FileCloser> file(openFile(path, "rb"));
    if (!file) {
        info.error = "the file cannot be read";
        return info;
    }
    std::FILE* f = file.get();
    const int64_t fileBytes = int64_t(fileSize(path));
    if (fileBytes > kMaxWaveBytes) {
        info.error = "the WAV file is larger than " + std::to_string(kMaxWaveBytes >> 20) + " MB";
        return info;
    }
    unsigned char head[12];
    if (std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        info.error = "not a WAV file";
        return info;
    }
    int64_t pos = 12;
    bool haveFormat = false;
    uint32_t sampleRate = 0, frameBytes = 0;
    // Chunks follow one another: a 4-byte id, a 4-byte size, the data padded to an even size.
    for (int chunks = 0; chunks < kMaxWaveChunks; ++chunks) {
        unsigned char chunk[8];
        if (std::fread(chunk, 1, 8, f) != 8) break;
        pos += 8;
        const uint32_t size = le32(chunk + 4);
        const int64_t next = pos + int64_t(size) + (size & 1);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[16];
            if (size < 16 || std::fread(fmt, 1, 16, f) != 16) break;
            const uint16_t tag = le16(fmt);
            const uint16_t channels = le16(fmt + 2);
            sampleRate = le32(fmt + 4);
            const uint32_t byteRate = le32(fmt + 8);
            // A sample frame as the sound output reads it: the larger of the block size stated
            // and what the channels' samples take, so a header cannot shrink it.
            frameBytes = std::max<uint32_t>(le16(fmt + 12), uint32_t(channels) * ((le16(fmt + 14) + 7u) / 8u));
            // 1 PCM, 3 float, 0xFFFE extensible (which carries PCM or float inside).
            if (tag != 1 && tag != 3 && tag != 0xFFFE) {
                info.error = "compressed WAV data (format " + std::to_string(tag) + ") cannot be played";
                return info;
            }
            if (channels == 0 || byteRate == 0 || sampleRate == 0 || frameBytes == 0) break;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) break;
            const int64_t available = std::min<int64_t>(size, fileBytes - pos);
            if (available <= 0) {
                info.error = "the WAV file holds no sound";
                return info;
            }
            // The length as the output plays it: the sample frames at the sample rate, whatever
            // byte rate the header states. A sound longer than a menu holds is refused here, so
            // no player converts it.
            const int64_t ms = available / frameBytes * 1000 / sampleRate;
            if (ms > kMaxWaveMs) {
                info.error = kWaveTooLongText;
                return info;
            }
            info.durationMs = int(ms);
            return info;
        }
        if (next > fileBytes || std::fseek(f, long(next), SEEK_SET) != 0) break;
        pos = next;
    }
    info.error = "damaged WAV file";
    return info;
}

}  // namespace torvana
