#include "player/sound.h"

#include <cstring>

namespace torvana::player {

SoundOutput::~SoundOutput() {
    if (device_) SDL_CloseAudioDevice(device_);
}

bool SoundOutput::open() {
    if (device_) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 2048;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &deviceFormat_,
                                  SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (!device_) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

const std::vector<Uint8>* SoundOutput::converted(const std::string& path) {
    const auto found = sounds_.find(path);
    if (found != sounds_.end()) return &found->second;
    std::vector<Uint8>& out = sounds_[path];
    SDL_AudioSpec fileFormat{};
    Uint8* data = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &fileFormat, &data, &length)) return &out;
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, fileFormat.format, fileFormat.channels, fileFormat.freq, deviceFormat_.format,
                          deviceFormat_.channels, deviceFormat_.freq) >= 0) {
        std::vector<Uint8> buffer(size_t(length) * size_t(cvt.len_mult));
        std::memcpy(buffer.data(), data, length);
        cvt.buf = buffer.data();
        cvt.len = int(length);
        if (cvt.needed == 0 || SDL_ConvertAudio(&cvt) == 0) {
            buffer.resize(size_t(cvt.needed ? cvt.len_cvt : int(length)));
            out = std::move(buffer);
        }
    }
    SDL_FreeWAV(data);
    return &out;
}

bool SoundOutput::play(const std::string& path) {
    if (!device_) return false;
    const std::vector<Uint8>* sound = converted(path);
    if (sound->empty()) return false;
    SDL_ClearQueuedAudio(device_);
    return SDL_QueueAudio(device_, sound->data(), Uint32(sound->size())) == 0;
}

void SoundOutput::stop() {
    if (device_) SDL_ClearQueuedAudio(device_);
}

}  // namespace torvana::player
