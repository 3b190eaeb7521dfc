#include "settings/settings_file.h"

#include "project/errors.h"
#include "settings/ini_file.h"

namespace torvana {

EditorSettings loadSettings(const std::string& iniPath) {
    const IniFile ini(iniPath);
    EditorSettings s;
    try {
        s.warnMe = ini.readBool(kSettingsSection, kWarnMeKey, kDefaultWarnMe);
        s.toolTips = ini.readBool(kSettingsSection, kToolTipsKey, kDefaultToolTips);
        s.addLinuxPlayer = ini.readBool(kSettingsSection, kLinuxPlayerKey, kDefaultAddLinuxPlayer);
        s.addWebMenu = ini.readBool(kSettingsSection, kWebMenuKey, kDefaultAddWebMenu);
        s.keepFolderNamesOff = ini.readBool(kSettingsSection, kFolderNamesOffKey, kDefaultKeepFolderNamesOff);
        s.signCertificate = ini.readString(kSettingsSection, kSignCertificateKey).value_or("");
        s.signTimestamp = ini.readString(kSettingsSection, kSignTimestampKey).value_or("");
    } catch (const Error& e) {
        s = EditorSettings();
        s.problem = std::string("The settings cannot be read: ") + e.what();
    }
    return s;
}

void writeSetting(const std::string& iniPath, const char* key, bool value) {
    IniFile ini(iniPath);
    ini.writeBool(kSettingsSection, key, value);
}

void writeSetting(const std::string& iniPath, const char* key, const std::string& value) {
    IniFile ini(iniPath);
    ini.writeString(kSettingsSection, key, value);
}

}  // namespace torvana
