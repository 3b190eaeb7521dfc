#include "disc/disc_tree.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "project/errors.h"
#include "project/file_io.h"
#include "staging/staging_build.h"

namespace torvana {

namespace fs = std::filesystem;

namespace {

// Deeper than any staging folder a user makes; a chain of links between folders stops here.
constexpr int kDeepest = 100;

std::string quotedPath(const fs::path& path) { return "\"" + visiblePath(pathString(path)) + "\""; }

// `inner` is `outer` or lies inside it (both real paths).
bool within(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i)
        if (i == inner.end() || *i != *o) return false;
    return true;
}

class Walker {
public:
    explicit Walker(const fs::path& root) : root_(root) {}

    DiscTree tree;

    // `real` is the folder's real path; `relative` where it shows on the disc ("" for the root).
    void walk(const fs::path& folder, const fs::path& real, const std::string& relative, int depth) {
        std::error_code ec;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            children.push_back(it->path());
        if (ec) {
            if (relative.empty()) throw Error("The folder " + quotedPath(folder) + " cannot be read: " + errnoText(ec.value()));
            leaveOut(relative, "is a folder that cannot be read (" + errnoText(ec.value()) + ")");
            return;
        }
        std::sort(children.begin(), children.end());
        chain_.push_back(real);
        for (const fs::path& child : children) {
            const std::string name = pathString(child.filename());
            if (isOwnTemporaryName(name)) continue;  // a copy killed midway: never burned
            add(child, real / child.filename(), relative.empty() ? name : relative + "/" + name, depth);
        }
        chain_.pop_back();
    }

private:
    void leaveOut(const std::string& relative, const std::string& reason) { tree.leftOut.push_back({relative, reason}); }

    void add(const fs::path& path, const fs::path& lexicalReal, const std::string& relative, int depth) {
        std::error_code ec;
        const fs::file_status own = fs::symlink_status(path, ec);
        if (ec) return leaveOut(relative, "cannot be read (" + errnoText(ec.value()) + ")");
        fs::path real = lexicalReal;
        fs::file_status status = own;
        if (fs::is_symlink(own)) {
            real = fs::canonical(path, ec);
            if (ec == std::errc::too_many_symbolic_link_levels) return leaveOut(relative, "is a link that leads round in a loop");
            if (ec) return leaveOut(relative, "is a link to nothing");
            if (!within(real, root_))
                return leaveOut(relative, "is a link to " + quotedPath(real) + ", outside the staging folder");
            status = fs::status(real, ec);
            if (ec) return leaveOut(relative, "is a link to nothing");
        }
        if (fs::is_directory(status)) {
            // A folder that holds the link itself would repeat itself without end.
            if (std::any_of(chain_.begin(), chain_.end(), [&](const fs::path& p) { return p == real; }))
                return leaveOut(relative, "is a link to a folder that holds it, which would repeat without end");
            if (depth >= kDeepest) return leaveOut(relative, "lies deeper than " + std::to_string(kDeepest) + " folders");
            const size_t at = tree.entries.size();
            tree.entries.push_back({relative, pathString(real), true});
            const size_t leftBefore = tree.leftOut.size();
            walk(real, real, relative, depth + 1);
            // An unreadable folder is told, and not put on the disc empty.
            if (tree.leftOut.size() > leftBefore && tree.leftOut.back().relative == relative)
                tree.entries.erase(tree.entries.begin() + static_cast<std::ptrdiff_t>(at));
            return;
        }
        if (fs::is_regular_file(status)) {
            std::FILE* f = openFile(pathString(real), "rb");
            if (!f) return leaveOut(relative, "cannot be read (" + errnoText(errno) + ")");
            std::fclose(f);
            tree.entries.push_back({relative, pathString(real), false});
            return;
        }
        const char* kind = fs::is_fifo(status)        ? "a pipe"
                           : fs::is_socket(status)    ? "a socket"
                           : fs::is_block_file(status) || fs::is_character_file(status) ? "a device"
                                                                                         : "neither a file nor a folder";
        leaveOut(relative, std::string("is ") + kind + ", which a disc cannot hold");
    }

    fs::path root_;
    std::vector<fs::path> chain_;  // the real folders from the root to the one being walked
};

}  // namespace

DiscTree readDiscTree(const std::string& folder) {
    std::error_code ec;
    const fs::path real = fs::canonical(fsPath(folder), ec);
    if (ec) throw Error("The folder \"" + visiblePath(folder) + "\" cannot be read: " + errnoText(ec.value()));
    Walker walker(real);
    walker.walk(real, real, "", 0);
    return std::move(walker.tree);
}

std::string leftOutText(const DiscTreeLeftOut& entry) {
    return "\"" + visiblePath(entry.relative) + "\" in the staging folder " + entry.reason + "; it is not burned.";
}

}  // namespace torvana
