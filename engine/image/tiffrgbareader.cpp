#include "tiffrgbareader.h"

#include "decodinglimits.h"
#include "iccprofile.h"
#include "tiffhandle.h"

#include <algorithm>

namespace folioset::image {

struct TiffRgbaReader::Image
{
    TIFFRGBAImage rgba{};
    bool begun = false;
    ~Image()
    {
        if (begun)
            TIFFRGBAImageEnd(&rgba);
    }
};

TiffRgbaReader::TiffRgbaReader() : m_image(std::make_unique<Image>()) {}

TiffRgbaReader::~TiffRgbaReader()
{
    m_image.reset(); // before the handle it reads from
}

std::unique_ptr<TiffRgbaReader> TiffRgbaReader::open(const QString &path, int page,
                                                     const TiffDirectory &d, QString *reason)
{
    auto reader = std::unique_ptr<TiffRgbaReader>(new TiffRgbaReader);
    reader->m_handle = TiffHandle::openFile(path, kMaxHeldBytes, reason);
    if (!reader->m_handle)
        return nullptr;
    TIFF *tiff = reader->m_handle->get();
    char message[1024] = {};
    if (!TIFFSetDirectory(tiff, tdir_t(page)) || !TIFFRGBAImageOK(tiff, message) ||
        !TIFFRGBAImageBegin(&reader->m_image->rgba, tiff, 0, message)) {
        if (reason)
            *reason = message[0] ? QStringLiteral("Unsupported TIFF layout (%1)")
                                       .arg(QString::fromLocal8Bit(message))
                                 : reader->m_handle->error(QStringLiteral("Unable to read the "
                                                                          "image"));
        return nullptr;
    }
    reader->m_image->begun = true;
    // Rows in the order they are stored: the page turns the image by its orientation tag.
    reader->m_image->rgba.req_orientation = std::uint16_t(d.orientation);

    std::uint32_t rowsPerStrip = d.height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    reader->m_bandRows =
        int(std::clamp<std::uint32_t>(d.tiled ? d.tileHeight : rowsPerStrip, 1, d.height));
    RowFormat &f = reader->m_format;
    f.width = int(d.width);
    f.height = int(d.height);
    f.colorSpace = ColorSpace::Rgb;
    f.alphaBits = reader->m_image->rgba.alpha != 0 ? 8 : 0;
    if (d.photometric == PHOTOMETRIC_RGB || d.photometric == PHOTOMETRIC_YCBCR)
        f.iccProfile = checkedIccProfile(d.iccProfile, 3);
    // libtiff decodes a whole strip or tile row into a buffer of its own besides the band.
    const std::uint64_t band = std::uint64_t(reader->m_bandRows) * d.width * 4;
    const std::uint64_t chunk = d.tiled ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff);
    if (!reader->fitsLimit(2 * band + chunk + d.largestChunk(tiff), reason))
        return nullptr;
    reader->m_band.resize(std::size_t(band / 4));
    return reader;
}

bool TiffRgbaReader::readRow(unsigned char *colour, unsigned char *alpha, QString *reason)
{
    const int height = m_format.height;
    if (m_y >= height) {
        if (reason)
            *reason = QStringLiteral("The image has no more rows");
        return false;
    }
    if (m_bandFirst < 0 || m_y >= m_bandFirst + m_bandRows) {
        m_bandFirst = m_y;
        TIFFRGBAImage &rgba = m_image->rgba;
        rgba.row_offset = m_bandFirst;
        rgba.col_offset = 0;
        const int rows = std::min(m_bandRows, height - m_bandFirst);
        if (!TIFFRGBAImageGet(&rgba, m_band.data(), rgba.width, std::uint32_t(rows)) ||
            m_handle->hasError()) {
            if (reason)
                *reason = m_handle->error(QStringLiteral("Unable to decode the image"));
            return false;
        }
    }
    const int width = m_format.width;
    const std::uint32_t *line = m_band.data() + std::size_t(m_y - m_bandFirst) * std::size_t(width);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = line[x];
        const unsigned a = TIFFGetA(p);
        // The interface hands out premultiplied colour whatever the file stores.
        const auto plain = [a](unsigned v) {
            return a == 0 ? 0u : std::min(255u, (v * 255 + a / 2) / a);
        };
        const bool divide = alpha && a != 255;
        colour[3 * x] = static_cast<unsigned char>(divide ? plain(TIFFGetR(p)) : TIFFGetR(p));
        colour[3 * x + 1] = static_cast<unsigned char>(divide ? plain(TIFFGetG(p)) : TIFFGetG(p));
        colour[3 * x + 2] = static_cast<unsigned char>(divide ? plain(TIFFGetB(p)) : TIFFGetB(p));
        if (alpha)
            alpha[x] = static_cast<unsigned char>(a);
    }
    ++m_y;
    return true;
}

} // namespace folioset::image
