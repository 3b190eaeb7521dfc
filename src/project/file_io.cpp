#include "project/file_io.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "project/errors.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace torvana {

namespace {

[[noreturn]] void throwCode(const std::error_code& ec) {
#ifdef _WIN32
    // Windows reports its own error numbers; their portable meaning is an errno value.
    throwErrno(ec.default_error_condition().value());
#else
    // On POSIX the generic and system categories carry errno values.
    throwErrno(ec.value());
#endif
}

// The folder part of a path for creating a file beside it: "." when it has none.
std::string folderOf(const std::string& path) {
    const std::string parent = pathString(fsPath(path).parent_path());
    return parent.empty() ? std::string(".") : parent;
}

// A short name no other file is likely to have: a dot (hidden in folder listings), "tv" and
// ten random hexadecimal digits. Short, so a temporary file fits beside any name that fits.
std::string randomTemporaryName() {
    static thread_local std::mt19937_64 random{std::random_device{}() ^
                                               static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&random))};
    static const char digits[] = "0123456789abcdef";
    std::string name = ".tv";
    uint64_t bits = random();
    for (int i = 0; i < 10; ++i, bits >>= 4) name += digits[bits & 15];
    return name + ".tmp";
}

}  // namespace

#ifdef _WIN32
fs::path fsPath(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

std::string pathString(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* openFile(const std::string& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return ::_wfopen(fsPath(path).c_str(), wideMode.c_str());
}

// Creates a file that must not exist yet and opens it for writing; errno is EEXIST when the
// name is taken. msvcrt's fopen has no exclusive mode (it ignores or refuses "x"), so the
// creation goes through _wopen's _O_EXCL.
static std::FILE* openNewFile(const std::string& path) {
    const int fd = ::_wopen(fsPath(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                            _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* f = ::_fdopen(fd, "wb");
    if (!f) {
        const int err = errno;
        ::_close(fd);
        errno = err;
    }
    return f;
}

// Renames a finished temporary file over its final name. The standard library's rename
// refuses an existing destination on Windows, which would make every second save fail.
static void renameOver(const std::string& from, const std::string& to, std::error_code& ec) {
    if (::MoveFileExW(fsPath(from).c_str(), fsPath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ec.clear();
    } else {
        ec = std::error_code(static_cast<int>(::GetLastError()), std::system_category());
    }
}
#else
fs::path fsPath(const std::string& path) { return fs::path(path); }

std::string pathString(const fs::path& path) { return path.string(); }

std::FILE* openFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

// Creates a file that must not exist yet and opens it for writing; errno is EEXIST when the
// name is taken, and a link of that name is never followed.
static std::FILE* openNewFile(const std::string& path) {
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

static void renameOver(const std::string& from, const std::string& to, std::error_code& ec) {
    fs::rename(fsPath(from), fsPath(to), ec);
}
#endif


std::string notAFileText(const std::string& path) {
    return "\"" + path + "\" is not a regular file";
}

std::string tooLargeText(const std::string& path, uint64_t limit) {
    return "\"" + path + "\" is larger than " + std::to_string(limit >> 20) + " MB";
}

#ifndef _WIN32

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

#else  // Windows: the standard library's operations, with the same temporary names.

void replaceFileContents(const std::string& path, const std::string& data) {
    const std::string folder = folderOf(path);
    std::string tmp;
    std::FILE* f = nullptr;
    for (int attempt = 0; attempt < 100 && !f; ++attempt) {
        tmp = folder + "/" + randomTemporaryName();
        f = openNewFile(tmp);
        if (!f && errno != EEXIST) throwErrno(errno);
    }
    if (!f) throwErrno(EEXIST);
    int err = 0;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f) != data.size()) err = errno;
    if (std::fflush(f) != 0 && err == 0) err = errno;
    if (std::fclose(f) != 0 && err == 0) err = errno;
    std::error_code ec;
    if (err == 0) renameOver(tmp, path, ec);
    if (err != 0 || ec) {
        std::error_code ignored;
        fs::remove(fsPath(tmp), ignored);
        if (err != 0) throwErrno(err);
        throwCode(ec);
    }
}

std::string readFileContents(const std::string& path, uint64_t limit) {
    std::error_code ec;
    const auto status = fs::status(fsPath(path), ec);
    if (fs::is_directory(status)) throwErrno(EISDIR);
    if (fs::exists(status) && !fs::is_regular_file(status)) throw Error(notAFileText(path));
    std::FILE* f = openFile(path, "rb");
    if (!f) throwErrno(errno);
    std::string data;
    char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
        data.append(buf, got);
        if (data.size() > limit) {
            std::fclose(f);
            throw Error(tooLargeText(path, limit));
        }
    }
    const int err = std::ferror(f) ? (errno ? errno : EIO) : 0;
    std::fclose(f);
    if (err) throwErrno(err);
    return data;
}

void ignoreFileSizeSignal() {}

#endif

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(fsPath(path), ec);
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fsPath(path), ec);
}

void createFolder(const std::string& path) {
    std::error_code ec;
    if (!fs::create_directory(fsPath(path), ec) && ec) throwCode(ec);
}

void deleteFile(const std::string& path) {
    std::error_code ec;
    if (!fs::remove(fsPath(path), ec) && !ec) ec = std::make_error_code(std::errc::no_such_file_or_directory);
    if (ec) throwCode(ec);
}

void makeExecutable(const std::string& path) {
#ifndef _WIN32
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throwErrno(errno);
    // Execute permission for whoever may read it, as chmod +x gives.
    const mode_t mode = (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2);
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0) throwErrno(errno);
#else
    (void)path;
#endif
}

