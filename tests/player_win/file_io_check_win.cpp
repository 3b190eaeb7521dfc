// Runs the core's file writers as the Windows build compiles them, in its current folder: a new
// file, a file replaced over an existing one, a name with letters outside ASCII, and no
// temporary file left. Prints what went wrong and exits 1, or exits 0. Run under Wine by
// windows_player_test, which also checks the files from outside.
#include <cstdio>
#include <filesystem>
#include <string>

#include "project/errors.h"
#include "project/file_io.h"

namespace {

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what.c_str());
        ++failures;
    }
}

}  // namespace

int main() {
    const std::string folder = ".";
    try {
        for (const std::string name : {"menu.cdrom", "Caf\xC3\xA9 \xE2\x9C\x93.cdrom"}) {
            const std::string path = folder + "/" + name;
            torvana::replaceFileContents(path, "first\r\n");
            expect(torvana::readFileContents(path) == "first\r\n", name + ": new file");
            torvana::replaceFileContents(path, "second, longer\r\n");
            expect(torvana::readFileContents(path) == "second, longer\r\n", name + ": replaced");
        }
        {
            torvana::NewFile file(folder + "/copy.bin");
            file.write("abc", 3);
            file.commit();
        }
        expect(torvana::readFileContents(folder + "/copy.bin") == "abc", "NewFile");
        int entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(torvana::fsPath(folder))) {
            (void)entry;
            ++entries;
        }
        expect(entries == 3, "no temporary file is left: " + std::to_string(entries) + " entries");
    } catch (const torvana::Error& e) {
        std::printf("FAILED: %s\n", e.what());
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
