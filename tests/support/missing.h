// Tests that need something of the machine (an OpenGL context, the bundled show, a tool)
// skip where it is missing, naming it; under CI (the CI variable set) the same test fails
// instead, so that an install step that did not run cannot turn tests green.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

// True when the CI variable is set to anything but "", "0" or "false".
inline bool RunningUnderCi()
{
    const char* ci = std::getenv("CI");
    return ci && *ci && std::strcmp(ci, "0") != 0 && std::strcmp(ci, "false") != 0;
}

// Ends the current test because what is missing; a skip outside CI, a failure under it.
#define SKIP_FOR_MISSING(what)                                              \
    do {                                                                    \
        if (RunningUnderCi())                                               \
            FAIL() << "missing under CI: " << what;                         \
        GTEST_SKIP() << what;                                               \
    } while (0)
