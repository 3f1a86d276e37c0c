#include "pagelayout.h"

#include <algorithm>
#include <cmath>

namespace folioset::pdf {

namespace {

// A size to the four decimals written, rounded down: a reader that renders at the image's
// resolution and takes the ceiling of size times resolution would otherwise add a row or a
// column of paper (32 pixels at 101.6 dpi are 22.677165 points, written 22.6772, which gives 33).
double writable(double points)
{
    return std::floor(points * 1e4 + 1e-6) / 1e4;
}

bool transposes(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// Maps the unit square of the stored image, whose (0,0) is its bottom-left corner and (0,1) its
// first pixel, onto `r` so that the image shows upright there.
std::array<double, 6> uprightMatrix(const QRectF &r, int orientation)
{
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    switch (orientation) {
    case 2: // mirrored left to right
        return {-w, 0, 0, h, x + w, y};
    case 3: // upside down
        return {-w, 0, 0, -h, x + w, y + h};
    case 4: // mirrored top to bottom
        return {w, 0, 0, -h, x, y + h};
    case 5: // transposed: stored rows become columns, the first row on the left
        return {0, -h, -w, 0, x + w, y + h};
    case 6: // the first row on the right, read from the top
        return {0, -h, w, 0, x, y + h};
    case 7: // transposed the other way: the first row on the right, read from the bottom
        return {0, h, w, 0, x, y};
    case 8: // the first row on the left, read from the bottom
        return {0, h, -w, 0, x + w, y};
    default:
        return {w, 0, 0, h, x, y};
    }
}

// A page exactly the size of the image, turned by /Rotate where a turn will do.
PageLayout plainImagePage(double w, double h, int orientation)
{
    PageLayout layout{w, h, 0, {w, 0, 0, h, 0, 0}, {}, {}};
    switch (orientation) {
    case 2:
    case 4:
        layout.matrix = uprightMatrix(QRectF(0, 0, w, h), orientation);
        break;
    case 3:
        layout.rotate = 180;
        break;
    case 5:
    case 7:
        layout.mediaWidth = h;
        layout.mediaHeight = w;
        layout.matrix = uprightMatrix(QRectF(0, 0, h, w), orientation);
        break;
    case 6:
        layout.rotate = 90;
        break;
    case 8:
        layout.rotate = 270;
        break;
    default:
        break;
    }
    const bool turned = transposes(orientation);
    layout.placement = QRectF(0, 0, turned ? h : w, turned ? w : h);
    return layout;
}

// The image's upright size `natural` placed in `room` by `fit`, centred.
QRectF place(const QSizeF &natural, const QRectF &room, ImageFit fit)
{
    if (fit == ImageFit::Exact)
        return room;
    const double into = std::min(room.width() / natural.width(), room.height() / natural.height());
    double scale = into;
    if (fit == ImageFit::Fill)
        scale = std::max(room.width() / natural.width(), room.height() / natural.height());
    else if (fit == ImageFit::ShrinkOnly)
        scale = std::min(1.0, into);
    const QSizeF size = natural * scale;
    return QRectF(room.x() + (room.width() - size.width()) / 2,
                  room.y() + (room.height() - size.height()) / 2, size.width(), size.height());
}

} // namespace

PageLayout layoutPage(int pixelWidth, int pixelHeight, image::Resolution resolution,
                      int orientation, const PageSetup &setup)
{
    const image::Resolution dpi =
        resolution.isKnown() ? resolution : image::Resolution{setup.defaultDpi, setup.defaultDpi};
    // The image's size in its stored orientation, as it is written.
    const double w = writable(pixelWidth * 72.0 / dpi.x);
    const double h = writable(pixelHeight * 72.0 / dpi.y);
    if (setup.isPlainImagePage() || !(w > 0 && h > 0))
        return plainImagePage(w, h, orientation);

    const QSizeF natural = transposes(orientation) ? QSizeF(h, w) : QSizeF(w, h);
    const Margins &m = setup.margins;
    QSizeF page;
    if (setup.isImageSize()) {
        page = QSizeF(natural.width() + m.left + m.right, natural.height() + m.top + m.bottom);
    } else {
        const bool landscape =
            setup.orientation == PageOrientation::Landscape ||
            (setup.orientation == PageOrientation::Automatic && natural.width() > natural.height());
        page = landscape ? setup.portraitPaper().transposed() : setup.portraitPaper();
    }
    const QRectF room(m.left, m.bottom, page.width() - m.left - m.right,
                      page.height() - m.top - m.bottom);
    PageLayout layout;
    layout.mediaWidth = page.width();
    layout.mediaHeight = page.height();
    layout.placement =
        setup.isImageSize() ? QRectF(room.topLeft(), natural) : place(natural, room, setup.fit);
    layout.matrix = uprightMatrix(layout.placement, orientation);
    // Only fill overflows; a hair's breadth of rounding is no reason to cut.
    constexpr double tolerance = 1e-6;
    if (layout.placement.width() > room.width() + tolerance ||
        layout.placement.height() > room.height() + tolerance)
        layout.clip = room;
    return layout;
}

} // namespace folioset::pdf
