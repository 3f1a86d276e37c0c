#pragma once

#include "engine/image/embeddedimage.h"
#include "pagesetup.h"

#include <QRectF>

#include <array>

namespace folioset::pdf {

// Where an image goes on its page, in points.
struct PageLayout
{
    double mediaWidth = 0;
    double mediaHeight = 0;
    int rotate = 0;                 // the page's /Rotate
    std::array<double, 6> matrix{}; // the image's `cm`, mapping the unit square onto the page
    // The upright image's rectangle on the page as a viewer shows it, measured from the page's
    // bottom-left corner as PDF measures (so y grows upwards).
    QRectF placement;
    // The room inside the margins, to which drawing is cut when the image overflows it (fill);
    // empty when nothing is cut.
    QRectF clip;
};

// The page of an image of that pixel size, resolution (the setup's default when the file
// states none) and EXIF orientation, laid out by `setup`; the image always shows upright.
//
// On a page of the image's own size without margins, turns are left to /Rotate so the image
// stays as stored, and mirrored orientations, which have no /Rotate equivalent, are drawn with a
// flipping matrix. Every other page is drawn upright by its matrix alone: the page box is the
// paper as it is seen, so margins and bookmarks mean what they say.
PageLayout layoutPage(int pixelWidth, int pixelHeight, image::Resolution resolution,
                      int orientation, const PageSetup &setup = {});

} // namespace folioset::pdf
