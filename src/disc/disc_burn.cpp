#include "disc/disc_burn.h"

#include <libburn/libburn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "project/errors.h"
#include "project/file_io.h"

#include "disc/disc_image.h"

namespace torvana {

// The library's declarations are in a namespace of their own in C++.
using namespace burn;

namespace {

constexpr uint64_t kSector = 2048;
using Clock = std::chrono::steady_clock;

std::mutex g_libraryLock;
bool g_libraryStarted = false;

void startLibrary() {
    std::lock_guard<std::mutex> lock(g_libraryLock);
    if (g_libraryStarted) return;
    if (burn_initialize() != 1) throw Error("The disc burning library cannot be started.");
    // Its messages are read back by the program, never printed.
    char queue[] = "SORRY", print[] = "NEVER", id[] = "torvana: ";
    burn_msgs_set_severities(queue, print, id);
    g_libraryStarted = true;
}

// The library's last message of some weight, or `fallback`.
std::string libraryMessage(const std::string& fallback) {
    std::string text = fallback;
    char minimum[] = "SORRY", message[BURN_MSGS_MESSAGE_LEN], severity[80];
    int code = 0, osErrno = 0;
    while (burn_msgs_obtain(minimum, &code, message, &osErrno, severity) > 0) text = message;
    return text;
}

void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

// A drive taken for this program alone, given back at the end.
class GrabbedDrive {
public:
    explicit GrabbedDrive(const std::string& address) : address_(address) {
        libraryMessage("");
        std::vector<char> adr(address.begin(), address.end());
        adr.push_back('\0');
        if (burn_drive_scan_and_grab(&info_, adr.data(), 1) != 1 || !info_) {
            const std::string said = libraryMessage("it is not there or is busy");
            if (address.rfind("stdio:", 0) == 0) throw Error("The drive \"" + address + "\" cannot be used: " + said + ".");
            // A device address: the library's words name its own access methods, not the user's problem.
            struct stat st {};
            if (::stat(address.c_str(), &st) == 0 && (S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode)))
                throw Error("The drive \"" + address + "\" cannot be used: it is no drive that writes discs, or another program is using it.");
            throw Error("No drive that writes discs is at \"" + address + "\".");
        }
        drive_ = info_[0].drive;
    }
    ~GrabbedDrive() {
        burn_drive_release(drive_, 0);
        burn_drive_info_free(info_);
    }
    GrabbedDrive(const GrabbedDrive&) = delete;
    GrabbedDrive& operator=(const GrabbedDrive&) = delete;
    burn_drive* get() const { return drive_; }
    const std::string& address() const { return address_; }

private:
    std::string address_;
    burn_drive_info* info_ = nullptr;
    burn_drive* drive_ = nullptr;
};

// A disc of one session of one data track read from the image file, and the write's options.
class WriteJob {
public:
    WriteJob(burn_drive* drive, const std::string& image) {
        opts_ = burn_write_opts_new(drive);
        disc_ = burn_disc_create();
        session_ = burn_session_create();
        track_ = burn_track_create();
        if (!opts_ || !disc_ || !session_ || !track_) throw Error(kOutOfMemoryText);
        burn_write_opts_set_perform_opc(opts_, 0);
        burn_write_opts_set_multi(opts_, 0);
        burn_write_opts_set_underrun_proof(opts_, 1);
        burn_disc_add_session(disc_, session_, BURN_POS_END);
        burn_track_define_data(track_, 0, 0, 1, BURN_MODE1);
        file_ = burn_file_source_new(image.c_str(), nullptr);
        if (!file_) throw Error("The disc image \"" + image + "\" cannot be read.");
        // 4 MiB between the file and the drive, so a slow moment of the file never starves it.
        fifo_ = burn_fifo_source_new(file_, 2048, 2048, 0);
        if (!fifo_ || burn_track_set_source(track_, fifo_) != BURN_SOURCE_OK)
            throw Error("The disc image \"" + image + "\" cannot be read.");
        burn_session_add_track(session_, track_, BURN_POS_END);
    }
    ~WriteJob() {
        if (fifo_) burn_source_free(fifo_);
        if (file_) burn_source_free(file_);
        if (track_) burn_track_free(track_);
        if (session_) burn_session_free(session_);
        if (disc_) burn_disc_free(disc_);
        if (opts_) burn_write_opts_free(opts_);
    }
    WriteJob(const WriteJob&) = delete;
    WriteJob& operator=(const WriteJob&) = delete;
    burn_write_opts* opts() const { return opts_; }
    burn_disc* disc() const { return disc_; }

private:
    burn_write_opts* opts_ = nullptr;
    burn_disc* disc_ = nullptr;
    burn_session* session_ = nullptr;
    burn_track* track_ = nullptr;
    burn_source* file_ = nullptr;
    burn_source* fifo_ = nullptr;
};

// The medium's 1x in kB/s (1000 bytes), as libburn counts speeds: CD, DVD or BD by its profile.
int oneTimesSpeed(burn_drive* drive) {
    int profile = 0;
    char name[80];
    if (burn_disc_get_profile(drive, &profile, name) != 1) return 1385;
    if (profile >= 0x08 && profile <= 0x0a) return 177;
    if (profile >= 0x40 && profile <= 0x43) return 4496;
    return 1385;
}

// The speed of a phase so far, in bytes per second; 0 before a quarter of a second has passed.
double speedSince(Clock::time_point start, uint64_t bytes) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return seconds < 0.25 ? 0 : static_cast<double>(bytes) / seconds;
}

