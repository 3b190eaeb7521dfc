#include "project/file_io.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "project/errors.h"

namespace fs = std::filesystem;

namespace torvana {

namespace {

[[noreturn]] void throwCode(const std::error_code& ec) {
    // On POSIX the generic and system categories carry errno values.
    throwErrno(ec.value());
}

}  // namespace

std::string temporaryNameFor(const std::string& path) { return path + ".tmp"; }

void replaceFileContents(const std::string& path, const std::string& data) {
    const std::string tmp = temporaryNameFor(path);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) throwErrno(errno);
    int err = 0;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), f) != data.size()) err = errno;
    if (std::fflush(f) != 0 && err == 0) err = errno;
    if (std::fclose(f) != 0 && err == 0) err = errno;
    if (err != 0) {
        std::remove(tmp.c_str());
        throwErrno(err);
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) {
        std::remove(tmp.c_str());
        throwCode(ec);
    }
}

std::string readFileContents(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) throwErrno(EISDIR);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throwErrno(errno);
    std::string data;
    char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, got);
    const int err = std::ferror(f) ? (errno ? errno : EIO) : 0;
    std::fclose(f);
    if (err) throwErrno(err);
    return data;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

void createFolder(const std::string& path) {
    std::error_code ec;
    if (!fs::create_directory(path, ec) && ec) throwCode(ec);
}

void deleteFile(const std::string& path) {
    std::error_code ec;
    if (!fs::remove(path, ec) && !ec) ec = std::make_error_code(std::errc::no_such_file_or_directory);
    if (ec) throwCode(ec);
}

}  // namespace torvana

#ifdef __linux__
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace torvana {

std::string partialNameFor(const std::string& destination) { return destination + ".torvana-part"; }

void copyFileReplacing(const std::string& source, const std::string& destination, const CopyProgressFn& progress) {
    const std::string part = partialNameFor(destination);
#ifdef __linux__
    // copy_file_range in chunks: the kernel copies (reflinks where the file system can), and
    // the caller hears of progress between chunks.
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) throwErrno(errno);
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        const int err = errno;
        ::close(in);
        throwErrno(err);
    }
    const int out = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        throwErrno(err);
    }
    int err = 0;
    uint64_t done = 0;
    constexpr size_t kChunk = size_t{16} << 20;
    bool fallback = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
        if (n < 0) {
            if ((errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) && done == 0) {
                fallback = true;
            } else {
                err = errno;
            }
            break;
        }
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
        if (progress) progress(done);
    }
    if (fallback) {
        // File systems without copy_file_range: plain reads and writes in chunks.
        std::vector<char> buffer(size_t{1} << 20);
        for (;;) {
            const ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n < 0) {
                err = errno;
                break;
            }
            if (n == 0) break;
            for (ssize_t off = 0; off < n;) {
                const ssize_t w = ::write(out, buffer.data() + off, static_cast<size_t>(n - off));
                if (w < 0) {
                    err = errno;
                    break;
                }
                off += w;
            }
            if (err) break;
            done += static_cast<uint64_t>(n);
            if (progress) progress(done);
        }
    }
    ::close(in);
    if (::close(out) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(part.c_str());
        throwErrno(err);
    }
#else
    std::error_code ec;
    fs::copy_file(source, part, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        fs::remove(part, ec);
        throwCode(ec);
    }
    if (progress) progress(fileSize(part));
#endif
    std::error_code ec;
    fs::rename(part, destination, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        throwCode(ec);
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

uint64_t fileSize(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<uint64_t>(size);
}

void setCurrentFolder(const std::string& folder) {
    if (folder.empty()) throwErrno(ENOENT);
    std::error_code ec;
    fs::current_path(folder, ec);
    if (ec) throwCode(ec);
}

}  // namespace torvana
