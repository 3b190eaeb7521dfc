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

private:
    const std::string& bytes_;
    size_t end_;
    size_t pos_ = 0;
};

// Appends `line` and CR LF.
void appendLine(std::string& out, const std::string& line);

}  // namespace torvana
