#include "player/settings_dialog.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Round_Button.H>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The dialog's control with that text; null when there is none.
template <typename Widget>
Widget* control(SettingsDialog& dialog, const char* text)
{
    Fl_Double_Window& window = dialog.window();
    for (int i = 0; i < window.children(); ++i) {
        Fl_Widget* child = window.child(i);
        if (child->label() && std::strcmp(child->label(), text) == 0)
            return dynamic_cast<Widget*>(child);
    }
    return nullptr;
}

// What a mouse click does to a radio button: it alone is set, then its callback runs.
void click(Fl_Round_Button* button)
{
    button->setonly();
    button->do_callback();
}

const char* const ModeTexts[4] = {"WindowMode", "640x480 Fullscreen", "800x600 Fullscreen", "1024x768 Fullscreen"};

} // namespace

TEST(SettingsDialog, ControlsSitWhereTheDialogUnitsPutThem)
{
    SettingsDialog dialog;
    Fl_Double_Window& window = dialog.window();
    EXPECT_STREQ(window.label(), "Quorin - Taldrex");
    EXPECT_EQ(window.w(), 351);
    EXPECT_EQ(window.h(), 215);

    struct Expected {
        const char* text;
        int x, y, w, h;
    };
    // 1 unit = 1.5 px across and 1.625 px down, rounded to nearest.
    const Expected controls[] = {
        {"Run Demo", 38, 156, 75, 23},
        {"Properties", 11, 11, 134, 192},
        {"WindowMode", 20, 33, 105, 15},
        {"640x480 Fullscreen", 20, 50, 114, 15},
        {"800x600 Fullscreen", 20, 67, 114, 15},
        {"1024x768 Fullscreen", 20, 85, 116, 15},
        {"No Sound", 20, 102, 72, 16},
        {"Loop Demo", 20, 119, 80, 16},
    };
    for (const Expected& expected : controls) {
        Fl_Widget* widget = control<Fl_Widget>(dialog, expected.text);
        ASSERT_NE(widget, nullptr) << expected.text;
        EXPECT_EQ(widget->x(), expected.x) << expected.text;
        EXPECT_EQ(widget->y(), expected.y) << expected.text;
        EXPECT_EQ(widget->w(), expected.w) << expected.text;
        EXPECT_EQ(widget->h(), expected.h) << expected.text;
    }

    // The title picture keeps its 180 x 186 pixels at the picture control's corner.
    bool pictureFound = false;
    for (int i = 0; i < window.children(); ++i) {
        Fl_Widget* child = window.child(i);
        if (child->image()) {
            pictureFound = true;
            EXPECT_EQ(child->x(), 156);
            EXPECT_EQ(child->y(), 18);
            EXPECT_EQ(child->image()->w(), 180);
            EXPECT_EQ(child->image()->h(), 186);
            EXPECT_EQ(child->image()->d(), 3);
        }
    }
    EXPECT_TRUE(pictureFound);
}

TEST(SettingsDialog, OpensOnTheWindowModeWithBothBoxesClear)
{
    SettingsDialog dialog;
    dialog.initDialog();
    EXPECT_EQ(dialog.m_displayMode, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(control<Fl_Round_Button>(dialog, ModeTexts[i])->value(), i == 0 ? 1 : 0) << ModeTexts[i];
    EXPECT_EQ(control<Fl_Check_Button>(dialog, "No Sound")->value(), 0);
    EXPECT_EQ(control<Fl_Check_Button>(dialog, "Loop Demo")->value(), 0);

    // "Run Demo" untouched: mode 0, with sound, without looping.
    control<Fl_Button>(dialog, "Run Demo")->do_callback();
    EXPECT_EQ(dialog.m_displayMode, 0);
    EXPECT_EQ(dialog.m_noSound, 0);
    EXPECT_EQ(dialog.m_loopDemo, 0);
}

TEST(SettingsDialog, EachRadioButtonChoosesItsModeAndRunDemoReadsTheBoxes)
{
    SettingsDialog dialog;
    dialog.initDialog();
    for (int mode : {2, 3, 1, 0, 3}) {
        click(control<Fl_Round_Button>(dialog, ModeTexts[mode]));
        EXPECT_EQ(dialog.m_displayMode, mode);
        int checked = 0;
        for (const char* text : ModeTexts)
            checked += control<Fl_Round_Button>(dialog, text)->value();
        EXPECT_EQ(checked, 1);
    }

    control<Fl_Check_Button>(dialog, "No Sound")->value(1);
    // The members follow the boxes only when the dialog is accepted.
    EXPECT_EQ(dialog.m_noSound, 0);
    control<Fl_Button>(dialog, "Run Demo")->do_callback();
    EXPECT_EQ(dialog.m_noSound, 1);
    EXPECT_EQ(dialog.m_loopDemo, 0);
    EXPECT_EQ(dialog.m_displayMode, 3);
}

TEST(SettingsDialog, ClosingLeavesTheMembersAsTheyWere)
{
    SettingsDialog dialog;
    dialog.initDialog();
    control<Fl_Check_Button>(dialog, "Loop Demo")->value(1);
    dialog.window().do_callback();
    EXPECT_EQ(dialog.m_loopDemo, 0);
    EXPECT_FALSE(dialog.window().shown());
}

TEST(SettingsDialog, BoxesShowTheMembersTheDialogOpensWith)
{
    SettingsDialog dialog;
    dialog.m_noSound = 1;
    dialog.m_loopDemo = 7; // outside 0..2: shown unchecked
    dialog.initDialog();
    EXPECT_EQ(control<Fl_Check_Button>(dialog, "No Sound")->value(), 1);
    EXPECT_EQ(control<Fl_Check_Button>(dialog, "Loop Demo")->value(), 0);
}
