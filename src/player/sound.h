#pragma once
// The menu's sounds through SDL's audio: WAV files, converted to CD quality (the output's
// format) when played and queued from their start, stopping the one before. The output is
// opened on first need, after the menu's first frame; a machine without one plays nothing.

#include <SDL.h>

#include <map>
#include <string>
#include <vector>

namespace torvana::player {

class SoundOutput {
public:
    ~SoundOutput();

    // Opens the output; false when the machine has none.
    bool open();
    bool isOpen() const { return device_ != 0; }
    // Plays `path` from its start; empty when it plays, else why it does not.
    std::string play(const std::string& path);
    void stop();

private:
    struct Sound {
        std::vector<Uint8> bytes;  // in the output's format
        std::string error;         // why it cannot be played
    };

    SDL_AudioDeviceID device_ = 0;
    SDL_AudioSpec deviceFormat_{};
    // The sounds played so far, kept converted while they fit kKeptSoundBytes in all, and those
    // that cannot be played with the reason.
    std::map<std::string, Sound> sounds_;
    size_t keptBytes_ = 0;
};

}  // namespace torvana::player
