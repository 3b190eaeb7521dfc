#pragma once
// Opening files, help pages and web addresses with their associated program, and starting
// programs.

#include <string>

namespace toolkit {

// Opens a web address, or a file with its associated program. The outcome is not reported.
void openTarget(const std::string& target);

// Starts `program` (a path, relative paths resolved in `workingFolder`) detached, with
// `workingFolder` as its working folder. Returns false when it could not be started.
bool startProgram(const std::string& program, const std::string& workingFolder);

}  // namespace toolkit
