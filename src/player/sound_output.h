#pragma once
// The menu player's sound output. It lives in a module of its own in a folder beside the
// player (modules/torvana-player-sound.so), which the player loads once the menu's first frame is on the
// screen: the multimedia libraries behind it are more than the player itself loads before that
// frame, and a menu should appear as fast as an empty window.

#include <QString>
#include <functional>

namespace torvana::player {

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Whether the machine has a sound output to play on.
    virtual bool hasOutput() = 0;
    // Loads the WAV file at the absolute `path`. `failed` is called later, on the GUI thread,
    // when the audio layer cannot decode it.
    virtual void load(const QString& path, std::function<void()> failed) = 0;
    // Plays a loaded sound from its start (again from the start when it is still playing).
    virtual void play(const QString& path) = 0;
};

// The module's file, relative to the player's folder, and its one exported function, which
// makes an output the caller owns. (A folder of its own keeps a package's library folder free of
// it: the system's library cache has no business with it.)
inline constexpr const char* kSoundModuleFile = "modules/torvana-player-sound.so";
inline constexpr const char* kCreateSoundOutput = "torvana_create_sound_output";
using CreateSoundOutput = SoundOutput* (*)();

}  // namespace torvana::player
