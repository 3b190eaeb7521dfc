#pragma once
// What a picture or a sound is by its content, whatever its name says: the disc check warns
// about a background of the wrong size, a rollover that reaches off the screen and files the
// players cannot show or play, and the build's web page leaves out what they leave out. No Qt.

#include <string>

namespace torvana {

enum class PictureFormat { Unreadable, NotAPicture, Bmp, Gif, Png, Jpeg };

struct PictureProbe {
    PictureFormat format = PictureFormat::Unreadable;
    int width = 0;
    int height = 0;
    std::string problem;  // why the players do not show it, in their words; empty for a picture
};

// Takes a file as the players' picture reader does: a GIF through the program's GIF reader,
// every frame decoded, and a BMP, PNG or JPEG by its header through the reader's own header
// reading and limits. So a file is a picture here exactly when the players show it (short of
// damage past the header of a BMP, PNG or JPEG, which only decoding finds).
PictureProbe probePicture(const std::string& path);

// The pickers' filter for a picture: the GIF and BMP entry first, as the pickers have always
// offered, then every kind the players show.
inline constexpr const char* kPictureFilesFilter =
    "Image Files (*.gif;*.bmp) |*.gif;*.bmp|Pictures (*.gif;*.bmp;*.png;*.jpg;*.jpeg) |*.gif;*.bmp;*.png;*.jpg;*.jpeg";

// The file starts as a WAV file does: a RIFF header of form "WAVE".
bool isWavFile(const std::string& path);

// Why the players would not show a probed picture, as the end of a sentence about it ("is
// not a picture the players show (BMP, GIF, PNG or JPEG)", "cannot be shown: <why>"); empty when they show it.
std::string pictureProblem(const PictureProbe& probe);

// Why the players would not play an existing sound file, in the same form ("is not a WAV sound",
// "cannot be played: <why>"); empty when they play it.
std::string soundProblem(const std::string& path);

}  // namespace torvana
