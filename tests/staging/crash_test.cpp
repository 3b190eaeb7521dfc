// Killed at any moment: a child process writing a large project file, and one running a
// staging build of many files, are killed with SIGKILL at random moments. Each time the project
// file is the complete old one or the complete new one, and every file under a final name in
// the staging folder is a complete copy of one version of its source.
// TORVANA_CRASH_KILLS sets the number of kills of each kind (default 12; 200 for a long run).

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "staging/staging_build.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;
using namespace torvana;

namespace {

int kills() {
    const char* n = std::getenv("TORVANA_CRASH_KILLS");
    return n ? std::max(1, std::atoi(n)) : 12;
}

class SilentUser : public BuildUser {
public:
    void beep() override {}
    void refuse(BuildField, const std::string&) override {}
    void warning(const std::string&) override {}
    void error(const std::string&) override {}
    void information(const std::string&) override {}
    void busy(bool) override {}
    void succeeded() override {}
    void progress(const std::string&, uint64_t, uint64_t) override {}
};

// Runs `work` in a child process and kills it after `delay`; the child may have finished.
template <typename Work>
void runAndKill(std::chrono::microseconds delay, Work work) {
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        work();
        _exit(0);
    }
    std::this_thread::sleep_for(delay);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

template <typename Work>
std::chrono::microseconds timeOf(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
}

Project largeProject(char fill) {
    Project d;
    d.hotspotCount = kMaxHotspots;
    d.cdTitle = std::string(1000, fill);
    d.stagingFolder = "/stage";
    d.backgroundImage = "/art/back.gif";
    for (int i = 0; i < kMaxHotspots; ++i)
        d.hotspots.push_back({std::string(20000, fill), "/art/r.gif", std::to_string(i), "1", "", ""});
    return d;
}

}  // namespace

TEST(CrashTest, AKilledSaveLeavesTheOldOrTheNewProjectWhole) {
    TempDir dir;
    const std::string path = dir.file("menu.cdrom");
    const std::string versions[2] = {formatProjectFile(largeProject('a')), formatProjectFile(largeProject('b'))};
    writeProjectFile(path, largeProject('a'));
    const auto once = timeOf([&] { writeProjectFile(path, largeProject('a')); });
    std::mt19937 random(std::random_device{}());
    for (int i = 0; i < kills(); ++i) {
        const auto delay = std::chrono::microseconds(random() % (2 * once.count() + 1));
        runAndKill(delay, [&] {
            for (int n = 0;; ++n) writeProjectFile(path, largeProject(n % 2 ? 'a' : 'b'));
        });
        const std::string now = readFileContents(path);
        ASSERT_TRUE(now == versions[0] || now == versions[1]) << "kill " << i << " after " << delay.count()
                                                              << " us left " << now.size() << " bytes";
    }
}

TEST(CrashTest, AKilledBuildLeavesOnlyWholeFilesUnderFinalNames) {
    TempDir dir;
    const std::string art = dir.file("art");
    const std::string stage = dir.file("stage");
    fs::create_directories(art);
    fs::create_directories(dir.file("program"));
    replaceFileContents(dir.file("program/autorun.exe"), "player");
    ProjectState state;
    state.programFolder = dir.file("program") + "/";
    state.projectName = "menu.cdrom";
    state.projectPath = dir.file("menu.cdrom");
    Project project;
    BuildSettings settings;
    settings.addLinuxPlayer = false;  // the Linux player is not what is tested here
    project.stagingFolder = stage;
    project.backgroundImage = art + "/back.gif";
    constexpr int kFiles = 40;
    // Two versions of every source, of different sizes, so a partial copy shows.
    auto contents = [](int file, int version) {
        return std::string(size_t(200000 + 1000 * version + file), char('A' + (file + version) % 26));
    };
    auto writeSources = [&](int version) {
        replaceFileContents(project.backgroundImage, contents(99, version));
        for (int i = 1; i <= kFiles; ++i) replaceFileContents(art + "/app" + std::to_string(i) + ".exe", contents(i, version));
    };
    for (int i = 1; i <= kFiles; ++i) {
        project.hotspotCount = i;
        project.hotspots.push_back({art + "/app" + std::to_string(i) + ".exe", "", "1", "1", "", ""});
    }
    SilentUser user;
    writeSources(0);
    const auto once = timeOf([&] { ASSERT_EQ(runStagingBuild(state, project, settings, user), BuildResult::Succeeded); });

    auto isVersionOf = [&](const std::string& staged, int file) {
        const std::string now = readFileContents(staged);
        return now == contents(file, 0) || now == contents(file, 1);
    };
    std::mt19937 random(std::random_device{}());
    for (int k = 0; k < kills(); ++k) {
        writeSources((k + 1) % 2);
        const auto delay = std::chrono::microseconds(random() % (once.count() + 1));
        runAndKill(delay, [&] { runStagingBuild(state, project, settings, user); });
        ASSERT_TRUE(isVersionOf(stage + "/images/back.gif", 99)) << "kill " << k;
        for (int i = 1; i <= kFiles; ++i) {
            const std::string staged = stage + "/" + std::to_string(i) + "/app" + std::to_string(i) + ".exe";
            if (fs::exists(staged)) {
                ASSERT_TRUE(isVersionOf(staged, i)) << "kill " << k << ": " << staged;
            }
        }
        const std::string project = readFileContents(stage + "/menu.cdrom");
        ASSERT_EQ(readProjectFile(stage + "/menu.cdrom").hotspotCount, kFiles) << "kill " << k;
        ASSERT_EQ(project, formatProjectFile(withoutFolderNames(readProjectFile(state.projectPath))));
    }
}
