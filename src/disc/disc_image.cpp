#include "disc/disc_image.h"

// The image is read straight from the library; libburn is not used.
#define LIBISOFS_WITHOUT_LIBBURN 1
#include <libisofs.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <vector>

#include "disc/disc_check.h"
#include "disc/disc_tree.h"
#include "project/errors.h"
#include "project/file_io.h"

namespace torvana {

namespace fs = std::filesystem;

std::string volumeNameFor(const std::string& cdTitle) {
    std::string name;
    for (const char c : cdTitle) {
        const unsigned char u = static_cast<unsigned char>(c);
        char d = '_';
        if (u < 0x80 && std::isalnum(u)) d = static_cast<char>(std::toupper(u));
        // Runs of anything else become one underscore, and none leads.
        if (d == '_' && (name.empty() || name.back() == '_')) continue;
        name += d;
        if (name.size() == 32) break;
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name.empty() ? "CDROM" : name;
}

std::optional<int64_t> sourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (!text) return std::nullopt;
    const std::string value = text;
    // Seconds up to the year 9999, the last an image's dates can hold.
    const bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
    if (!digits) throw Error("SOURCE_DATE_EPOCH is \"" + value + "\", which is not a number of seconds since 1970.");
    const std::string significant = value.substr(std::min(value.find_first_not_of('0'), value.size() - 1));
    if (significant.size() > 12 || std::stoll(significant) > 253402300799LL)
        throw Error("SOURCE_DATE_EPOCH is \"" + value +
                    "\", a time after the year 9999; a disc image's dates end with 253402300799 (9999-12-31 23:59:59 UTC).");
    return std::stoll(significant);
}

namespace {

constexpr int kSector = 2048;

// Every date of the image from one time: the files' and folders' times in the ISO 9660, Joliet
// and Rock Ridge trees, the volume's creation and modification dates and its UUID, all in UTC.
void fixTimes(IsoWriteOpts* opts, time_t time) {
    iso_write_opts_set_always_gmt(opts, 1);
    iso_write_opts_set_dir_rec_mtime(opts, 7);
    iso_write_opts_set_replace_timestamps(opts, 2);
    iso_write_opts_set_default_timestamp(opts, time);
    // Rock Ridge's file serial numbers are made from the staging files' inode numbers, which a
    // rebuilt staging folder does not keep: RRIP 1.10 records none.
    iso_write_opts_set_rrip_version_1_10(opts, 1);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char uuid[32];
    std::strftime(uuid, sizeof uuid, "%Y%m%d%H%M%S00", &utc);
    iso_write_opts_set_pvd_times(opts, time, time, 0, 0, uuid);
}

void startLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (iso_init() < 0) throw Error("The disc image library cannot be started.");
        // Its messages are read back by the program, never printed; a file that cannot be read
        // whole while the image is written is a MISHAP, which the library fills up with zeros.
        char queue[] = "MISHAP", print[] = "NEVER", id[] = "";
        iso_set_msgs_severities(queue, print, id);
    });
}

// The library's last failure message, or the text of its error code.
std::string libraryFailure(int code) {
    std::string text = code < 0 ? iso_error_to_msg(code) : "";
    char minimum[] = "FAILURE";
    int error = 0, image = 0;
    std::vector<char> message(ISO_MSGS_MESSAGE_LEN);
    char severity[80];
    while (iso_obtain_msgs(minimum, &error, &image, message.data(), severity) > 0) text = message.data();
    return text;
}

void drainMessages() {
    char minimum[] = "ALL";
    int error = 0, image = 0;
    std::vector<char> message(ISO_MSGS_MESSAGE_LEN);
    char severity[80];
    while (iso_obtain_msgs(minimum, &error, &image, message.data(), severity) > 0) {
    }
}

