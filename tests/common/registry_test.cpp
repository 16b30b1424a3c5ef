#include "common/registry.h"
#include "common/file_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

TEST(Registry, StoreReplacesAndKeysMatchExactly)
{
    Registry<unsigned> textures;
    textures.store("logo.png", 3);
    textures.store("logo.png", 7);
    textures.store("  logo.png", 9);
    EXPECT_EQ(textures.size(), 2);
    ASSERT_NE(textures.find("logo.png"), nullptr);
    EXPECT_EQ(*textures.find("logo.png"), 7u);
    EXPECT_EQ(*textures.find("  logo.png"), 9u);
    EXPECT_EQ(textures.find("Logo.png"), nullptr);
}

TEST(FilePath, BackslashesMapAndComponentsAreFoundIgnoringCase)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / "taldrex-path-test";
    fs::remove_all(dir);
    fs::create_directories(dir / "Data" / "Sub");
    std::ofstream(dir / "Data" / "Sub" / "Loading.JPG") << "x";
    std::ofstream(dir / "Data" / "Sub" / "intro.jpg") << "y";
    std::ofstream(dir / "Data" / "Sub" / "INTRO.JPG") << "y";
    std::ofstream(dir / "Data" / "  Logo.png") << "z";

    fs::path old = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(resolveDataPath("data\\sub\\LOADING.jpg"), "Data/Sub/Loading.JPG");
    EXPECT_EQ(resolveDataPath("data\\sub\\intro.jpg"), "Data/Sub/intro.jpg"); // exact wins
    EXPECT_EQ(resolveDataPath("data\\  logo.png"), "Data/  Logo.png");
    EXPECT_EQ(resolveDataPath("data\\missing\\a.png"), "Data/missing/a.png");
    EXPECT_EQ(resolveDataPath((dir / "DATA" / "sub" / "loading.JPG").string()),
              (dir / "Data" / "Sub" / "Loading.JPG").string());
    fs::current_path(old);
    fs::remove_all(dir);
}
