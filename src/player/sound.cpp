#include "player/sound.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "project/wave_info.h"

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

int frameBytes(const SDL_AudioSpec& spec) { return int(SDL_AUDIO_BITSIZE(spec.format) / 8) * std::max<int>(spec.channels, 1); }

// What `length` bytes of `from` come to in `to`, with room for the resampler's rounding.
uint64_t convertedBytes(const SDL_AudioSpec& from, Uint32 length, const SDL_AudioSpec& to) {
    const uint64_t frames = length / uint64_t(std::max(frameBytes(from), 1));
    const uint64_t outFrames = frames * uint64_t(to.freq) / uint64_t(std::max(from.freq, 1)) + 64;
    return outFrames * uint64_t(frameBytes(to));
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

// The file converted to the output's format, refused when it would take more than a WAV file may
// hold (kMaxWaveBytes, twelve minutes at CD quality) or more memory than there is.
SoundOutput::Sound SoundOutput::load(const std::string& path) const {
    Sound sound;
    SDL_AudioSpec fileFormat{};
    Uint8* raw = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &fileFormat, &raw, &length)) {
        sound.error = "the sound cannot be played";
        return sound;
    }
    const std::unique_ptr<Uint8, WavFree> data(raw);
    const uint64_t expected = convertedBytes(fileFormat, length, deviceFormat_);
    if (expected > uint64_t(torvana::kMaxWaveBytes)) {
        sound.error = "the sound is longer than " + std::to_string(torvana::kMaxWaveMs / 60000) + " minutes";
        return sound;
    }
    const std::unique_ptr<SDL_AudioStream, StreamFree> stream(
        SDL_NewAudioStream(fileFormat.format, fileFormat.channels, fileFormat.freq, deviceFormat_.format,
                           deviceFormat_.channels, deviceFormat_.freq));
    if (!stream) {
        sound.error = "the sound cannot be played";
        return sound;
    }
    try {
        sound.bytes.reserve(size_t(expected));
        // Takes what the converter has ready; false when that would pass the expected size.
        const auto take = [&] {
            const int ready = SDL_AudioStreamAvailable(stream.get());
            if (ready <= 0) return true;
            const size_t at = sound.bytes.size();
            if (at + size_t(ready) > size_t(expected)) return false;
            sound.bytes.resize(at + size_t(ready));
            const int got = SDL_AudioStreamGet(stream.get(), sound.bytes.data() + at, ready);
            sound.bytes.resize(at + size_t(std::max(got, 0)));
            return got >= 0;
        };
        bool ok = true;
        for (Uint32 at = 0; ok && at < length; at += kConvertChunkBytes) {
            const int chunk = int(std::min<Uint32>(kConvertChunkBytes, length - at));
            ok = SDL_AudioStreamPut(stream.get(), data.get() + at, chunk) == 0 && take();
        }
        ok = ok && SDL_AudioStreamFlush(stream.get()) == 0 && take();
        if (!ok) sound = Sound{{}, "the sound cannot be played"};
    } catch (const std::bad_alloc&) {
        sound = Sound{{}, torvana::kNoMemoryForSound};
    }
    return sound;
}

std::string SoundOutput::play(const std::string& path) {
    if (!device_) return "there is no sound output";
    auto found = sounds_.find(path);
    Sound loaded;
    const Sound* sound = found != sounds_.end() ? &found->second : nullptr;
    if (!sound) {
        loaded = load(path);
        sound = &loaded;
    }
    if (!sound->error.empty() || sound->bytes.empty()) {
        const std::string why = sound->error.empty() ? "the sound cannot be played" : sound->error;
        if (found == sounds_.end()) sounds_[path] = Sound{{}, why};
        return why;
    }
    SDL_ClearQueuedAudio(device_);
    // SDL copies the sound into its queue; a refusal there is a lack of memory.
    const bool queued = SDL_QueueAudio(device_, sound->bytes.data(), Uint32(sound->bytes.size())) == 0;
    if (found == sounds_.end() && keptBytes_ + loaded.bytes.size() <= kKeptSoundBytes) {
        keptBytes_ += loaded.bytes.size();
        sounds_.emplace(path, std::move(loaded));
    }
    return queued ? std::string() : torvana::kNoMemoryForSound;
}

void SoundOutput::stop() {
    if (device_) SDL_ClearQueuedAudio(device_);
}

}  // namespace torvana::player
