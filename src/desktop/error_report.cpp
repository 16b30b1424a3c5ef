#include "desktop/error_report.h"

#include "common/printable_text.h"

#include <cstdio>

ErrorBoxFunction ErrorBox = nullptr;

void ReportError(const char* caption, const std::string& text, const std::string& detail)
{
    // Messages carry names from the demo folder, which may hold terminal escape sequences.
    if (detail.empty())
        std::fprintf(stderr, "taldrex: %s\n", PrintableText(text).c_str());
    else
        std::fprintf(stderr, "taldrex: %s (%s)\n", PrintableText(text).c_str(), PrintableText(detail).c_str());
    std::fflush(stderr);
    if (!ErrorBox)
        return;
    const std::string boxText = detail.empty() ? text : text + "\n\n" + detail;
    ErrorBox(caption, boxText.c_str());
}
