#include "project/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

#include "project/errors.h"
#include "project/file_io_platform.h"

namespace fs = std::filesystem;

namespace torvana {

namespace fileio {

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

}  // namespace fileio

using fileio::folderOf;
using fileio::openNewFile;
using fileio::randomTemporaryName;
using fileio::renameOver;
using fileio::throwCode;

std::string notAFileText(const std::string& path) {
    return "\"" + path + "\" is not a regular file";
}

std::string tooLargeText(const std::string& path, uint64_t limit) {
    return "\"" + path + "\" is larger than " + std::to_string(limit >> 20) + " MB";
}

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
