#include "pagelayout.h"

#include <cmath>

namespace folioset::pdf {

PageLayout layoutPage(int pixelWidth, int pixelHeight, image::Resolution resolution,
                      int orientation)
{
    const image::Resolution dpi = resolution.isKnown() ? resolution : image::Resolution{72, 72};
    // The image's size in its stored orientation, to the four decimals written, rounded down: a
    // reader that renders at the image's resolution and takes the ceiling of size times
    // resolution would otherwise add a row or a column of paper (32 pixels at 101.6 dpi are
    // 22.677165 points, written 22.6772, which gives 33).
    const auto writable = [](double points) { return std::floor(points * 1e4 + 1e-6) / 1e4; };
    const double w = writable(pixelWidth * 72.0 / dpi.x);
    const double h = writable(pixelHeight * 72.0 / dpi.y);

    PageLayout layout{w, h, 0, {w, 0, 0, h, 0, 0}};
    // The image space's (0,0) is the stored image's bottom-left corner, (0,1) its first pixel.
    switch (orientation) {
    case 2: // mirrored left to right
        layout.matrix = {-w, 0, 0, h, w, 0};
        break;
    case 3:
        layout.rotate = 180;
        break;
    case 4: // mirrored top to bottom
        layout.matrix = {w, 0, 0, -h, 0, h};
        break;
    case 5: // transposed: stored rows become columns, the first row on the left
        layout = {h, w, 0, {0, -w, -h, 0, h, w}};
        break;
    case 6:
        layout.rotate = 90;
        break;
    case 7: // transposed the other way: the first row on the right, read from the bottom
        layout = {h, w, 0, {0, w, h, 0, 0, 0}};
        break;
    case 8:
        layout.rotate = 270;
        break;
    default:
        break;
    }
    return layout;
}

} // namespace folioset::pdf
