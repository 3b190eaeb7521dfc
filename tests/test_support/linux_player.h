#pragma once
// The Linux player for tests: a small stand-in for the player folder that the build copies from
// beside the editor, and the real player (or any program) as a process of the test's own.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "project/file_io.h"

inline void makeLinuxPlayerStandIn(const std::string& programFolder) {
    const std::string folder = programFolder + "/linux-x86_64";
    std::filesystem::create_directories(folder + "/lib");
    torvana::replaceFileContents(folder + "/torvana-player", "#!/bin/sh\n");
    torvana::makeExecutable(folder + "/torvana-player");
    torvana::replaceFileContents(folder + "/lib/libdecor-0.so.0", "library");
}

// A program started in `folder` with `extraEnv` added to the environment; ended at the end.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& folder,
                 const std::vector<std::string>& extraEnv = {}) {
        pid_ = fork();
        if (pid_ != 0) return;
        if (chdir(folder.c_str()) != 0) _exit(126);
        for (const std::string& e : extraEnv) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    ~ChildProcess() { end(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running() {
        if (status_ >= 0 || pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    // Waits up to `ms` for the program to end; its exit code, or -1 while it still runs.
    int waitForExit(int ms = 10000) {
        for (int waited = 0; waited <= ms && running(); waited += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return running() ? -1 : status_;
    }
    void end() {
        if (!running()) return;
        kill(pid_, SIGTERM);
        if (waitForExit(5000) < 0) {
            kill(pid_, SIGKILL);
            waitForExit(5000);
        }
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
};
