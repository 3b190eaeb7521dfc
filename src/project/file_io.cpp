#include "project/file_io.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

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
