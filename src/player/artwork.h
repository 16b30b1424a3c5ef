// The program's own pictures, drawn by code: the application icon and the dialog's title picture.
#pragma once

#include "desktop/window.h"

#include <vector>

constexpr int AppIconSize = WindowIconSize;
constexpr int TitlePictureWidth = 180;
constexpr int TitlePictureHeight = 186;

// The icon as size x size RGBA pixels, top row first: a ringed, lit sphere on a dark
// rounded tile, its edge smoothed over one pixel at any size.
std::vector<unsigned char> DrawAppIcon(int size = AppIconSize);

// The title picture as TitlePictureWidth x TitlePictureHeight RGB pixels, top row first:
// the product's name over a ringed sphere and a receding floor grid.
std::vector<unsigned char> DrawTitlePicture();
