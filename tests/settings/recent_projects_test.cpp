#include <gtest/gtest.h>

#include <filesystem>

#include "project/errors.h"
#include "project/file_io.h"
#include "settings/recent_projects.h"
#include "test_support/temp_dir.h"

using namespace torvana;
using List = std::vector<std::string>;

TEST(RecentProjects, MostRecentFirstWithoutRepeatsAndAtMostEight) {
    TempDir dir;
    const std::string ini = dir.file("torvana.ini");
    EXPECT_EQ(loadRecentProjects(ini), List{});
    for (int i = 1; i <= 10; ++i) rememberRecentProject(ini, "/p/" + std::to_string(i) + ".cdrom");
    EXPECT_EQ(loadRecentProjects(ini), (List{"/p/10.cdrom", "/p/9.cdrom", "/p/8.cdrom", "/p/7.cdrom", "/p/6.cdrom",
                                             "/p/5.cdrom", "/p/4.cdrom", "/p/3.cdrom"}));
    // Opening a listed project again moves it up; nothing falls off.
    EXPECT_EQ(rememberRecentProject(ini, "/p/5.cdrom"),
              (List{"/p/5.cdrom", "/p/10.cdrom", "/p/9.cdrom", "/p/8.cdrom", "/p/7.cdrom", "/p/6.cdrom", "/p/4.cdrom",
                    "/p/3.cdrom"}));
    // Forgetting closes the gap and leaves no stale key at the end.
    forgetRecentProject(ini, "/p/9.cdrom");
    EXPECT_EQ(loadRecentProjects(ini),
              (List{"/p/5.cdrom", "/p/10.cdrom", "/p/8.cdrom", "/p/7.cdrom", "/p/6.cdrom", "/p/4.cdrom", "/p/3.cdrom"}));
    EXPECT_EQ(forgetRecentProject(ini, "/not/listed.cdrom").size(), 7u);
}

TEST(RecentProjects, KeepsTheRestOfTheSettingsFileAndReadsHandEditedLists) {
    TempDir dir;
    const std::string ini = dir.file("torvana.ini");
    replaceFileContents(ini, "[Options]\r\nwarnme=0\r\n[reopen]\r\nproject2=/b.cdrom\r\nPROJECT3=/a.cdrom\r\n"
                             "Project4=/b.cdrom\r\nProject9=/beyond.cdrom\r\n");
    EXPECT_EQ(loadRecentProjects(ini), (List{"/b.cdrom", "/a.cdrom"}));
    rememberRecentProject(ini, "/c d/e&f.cdrom");
    EXPECT_EQ(loadRecentProjects(ini), (List{"/c d/e&f.cdrom", "/b.cdrom", "/a.cdrom"}));
    EXPECT_NE(readFileContents(ini).find("[Options]\r\nwarnme=0\r\n"), std::string::npos);
}

TEST(RecentProjects, RelativePathsAreListedWholeAndPathsTheFileCannotHoldNotAtAll) {
    TempDir dir;
    const std::string ini = dir.file("torvana.ini");
    rememberRecentProject(ini, "/a.cdrom");
    for (const char* path : {"", "/line\nbreak.cdrom", "/tab.cdrom\t", "/trail.cdrom ", "/cr\r.cdrom"})
        EXPECT_EQ(rememberRecentProject(ini, path), List{"/a.cdrom"}) << path;
    EXPECT_EQ(rememberRecentProject(ini, "rel.cdrom").front(), (std::filesystem::current_path() / "rel.cdrom").string());
}

TEST(RecentProjects, AnUnwritableSettingsFileIsReported) {
    TempDir dir;
    replaceFileContents(dir.file("file"), "x");
    const std::string ini = dir.file("file") + "/torvana.ini";  // under a regular file
    EXPECT_THROW(rememberRecentProject(ini, "/a.cdrom"), Error);
    EXPECT_EQ(loadRecentProjects(ini), List{});
}
