#include "cli/TerminalText.h"

namespace trimlark {

std::string EscapeControlCharacters(std::string_view text)
{
    constexpr char kDigits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.size());
    auto escape = [&](unsigned char byte) {
        escaped += "\\x";
        escaped += kDigits[byte >> 4];
        escaped += kDigits[byte & 0xF];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            escape(byte);
            escape(next);
            ++i;
        } else {
            escaped += text[i];
        }
    }
    return escaped;
}

} // namespace trimlark
