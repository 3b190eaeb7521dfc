#pragma once
// File operations of the program, with failures turned into the program's Error texts.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace torvana {

// A path as the program keeps it (a byte string) in the form the file system takes. On POSIX
// the bytes pass as they are. On Windows the program's byte strings are UTF-8 and every file
// system call goes through UTF-16, so names outside the ANSI code page work too.
std::filesystem::path fsPath(const std::string& path);
// The other way round: a file system path as the program's byte string.
std::string pathString(const std::filesystem::path& path);
// std::fopen on a path kept by the program; errno tells why when it returns null.
std::FILE* openFile(const std::string& path, const char* mode);

// Writes `data` to a new temporary file beside the file and renames it over the file, so the
// old file stays whole when the write fails or the program is killed. The temporary file has a
// unique short name, is created exclusively (an existing file or link of that name is never
// touched) and is removed on every failure. When `path` is a symbolic link, the link's target
// is replaced and the link stays; an existing file's permissions are kept. The data and then
// the folder are flushed to the disk around the rename. Throws Error with the platform's text.
void replaceFileContents(const std::string& path, const std::string& data);

// The largest text file the program reads: project, hand-off and settings files.
constexpr uint64_t kTextFileLimit = uint64_t{16} << 20;

// Reads the whole file, which must be a regular file of at most `limit` bytes: anything else
// (a folder, a pipe, a device) is refused without waiting, and a larger file without reading
// it. Throws Error with the platform's text or a sentence naming the file.
std::string readFileContents(const std::string& path, uint64_t limit = kTextFileLimit);

// The exact texts readFileContents refuses with.
std::string notAFileText(const std::string& path);
std::string tooLargeText(const std::string& path, uint64_t limit);

// A regular file (or a link to one) exists at path; a folder does not count.
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

// Creates one folder level; its parent must exist. Throws Error on failure.
void createFolder(const std::string& path);

// Deletes a file. Throws Error on failure.
void deleteFile(const std::string& path);

// A new folder in the system's temporary folder, named `prefix` and characters nobody's folder
// had there, that only this user may read. Throws Error on failure.
std::string makePrivateFolder(const std::string& prefix);

// Lets everyone who may read the file also run it (a script, a program); nothing on Windows,
// where a file's name says whether it runs. Throws Error on failure.
void makeExecutable(const std::string& path);

}  // namespace torvana

namespace torvana {

// Called while a file is copied, with the bytes copied so far of this file.
using CopyProgressFn = std::function<void(uint64_t bytesDone)>;

// Copies the regular file at `source` to `destination` through a new temporary file beside the
// destination (unique, short, created exclusively) that is renamed into place, so a failed copy
// never leaves a damaged file under the destination's name and never writes through a link.
// A destination that is a link is replaced by the copy. The kernel moves the bytes (never read
// whole into memory); `progress` is called between chunks. A source whose size changes during
// the copy is a failed copy. Throws Error on failure; the temporary file is removed then.
void copyFileReplacing(const std::string& source, const std::string& destination,
                       const CopyProgressFn& progress = {});

// A new file written piece by piece: into a temporary file beside `path` (a new, exclusive
// name, as replaceFileContents uses) that commit() renames over `path`. Let go without commit()
// (a cancel, a failure), the temporary file is removed and nothing appears under `path`; an
// older file there stays as it was. Each operation throws Error with the platform's text.
class NewFile {
public:
    explicit NewFile(const std::string& path);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void write(const void* data, size_t size);
    void commit();

private:
    std::string path_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// Makes a failed write to a file past the process's size limit an error (EFBIG) instead of
// the signal that kills the program. Every program calls it first thing in main.
void ignoreFileSizeSignal();

// Both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// Both paths name the same file, or two files of the same bytes (compared a piece at a time,
// so large files cost no memory). False when either cannot be read.
bool sameContents(const std::string& a, const std::string& b);

// The file or folder at `path` lies somewhere inside `folder` (links resolved, a folder typed with
// a trailing separator as without it). False for the folder itself and when either is empty.
bool liesInside(const std::string& path, const std::string& folder);

// The size of a file, 0 when it cannot be read.
uint64_t fileSize(const std::string& path);

// Makes `folder` the process's current folder. Throws Error on failure (an empty text too).
void setCurrentFolder(const std::string& folder);

}  // namespace torvana
