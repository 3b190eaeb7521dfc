#pragma once
// Opening files, help pages and web addresses with their associated program, and starting
// programs.

#include <string>

class QWidget;

namespace torvana::toolkit {

// Opens a web address, or a file with its associated program. Returns false when the desktop
// could not open it.
bool openTarget(const std::string& target);

// Opens the target; when the desktop cannot, an error box names it.
void openOrSay(const std::string& target, QWidget* parent);

// Starts `program` (a path, relative paths resolved in `workingFolder`) detached, with
// `workingFolder` as its working folder. Returns false when it could not be started.
bool startProgram(const std::string& program, const std::string& workingFolder);

}  // namespace torvana::toolkit