namespace {

// The text of a copy whose source changed size while it was copied.
const char kSourceChanged[] = "The file changed while it was copied";

}  // namespace

void copyFileReplacing(const std::string& source, const std::string& destination, const CopyProgressFn& progress) {
#ifndef _WIN32
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
#else
    std::error_code ec;
    const std::string part = folderOf(destination) + "/" + randomTemporaryName();
    fs::copy_file(fsPath(source), fsPath(part), fs::copy_options::none, ec);
    if (!ec && fs::file_size(fsPath(part), ec) != fs::file_size(fsPath(source), ec)) {
        fs::remove(fsPath(part), ec);
        throw Error(kSourceChanged);
    }
    if (!ec) renameOver(part, destination, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(fsPath(part), ignored);
        throwCode(ec);
    }
    if (progress) progress(fileSize(destination));
#endif
}

NewFile::NewFile(const std::string& path) : path_(path) {
    const std::string folder = folderOf(path);
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        temporary_ = folder + "/" + randomTemporaryName();
        file_ = openNewFile(temporary_);
        if (!file_ && errno != EEXIST) throwErrno(errno);
    }
    if (!file_) throwErrno(EEXIST);
}

NewFile::~NewFile() {
    if (file_) std::fclose(file_);
    std::error_code ignored;
    if (!committed_) fs::remove(fsPath(temporary_), ignored);
}

void NewFile::write(const void* data, size_t size) {
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) throwErrno(errno ? errno : EIO);
}

void NewFile::commit() {
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) throwErrno(errno ? errno : EIO);
    std::error_code ec;
    renameOver(temporary_, path_, ec);
    if (ec) throwCode(ec);
    committed_ = true;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(fsPath(a), fsPath(b), ec) && !ec;
}

bool liesInside(const std::string& path, const std::string& folder) {
    if (path.empty() || folder.empty()) return false;
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::absolute(fsPath(path), ec), ec);
    if (ec) return false;
    fs::path f = fs::weakly_canonical(fs::absolute(fsPath(folder), ec), ec);
    if (ec) return false;
    if (f.filename().empty()) f = f.parent_path();
    const fs::path relative = p.lexically_relative(f);
    return !relative.empty() && relative != "." && *relative.begin() != "..";
}

bool sameContents(const std::string& a, const std::string& b) {
    if (sameFile(a, b)) return true;
    std::error_code ea, eb;
    if (fs::file_size(fsPath(a), ea) != fs::file_size(fsPath(b), eb) || ea || eb) return false;
    std::ifstream fa(fsPath(a), std::ios::binary), fb(fsPath(b), std::ios::binary);
    if (!fa || !fb) return false;
    std::vector<char> ba(1 << 16), bb(1 << 16);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() || !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) return false;
    }
    return fa.eof() && fb.eof();
}

uint64_t fileSize(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(fsPath(path), ec);
    return ec ? 0 : static_cast<uint64_t>(size);
}

void setCurrentFolder(const std::string& folder) {
    if (folder.empty()) throwErrno(ENOENT);
    std::error_code ec;
    fs::current_path(fsPath(folder), ec);
    if (ec) throwCode(ec);
}

}  // namespace torvana
