#pragma once
// The menu's pixels as a PNG file: what `torvana render` writes, for thumbnails, documentation
// and comparing with what a player shows. Not part of the players.

#include <string>

#include "menu/menu_model.h"

namespace torvana::menu {

// `pixels` (0xAARRGGBB) as the bytes of an opaque 8-bit RGB PNG.
std::string encodePng(const Pixels& pixels);
// Writes them through a temporary file beside `path`; throws Error naming the file when it
// cannot be written.
void writePng(const std::string& path, const Pixels& pixels);

}  // namespace torvana::menu
