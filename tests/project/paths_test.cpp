#include <gtest/gtest.h>

#include "project/paths.h"

using torvana::fileNamePart;

TEST(FileNamePart, TakesTheTextAfterTheLastSeparator) {
    EXPECT_EQ(fileNamePart("/home/ann/art/back.gif"), "back.gif");
    EXPECT_EQ(fileNamePart("exit"), "exit");
    EXPECT_EQ(fileNamePart(""), "");
    EXPECT_EQ(fileNamePart("/home/ann/"), "");
    EXPECT_EQ(fileNamePart("tools/setup.exe -s"), "setup.exe -s");
    // A web address keeps what follows its last slash.
    EXPECT_EQ(fileNamePart("http://example.com/page.htm"), "page.htm");
}

#ifndef _WIN32
TEST(FileNamePart, BackslashAndColonAreOrdinaryCharactersOnPosix) {
    EXPECT_EQ(fileNamePart("C:\\Setup\\setup.exe"), "C:\\Setup\\setup.exe");
    EXPECT_EQ(fileNamePart("/a/b:c"), "b:c");
}
#endif

TEST(JoinPath, NeverNormalises) {
    EXPECT_EQ(torvana::joinPath("/stage", "images"), "/stage/images");
    EXPECT_EQ(torvana::joinPath("/stage/", "images"), "/stage//images");
}

TEST(IsWebAddress, SchemesAndWwwButNotPaths) {
    using torvana::isWebAddress;
    for (const char* web : {"http://x.org", "HTTPS://x.org/a", "ftp://f.net", "mailto:ann@x.org", "www.x.org",
                            "WWW.X.ORG", "git+ssh://host/repo"})
        EXPECT_TRUE(isWebAddress(web)) << web;
    for (const char* file : {"exit", "/home/a/setup.exe", "C:\\Setup\\a.exe", "C://x", "wwwx.exe", "http:/x",
                             "readme.html", "", "1http://x", "://x.org", "my file://x", "wwwroot/index.html"})
        EXPECT_FALSE(isWebAddress(file)) << file;
}

TEST(BrowserAddress, WwwGetsAScheme) {
    EXPECT_EQ(torvana::browserAddress("www.x.org"), "http://www.x.org");
    EXPECT_EQ(torvana::browserAddress("WWW.x.org"), "http://WWW.x.org");
    EXPECT_EQ(torvana::browserAddress("https://x.org"), "https://x.org");
    EXPECT_EQ(torvana::browserAddress("mailto:a@x.org"), "mailto:a@x.org");
}
