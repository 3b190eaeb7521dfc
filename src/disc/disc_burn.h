#pragma once
// Burning a disc image onto a CD, DVD or BD through libburn: the drives there are, the medium's
// state and room, the write with its progress and cancel, and the read-back check of the
// written bytes against the image's MD5. A libburn address names a drive: a device
// ("/dev/sr0"), or "stdio:PATH" for a file or a FIFO that stands in for a blank disc. No Qt.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace torvana {

struct BurnDrive {
    std::string address;  // what burnImage takes ("/dev/sr0")
    std::string name;     // the maker's and the model's names ("HL-DT-ST DVDRAM GH24NSD1")
};

// The drives that write discs. Scanning takes a few seconds. Throws Error when the burning
// library cannot be started.
std::vector<BurnDrive> listBurnDrives();

struct BurnProgress {
    enum Phase { Writing, Verifying } phase = Writing;
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    double bytesPerSecond = 0;  // over the phase so far; 0 before it can be told
};
// Called about ten times a second; returns false to cancel.
using BurnProgressFn = std::function<bool(const BurnProgress&)>;

struct BurnOptions {
    std::string drive;  // a libburn address; empty: the first drive listBurnDrives finds
    int speed = 0;      // in multiples of the medium's 1x (CD 150 KiB/s, DVD 1.32 MiB/s); 0: the fastest
    bool verify = false;
};

// CheckCancelled: the disc was burned whole, and its read-back check was cancelled.
enum class BurnResult { Burned, Cancelled, CheckCancelled };

// Burns the image file onto the medium in the drive: the medium must be blank or appendable and
// large enough; the image is written as one closed session. With options.verify the written bytes
// are read back and their MD5 compared with the image's. Throws Error with a sentence for the user
// (no drive, no medium, a medium that is full or too small, a write that failed, a read-back that
// differs). A cancel during the write leaves a medium that may be unusable, as with any burner.
BurnResult burnImage(const std::string& image, const BurnOptions& options, const BurnProgressFn& progress = {});

// The drive a burn is to use, looked for before anything is built: `address` once a drive is
// found there, or the first drive that writes discs when it is empty. Throws Error in the
// program's words ("No drive that writes discs is at \"/dev/sr0\".").
std::string findBurnDrive(const std::string& address);

// Where a burn writes the image of a staging folder first: a hidden file beside the folder
// (".torvana-burn-<name>-XXXXXX.iso"), never inside what it is made of, under a name that no file
// had, made when this is created. It is removed when this goes: a burn removes only its own file.
// Throws Error when it cannot be made.
class BurnImageFile {
public:
    explicit BurnImageFile(const std::string& stagingFolder);
    ~BurnImageFile();
    BurnImageFile(const BurnImageFile&) = delete;
    BurnImageFile& operator=(const BurnImageFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// "1 min 5 s", "45 s": the time left at this speed, for people.
std::string timeLeftText(uint64_t bytesLeft, double bytesPerSecond);

}  // namespace torvana
