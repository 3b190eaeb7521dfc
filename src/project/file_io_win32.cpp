// File operations on Windows: every name through UTF-16, exclusive creation through _wopen,
// and a rename that replaces its destination.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <random>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/file_io_platform.h"

namespace fs = std::filesystem;

namespace torvana {

namespace fileio {

// Windows reports its own error numbers; their portable meaning is an errno value.
void throwCode(const std::error_code& ec) { throwErrno(ec.default_error_condition().value()); }

// Creates a file that must not exist yet and opens it for writing; errno is EEXIST when the
// name is taken. msvcrt's fopen has no exclusive mode (it ignores or refuses "x"), so the
// creation goes through _wopen's _O_EXCL.
std::FILE* openNewFile(const std::string& path) {
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
void renameOver(const std::string& from, const std::string& to, std::error_code& ec) {
    if (::MoveFileExW(fsPath(from).c_str(), fsPath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ec.clear();
    } else {
        ec = std::error_code(static_cast<int>(::GetLastError()), std::system_category());
    }
}

}  // namespace fileio

using fileio::folderOf;
using fileio::kSourceChanged;
using fileio::openNewFile;
using fileio::randomTemporaryName;
using fileio::renameOver;
using fileio::throwCode;

fs::path fsPath(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

std::string pathString(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* openFile(const std::string& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return ::_wfopen(fsPath(path).c_str(), wideMode.c_str());
}

// The standard library's operations, with the same temporary names.


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

// A file's name says whether it runs.
void makeExecutable(const std::string&) {}

void copyFileReplacing(const std::string& source, const std::string& destination, const CopyProgressFn& progress) {
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
}

std::string makePrivateFolder(const std::string& prefix) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) throwErrno(ec.value());
    std::random_device random;
    for (;;) {
        const fs::path folder = base / fsPath(prefix + std::to_string(random()));
        if (fs::create_directory(folder, ec)) return pathString(folder);
        if (ec) throwErrno(ec.value());
    }
}

}  // namespace torvana