// What the library said of a source file it could not read whole while the image was written
// (it wrote zeros in its place), or empty.
std::string shortReadMessage() {
    char minimum[] = "MISHAP";
    int error = 0, image = 0;
    std::vector<char> message(ISO_MSGS_MESSAGE_LEN);
    char severity[80];
    std::string said;
    while (iso_obtain_msgs(minimum, &error, &image, message.data(), severity) > 0)
        if (said.empty() && (static_cast<unsigned>(error) == ISO_FILE_CANT_WRITE || static_cast<unsigned>(error) == ISO_MD5_STREAM_CHANGE))
            said = message.data();
    return said;
}

// What tells a file that changed: its size, its modification time and its inode.
struct FileMark {
    off_t size = -1;
    timespec modified{};
    ino_t inode = 0;
    bool operator==(const FileMark& o) const {
        return size == o.size && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               inode == o.inode;
    }
};

FileMark markOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {st.st_size, st.st_mtim, st.st_ino};
}

// The files of the image as they were when it was laid out, to find one that changed while it
// was written: the library takes each file's size then and reads its bytes later.
class SourceMarks {
public:
    void add(const DiscTreeEntry& entry) { marks_.push_back({entry, markOf(entry.path)}); }

    // Throws ImageContentError naming a file that changed or that the library could not read whole.
    void check(const std::string& libraryText) const {
        for (const auto& [entry, mark] : marks_)
            if (!(markOf(entry.path) == mark)) fail(entry, "changed while the image was written");
        if (libraryText.empty()) return;
        for (const auto& [entry, mark] : marks_)
            if (libraryText.find(entry.path) != std::string::npos) fail(entry, "could not be read whole (" + libraryText + ")");
        throw ImageContentError("The disc image was not written: a file could not be read whole (" + libraryText + ").");
    }

private:
    [[noreturn]] static void fail(const DiscTreeEntry& entry, const std::string& what) {
        throw ImageContentError("The disc image was not written: \"" + visiblePath(entry.relative) + "\" " + what +
                                "; make it again once nothing changes the staging folder.");
    }
    std::vector<std::pair<DiscTreeEntry, FileMark>> marks_;
};

[[noreturn]] void fail(const std::string& what, int code) {
    throw Error("The disc image cannot be made: " + what + " (" + libraryFailure(code) + ")");
}

struct ImageDeleter {
    void operator()(IsoImage* image) const { iso_image_unref(image); }
};
struct OptsDeleter {
    void operator()(IsoWriteOpts* opts) const { iso_write_opts_free(opts); }
};
// The image's byte stream. Its writer thread is cancelled when the stream is let go before its
// end (a cancel, a failure).
class ImageStream {
public:
    explicit ImageStream(burn_source* source) : source_(source) {}
    ~ImageStream() {
        if (!finished_) source_->cancel(source_);
        source_->free_data(source_);
        std::free(source_);
    }
    ImageStream(const ImageStream&) = delete;
    ImageStream& operator=(const ImageStream&) = delete;

    uint64_t size() { return static_cast<uint64_t>(source_->get_size(source_)); }
    // Reads `size` bytes; only the image's last piece may be shorter. A read that asks for more
    // than is left may get nothing, so the caller asks for exactly the rest at the end.
    int read(unsigned char* buffer, size_t size) { return source_->read_xt(source_, buffer, static_cast<int>(size)); }
    void finished() { finished_ = true; }

private:
    burn_source* source_;
    bool finished_ = false;
};

// Read-only for everyone; executable where the staged file is, so scripts and Linux programs
// start from the disc. Each file also gets a sort weight that falls in the tree's name order,
// so the files' bytes lie in that order: without it the library orders them by the staging
// folder's inode numbers, and two images of the same files would differ.
void setModes(IsoDir* dir, int& weight) {
    IsoDirIter* iter = nullptr;
    if (iso_dir_get_children(dir, &iter) < 0) return;
    IsoNode* node = nullptr;
    while (iso_dir_iter_next(iter, &node) == 1) {
        iso_node_set_uid(node, 0);
        iso_node_set_gid(node, 0);
        if (ISO_NODE_IS_DIR(node)) {
            iso_node_set_permissions(node, 0555);
            setModes(ISO_DIR(node), weight);
        } else {
            iso_node_set_sort_weight(node, weight--);
            const bool executable = (iso_node_get_permissions(node) & 0111) != 0 ||
                                    std::strcmp(iso_node_get_name(node), "autorun.sh") == 0;
            iso_node_set_permissions(node, executable ? 0555 : 0444);
        }
    }
    iso_dir_iter_free(iter);
}

