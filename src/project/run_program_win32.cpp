// Running a helper program on Windows, which the program does not do yet.

#include "project/errors.h"
#include "project/run_program.h"

namespace torvana {

ProgramRun runProgram(const std::vector<std::string>&, const std::string&) {
    throw Error("Helper programs cannot be run on this system yet.");
}

}  // namespace torvana
