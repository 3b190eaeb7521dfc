#pragma once
// What the Linux player hands to the desktop: a hotspot's program or file, a web address, the
// menu's folder. Programs start detached, in a session of their own, so they outlive the menu;
// files, folders and web addresses go to the desktop's opener (xdg-open).

#include <string>
#include <vector>

#include "project/staged_menu.h"

namespace torvana::player {

struct Command {
    std::vector<std::string> argv;
    std::string folder;  // the working folder; empty for the player's own
};

// The desktop's opener for a file, folder or web address.
Command openerFor(const std::string& target);

// How a hotspot's target starts: a staged file that can be run starts as a program in its own
// folder with the hotspot's options as its arguments; any other file and a web address go to the
// opener.
std::vector<Command> commandsFor(const torvana::PlayerHotspot& hotspot);

// Starts `command` detached; false when it could not be started (no such program, not
// executable), with nothing left running.
bool spawnDetached(const Command& command);

// Tries each command in turn until one starts; false when none did.
bool startFirst(const std::vector<Command>& commands);

}  // namespace torvana::player