std::string hexDigest(const char digest[16]) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 16; ++i) {
        const unsigned char b = static_cast<unsigned char>(digest[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool inside(const std::string& path, const std::string& folder) {
    std::error_code ec;
    const fs::path f = fs::weakly_canonical(folder, ec);
    const fs::path p = fs::weakly_canonical(fs::absolute(path, ec).parent_path(), ec);
    auto fi = f.begin();
    auto pi = p.begin();
    for (; fi != f.end(); ++fi, ++pi)
        if (pi == p.end() || *fi != *pi) return false;
    return true;
}

}  // namespace

ImageResult writeDiscImage(const std::string& folder, const std::string& volumeName, const std::string& imagePath,
                           const ImageProgressFn& progress, std::optional<int64_t> fixedTime) {
    if (!folderExists(folder)) throw Error("The folder \"" + folder + "\" does not exist.");
    if (const std::string refusal = imageFileRefusal(imagePath); !refusal.empty()) throw Error(refusal);
    // A link stays a link: the image goes to the file it leads to.
    std::error_code linkError;
    const std::string written = fs::is_symlink(fs::symlink_status(fsPath(imagePath), linkError))
                                    ? pathString(fs::canonical(fsPath(imagePath)))
                                    : imagePath;
    if (inside(written, folder))
        throw Error("The disc image cannot be written into the folder it is made of, \"" + folder + "\".");
    startLibrary();
    drainMessages();
    // The library's "now", which it gives new nodes and the image, is the fixed time or the clock.
    time_t now = fixedTime ? static_cast<time_t>(*fixedTime) : 0;
    iso_nowtime(&now, fixedTime ? 1 : 2);

    IsoImage* rawImage = nullptr;
    int code = iso_image_new(volumeName.c_str(), &rawImage);
    if (code < 0) fail("no image", code);
    std::unique_ptr<IsoImage, ImageDeleter> image(rawImage);
    iso_image_set_application_id(image.get(), "TORVANA");
    // The staging computer's access lists and extended attributes stay off the disc.
    iso_image_set_ignore_aclea(image.get(), 3);
    // Only what the walk admits goes on the disc, a link as the file or folder it names.
    std::map<std::string, IsoDir*> folders{{"", iso_image_get_root(image.get())}};
    SourceMarks marks;
    for (const DiscTreeEntry& entry : readDiscTree(folder).entries) {
        const size_t slash = entry.relative.rfind('/');
        IsoDir* parent = folders.at(slash == std::string::npos ? "" : entry.relative.substr(0, slash));
        const std::string name = slash == std::string::npos ? entry.relative : entry.relative.substr(slash + 1);
        if (entry.folder) {
            IsoNode* node = nullptr;
            // A folder's own attributes (its times), without what it holds.
            code = iso_tree_add_new_node(image.get(), parent, name.c_str(), entry.path.c_str(), &node);
            if (code < 0 || !ISO_NODE_IS_DIR(node)) fail("the folder \"" + entry.relative + "\" cannot be added", code);
            folders[entry.relative] = ISO_DIR(node);
        } else {
            marks.add(entry);
            code = iso_tree_add_new_node(image.get(), parent, name.c_str(), entry.path.c_str(), nullptr);
            if (code < 0) fail("the file \"" + entry.relative + "\" cannot be added", code);
        }
    }
    int weight = std::numeric_limits<int>::max();
    setModes(iso_image_get_root(image.get()), weight);

    IsoWriteOpts* rawOpts = nullptr;
    code = iso_write_opts_new(&rawOpts, 0);
    if (code < 0) fail("no options", code);
    std::unique_ptr<IsoWriteOpts, OptsDeleter> opts(rawOpts);
    iso_write_opts_set_iso_level(opts.get(), 3);
    iso_write_opts_set_rockridge(opts.get(), 1);
    iso_write_opts_set_joliet(opts.get(), 1);
    iso_write_opts_set_joliet_long_names(opts.get(), 1);
    iso_write_opts_set_joliet_longer_paths(opts.get(), 1);
    iso_write_opts_set_joliet_utf16(opts.get(), 1);
    // Joliet names stay as they are: no full stop is added to a name without one.
    iso_write_opts_set_no_force_dots(opts.get(), 2);
    // Folders deeper than ISO 9660's eight levels move into one relocation folder that Rock
    // Ridge readers do not show (they follow the links at the old places), so the tree stays
    // whole and listable; left in the root, they made readers refuse the whole tree.
    char relocation[] = "rr_moved";
    iso_write_opts_set_rr_reloc(opts.get(), relocation, 1);
    // The checksum of the whole session, in its tags and where readers look for it (the root's
    // extended attributes), so a burned disc can be verified. Checksums of every single file
    // would cost another pass of hashing over the same bytes.
    iso_write_opts_set_record_md5(opts.get(), 1, 0);
    iso_write_opts_set_aaip(opts.get(), 1);
    iso_write_opts_set_sort_files(opts.get(), 1);
    if (fixedTime) {
        fixTimes(opts.get(), static_cast<time_t>(*fixedTime));
        // Rock Ridge's file serial numbers are handed out in the order of the staging folder's
        // inode numbers, which differ each time the folder is built; the older Rock Ridge
        // version, which every reader takes, has none.
        iso_write_opts_set_rrip_version_1_10(opts.get(), 1);
    }

    burn_source* rawSource = nullptr;
    code = iso_image_create_burn_source(image.get(), opts.get(), &rawSource);
    if (code < 0) fail("its layout cannot be made", code);
    ImageStream stream(rawSource);
    const uint64_t total = stream.size();

    NewFile part(written);
    std::vector<unsigned char> buffer(size_t{512} * kSector);
    uint64_t done = 0;
    while (done < total) {
        if (progress && !progress(done, total)) return ImageResult::Cancelled;
        const int got = stream.read(buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), total - done)));
        if (got < 0) fail("a file cannot be read", 0);
        if (got == 0) fail("it ended before its last sector", 0);
        part.write(buffer.data(), static_cast<size_t>(got));
        done += static_cast<uint64_t>(got);
    }
    stream.finished();
    marks.check(shortReadMessage());
    part.commit();
    if (progress) progress(done, total);
    return ImageResult::Written;
}

Md5Sum::Md5Sum() {
    if (iso_md5_start(&context_) < 0) throw Error(kOutOfMemoryText);
}

Md5Sum::~Md5Sum() {
    if (context_) {
        char ignored[16];
        iso_md5_end(&context_, ignored);
    }
}

void Md5Sum::add(const char* data, size_t size) {
    iso_md5_compute(context_, const_cast<char*>(data), static_cast<int>(size));
}

std::string Md5Sum::hexDigest() {
    char digest[16];
    iso_md5_end(&context_, digest);
    context_ = nullptr;
    return torvana::hexDigest(digest);
}

std::string fileMd5(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openFile(path, "rb"), &std::fclose);
    if (!file) throwErrno(errno);
    Md5Sum md5;
    std::vector<char> buffer(1 << 20);
    while (const size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get())) md5.add(buffer.data(), n);
    if (std::ferror(file.get())) throw Error("The disc image \"" + path + "\" cannot be read.");
    return md5.hexDigest();
}

}  // namespace torvana
