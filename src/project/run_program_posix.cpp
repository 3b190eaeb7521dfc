// Running a helper program on POSIX systems: posix_spawnp with its input and output on pipes.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "project/errors.h"
#include "project/run_program.h"

extern char** environ;

namespace torvana {

namespace {

// A pipe whose ends are closed when it goes out of scope; neither end is inherited by accident.
struct Pipe {
    int ends[2] = {-1, -1};
    Pipe() {
        if (::pipe2(ends, O_CLOEXEC) != 0) throwErrno(errno);
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    void closeEnd(int i) {
        if (ends[i] >= 0) ::close(ends[i]);
        ends[i] = -1;
    }
};

// Writes the whole text to a program that may end without reading it: a SIGPIPE, which would
// end this program, is held back and taken away again.
void writeAll(int fd, const std::string& text) {
    sigset_t pipeSignal, before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const timespec none{0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

}  // namespace

ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& input) {
    ProgramRun run;
    if (arguments.empty()) return run;
    Pipe in, out;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.ends[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out.ends[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out.ends[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started == ENOENT) return run;
    if (started != 0) throwErrno(started);
    run.found = true;
    in.closeEnd(0);
    out.closeEnd(1);
    writeAll(in.ends[1], input);
    in.closeEnd(1);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(out.ends[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        run.output.append(buffer, static_cast<size_t>(n));
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace torvana
