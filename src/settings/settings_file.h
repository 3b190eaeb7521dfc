#pragma once
// The editor's two settings in section "Options" of its settings file.

#include <string>

namespace torvana {

inline constexpr const char* kSettingsSection = "Options";
inline constexpr const char* kWarnMeKey = "warnme";
inline constexpr const char* kToolTipsKey = "tooltips";

struct EditorSettings {
    bool warnMe = true;
    bool toolTips = true;
    // Why the file could not be read (then both settings are on); empty when it could.
    std::string problem;
};

// Reads both settings; a missing file, section, key or a value that is not a number gives on.
// A file that exists but cannot be read gives on too, and says why in `problem`.
EditorSettings loadSettings(const std::string& iniPath);

// Writes one setting as "1" or "0". Throws Error("Unable to write to <path>") on failure.
void writeSetting(const std::string& iniPath, const char* key, bool value);

}  // namespace torvana
