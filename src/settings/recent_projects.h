#pragma once
// The projects of the File menu's Reopen list: the last eight opened or saved, most recent
// first, kept in section "Reopen" of the settings file as keys "Project1" to "Project8".

#include <string>
#include <vector>

namespace torvana {

inline constexpr const char* kRecentSection = "Reopen";
inline constexpr int kRecentProjectsMax = 8;

// The list as the settings file holds it; empty and repeated entries are left out. A settings
// file that cannot be read gives an empty list.
std::vector<std::string> loadRecentProjects(const std::string& iniPath);

// Puts `path`, made absolute, first (moving it up when it is listed already), keeps the eight
// most recent, writes the list when it changed and returns it. A path that a settings file
// cannot hold as it is (a line break in it, a blank at its end) is not listed.
// Throws Error when the settings file cannot be read or written.
std::vector<std::string> rememberRecentProject(const std::string& iniPath, const std::string& path);

// Takes `path` off the list, writes the list when it changed and returns it.
std::vector<std::string> forgetRecentProject(const std::string& iniPath, const std::string& path);

}  // namespace torvana
