// File operations on POSIX systems: descriptors, exclusive creation without following links,
// copy_file_range, and the folder flushed after a rename.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/file_io_platform.h"

namespace fs = std::filesystem;

namespace torvana {

namespace fileio {

// The generic and system categories carry errno values here.
void throwCode(const std::error_code& ec) { throwErrno(ec.value()); }

// Creates a file that must not exist yet and opens it for writing; errno is EEXIST when the
// name is taken, and a link of that name is never followed.
std::FILE* openNewFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return f;
}

void renameOver(const std::string& from, const std::string& to, std::error_code& ec) {
    fs::rename(fsPath(from), fsPath(to), ec);
}

}  // namespace fileio

using fileio::folderOf;
using fileio::randomTemporaryName;
using fileio::kSourceChanged;

fs::path fsPath(const std::string& path) { return fs::path(path); }

std::string pathString(const fs::path& path) { return path.string(); }

std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and returns the close's errno (0 when it succeeded).
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// A new file in `folder` under a name that did not exist, created exclusively: O_EXCL makes
// an existing file or link of that name a failure (then another name is tried), never a file
// that is written through.
struct TemporaryFile {
    std::string path;
    int fd = -1;
};

TemporaryFile createTemporaryFile(const std::string& folder, mode_t mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        TemporaryFile t;
        t.path = folder + "/" + randomTemporaryName();
        t.fd = ::open(t.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (t.fd >= 0) return t;
        if (errno != EEXIST) throwErrno(errno);
    }
    throwErrno(EEXIST);
}

// Follows symbolic links to the file they finally name (which need not exist yet), so a save
// through a link replaces its target and keeps the link.
std::string followLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) throwErrno(errno);
        if (static_cast<size_t>(n) >= target.size()) throwErrno(ENAMETOOLONG);
        const std::string link(target.data(), static_cast<size_t>(n));
        const std::string parent = fs::path(current).parent_path().string();
        current = (link.front() == '/' || parent.empty()) ? link : parent + "/" + link;
    }
    throwErrno(ELOOP);
}

int writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Flushes a folder's entries (the rename) to the disk. File systems that cannot flush a
// folder say so with EINVAL; that is no failure of the write.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void replaceFileContents(const std::string& path, const std::string& data) {
    const std::string target = followLinks(path);
    const std::string folder = folderOf(target);
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    TemporaryFile tmp = createTemporaryFile(folder, replacing ? (old.st_mode & 0777) : 0666);
    Descriptor out(tmp.fd);
    int err = 0;
    if (replacing) {
        // Keep the replaced file's owner and permissions (the umask may have narrowed them).
        if (::fchown(out.get(), old.st_uid, old.st_gid) != 0) { /* only root may give files away */ }
        if (::fchmod(out.get(), old.st_mode & 07777) != 0) err = errno;
    }
    if (err == 0) err = writeAll(out.get(), data.data(), data.size());
    if (err == 0 && ::fsync(out.get()) != 0) err = errno;
    const int closeErr = out.close();
    if (err == 0) err = closeErr;
    if (err == 0 && ::rename(tmp.path.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmp.path.c_str());
        throwErrno(err);
    }
    syncFolder(folder);
}

std::string readFileContents(const std::string& path, uint64_t limit) {
    // O_NONBLOCK: opening a pipe must not wait for a writer; it is refused below.
    Descriptor in(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0) throwErrno(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) throwErrno(errno);
    if (S_ISDIR(st.st_mode)) throwErrno(EISDIR);
    if (!S_ISREG(st.st_mode)) throw Error(notAFileText(path));
    if (static_cast<uint64_t>(st.st_size) > limit) throw Error(tooLargeText(path, limit));
    std::string data;
    data.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    // The file may grow while it is read: read on to the end, but never past the limit.
    for (;;) {
        if (done == data.size()) {
            if (data.size() > limit) throw Error(tooLargeText(path, limit));
            data.resize(std::min<uint64_t>(limit + 1, data.size() + 65536));
        }
        const ssize_t n = ::read(in.get(), data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throwErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    data.resize(done);
    return data;
}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }


void makeExecutable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throwErrno(errno);
    // Execute permission for whoever may read it, as chmod +x gives.
    const mode_t mode = (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2);
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0) throwErrno(errno);
}

void copyFileReplacing(const std::string& source, const std::string& destination, const CopyProgressFn& progress) {
    Descriptor in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0) throwErrno(errno);
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) throwErrno(errno);
    if (!S_ISREG(st.st_mode)) throw Error(notAFileText(source));
    // The destination itself is never opened: a link there is replaced by the rename, so the
    // copy lands in the staging folder whatever the link points to.
    TemporaryFile part = createTemporaryFile(folderOf(destination), st.st_mode & 0777);
    Descriptor out(part.fd);
    int err = 0;
    uint64_t done = 0;
    constexpr size_t kChunk = size_t{16} << 20;
    bool fallback = false;
    // A progress that throws (a cancel) ends the copy; the temporary file goes with it.
    auto report = [&](uint64_t bytes) {
        if (!progress) return;
        try {
            progress(bytes);
        } catch (...) {
            out.close();
            ::unlink(part.path.c_str());
            throw;
        }
    };
    // copy_file_range in chunks: the kernel copies (reflinks where the file system can), and
    // the caller hears of progress between chunks.
    for (;;) {
#ifdef __linux__
        const ssize_t n = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, kChunk, 0);
#else
        errno = ENOSYS;
        const ssize_t n = -1;
#endif
        if (n < 0) {
            if (errno == EINTR) continue;
            if ((errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) && done == 0) {
                fallback = true;
            } else {
                err = errno;
            }
            break;
        }
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
        report(done);
    }
    if (fallback) {
        // File systems without copy_file_range: plain reads and writes in chunks.
        std::vector<char> buffer(size_t{1} << 20);
        for (;;) {
            const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                err = errno;
                break;
            }
            if (n == 0) break;
            err = writeAll(out.get(), buffer.data(), static_cast<size_t>(n));
            if (err) break;
            done += static_cast<uint64_t>(n);
            report(done);
        }
    }
    // The copy must end with the whole source: a source that shrank or grew meanwhile gives a
    // copy that is neither the old file nor the new one.
    struct stat after {};
    const bool changed = err == 0 && (::fstat(in.get(), &after) != 0 || after.st_size != st.st_size ||
                                      done != static_cast<uint64_t>(st.st_size));
    const int closeErr = out.close();
    if (err == 0) err = closeErr;
    if (err == 0 && !changed && ::rename(part.path.c_str(), destination.c_str()) != 0) err = errno;
    if (err != 0 || changed) {
        ::unlink(part.path.c_str());
        if (changed) throw Error(kSourceChanged);
        throwErrno(err);
    }
}

std::string makePrivateFolder(const std::string& prefix) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) throwErrno(ec.value());
    // mkdtemp makes a new folder of a name nobody had, readable by this user only.
    std::string pattern = pathString(base / (prefix + "XXXXXX"));
    if (!mkdtemp(pattern.data())) throwErrno(errno);
    return pattern;
}

}  // namespace torvana
