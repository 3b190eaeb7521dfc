#include "project/text_lines.h"

#include "project/errors.h"

namespace torvana {

namespace {
constexpr char kCtrlZ = 26;
}

LineReader::LineReader(const std::string& bytes) : bytes_(bytes) {
    const size_t z = bytes_.find(kCtrlZ);
    end_ = z == std::string::npos ? bytes_.size() : z;
}

std::string LineReader::next() {
    const size_t start = pos_;
    while (pos_ < end_ && bytes_[pos_] != '\r' && bytes_[pos_] != '\n') ++pos_;
    std::string line = bytes_.substr(start, pos_ - start);
    if (pos_ < end_) {
        if (bytes_[pos_] == '\r' && pos_ + 1 < end_ && bytes_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
    }
    return line;
}

void appendLine(std::string& out, const std::string& line) {
    out += line;
    out += "\r\n";
}

bool isOneLine(const std::string& value) { return value.find_first_of(std::string("\r\n") + kCtrlZ) == std::string::npos; }

void appendValueLine(std::string& out, const std::string& value, const std::string& name, const std::string& file) {
    if (!isOneLine(value))
        throw Error(name + " \"" + visiblePath(value) + "\" holds a line break or a Ctrl+Z, which " + file +
                    " cannot keep; nothing was written");
    appendLine(out, value);
}

}  // namespace torvana
