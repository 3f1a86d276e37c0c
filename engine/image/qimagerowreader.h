#pragma once

#include "rowreader.h"

#include <QImage>

namespace folioset::image {

// Rows of an image Qt decoded whole, for the formats the program has no reader of its own for.
// The PDF form is the one closest to the image's own: 1-bit stays 1-bit, palettes stay palettes
// (packed to 1, 2 or 4 bits when they fit), gray stays gray, 16 bits per channel stay 16 bits.
class QImageRowReader final : public RowReader
{
public:
    explicit QImageRowReader(const QImage &image);

    bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) override;

private:
    enum class Kind {
        Packed, // 1-bit or palette indices
        Gray,
        Rgb8,
        Rgb16
    };
    QImage m_image;
    Kind m_kind = Kind::Rgb8;
    QList<QRgb> m_table;
    int m_y = 0;
};

} // namespace folioset::image
