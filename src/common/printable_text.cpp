#include "common/printable_text.h"

#include <cstdio>

namespace {

// The length of the valid, printable UTF-8 sequence starting at text[at], or 0 when
// there is none (overlong forms, surrogates, code points beyond U+10FFFF and the C1
// control characters are not taken).
size_t utf8Length(const std::string& text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned int low = 0x80, high = 0xbf; // the range allowed for the second byte
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        // U+0080 to U+009F are control characters too (0x9b starts a terminal sequence).
        if (lead == 0xc2)
            low = 0xa0;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0;
        else if (lead == 0xed)
            high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        else if (lead == 0xf4)
            high = 0x8f;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xbf)
            return 0;
    return length;
}

} // namespace

std::string PrintableText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        const size_t length = c >= 0x80 ? utf8Length(text, at) : 0;
        if (length > 0) {
            out.append(text, at, length);
            at += length;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        out += escaped;
        ++at;
    }
    return out;
}
