// SettingsDialog: the start-up dialog asking for the display mode, "No Sound" and "Loop Demo".
#pragma once

#include <memory>
#include <vector>

class Fl_Button;
class Fl_Check_Button;
class Fl_Double_Window;
class Fl_RGB_Image;
class Fl_Round_Button;
class Fl_Widget;

class SettingsDialog {
public:
    // Builds the dialog and its controls; needs no display until doModal.
    SettingsDialog();
    ~SettingsDialog();
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    // Opens the display for the dialog. Returns false when there is none to show it on.
    static bool openDisplay();

    // Shows the dialog and waits until it ends. Returns true for "Run Demo" (also the
    // Return key), false when it was closed or Escape was pressed.
    bool doModal();

    // What doModal does before the dialog appears: the icon, "WindowMode" checked,
    // and the check boxes set from m_noSound and m_loopDemo.
    void initDialog();

    // The dialog's window with its controls, for the modal loop and for tests.
    Fl_Double_Window& window() { return *m_window; }

    int m_noSound = 0;     // "No Sound" (0 or 1), read from its check box on "Run Demo"
    int m_loopDemo = 0;    // "Loop Demo" (0 or 1), read from its check box on "Run Demo"
    int m_displayMode = 0; // 0..3: the radio button last clicked

private:
    static void onModeClicked(Fl_Widget* button, void* dialog);
    static void onRunDemo(Fl_Widget* button, void* dialog);
    static void onClose(Fl_Widget* window, void* dialog);
    void exchangeChecks(bool readControls);

    std::vector<unsigned char> m_iconPixels;
    std::vector<unsigned char> m_picturePixels;
    std::unique_ptr<Fl_RGB_Image> m_hIcon;
    std::unique_ptr<Fl_RGB_Image> m_picture;
    std::unique_ptr<Fl_Double_Window> m_window;
    // Owned by m_window.
    Fl_Round_Button* m_modeButtons[4] = {};
    Fl_Check_Button* m_noSoundBox = nullptr;
    Fl_Check_Button* m_loopDemoBox = nullptr;
    bool m_accepted = false;
};

// Shows text in a modal message box with an OK button on the dialog's display, and
// returns once it is answered. Needs SettingsDialog::openDisplay first.
void ShowDialogMessageBox(const char* caption, const char* text);
