#pragma once
// The disc image of a staging folder: ISO 9660 level 3 with Joliet's long names for Windows and
// Rock Ridge for Linux and macOS (everything read-only, executables kept executable), the
// volume named after the CD title, and an MD5 checksum of the session recorded in the image so
// a burned disc can be verified. Written through libisofs; no Qt.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "project/errors.h"

namespace torvana {

// The CD title made into a valid volume name: upper-case letters, digits and underscores, at
// most 32 of them ("Summer Photos" -> "SUMMER_PHOTOS"); "CDROM" when nothing of it is left.
std::string volumeNameFor(const std::string& cdTitle);

// Called while the image is written with the bytes written so far and the image's size. It
// returns false to cancel.
using ImageProgressFn = std::function<bool(uint64_t bytesDone, uint64_t bytesTotal)>;

enum class ImageResult { Written, Cancelled };

// The MD5 of a byte stream, as the image records it for its session (libisofs's own).
class Md5Sum {
public:
    Md5Sum();
    ~Md5Sum();
    Md5Sum(const Md5Sum&) = delete;
    Md5Sum& operator=(const Md5Sum&) = delete;
    void add(const char* data, size_t size);
    // 32 lower-case hexadecimal digits; the sum is finished then.
    std::string hexDigest();

private:
    void* context_ = nullptr;
};

// The MD5 of a whole file. Throws Error when it cannot be read.
std::string fileMd5(const std::string& path);

// SOURCE_DATE_EPOCH of the environment (the reproducible-builds convention): the time, in seconds
// since 1970 UTC, every date of an image is to be taken from. nullopt when it is not set; throws
// Error when it is set to anything but such a number.
std::optional<int64_t> sourceDateEpoch();

// An image that is not written because it would not hold what the staging folder holds: a file
// that changed, or that could not be read whole, while the image was written. The text names it.
class ImageContentError : public Error {
public:
    using Error::Error;
};

// Writes the image of everything in `folder` to `imagePath`. With `fixedTime`, two images of the
// same files are the same bytes: every date in the image (the volume's dates, the files' and
// folders' times in all three trees) is that time in UTC, the volume's UUID is made of it, and
// the files keep the order of their names. The image is written under a
// temporary name beside `imagePath` and renamed into place at the end, so a cancelled or failed
// image leaves nothing under that name (an older file there stays as it was). Throws Error with
// a text for the user when the image cannot be made or written, or when `imagePath` lies inside
// `folder` or is refused by imageFileRefusal (a link to a file is written through); throws
// ImageContentError when a file changed or could not be read whole while it was written.
ImageResult writeDiscImage(const std::string& folder, const std::string& volumeName, const std::string& imagePath,
                           const ImageProgressFn& progress = {}, std::optional<int64_t> fixedTime = std::nullopt);

}  // namespace torvana
