// Lower-casing for the names the show matches without regard to case (scene lines, node
// names, texture names): only A-Z change, so bytes of any other encoding stay as they are.
#pragma once

#include <string>

// Turns A-Z in text into a-z.
inline void LowerCaseInPlace(std::string& text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

// text with A-Z turned into a-z.
inline std::string LowerCase(std::string text)
{
    LowerCaseInPlace(text);
    return text;
}
