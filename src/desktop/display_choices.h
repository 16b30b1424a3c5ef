// The four display modes the player offers, by the settings dialog's mode number.
#pragma once

struct DisplayChoice {
    const char* option; // its name on the command line
    int width;
    int height;
    bool fullscreen;
};

constexpr int DisplayChoiceCount = 4;

constexpr DisplayChoice DisplayChoices[DisplayChoiceCount] = {
    {"window", 640, 480, false},
    {"640x480", 640, 480, true},
    {"800x600", 800, 600, true},
    {"1024x768", 1024, 768, true},
};
