#pragma once

#include "engine/image/embeddedimage.h"

#include <array>

namespace folioset::pdf {

// Where an image goes on its page, in points.
struct PageLayout
{
    double mediaWidth = 0;
    double mediaHeight = 0;
    int rotate = 0;                 // the page's /Rotate
    std::array<double, 6> matrix{}; // the image's `cm`, mapping the unit square onto the page
};

// A page exactly the size of the image at its resolution (72 dpi when unknown), showing it
// upright. Turns are left to /Rotate so the image stays as stored; mirrored orientations have
// no /Rotate equivalent and are drawn with a flipping matrix.
PageLayout layoutPage(int pixelWidth, int pixelHeight, image::Resolution resolution,
                      int orientation);

} // namespace folioset::pdf
