#include "settings/recent_projects.h"

#include <algorithm>
#include <filesystem>

#include "project/errors.h"
#include "settings/ini_file.h"

namespace torvana {

namespace {

std::string keyOf(int index) { return "Project" + std::to_string(index + 1); }

// A value the settings file gives back exactly as written.
bool storable(const std::string& path) {
    return !path.empty() && path.find_first_of("\r\n") == std::string::npos && path.front() != ' ' &&
           path.front() != '\t' && path.back() != ' ' && path.back() != '\t';
}

// Writes every key, the unused ones empty, so a shorter list leaves no stale entry behind.
void writeList(const std::string& iniPath, const std::vector<std::string>& list) {
    IniFile ini(iniPath);
    for (int i = 0; i < kRecentProjectsMax; ++i)
        ini.writeString(kRecentSection, keyOf(i), i < int(list.size()) ? list[size_t(i)] : std::string());
}

// The list as the file holds it; throws Error when the file cannot be read.
std::vector<std::string> readList(const std::string& iniPath) {
    const IniFile ini(iniPath);
    std::vector<std::string> list;
    for (int i = 0; i < kRecentProjectsMax; ++i) {
        const auto value = ini.readString(kRecentSection, keyOf(i));
        if (value && !value->empty() && std::find(list.begin(), list.end(), *value) == list.end())
            list.push_back(*value);
    }
    return list;
}

}  // namespace

std::vector<std::string> loadRecentProjects(const std::string& iniPath) {
    // A settings file that cannot be read shows an empty list; start-up has said why.
    try {
        return readList(iniPath);
    } catch (const Error&) {
        return {};
    }
}

std::vector<std::string> rememberRecentProject(const std::string& iniPath, const std::string& given) {
    // An unreadable file is not overwritten with a list that lost its entries.
    const std::vector<std::string> before = readList(iniPath);
    // Listed with its whole path, so Reopen finds it from whatever folder is current then.
    std::error_code ec;
    const std::string path = given.empty() ? given : std::filesystem::absolute(given, ec).string();
    if (ec || !storable(path)) return before;
    std::vector<std::string> list{path};
    for (const std::string& p : before)
        if (p != path && int(list.size()) < kRecentProjectsMax) list.push_back(p);
    if (list != before) writeList(iniPath, list);
    return list;
}

std::vector<std::string> forgetRecentProject(const std::string& iniPath, const std::string& path) {
    std::vector<std::string> list = readList(iniPath);
    const auto end = std::remove(list.begin(), list.end(), path);
    if (end == list.end()) return list;
    list.erase(end, list.end());
    writeList(iniPath, list);
    return list;
}

}  // namespace torvana
