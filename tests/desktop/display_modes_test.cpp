#include "desktop/display_modes.h"

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

TEST(DescribeMissingMode, NamesTheAskedSizeEachOfferedSizeOnceAndTheWayOut)
{
    const auto modes = modeList({{1920, 1080, 32, 60}, {1920, 1080, 32, 50}, {1280, 1024, 32, 60},
                                 {1920, 1080, 24, 60}, {1024, 768, 32, 60}});
    EXPECT_EQ(describeMissingMode(modes, 800, 600),
              "800x600 is not offered by this display (it offers 1920x1080, 1280x1024, 1024x768); "
              "choose WindowMode or run with --mode desktop");
}

TEST(DescribeMissingMode, LongListsEndInAnEllipsisAndEmptyOnesSaySo)
{
    GrowableArray<DisplayMode> many;
    for (int i = 0; i < 20; ++i)
        many.append({2000 - i * 10, 1000, 32, 60});
    const std::string text = describeMissingMode(many, 640, 480);
    EXPECT_NE(text.find("1890x1000, ..."), std::string::npos) << text;
    EXPECT_EQ(text.find("1880x1000"), std::string::npos) << text;

    EXPECT_EQ(describeMissingMode(GrowableArray<DisplayMode>(), 640, 480),
              "640x480 is not offered by this display (it lists no modes); choose WindowMode or run with --mode desktop");
}
