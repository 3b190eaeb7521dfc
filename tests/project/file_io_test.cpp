#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "project/errors.h"
#include "project/file_io.h"
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
    EXPECT_EQ(errnoText(EIO), "I/O error " + std::to_string(EIO));
}

TEST(ReplaceFileContents, WritesAndReplacesWholeFiles) {
    TempDir dir;
    const std::string path = dir.file("a.txt");
    replaceFileContents(path, "first\r\n");
    EXPECT_EQ(readFileContents(path), "first\r\n");
    replaceFileContents(path, "2");
    EXPECT_EQ(readFileContents(path), "2");
    EXPECT_FALSE(fs::exists(temporaryNameFor(path)));
}

TEST(ReplaceFileContents, AFailedWriteKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("keep.txt");
    replaceFileContents(path, "old contents");
    fs::create_directory(temporaryNameFor(path));  // a folder where the temporary file must go
    try {
        replaceFileContents(path, "new");
        FAIL() << "the write should fail";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "File access denied");
    }
    EXPECT_EQ(readFileContents(path), "old contents");
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
