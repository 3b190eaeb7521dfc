#pragma once
// The product's web site: opened by "Go to Web Site" and by the link in the About box, whose
// caption shows it.

namespace torvana {
inline constexpr const char* kWebAddress = "https://www.torvana.org/";
}