// Reads the written bytes back and compares their MD5 with the image's.
// Reads `want` bytes at `offset` of the disc into `buffer`; throws Error with the reason.
using DiscReader = std::function<void(off_t offset, char* buffer, off_t want)>;

// Reads the written bytes back and compares their MD5 with the image's.
BurnResult verify(const std::string& address, const DiscReader& read, off_t start, uint64_t size,
                  const std::string& imageMd5, const BurnProgressFn& progress) {
    Md5Sum md5;
    std::vector<char> buffer(32 * kSector);
    BurnProgress p{BurnProgress::Verifying, 0, size, 0};
    const Clock::time_point began = Clock::now();
    while (p.bytesDone < size) {
        p.bytesPerSecond = speedSince(began, p.bytesDone);
        if (progress && !progress(p)) return BurnResult::Cancelled;
        const off_t want = static_cast<off_t>(std::min<uint64_t>(buffer.size(), size - p.bytesDone));
        try {
            read(start + static_cast<off_t>(p.bytesDone), buffer.data(), want);
        } catch (const Error& e) {
            throw Error("The disc in \"" + address + "\" cannot be read back to check it: " + e.what() + ".");
        }
        md5.add(buffer.data(), static_cast<size_t>(want));
        p.bytesDone += static_cast<uint64_t>(want);
    }
    const std::string burned = md5.hexDigest();
    if (burned != imageMd5)
        throw Error("The disc in \"" + address + "\" does not hold the image: its MD5 is " + burned + ", the image's " +
                    imageMd5 + ".");
    if (progress) progress(p);
    return BurnResult::Burned;
}

// A drive's disc, read through the library.
DiscReader driveReader(GrabbedDrive& drive) {
    return [&drive](off_t offset, char* buffer, off_t want) {
        off_t got = 0;
        libraryMessage("");
        if (burn_read_data(drive.get(), offset, buffer, want, &got, 0) <= 0 || got != want)
            throw Error(libraryMessage("a read failed"));
    };
}

}  // namespace

std::vector<BurnDrive> listBurnDrives() {
    startLibrary();
    burn_drive_info* infos = nullptr;
    unsigned int count = 0;
    // The scan goes on in the background until a call says it is complete.
    int scanned = 0;
    while ((scanned = burn_drive_scan(&infos, &count)) == 0) pause();
    if (scanned < 0) return {};
    std::vector<BurnDrive> drives;
    for (unsigned int i = 0; i < count; ++i) {
        char adr[BURN_DRIVE_ADR_LEN];
        if (burn_drive_get_adr(&infos[i], adr) <= 0) continue;
        std::string name = std::string(infos[i].vendor) + " " + infos[i].product;
        while (!name.empty() && name.back() == ' ') name.pop_back();
        drives.push_back({adr, name});
    }
    burn_drive_info_free(infos);
    return drives;
}

BurnImageFile::BurnImageFile(const std::string& stagingFolder) {
    std::string folder = stagingFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::filesystem::path p = std::filesystem::absolute(fsPath(folder)).lexically_normal();
    std::string name = pathString(p.parent_path() / (".torvana-burn-" + pathString(p.filename()) + "-XXXXXX.iso"));
    // A name no file had: what is removed at the end is this job's own.
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        const int err = errno;
        throw Error("The disc image cannot be written beside the staging folder, as \"" + name + "\": " + errnoText(err) + ".");
    }
    ::close(fd);
    path_ = name;
}

BurnImageFile::~BurnImageFile() {
    std::error_code ignored;
    std::filesystem::remove(fsPath(path_), ignored);
}

std::string findBurnDrive(const std::string& address) {
    startLibrary();
    if (address.empty()) {
        const std::vector<BurnDrive> drives = listBurnDrives();
        if (drives.empty()) throw Error("No drive that writes discs was found.");
        return drives.front().address;
    }
    GrabbedDrive there(address);
    return address;
}

