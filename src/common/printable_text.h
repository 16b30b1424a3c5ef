// Text from files, made safe to print: names and paths from a demo folder may hold
// terminal escape sequences or bytes that are not UTF-8.
#pragma once

#include <string>

// A copy of text with every control character (below 0x20, 0x7f, and U+0080 to U+009F)
// and every byte that is not part of valid UTF-8 written as \xNN; other valid UTF-8 and
// plain text pass unchanged.
std::string PrintableText(const std::string& text);
