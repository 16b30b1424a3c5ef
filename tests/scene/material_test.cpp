// Material slots: the render-mode kind, the surface alpha and the texture names they name.
#include "scene/material.h"

#include <gtest/gtest.h>

TEST(Material, KindFollowsTheSurfaceEnvironmentAndUndrawableSlots)
{
    Material m("m");
    EXPECT_EQ(m.renderModeKind(), 1);
    EXPECT_EQ(m.alpha(), 1.0f);
    for (int slot : {0, 2, 3, 4, 5, 6, 7, 10})
        m.setMap(slot, "ignored.jpg", 0.3f);
    EXPECT_EQ(m.renderModeKind(), 1);
    EXPECT_EQ(m.alpha(), 1.0f);

    m.setMap(9, "env.jpg", 0.25f);
    EXPECT_EQ(m.renderModeKind(), 16);
    EXPECT_EQ(m.alpha(), 0.25f);
    m.setMap(1, "skin.jpg", 0.5f);
    EXPECT_EQ(m.renderModeKind(), 24);
    EXPECT_EQ(m.alpha(), 0.5f); // the surface slot's amount wins
    m.setMap(8, "odd.jpg", 1.0f);
    EXPECT_EQ(m.renderModeKind(), 88);
    EXPECT_EQ(m.drawnKind(), 24);

    Material undrawable("u");
    undrawable.setMap(8, "odd.jpg", 1.0f);
    EXPECT_EQ(undrawable.renderModeKind(), 64);
    EXPECT_EQ(undrawable.drawnKind(), 1);
}

TEST(Material, TextureNamesUseTheLowerCasedBaseNameWithBmpReadAsJpg)
{
    MaterialMap map{"Maps\\Sub\\Wood.BMP", 1.0f};
    EXPECT_EQ(map.textureName(), "wood.jpg");
    EXPECT_EQ(map.fallbackTextureName(), "wood.png");
    MaterialMap jpeg{"Logo.JPG", 1.0f};
    EXPECT_EQ(jpeg.textureName(), "logo.jpg");
    EXPECT_EQ(jpeg.fallbackTextureName(), "logo.png");
    MaterialMap other{"c:\\art\\sky.tga", 1.0f};
    EXPECT_EQ(other.textureName(), "sky.tga");
    EXPECT_EQ(other.fallbackTextureName(), "sky.tga");
    MaterialMap slashes{"a/b.bmp.bmp", 1.0f};
    EXPECT_EQ(slashes.textureName(), "a/b.jpg.jpg");
}
