#include "project/paths.h"

#include <cctype>

namespace torvana {

// Windows names a file after the last "\", "/" or ":". TORVANA_WINDOWS_PATHS gives a native
// build the same rules, so the Windows player's mapping of stored paths can be fuzzed here.
#if defined(_WIN32) || defined(TORVANA_WINDOWS_PATHS)
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

bool isWebAddress(const std::string& target) {
    auto startsWith = [&](const char* prefix) {
        for (size_t i = 0; prefix[i]; ++i) {
            if (i >= target.size() || std::tolower(static_cast<unsigned char>(target[i])) != prefix[i]) return false;
        }
        return true;
    };
    if (startsWith("www.") || startsWith("mailto:")) return true;
    // scheme = letter *(letter / digit / "+" / "-" / ".") ":" "//"; two letters at least, so a
    // drive such as "C:" is never taken for one.
    size_t i = 0;
    if (target.empty() || !std::isalpha(static_cast<unsigned char>(target[0]))) return false;
    while (i < target.size() && (std::isalnum(static_cast<unsigned char>(target[i])) || target[i] == '+' ||
                                 target[i] == '-' || target[i] == '.'))
        ++i;
    return i >= 2 && target.compare(i, 3, "://") == 0;
}

std::string browserAddress(const std::string& webAddress) {
    const bool www = webAddress.size() >= 4 && std::tolower(static_cast<unsigned char>(webAddress[0])) == 'w' &&
                     std::tolower(static_cast<unsigned char>(webAddress[1])) == 'w' &&
                     std::tolower(static_cast<unsigned char>(webAddress[2])) == 'w' && webAddress[3] == '.';
    return www ? "http://" + webAddress : webAddress;
}

const char* separator() { return kSeparator; }

}  // namespace torvana
