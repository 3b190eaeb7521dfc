#pragma once
// What a picture or a sound is by its content, whatever its name says: the disc check warns
// about a background of the wrong size, a rollover that reaches off the screen and files the
// player cannot show or play. No Qt.

#include <string>

namespace torvana {

enum class PictureFormat { Unreadable, NotAPicture, Bmp, Gif };

struct PictureProbe {
    PictureFormat format = PictureFormat::Unreadable;
    int width = 0;
    int height = 0;
    std::string problem;  // why a BMP or GIF could not be read, or why the file could not be
};

// Reads a BMP's header, or a GIF through the program's GIF reader (so a GIF the player would
// refuse is found here too).
PictureProbe probePicture(const std::string& path);

// The size in a BMP file's header, from its first bytes. False, with width and height left as
// they were, when they are no BMP header or one of no size.
bool bmpSize(const std::string& head, int& width, int& height);

// The file starts as a WAV file does: a RIFF header of form "WAVE".
bool isWavFile(const std::string& path);

// Why the players would not show a probed picture, as the end of a sentence about it ("is
// neither a BMP nor a GIF picture", "cannot be shown: <why>"); empty when they show it.
std::string pictureProblem(const PictureProbe& probe);

// Why the players would not play an existing sound file, in the same form ("is not a WAV sound",
// "cannot be played: <why>"); empty when they play it.
std::string soundProblem(const std::string& path);

}  // namespace torvana