std::string timeLeftText(uint64_t bytesLeft, double bytesPerSecond) {
    if (bytesPerSecond <= 0) return "";
    const auto seconds = static_cast<uint64_t>(static_cast<double>(bytesLeft) / bytesPerSecond + 0.5);
    if (seconds < 60) return std::to_string(seconds) + " s";
    return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
}

namespace {

// Writes the image as one closed session; `start` is where on the disc it begins.
BurnResult write(GrabbedDrive& drive, const std::string& image, uint64_t size, const BurnOptions& options,
                 const BurnProgressFn& progress, off_t& start) {
    const std::string& address = drive.address();
    enum burn_disc_status status;
    while ((status = burn_disc_get_status(drive.get())) == BURN_DISC_UNREADY) pause();
    const std::string in = "The disc in \"" + address + "\"";
    if (status == BURN_DISC_EMPTY) throw Error("There is no disc in \"" + address + "\".");
    if (status == BURN_DISC_FULL) throw Error(in + " is full; insert a blank disc.");
    if (status != BURN_DISC_BLANK && status != BURN_DISC_APPENDABLE) throw Error(in + " cannot be written.");

    WriteJob job(drive.get(), image);
    char reasons[BURN_REASONS_LEN] = "";
    if (burn_write_opts_auto_write_type(job.opts(), job.disc(), reasons, 0) == BURN_WRITE_NONE)
        throw Error(in + " cannot be written: " + reasons + ".");
    const off_t room = burn_disc_available_space(drive.get(), job.opts());
    if (room >= 0 && static_cast<uint64_t>(room) < size)
        throw Error("The disc image needs " + std::to_string((size + 1048575) / 1048576) + " MiB, but the disc in \"" + address + "\"" +
                    " has room for " + std::to_string(static_cast<uint64_t>(room) / 1048576) + " MiB.");
    int lba = 0, nwa = 0;
    if (burn_disc_track_lba_nwa(drive.get(), job.opts(), 0, &lba, &nwa) <= 0) nwa = 0;
    start = static_cast<off_t>(nwa) * static_cast<off_t>(kSector);
    burn_drive_set_speed(drive.get(), 0, options.speed > 0 ? options.speed * oneTimesSpeed(drive.get()) : 0);

    if (progress && !progress({BurnProgress::Writing, 0, size, 0})) return BurnResult::Cancelled;
    libraryMessage("");
    burn_disc_write(job.opts(), job.disc());
    while (burn_drive_get_status(drive.get(), nullptr) == BURN_DRIVE_SPAWNING) pause();
    bool cancelled = false, started = false;
    const Clock::time_point began = Clock::now();
    burn_progress state{};
    while (burn_drive_get_status(drive.get(), &state) != BURN_DRIVE_IDLE) {
        started = true;
        BurnProgress p;
        p.bytesTotal = size;
        p.bytesDone = std::min<uint64_t>(size, static_cast<uint64_t>(std::max(state.sector, 0)) * kSector);
        p.bytesPerSecond = speedSince(began, p.bytesDone);
        if (!cancelled && progress && !progress(p)) {
            burn_drive_cancel(drive.get());
            cancelled = true;
        }
        pause();
    }
    if (cancelled) return BurnResult::Cancelled;
    // A write the library refused at once never leaves the idle state, and says why.
    const std::string said = libraryMessage("");
    if (!burn_drive_wrote_well(drive.get()) || (!started && !said.empty()))
        throw Error("Writing the disc in \"" + address + "\" failed: " + (said.empty() ? "no reason given" : said) + ".");
    if (progress) progress({BurnProgress::Writing, size, size, speedSince(began, size)});
    return BurnResult::Burned;
}

}  // namespace

BurnResult burnImage(const std::string& image, const BurnOptions& options, const BurnProgressFn& progress) {
    startLibrary();
    const uint64_t size = fileSize(image);
    if (!fileExists(image) || size == 0) throw Error("The disc image \"" + image + "\" does not exist or is empty.");
    BurnOptions chosen = options;
    if (chosen.drive.empty()) chosen.drive = findBurnDrive("");
    // Read before the drive is busy, to check the disc against it afterwards.
    const std::string imageMd5 = chosen.verify ? fileMd5(image) : std::string();
    off_t start = 0;
    {
        GrabbedDrive drive(chosen.drive);
        if (write(drive, image, size, chosen, progress, start) == BurnResult::Cancelled) return BurnResult::Cancelled;
    }
    if (!chosen.verify) return BurnResult::Burned;
    // Taken afresh, the drive knows what is on the disc now.
    GrabbedDrive drive(chosen.drive);
    const BurnResult checked = verify(chosen.drive, driveReader(drive), start, size, imageMd5, progress);
    return checked == BurnResult::Cancelled ? BurnResult::CheckCancelled : checked;
}

}  // namespace torvana
