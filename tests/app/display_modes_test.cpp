#include "app/display_modes.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

GrowableArray<DisplayMode> modeList(std::initializer_list<DisplayMode> modes)
{
    GrowableArray<DisplayMode> list;
    for (const DisplayMode& mode : modes)
        list.append(mode);
    return list;
}

} // namespace

TEST(ChooseFullscreenMode, ExactSizeWithTheDeepestColour)
{
    const auto modes = modeList({{1024, 768, 32, 60}, {800, 600, 16, 60}, {800, 601, 32, 60},
                                 {801, 600, 32, 60}, {800, 600, 32, 60}, {800, 600, 24, 60}});
    EXPECT_EQ(chooseFullscreenMode(modes, 800, 600), 4);
    EXPECT_EQ(chooseFullscreenMode(modes, 1024, 768), 0);
}

TEST(ChooseFullscreenMode, FirstListedWinsAmongEqualDepthsWhateverTheRefresh)
{
    const auto modes = modeList({{640, 480, 16, 85}, {640, 480, 32, 60}, {640, 480, 32, 120}, {640, 480, 32, 75}});
    EXPECT_EQ(chooseFullscreenMode(modes, 640, 480), 1);
}

TEST(ChooseFullscreenMode, NoModeOfThatSize)
{
    const auto modes = modeList({{1280, 1024, 24, 0}, {600, 800, 32, 60}});
    EXPECT_EQ(chooseFullscreenMode(modes, 800, 600), -1);
    EXPECT_EQ(chooseFullscreenMode(GrowableArray<DisplayMode>(), 800, 600), -1);
}

TEST(ChooseFullscreenMode, ModesBeyondTheLimitAreNotExamined)
{
    GrowableArray<DisplayMode> modes;
    modes.setSize(MaxDisplayModes + 1);
    modes[MaxDisplayModes] = {800, 600, 32, 60};
    EXPECT_EQ(chooseFullscreenMode(modes, 800, 600), -1);
    modes[MaxDisplayModes - 1] = {800, 600, 16, 60};
    EXPECT_EQ(chooseFullscreenMode(modes, 800, 600), MaxDisplayModes - 1);
}
