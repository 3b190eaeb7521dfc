#include "player/launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "project/paths.h"

namespace torvana::player {

Command openerFor(const std::string& target) { return {{"xdg-open", target}, {}}; }

std::vector<Command> commandsFor(const torvana::PlayerHotspot& hotspot) {
    if (hotspot.kind == torvana::ActionKind::WebAddress) return {openerFor(hotspot.target)};
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(hotspot.target, ec);
    const std::string path = ec ? hotspot.target : absolute.string();
    std::vector<Command> commands;
    // A file that merely carries the executable mark (every file on some discs does) and
    // cannot be started is opened instead.
    if (access(path.c_str(), X_OK) == 0) {
        // The options typed after the program, split as a shell would, without one.
        std::vector<std::string> argv{path};
        for (std::string& option : torvana::splitOptions(hotspot.options)) argv.push_back(std::move(option));
        commands.push_back({argv, absolute.parent_path().string()});
    }
    commands.push_back(openerFor(path));
    return commands;
}

bool spawnDetached(const Command& command) {
    if (command.argv.empty()) return false;
    // The grandchild reports a failed exec through a pipe closed on a successful one; the
    // child exits at once, so nothing is left to reap later.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    std::vector<char*> argv;
    for (const std::string& a : command.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        setsid();
        if (fork() != 0) _exit(0);
        signal(SIGXFSZ, SIG_DFL);
        int error = 0;
        if (!command.folder.empty() && chdir(command.folder.c_str()) != 0) {
            error = errno;
        } else {
            execvp(argv[0], argv.data());
            error = errno;
        }
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return got == 0;
}

bool startFirst(const std::vector<Command>& commands) {
    for (const Command& c : commands)
        if (spawnDetached(c)) return true;
    return false;
}

}  // namespace torvana::player
