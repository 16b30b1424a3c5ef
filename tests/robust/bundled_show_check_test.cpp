// The bundled show passes its own check: every problem the checker reports is one a maker
// would have to fix, and the show the build makes has none.
#include "damage.h"
#include "support/missing.h"

#include "demo/check.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

TEST(BundledShowCheck, FindsNoProblem)
{
    const std::string folder = bundledShowFolder();
    if (!std::filesystem::exists(folder + "/script.txt"))
        SKIP_FOR_MISSING("the bundled show has not been built");
    DataFolder show;
    std::string problem;
    ASSERT_TRUE(show.open(folder, true, problem)) << problem;
    std::vector<CheckProblem> problems = CheckDemoFolder(show);
    for (const CheckProblem& p : problems)
        ADD_FAILURE() << p.file << ": " << p.problem;
}
