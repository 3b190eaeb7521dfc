#include "player/sound.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>

#include "media/wave_info.h"

namespace torvana::player {

namespace {

// Converted sounds kept between plays, in all: rollover and click sounds, heard again and again,
// are read from the disc once; a long one (an opening piece of music) is read and converted
// again when it is played again rather than held for the whole run.
constexpr size_t kKeptSoundBytes = size_t(32) << 20;

// The sound data handed to the converter at a time: SDL's converter works in buffers of many
// times what it is given at once, so a whole 16 MB sound at once took gigabytes.
constexpr int kConvertChunkBytes = 64 << 10;

struct WavFree {
    void operator()(Uint8* data) const { SDL_FreeWAV(data); }
};
struct StreamFree {
    void operator()(SDL_AudioStream* stream) const { SDL_FreeAudioStream(stream); }
};

int frameBytes(const SDL_AudioSpec& audio) { return int(SDL_AUDIO_BITSIZE(audio.format) / 8) * std::max<int>(audio.channels, 1); }

// What `length` bytes of `from` come to in `to`, with room for the resampler's rounding.
uint64_t convertedBytes(const SDL_AudioSpec& from, Uint32 length, const SDL_AudioSpec& to) {
    const uint64_t frames = length / uint64_t(std::max(frameBytes(from), 1));
    const uint64_t outFrames = frames * uint64_t(to.freq) / uint64_t(std::max(from.freq, 1)) + 64;
    return outFrames * uint64_t(frameBytes(to));
}

// Converts the WAV file at `path` to the format `to`: tells `expect` what the sound comes to,
// then hands it to `take` a piece at a time. Why it cannot be played, empty when it was
// converted whole. A sound that would take more than a WAV file may hold (kMaxWaveBytes, twelve
// minutes at CD quality) is refused before anything is converted.
std::string convertWave(const std::string& path, const SDL_AudioSpec& to, const std::function<void(size_t)>& expect,
                        const std::function<bool(const Uint8*, size_t)>& take) {
    const std::string cannot = "the sound cannot be played";
    SDL_AudioSpec from{};
    Uint8* raw = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &from, &raw, &length)) return cannot;
    const std::unique_ptr<Uint8, WavFree> data(raw);
    const uint64_t expected = convertedBytes(from, length, to);
    if (expected > uint64_t(torvana::kMaxWaveBytes)) return torvana::kWaveTooLongText;
    const std::unique_ptr<SDL_AudioStream, StreamFree> stream(
        SDL_NewAudioStream(from.format, from.channels, from.freq, to.format, to.channels, to.freq));
    if (!stream) return cannot;
    try {
        expect(size_t(expected));
        std::vector<Uint8> piece;
        uint64_t handed = 0;
        bool refused = false;
        // Hands on what the converter has ready; false when that fails, passes the size
        // expected, or the taker refuses it (SDL's queue has no room).
        const auto handOn = [&]() -> bool {
            const int ready = SDL_AudioStreamAvailable(stream.get());
            if (ready <= 0) return true;
            piece.resize(size_t(ready));
            const int got = SDL_AudioStreamGet(stream.get(), piece.data(), ready);
            handed += uint64_t(std::max(got, 0));
            if (got < 0 || handed > expected) return false;
            refused = !take(piece.data(), size_t(got));
            return !refused;
        };
        bool ok = true;
        for (Uint32 at = 0; ok && at < length; at += kConvertChunkBytes) {
            const int chunk = int(std::min<Uint32>(kConvertChunkBytes, length - at));
            ok = SDL_AudioStreamPut(stream.get(), data.get() + at, chunk) == 0 && handOn();
        }
        ok = ok && SDL_AudioStreamFlush(stream.get()) == 0 && handOn();
        if (!ok) return refused ? torvana::kNoMemoryForSound : cannot;
    } catch (const std::bad_alloc&) {
        return torvana::kNoMemoryForSound;
    }
    return {};
}

}  // namespace

SoundOutput::~SoundOutput() {
    if (device_) SDL_CloseAudioDevice(device_);
}

bool SoundOutput::open() {
    if (device_) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    // CD quality whatever the device runs at (SDL converts on the way out, a buffer at a time),
    // so a converted sound takes what the bound on sounds counts with.
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 2048;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &deviceFormat_, 0);
    if (!device_) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

std::string SoundOutput::play(const std::string& path) {
    if (!device_) return "there is no sound output";
    SDL_ClearQueuedAudio(device_);
    if (const auto found = sounds_.find(path); found != sounds_.end()) {
        const Sound& kept = found->second;
        if (!kept.error.empty()) return kept.error;
        return SDL_QueueAudio(device_, kept.bytes.data(), Uint32(kept.bytes.size())) == 0 ? std::string()
                                                                                          : torvana::kNoMemoryForSound;
    }
    // Converted a piece at a time into SDL's queue, which plays it as it comes; kept as well when
    // it fits what is kept.
    Sound sound;
    bool keep = false;
    sound.error = convertWave(
        path, deviceFormat_,
        [&](size_t bytes) {
            keep = keptBytes_ + bytes <= kKeptSoundBytes;
            if (keep) sound.bytes.reserve(bytes);
        },
        [&](const Uint8* piece, size_t bytes) {
            if (keep) sound.bytes.insert(sound.bytes.end(), piece, piece + bytes);
            return SDL_QueueAudio(device_, piece, Uint32(bytes)) == 0;
        });
    if (!sound.error.empty()) {
        SDL_ClearQueuedAudio(device_);
        sounds_[path] = Sound{{}, sound.error};
        return sound.error;
    }
    if (keep) {
        keptBytes_ += sound.bytes.size();
        sounds_.emplace(path, std::move(sound));
    }
    return {};
}

void SoundOutput::stop() {
    if (device_) SDL_ClearQueuedAudio(device_);
}

}  // namespace torvana::player
