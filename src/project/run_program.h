#pragma once
// Running another program to its end: the one place the program starts a helper tool (the
// signing tool). No Qt, no shell: the arguments reach the program as they are.

#include <string>
#include <vector>

namespace torvana {

struct ProgramRun {
    bool found = false;  // false: no such program on PATH (nothing ran)
    int status = -1;     // its exit status; -1 when a signal ended it
    std::string output;  // what it wrote to its standard output and error, together
};

// Runs arguments[0], looked up on PATH, with the other arguments, and waits for it to end.
// `input` is written to its standard input, which is then closed, so a secret such as a password
// never appears among the arguments other users can list. Throws Error when the program cannot
// be started for another reason than not being there.
ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& input = {});

}  // namespace torvana
