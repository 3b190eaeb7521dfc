#pragma once
// File operations of the program, with failures turned into the program's Error texts.

#include <cstdint>
#include <functional>
#include <string>

namespace torvana {

// The name of the temporary file that replaceFileContents writes beside `path`.
std::string temporaryNameFor(const std::string& path);

// Writes `data` to a temporary file beside `path` and renames it over `path`, so the old file
// stays whole when the write fails. Throws Error with the platform's text on failure; the
// temporary file is removed then.
void replaceFileContents(const std::string& path, const std::string& data);

// Reads the whole file. Throws Error with the platform's text when it cannot be read.
std::string readFileContents(const std::string& path);

// A regular file (or a link to one) exists at path; a folder does not count.
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

// Creates one folder level; its parent must exist. Throws Error on failure.
void createFolder(const std::string& path);

// Deletes a file. Throws Error on failure.
void deleteFile(const std::string& path);

}  // namespace torvana

namespace torvana {

// Called while a file is copied, with the bytes copied so far of this file.
using CopyProgressFn = std::function<void(uint64_t bytesDone)>;

// Copies the file at `source` to `destination` through a temporary file beside the destination
// that is renamed into place, so a failed copy never leaves a damaged file under the
// destination's name. The kernel moves the bytes (never read whole into memory); `progress` is
// called between chunks. Throws Error on failure; the temporary file is removed then.
void copyFileReplacing(const std::string& source, const std::string& destination,
                       const CopyProgressFn& progress = {});

// The temporary name copyFileReplacing writes beside `destination`.
std::string partialNameFor(const std::string& destination);

// Both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

// The size of a file, 0 when it cannot be read.
uint64_t fileSize(const std::string& path);

// Makes `folder` the process's current folder. Throws Error on failure (an empty text too).
void setCurrentFolder(const std::string& folder);

}  // namespace torvana
