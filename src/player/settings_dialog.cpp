#include "player/settings_dialog.h"

#include "desktop/window.h"
#include "player/artwork.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <X11/Xlib.h>

namespace {

// The layout is given in dialog units of an 8-point "MS Sans Serif" dialog: one unit is
// 6/4 pixel across and 13/8 pixel down, rounded to the nearest pixel.
int unitsAcross(int units) { return (units * 6 + 2) / 4; }
int unitsDown(int units) { return (units * 13 + 4) / 8; }

constexpr int DialogFontSize = 10;

// A labelled frame around a set of controls, its text set into the top edge.
class GroupFrame : public Fl_Box {
public:
    GroupFrame(int x, int y, int w, int h, const char* text) : Fl_Box(x, y, w, h, text)
    {
        box(FL_NO_BOX);
        labelsize(DialogFontSize);
    }

protected:
    void draw() override
    {
        fl_font(labelfont(), labelsize());
        const int textTop = y() + labelsize() / 2;
        fl_draw_box(FL_ENGRAVED_FRAME, x(), textTop, w(), h() - (textTop - y()), color());
        const int textWidth = static_cast<int>(fl_width(label()));
        fl_color(parent() ? parent()->color() : color());
        fl_rectf(x() + 6, y(), textWidth + 4, labelsize() + 1);
        fl_color(labelcolor());
        fl_draw(label(), x() + 8, y() + labelsize() - fl_descent() + 1);
    }
};

// The dialog's default button: outlined, and pressed by Return from anywhere in the dialog.
class DefaultButton : public Fl_Button {
public:
    DefaultButton(int x, int y, int w, int h, const char* text) : Fl_Button(x, y, w, h, text) {}

    int handle(int event) override
    {
        if (event == FL_SHORTCUT && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            simulate_key_action();
            do_callback();
            return 1;
        }
        return Fl_Button::handle(event);
    }

protected:
    void draw() override
    {
        Fl_Button::draw();
        fl_color(FL_BLACK);
        fl_rect(x(), y(), w(), h());
    }
};

struct ModeButtonLayout {
    const char* text;
    int x, y, w, h;
};

const ModeButtonLayout ModeButtons[4] = {
    {"WindowMode", 13, 20, 70, 9},
    {"640x480 Fullscreen", 13, 31, 76, 9},
    {"800x600 Fullscreen", 13, 41, 76, 9},
    {"1024x768 Fullscreen", 13, 52, 77, 9},
};

template <typename Widget>
Widget* place(int x, int y, int w, int h, const char* text)
{
    Widget* widget = new Widget(unitsAcross(x), unitsDown(y), unitsAcross(w), unitsDown(h), text);
    widget->labelsize(DialogFontSize);
    return widget;
}

} // namespace

SettingsDialog::SettingsDialog()
    : m_iconPixels(DrawAppIcon()), m_picturePixels(DrawTitlePicture())
{
    m_hIcon = std::make_unique<Fl_RGB_Image>(m_iconPixels.data(), AppIconSize, AppIconSize, 4);
    m_picture = std::make_unique<Fl_RGB_Image>(m_picturePixels.data(), TitlePictureWidth, TitlePictureHeight, 3);

    m_window = std::make_unique<Fl_Double_Window>(unitsAcross(234), unitsDown(132), WindowTitle);
    m_window->callback(onClose, this);

    Fl_Button* runDemo = place<DefaultButton>(25, 96, 50, 14, "Run Demo");
    runDemo->callback(onRunDemo, this);

    place<GroupFrame>(7, 7, 89, 118, "Properties");
    for (int i = 0; i < 4; ++i) {
        const ModeButtonLayout& layout = ModeButtons[i];
        m_modeButtons[i] = place<Fl_Round_Button>(layout.x, layout.y, layout.w, layout.h, layout.text);
        m_modeButtons[i]->type(FL_RADIO_BUTTON);
        m_modeButtons[i]->callback(onModeClicked, this);
    }
    m_noSoundBox = place<Fl_Check_Button>(13, 63, 48, 10, "No Sound");
    m_loopDemoBox = place<Fl_Check_Button>(13, 73, 53, 10, "Loop Demo");

    // The picture keeps its own size, as a bitmap picture does in its frame.
    Fl_Box* picture = new Fl_Box(unitsAcross(104), unitsDown(11), TitlePictureWidth, TitlePictureHeight);
    picture->box(FL_NO_BOX);
    picture->image(m_picture.get());

    m_window->end();
}

SettingsDialog::~SettingsDialog() = default;

bool SettingsDialog::openDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    fl_open_display(display);
    return true;
}

void SettingsDialog::initDialog()
{
    m_window->icon(m_hIcon.get());
    m_modeButtons[0]->setonly();
    exchangeChecks(false);
}

bool SettingsDialog::doModal()
{
    initDialog();
    m_accepted = false;
    m_window->position((Fl::w() - m_window->w()) / 2, (Fl::h() - m_window->h()) / 2);
    m_window->show();
    while (m_window->shown())
        Fl::wait();
    // Let the dialog vanish from the screen before the demo window takes its place.
    Fl::flush();
    return m_accepted;
}

void SettingsDialog::exchangeChecks(bool readControls)
{
    Fl_Check_Button* boxes[2] = {m_noSoundBox, m_loopDemoBox};
    int* values[2] = {&m_noSound, &m_loopDemo};
    for (int i = 0; i < 2; ++i) {
        if (readControls) {
            *values[i] = boxes[i]->value() ? 1 : 0;
        } else {
            // A value outside 0..2 shows as unchecked; these boxes have no third state,
            // so 2 shows as checked.
            const int value = (*values[i] < 0 || *values[i] > 2) ? 0 : *values[i];
            boxes[i]->value(value != 0);
        }
    }
}

void SettingsDialog::onModeClicked(Fl_Widget* button, void* dialog)
{
    SettingsDialog* self = static_cast<SettingsDialog*>(dialog);
    for (int i = 0; i < 4; ++i) {
        if (self->m_modeButtons[i] == button)
            self->m_displayMode = i;
    }
}

void SettingsDialog::onRunDemo(Fl_Widget*, void* dialog)
{
    SettingsDialog* self = static_cast<SettingsDialog*>(dialog);
    self->exchangeChecks(true);
    self->m_accepted = true;
    self->m_window->hide();
}

void SettingsDialog::onClose(Fl_Widget*, void* dialog)
{
    SettingsDialog* self = static_cast<SettingsDialog*>(dialog);
    self->m_accepted = false;
    self->m_window->hide();
}

void ShowDialogMessageBox(const char* caption, const char* text)
{
    fl_close = "OK";
    fl_message_title(caption);
    fl_alert("%s", text);
}
