#pragma once
// What the portable file operations (file_io.cpp) share with the platform's own ones
// (file_io_posix.cpp or file_io_win32.cpp, the one the build compiles). Not for other files.

#include <cstdio>
#include <string>
#include <system_error>

namespace torvana::fileio {

// The folder part of a path for creating a file beside it: "." when it has none.
std::string folderOf(const std::string& path);
// A short name no other file is likely to have: a dot (hidden in folder listings), "tv" and
// ten random hexadecimal digits. Short, so a temporary file fits beside any name that fits.
std::string randomTemporaryName();

// Throws the program's Error for a failure the standard library reported.
[[noreturn]] void throwCode(const std::error_code& ec);
// Creates a file that must not exist yet and opens it for writing; errno is EEXIST when the
// name is taken.
std::FILE* openNewFile(const std::string& path);
// Renames a finished temporary file over its final name, which may exist.
void renameOver(const std::string& from, const std::string& to, std::error_code& ec);

// The text of a copy whose source changed size while it was copied.
inline constexpr char kSourceChanged[] = "The file changed while it was copied";

}  // namespace torvana::fileio
