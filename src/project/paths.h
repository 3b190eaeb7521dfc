#pragma once
// Path helpers shared by every part of the program.

#include <functional>
#include <string>
#include <vector>

namespace torvana {

// The file-name part of a path: the text after the last folder separator, the whole text when
// there is none. On POSIX the separator is "/" (a backslash or colon is an ordinary character
// of a name there); on Windows it is "\", "/" or ":".
std::string fileNamePart(const std::string& path);

// Joins a folder and a name with one separator, without normalising: a folder typed with a
// trailing separator gives a doubled one, which the file system accepts.
std::string joinPath(const std::string& folder, const std::string& name);

// A hotspot target that is a web address a menu opens: it starts with "http://", "https://",
// "mailto:" or "www." (any case). Every player, the web page, the build and the check ask this
// one question, so no menu hands a "file:" or "javascript:" address to the desktop.
bool isWebAddress(const std::string& target);

// The scheme of a target that has the form of an address but is not one a menu opens
// ("file" for "file:///C:/x.exe", "ftp" for "ftp://host/"): a scheme of two characters or more
// followed by "://", or one of the schemes that run or show something without "//"
// ("javascript:", "vbscript:", "data:", "file:", any case). Empty for everything else,
// web addresses and paths included (a drive such as "C:" is never a scheme).
std::string refusedScheme(const std::string& target);

// The address to hand to a browser: "www." gets "http://" in front, the rest is unchanged.
std::string browserAddress(const std::string& webAddress);

// What a hotspot's application text launches: a program (a file) and the options it is started
// with.
struct LaunchCommand {
    std::string program;
    std::string options;  // the text after the program and its blank, as typed; may be empty
    bool operator==(const LaunchCommand&) const = default;
};

// Splits an application text into its program and options: the whole text when `isFile` says it
// names a file; otherwise the longest prefix that ends just before a blank and names a file,
// the text after that blank being the options; the whole text (no options) when no prefix does.
// So "C:\Tools\setup.exe /s" gives setup.exe with "/s", and a folder such as
// "acme.com assets/run.exe" is never cut at its blank. The build asks the file system; a player
// asks whether the prefix's file-name part lies in the hotspot's folder on the disc.
LaunchCommand splitLaunchText(const std::string& text, const std::function<bool(const std::string&)>& isFile);

// Splits options into arguments as a POSIX shell does, without running one: blanks, tabs and
// line breaks separate; single quotes keep everything; double quotes keep everything but a
// backslash before " \ $ or `; a backslash outside quotes keeps the next character. Nothing is
// expanded ($HOME, *, ~ stay as they are). An unclosed quote runs to the end of the text.
std::vector<std::string> splitOptions(const std::string& options);

// The platform's folder separator as text.
const char* separator();

}  // namespace torvana
