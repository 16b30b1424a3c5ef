// Error reports: every error goes to standard error; a message box is added only when
// somebody is known to be at the screen to answer it.
#pragma once

#include <string>

// Shows a message box and returns once it is answered.
using ErrorBoxFunction = void (*)(const char* caption, const char* text);

// Null (the default) reports on standard error alone, so runs started with options
// (scripts, tests, launchers) never wait for a click. The shell sets it once the
// settings dialog has been shown in this run.
extern ErrorBoxFunction ErrorBox;

// Writes "taldrex: text" (with the detail in brackets, if any) to standard error and,
// when an ErrorBox is set, shows text and detail in a message box titled caption.
void ReportError(const char* caption, const std::string& text, const std::string& detail = "");
