#include "player/command_line.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CommandLine, TextureMemoryIsGivenInMebibytesAndDefaultsToTwoGibibytes)
{
    auto parse = [](std::vector<const char*> args, CommandLine& options) {
        args.insert(args.begin(), "taldrex");
        return parseCommandLine(static_cast<int>(args.size()), args.data(), options);
    };
    CommandLine defaults;
    EXPECT_FALSE(parse({"show"}, defaults).has_value());
    EXPECT_EQ(defaults.textureMemoryMb << 20, DefaultTextureMemory);

    CommandLine small;
    EXPECT_FALSE(parse({"--texture-memory", "64", "--check", "show"}, small).has_value());
    EXPECT_EQ(small.textureMemoryMb, 64);

    for (const char* bad : {"0", "-5", "lots"}) {
        CommandLine options;
        EXPECT_EQ(parse({"--texture-memory", bad}, options), 2) << bad;
    }
}
