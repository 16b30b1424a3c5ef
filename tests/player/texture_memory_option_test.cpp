#include "player/command_line.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CommandLine, TextureMemoryIsGivenInMebibytesAndDefaultsToTheLesserOfTwoGibibytesAndAQuarterOfTheMachine)
{
    struct Case {
        long long machine, defaultMb;
    };
    const Case cases[] = {
        {0, 2048},             // unknown: the ceiling
        {24LL << 30, 2048},    // a quarter passes the ceiling
        {8LL << 30, 2048},     // a quarter is the ceiling
        {4LL << 30, 1024},     // a quarter
        {1LL << 30, 256},
        {3LL << 20, 1},        // at least a MiB
    };
    for (const Case& c : cases)
        EXPECT_EQ(DefaultTextureMemoryMb(c.machine), c.defaultMb) << c.machine;
    EXPECT_GT(MachineMemory(), 0);

    auto parse = [](std::vector<const char*> args, CommandLine& options) {
        args.insert(args.begin(), "taldrex");
        return parseCommandLine(static_cast<int>(args.size()), args.data(), options);
    };
    CommandLine defaults;
    EXPECT_FALSE(parse({"show"}, defaults).has_value());
    EXPECT_EQ(defaults.textureMemoryMb, DefaultTextureMemoryMb(MachineMemory()));

    CommandLine small;
    EXPECT_FALSE(parse({"--texture-memory", "64", "--check", "show"}, small).has_value());
    EXPECT_EQ(small.textureMemoryMb, 64);

    for (const char* bad : {"0", "-5", "lots"}) {
        CommandLine options;
        EXPECT_EQ(parse({"--texture-memory", bad}, options), 2) << bad;
    }
}
