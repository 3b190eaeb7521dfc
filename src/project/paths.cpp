#include "project/paths.h"

namespace torvana {

#ifdef _WIN32
static constexpr const char* kSeparators = "\\/:";
static constexpr const char* kSeparator = "\\";
#else
static constexpr const char* kSeparators = "/";
static constexpr const char* kSeparator = "/";
#endif

std::string fileNamePart(const std::string& path) {
    const size_t pos = path.find_last_of(kSeparators);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder + kSeparator + name;
}

const char* separator() { return kSeparator; }

}  // namespace torvana
