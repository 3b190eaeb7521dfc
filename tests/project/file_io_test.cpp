#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;
using namespace torvana;

TEST(ErrnoText, MapsTheUsualFailuresToTheirWords) {
    EXPECT_EQ(errnoText(ENOENT), "File not found");
    EXPECT_EQ(errnoText(ENOTDIR), "File not found");
    EXPECT_EQ(errnoText(EACCES), "File access denied");
    EXPECT_EQ(errnoText(EPERM), "File access denied");
    EXPECT_EQ(errnoText(EROFS), "File access denied");
    EXPECT_EQ(errnoText(EISDIR), "File access denied");
    EXPECT_EQ(errnoText(ENOSPC), "Disk full");
    EXPECT_EQ(errnoText(EDQUOT), "Disk full");
    EXPECT_EQ(errnoText(EFBIG), "Disk full");  // past a file size limit
    EXPECT_EQ(errnoText(EIO), "I/O error " + std::to_string(EIO));
}

// Names in a folder, to see that no temporary file stays behind.
std::vector<std::string> names(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(ReplaceFileContents, WritesAndReplacesWholeFilesLeavingNothingElse) {
    TempDir dir;
    const std::string path = dir.file("a.txt");
    replaceFileContents(path, "first\r\n");
    EXPECT_EQ(readFileContents(path), "first\r\n");
    replaceFileContents(path, "2");
    EXPECT_EQ(readFileContents(path), "2");
    EXPECT_EQ(names(dir.path()), std::vector<std::string>{"a.txt"});
}

// The temporary file is a new file: a user's file or a planted link under any name that
// earlier versions used stays untouched, and a name near the file-name limit can be replaced.
TEST(ReplaceFileContents, NeverTouchesOtherFilesOrFollowsAPlantedLink) {
    TempDir dir;
    const std::string path = dir.file("menu.cdrom");
    replaceFileContents(dir.file("menu.cdrom.tmp"), "the user's own file");
    replaceFileContents(dir.file("outside"), "outside");
    fs::create_symlink(dir.file("outside"), dir.file("menu.cdrom.torvana-part"));
    replaceFileContents(path, "project");
    EXPECT_EQ(readFileContents(path), "project");
    EXPECT_EQ(readFileContents(dir.file("menu.cdrom.tmp")), "the user's own file");
    EXPECT_EQ(readFileContents(dir.file("outside")), "outside");
    EXPECT_EQ(names(dir.path()), (std::vector<std::string>{"menu.cdrom", "menu.cdrom.tmp",
                                                           "menu.cdrom.torvana-part", "outside"}));
    const std::string longest = dir.file(std::string(249, 'n') + ".cdrom");
    replaceFileContents(longest, "a");
    replaceFileContents(longest, "b");
    EXPECT_EQ(readFileContents(longest), "b");
}

// Saving through a link (a project linked from elsewhere, a settings file kept by a dotfile
// manager) replaces the file the link names, keeps the link and the file's permissions.
TEST(ReplaceFileContents, WritesThroughLinksKeepingPermissions) {
    TempDir dir;
    fs::create_directory(dir.file("real"));
    const std::string target = dir.file("real/menu.cdrom");
    replaceFileContents(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real/menu.cdrom", dir.file("link.cdrom"));  // relative, as users make them
    fs::create_symlink(dir.file("link.cdrom"), dir.file("link2.cdrom"));  // a link to a link
    replaceFileContents(dir.file("link2.cdrom"), "new");
    EXPECT_TRUE(fs::is_symlink(dir.file("link.cdrom")));
    EXPECT_TRUE(fs::is_symlink(dir.file("link2.cdrom")));
    EXPECT_EQ(readFileContents(target), "new");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(names(dir.file("real")), std::vector<std::string>{"menu.cdrom"});

    fs::create_symlink("dangling.txt", dir.file("to-new"));  // a link to a file not made yet
    replaceFileContents(dir.file("to-new"), "made");
    EXPECT_TRUE(fs::is_symlink(dir.file("to-new")));
    EXPECT_EQ(readFileContents(dir.file("dangling.txt")), "made");

    fs::create_symlink("loop", dir.file("loop"));
    EXPECT_THROW(replaceFileContents(dir.file("loop"), "x"), Error);
}

TEST(ReplaceFileContents, AMissingFolderIsFileNotFound) {
    TempDir dir;
    try {
        replaceFileContents(dir.file("no/such/folder.txt"), "x");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "File not found");
    }
}

TEST(FileChecks, AFolderIsNotAFile) {
    TempDir dir;
    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_TRUE(folderExists(dir.path()));
    EXPECT_FALSE(fileExists(""));
    replaceFileContents(dir.file("f"), "");
    EXPECT_TRUE(fileExists(dir.file("f")));
    deleteFile(dir.file("f"));
    EXPECT_FALSE(fileExists(dir.file("f")));
    EXPECT_THROW(deleteFile(dir.file("f")), Error);
    EXPECT_THROW(createFolder(dir.file("a/b")), Error);
    createFolder(dir.file("a"));
    createFolder(dir.file("a"));  // an existing folder is no failure
    EXPECT_TRUE(folderExists(dir.file("a")));
}

// Every reader of outside data reads a regular file of bounded size: a pipe or a device is
// refused without waiting or reading, a larger file without reading it, in memory.
TEST(ReadFileContents, RefusesWhatIsNotARegularFileOrTooLarge) {
    TempDir dir;
    const std::string fifo = dir.file("pipe.cdrom");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.file("huge.cdrom");
    replaceFileContents(huge, "1\r\n");
    fs::resize_file(huge, uint64_t{3} << 30);  // 3 GB, sparse
    struct Case {
        std::string path, error;
    } cases[] = {
        {fifo, "\"" + fifo + "\" is not a regular file"},
        {"/dev/zero", "\"/dev/zero\" is not a regular file"},
        {huge, "\"" + huge + "\" is larger than 16 MB"},
        {dir.path(), "File access denied"},
        {dir.file("none"), "File not found"},
    };
    for (const Case& c : cases) {
        try {
            readFileContents(c.path);
            ADD_FAILURE() << "no failure for " << c.path;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
    }
    replaceFileContents(dir.file("ten"), "0123456789");
    EXPECT_EQ(readFileContents(dir.file("ten"), 10), "0123456789");
    EXPECT_THROW(readFileContents(dir.file("ten"), 9), Error);
    try {
        readProjectFile(huge);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "\"" + huge + "\" is larger than 16 MB");
    }
}
