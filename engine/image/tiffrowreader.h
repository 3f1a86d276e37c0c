#pragma once

#include "rowreader.h"
#include "tiffdirectory.h"

#include <memory>
#include <vector>

namespace folioset::image {

class TiffHandle;

// A TIFF page's samples as stored, read with libtiff strip by strip (a scanline at a time) or a
// band of tiles at a time: gray and bilevel as such, palettes as palettes, RGB and CMYK at 8 or
// 16 bits, an alpha sample as a soft mask (premultiplied alpha un-premultiplied only where the
// file says it is associated). JPEG pages stored as YCbCr come out as RGB.
class TiffRowReader final : public RowReader
{
public:
    // Whether the page's layout is one this reader takes; others go through libtiff's RGBA
    // interface.
    static bool reads(const TiffDirectory &directory);
    // nullptr, with a reason, when the file cannot be read or the page would hold more than the
    // decoding limit.
    static std::unique_ptr<TiffRowReader> open(const QString &path, int page,
                                               const TiffDirectory &directory, QString *reason);
    ~TiffRowReader() override;

    bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) override;

private:
    TiffRowReader() = default;
    const unsigned char *fetch(QString *reason);
    bool loadBand(QString *reason);
    void convert(const unsigned char *samples, unsigned char *colour, unsigned char *alpha) const;

    TiffDirectory m_dir;
    int m_samples = 1;                                  // per pixel as libtiff hands them over
    std::vector<std::unique_ptr<TiffHandle>> m_handles; // one, or one per plane of a strip image
    std::vector<unsigned char> m_row;                   // one row, samples interleaved
    std::vector<unsigned char> m_plane;                 // one row of one plane
    std::vector<unsigned char> m_band;                  // tiled: a row of tiles
    std::vector<unsigned char> m_tile;
    std::size_t m_rowBytes = 0;
    int m_bandFirst = -1;
    int m_y = 0;
};

} // namespace folioset::image
