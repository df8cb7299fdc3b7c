#pragma once

#include <string>
#include <string_view>

namespace trimlark {

// The text with every control character (C0, DEL, and C1 written as UTF-8) spelled as "\xHH" per byte, so a
// file name cannot move the cursor, retitle the terminal or break a line; everything else is kept byte for byte.
std::string EscapeControlCharacters(std::string_view text);

} // namespace trimlark
