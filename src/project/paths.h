#pragma once
// Path helpers shared by every part of the program.

#include <string>

namespace torvana {

// The file-name part of a path: the text after the last folder separator, the whole text when
// there is none. On POSIX the separator is "/" (a backslash or colon is an ordinary character
// of a name there); on Windows it is "\", "/" or ":".
std::string fileNamePart(const std::string& path);

// Joins a folder and a name with one separator, without normalising: a folder typed with a
// trailing separator gives a doubled one, which the file system accepts.
std::string joinPath(const std::string& folder, const std::string& name);

// A hotspot target that is a web address rather than a file: it starts with a scheme followed
// by "//" ("http://", "https://", "ftp://", ...), with "mailto:", or with "www." (any case).
bool isWebAddress(const std::string& target);

// The address to hand to a browser: "www." gets "http://" in front, the rest is unchanged.
std::string browserAddress(const std::string& webAddress);

// The platform's folder separator as text.
const char* separator();

}  // namespace torvana
