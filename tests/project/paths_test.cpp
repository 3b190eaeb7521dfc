#include <gtest/gtest.h>

#include <set>

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

TEST(IsWebAddress, OnlyTheAddressesAMenuOpens) {
    using torvana::isWebAddress;
    using torvana::refusedScheme;
    // Text, whether a menu opens it, and the scheme it is refused for otherwise.
    const struct {
        const char* text;
        bool web;
        const char* refused;
    } rows[] = {
        {"http://x.org", true, ""},          {"HTTPS://x.org/a", true, ""},
        {"mailto:ann@x.org", true, ""},      {"www.x.org", true, ""},
        {"WWW.X.ORG", true, ""},             {"file:///C:/windows/system32/notepad.exe", false, "file"},
        {"FILE:C:/a.exe", false, "file"},    {"ftp://f.net", false, "ftp"},
        {"git+ssh://host/repo", false, "git+ssh"}, {"javascript:alert(1)", false, "javascript"},
        {"data:text/html,x", false, "data"}, {"exit", false, ""},
        {"/home/a/setup.exe", false, ""},    {"C:\\Setup\\a.exe", false, ""},
        {"C://x", false, ""},                {"wwwx.exe", false, ""},
        {"http:/x", false, ""},              {"notes:1.txt", false, ""},
        {"", false, ""},                     {"1http://x", false, ""},
        {"://x.org", false, ""},             {"my file://x", false, ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isWebAddress(row.text), row.web) << row.text;
        EXPECT_EQ(refusedScheme(row.text), row.refused) << row.text;
    }
}

TEST(SplitLaunchText, LongestExistingPrefixIsTheProgram) {
    const std::set<std::string> files = {"/t/setup.bat", "/t/acme.com assets/run.exe", "/t/My Demo.cdrom",
                                         "/t/a b", "/t/a b c.exe"};
    const auto isFile = [&](const std::string& p) { return files.count(p) > 0; };
    const struct {
        const char* text;
        torvana::LaunchCommand expected;
    } rows[] = {
        {"/t/setup.bat /s", {"/t/setup.bat", "/s"}},
        {"/t/setup.bat -s -q 'x y'", {"/t/setup.bat", "-s -q 'x y'"}},
        {"/t/acme.com assets/run.exe", {"/t/acme.com assets/run.exe", ""}},
        {"/t/acme.com assets/run.exe /x", {"/t/acme.com assets/run.exe", "/x"}},
        {"/t/My Demo.cdrom", {"/t/My Demo.cdrom", ""}},
        // The longest prefix wins over a shorter one that also names a file.
        {"/t/a b c.exe d", {"/t/a b c.exe", "d"}},
        {"/t/a b d", {"/t/a b", "d"}},
        // Nothing names a file: the whole text, reported missing as it stands.
        {"/t/Old.Doc Files/a.exe", {"/t/Old.Doc Files/a.exe", ""}},
        {" /t/setup.bat", {" /t/setup.bat", ""}},
        {"", {"", ""}},
    };
    for (const auto& row : rows) EXPECT_EQ(torvana::splitLaunchText(row.text, isFile), row.expected) << row.text;
}

TEST(SplitOptions, AsAShellSplitsThemWithoutExpanding) {
    const struct {
        const char* options;
        std::vector<std::string> words;
    } rows[] = {
        {"", {}},
        {"  /s \t -q  ", {"/s", "-q"}},
        {"'a b' \"c d\" e\\ f", {"a b", "c d", "e f"}},
        {"x'y'\"z\"", {"xyz"}},
        {"\"a \\\"q\\\" \\n\"", {"a \"q\" \\n"}},
        {"'it''s' ''", {"its", ""}},
        {"$HOME * ~ `id` ;rm", {"$HOME", "*", "~", "`id`", ";rm"}},
        {"'unclosed b", {"unclosed b"}},
    };
    for (const auto& row : rows) EXPECT_EQ(torvana::splitOptions(row.options), row.words) << row.options;
}

TEST(BrowserAddress, WwwGetsAScheme) {
    EXPECT_EQ(torvana::browserAddress("www.x.org"), "http://www.x.org");
    EXPECT_EQ(torvana::browserAddress("WWW.x.org"), "http://WWW.x.org");
    EXPECT_EQ(torvana::browserAddress("https://x.org"), "https://x.org");
    EXPECT_EQ(torvana::browserAddress("mailto:a@x.org"), "mailto:a@x.org");
}
