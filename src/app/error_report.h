// Error reports: every error goes to standard error; a message box is added only when
// somebody is known to be at the screen to answer it.
#pragma once

#include <string>

// Set once the settings dialog has been shown in this run; runs started with options
// (scripts, tests, launchers) report on standard error alone and never wait for a click.
extern bool ShowErrorBoxes;

// Writes "taldrex: text" (with the detail in brackets, if any) to standard error and,
// when ShowErrorBoxes is set, shows text and detail in a message box titled caption.
void ReportError(const char* caption, const std::string& text, const std::string& detail = "");
