#pragma once
// The one integer conversion of the program, used for the project file's hotspot count, the
// hand-off numbers, the hotspot coordinates and the settings values.
//
// Leading blanks are skipped. Then either an optional sign and decimal digits whose value fits in
// 32 signed bits, or a "$", "x", "X", "0x" or "0X" prefix and one to eight hexadecimal digits
// taken as a 32-bit pattern ("$FFFFFFFF" is -1). The whole text must be used.

#include <cstdint>
#include <optional>
#include <string>

#include "project/errors.h"

namespace torvana {

std::optional<int32_t> tryStrToInt(const std::string& text);

// Throws Error("'<text>' is not a valid integer value") when the text does not convert.
int32_t strToInt(const std::string& text);

std::string invalidIntegerText(const std::string& text);

}  // namespace torvana
