#pragma once
// A small INI file reader and writer. Section and key names match without regard to case;
// values are trimmed of surrounding blanks when read. A line ends at LF, CR LF or a lone CR. Writing changes only the one key's line
// (or adds the key, or the section and the key) and keeps every other byte of the file; the file
// is rewritten through a temporary file beside it, so a failed write leaves the old file whole.

#include <optional>
#include <string>

namespace torvana {

class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The value of key in section, or nothing when the file, section or key is missing.
    // Throws Error naming the file when it exists but cannot be read (not a regular file,
    // larger than the text-file limit, unreadable).
    std::optional<std::string> readString(const std::string& section, const std::string& key) const;

    // Sets key in section to value, creating the file and the section when needed.
    // Throws Error("Unable to write to <path>") when the file cannot be written.
    void writeString(const std::string& section, const std::string& key, const std::string& value);

    // 0 is false, any other integer ("0x" and "$" hexadecimal) true, anything else `fallback`.
    bool readBool(const std::string& section, const std::string& key, bool fallback) const;

    void writeBool(const std::string& section, const std::string& key, bool value);

private:
    std::string path_;
};

}  // namespace torvana
