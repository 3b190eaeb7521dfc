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

namespace {

bool startsWithFolded(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

}  // namespace

bool isWebAddress(const std::string& target) {
    for (const char* prefix : {"http://", "https://", "mailto:", "www."})
        if (startsWithFolded(target, prefix)) return true;
    return false;
}

std::string refusedScheme(const std::string& target) {
    if (isWebAddress(target)) return {};
    // scheme = letter *(letter / digit / "+" / "-" / ".") ":"; two characters at least, so a
    // drive such as "C:" is never taken for one.
    if (target.empty() || !std::isalpha(static_cast<unsigned char>(target[0]))) return {};
    size_t i = 0;
    while (i < target.size() && (std::isalnum(static_cast<unsigned char>(target[i])) || target[i] == '+' ||
                                 target[i] == '-' || target[i] == '.'))
        ++i;
    if (i < 2 || i >= target.size() || target[i] != ':') return {};
    std::string scheme = target.substr(0, i);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool slashes = target.compare(i, 3, "://") == 0;
    if (slashes || scheme == "javascript" || scheme == "vbscript" || scheme == "data" || scheme == "file")
        return scheme;
    return {};
}

std::string browserAddress(const std::string& webAddress) {
    const bool www = webAddress.size() >= 4 && std::tolower(static_cast<unsigned char>(webAddress[0])) == 'w' &&
                     std::tolower(static_cast<unsigned char>(webAddress[1])) == 'w' &&
                     std::tolower(static_cast<unsigned char>(webAddress[2])) == 'w' && webAddress[3] == '.';
    return www ? "http://" + webAddress : webAddress;
}

LaunchCommand splitLaunchText(const std::string& text, const std::function<bool(const std::string&)>& isFile) {
    if (text.empty() || isFile(text)) return {text, {}};
    for (size_t blank = text.rfind(' '); blank != std::string::npos && blank > 0; blank = text.rfind(' ', blank - 1)) {
        if (isFile(text.substr(0, blank))) return {text.substr(0, blank), text.substr(blank + 1)};
    }
    return {text, {}};
}

std::vector<std::string> splitOptions(const std::string& options) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < options.size(); ++i) {
        const char c = options[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 < options.size()) word += options[++i];
        } else if (c == '\'') {
            const size_t end = options.find('\'', i + 1);
            word += options.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? options.size() : end;
        } else if (c == '"') {
            for (++i; i < options.size() && options[i] != '"'; ++i) {
                if (options[i] == '\\' && i + 1 < options.size() &&
                    std::string("\"\\$`").find(options[i + 1]) != std::string::npos)
                    ++i;
                word += options[i];
            }
        } else {
            word += c;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

const char* separator() { return kSeparator; }

}  // namespace torvana
