#pragma once
// File operations of the program, with failures turned into the program's Error texts.

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
