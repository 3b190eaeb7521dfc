#pragma once
// Reading the program's text files line by line: a line ends at a CR (an LF right after it
// belongs to the line end) or at a lone LF; a Ctrl-Z or the end of the bytes ends the data, and
// every line read past that end is empty.

#include <string>

namespace torvana {

class LineReader {
public:
    explicit LineReader(const std::string& bytes);
    std::string next();
    // Whether every line of the data has been read.
    bool atEnd() const { return pos_ >= end_; }

private:
    const std::string& bytes_;
    size_t end_;
    size_t pos_ = 0;
};

// Appends `line` and CR LF.
void appendLine(std::string& out, const std::string& line);

// Whether `value` reads back as the same one line: it holds no CR or LF (which would end the
// line) and no Ctrl-Z (which would end the data).
bool isOneLine(const std::string& value);

// Appends a field's value as one line. A value that would not read back as written throws an
// Error naming the field (`name`), quoting the value and the file (`file`, "the project file"),
// so a writer that formats the whole file first writes nothing.
void appendValueLine(std::string& out, const std::string& value, const std::string& name, const std::string& file);

}  // namespace torvana
