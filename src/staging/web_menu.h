#pragma once
// The disc's menu as a web page, for computers that start nothing from a disc: "index.html" in
// the staging folder's root shows the same stage as the players (the CD title, the background,
// each hotspot's rectangle with its rollover picture at X, Y, the sounds, the Browse and Exit
// buttons), made from the same mapping of the project. One self-contained file with its style
// and script inside, no outside resources, every link relative, so it works opened straight from
// the disc (file://) without a server. No Qt.

#include <string>

#include "project/staged_menu.h"

namespace torvana {

inline constexpr const char* kWebMenuFile = "index.html";

// Text as HTML text or attribute value of the UTF-8 page: read as a project file's field is
// (project_text.h), then & < > " ' as character references; a NUL byte, which HTML does not
// carry, as U+FFFD.
std::string htmlEscaped(const std::string& text);

// A relative path ("images/a b.gif") as a URL path: each segment's bytes percent-encoded except
// letters, digits and - . _ ~, the "/" between segments kept. The bytes are the name's UTF-8 (or
// whatever bytes the file system holds), so the link names the exact file.
std::string urlPath(const std::string& relativePath);

// An address that would run script in the page or in the tab it opens ("javascript:",
// "vbscript:", "data:"); the page shows such a hotspot without opening it.
bool isScriptAddress(const std::string& address);

// The text is a page this program made (it carries the program's generator mark). A page of
// anyone else's under the same name is never replaced by the build.
bool isOwnWebMenu(const std::string& pageText);

// The page for a project mapped onto the staging folder (project.folder). The pictures' sizes
// are read from the staged copies, as a player reads them; a picture that cannot be read gives
// the invisible square of a hotspot without a picture and is not shown.
// `language` is the page's <html lang>, a language tag such as "en" or "de-DE": that of the menu's
// own words, never the locale of the computer that builds it.
std::string webMenuPage(const PlayerProject& project, const std::string& language = "en");


}  // namespace torvana
