#pragma once
// What of a staging folder goes onto the disc: every folder and regular file under it, a link
// only when it names a file or folder inside the staging folder (burned as what it names), and
// nothing the program left behind itself (the temporary file of a copy that was killed). Links
// that leave the staging folder, links to nothing, links that lead round in a loop, pipes,
// sockets, devices and entries that cannot be read are left out, each with the reason, so the
// image never carries bytes from elsewhere and never drops a file without saying so. The disc
// check and the disc image read the folder through this one walk. No Qt.

#include <string>
#include <vector>

namespace torvana {

struct DiscTreeEntry {
    std::string relative;  // inside the staging folder, "/" between names: "images/back.bmp"
    std::string path;      // what is read: the entry itself, or the real path a link names
    bool folder = false;
};

struct DiscTreeLeftOut {
    std::string relative;
    std::string reason;  // the rest of a sentence: "is a link to \"/etc\", outside the staging folder"
};

struct DiscTree {
    std::vector<DiscTreeEntry> entries;  // a folder before what it holds; names sorted in each folder
    std::vector<DiscTreeLeftOut> leftOut;
};

// Walks `folder`. Throws Error when the folder itself cannot be read.
DiscTree readDiscTree(const std::string& folder);

// A left-out entry as one line for the user: "\"x\" in the staging folder is ...; it is not burned."
std::string leftOutText(const DiscTreeLeftOut& entry);

}  // namespace torvana
