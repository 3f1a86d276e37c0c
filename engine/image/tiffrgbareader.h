#pragma once

#include "rowreader.h"
#include "tiffdirectory.h"

#include <memory>
#include <vector>

namespace folioset::image {

class TiffHandle;

// A TIFF page in a layout the PDF has no form for (YCbCr without JPEG, CIE L*a*b*, LogLuv,
// old-style JPEG, odd sample sizes), turned into 8-bit RGB by libtiff's RGBA interface, a strip
// or a row of tiles at a time.
class TiffRgbaReader final : public RowReader
{
public:
    // nullptr, with libtiff's reason, when it cannot read the page either.
    static std::unique_ptr<TiffRgbaReader> open(const QString &path, int page,
                                                const TiffDirectory &directory, QString *reason);
    ~TiffRgbaReader() override;

    bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) override;

private:
    TiffRgbaReader();
    struct Image;
    std::unique_ptr<TiffHandle> m_handle;
    std::unique_ptr<Image> m_image;
    std::vector<std::uint32_t> m_band;
    int m_bandRows = 0;
    int m_bandFirst = -1;
    int m_y = 0;
};

} // namespace folioset::image
