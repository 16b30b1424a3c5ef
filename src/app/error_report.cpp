#include "app/error_report.h"

#include <cstdio>

ErrorBoxFunction ErrorBox = nullptr;

void ReportError(const char* caption, const std::string& text, const std::string& detail)
{
    if (detail.empty())
        std::fprintf(stderr, "taldrex: %s\n", text.c_str());
    else
        std::fprintf(stderr, "taldrex: %s (%s)\n", text.c_str(), detail.c_str());
    std::fflush(stderr);
    if (!ErrorBox)
        return;
    const std::string boxText = detail.empty() ? text : text + "\n\n" + detail;
    ErrorBox(caption, boxText.c_str());
}
