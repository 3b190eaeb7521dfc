#pragma once
// The editor's settings in section "Options" of its settings file: two for the editor itself
// and three that say what the staging build puts on the disc.

#include <string>

#include "project/setting_defaults.h"

namespace torvana {

inline constexpr const char* kSettingsSection = "Options";
inline constexpr const char* kWarnMeKey = "warnme";
inline constexpr const char* kToolTipsKey = "tooltips";
inline constexpr const char* kLinuxPlayerKey = "linuxplayer";
inline constexpr const char* kWebMenuKey = "webmenu";
inline constexpr const char* kFolderNamesOffKey = "foldernamesoff";
// Settings > Sign the Windows player: the certificate (a PKCS#12 file or a PKCS#11 URI) and the
// timestamp server. No password is ever stored.
inline constexpr const char* kSignCertificateKey = "signcertificate";
inline constexpr const char* kSignTimestampKey = "signtimestamp";

struct EditorSettings {
    bool warnMe = kDefaultWarnMe;
    bool toolTips = kDefaultToolTips;
    bool addLinuxPlayer = kDefaultAddLinuxPlayer;
    bool addWebMenu = kDefaultAddWebMenu;
    bool keepFolderNamesOff = kDefaultKeepFolderNamesOff;
    std::string signCertificate;  // empty: the player is not signed
    std::string signTimestamp;
    // Why the file could not be read (then every setting is its default); empty when it could.
    std::string problem;
};

// Reads the settings; a missing file, section, key or a value that is not a number gives the
// setting's default. A file that exists but cannot be read gives the defaults too, and says why
// in `problem`.
EditorSettings loadSettings(const std::string& iniPath);

// Writes one setting as "1" or "0". Throws Error("Unable to write to <path>") on failure.
void writeSetting(const std::string& iniPath, const char* key, bool value);
// Writes a text setting as it is. Throws Error("Unable to write to <path>") on failure.
void writeSetting(const std::string& iniPath, const char* key, const std::string& value);

}  // namespace torvana
