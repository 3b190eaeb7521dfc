#pragma once
// What each of the editor's settings is until the user changes it: in a settings file that has
// no such key (or cannot be read), and in a staging build given no settings.

namespace torvana {

inline constexpr bool kDefaultWarnMe = true;              // Settings > Warn me
inline constexpr bool kDefaultToolTips = true;            // Settings > Tool tips
inline constexpr bool kDefaultAddLinuxPlayer = true;      // Settings > Add a Linux player
inline constexpr bool kDefaultAddWebMenu = true;          // Settings > Add a web page menu
inline constexpr bool kDefaultKeepFolderNamesOff = true;  // Settings > Keep my folder names off the disc

}  // namespace torvana
