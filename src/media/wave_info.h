#pragma once
// What a WAV file's header says about it: whether a player can play it and how long it lasts.
// Every player checks its sounds through this one reader, so a missing or broken file becomes
// a note at once and is never handed to the sound output. No Qt.

#include <cstdint>
#include <string>

namespace torvana {

struct WaveInfo {
    std::string error;   // empty when the file is a PCM (or float) WAV file with sound data
    int durationMs = 0;  // length of the sound data at the sample rate the header states
};

// The largest WAV file a menu plays: the whole sound is held in memory while the menu runs.
// 128 MB is twelve minutes of CD-quality sound.
constexpr int64_t kMaxWaveBytes = int64_t(128) << 20;

// The longest sound a menu plays: it is held in memory converted to CD quality (44.1 kHz, 16
// bits, stereo) while the menu runs, which for twelve minutes is the 128 MB a WAV file may hold.
constexpr int kMaxWaveMs = 12 * 60 * 1000;
inline constexpr const char* kWaveTooLongText = "the sound is longer than 12 minutes";

// What a player says of a sound it has no memory for.
inline constexpr const char* kNoMemoryForSound = "not enough memory for the sound";

// Reads the header only: at most kMaxWaveChunks chunk headers are looked at before the sound
// data, so a file of empty chunks is refused at once instead of walked through.
constexpr int kMaxWaveChunks = 64;

// Reads the RIFF header and the chunks up to the sound data. The errors: "file not found",
// "the file cannot be read", "the WAV file is larger than 128 MB", "not a WAV file",
// "the sound is longer than 12 minutes",
// "compressed WAV data (format N) cannot be played", "the WAV file holds no sound", "damaged
// WAV file".
WaveInfo inspectWave(const std::string& path);

}  // namespace torvana
