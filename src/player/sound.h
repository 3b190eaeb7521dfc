#pragma once
// The menu's sounds through SDL's audio: WAV files, each converted once to the output's format
// and queued from its start when played, stopping the one before. The output is opened on
// first need, after the menu's first frame; a machine without one plays nothing.

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
    // Plays `path` from its start; false when the sound cannot be played.
    bool play(const std::string& path);
    void stop();

private:
    const std::vector<Uint8>* converted(const std::string& path);

    SDL_AudioDeviceID device_ = 0;
    SDL_AudioSpec deviceFormat_{};
    std::map<std::string, std::vector<Uint8>> sounds_;  // empty: cannot be played
};

}  // namespace torvana::player
