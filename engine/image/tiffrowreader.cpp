#include "tiffrowreader.h"

#include "decodinglimits.h"
#include "iccprofile.h"
#include "tiffhandle.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace folioset::image {

namespace {

bool jpegInYCbCr(const TiffDirectory &d)
{
    return d.compression == COMPRESSION_JPEG && d.photometric == PHOTOMETRIC_YCBCR;
}

ColorSpace colorSpaceOf(const TiffDirectory &d)
{
    switch (d.photometric) {
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_YCBCR:
        return ColorSpace::Rgb;
    case PHOTOMETRIC_SEPARATED:
        return ColorSpace::Cmyk;
    case PHOTOMETRIC_PALETTE:
        return ColorSpace::Indexed;
    default:
        return ColorSpace::Gray;
    }
}

template <typename Sample> void store(unsigned char *row, std::size_t index, unsigned value)
{
    if constexpr (sizeof(Sample) == 1)
        row[index] = static_cast<unsigned char>(value);
    else
        qToBigEndian(quint16(value), row + 2 * index);
}

// Colour samples and alpha apart, 16-bit ones big-endian; premultiplied colour divided back.
template <typename Sample>
void split(const unsigned char *in, int width, int samples, int colours, bool hasAlpha,
           bool associated, unsigned char *colour, unsigned char *alpha)
{
    constexpr std::uint64_t max = (std::uint64_t(1) << (8 * sizeof(Sample))) - 1;
    const auto *pixels = reinterpret_cast<const Sample *>(in);
    for (int x = 0; x < width; ++x) {
        const Sample *p = pixels + std::size_t(x) * std::size_t(samples);
        const std::uint64_t a = hasAlpha ? p[colours] : max;
        for (int c = 0; c < colours; ++c) {
            std::uint64_t v = p[c];
            if (associated)
                v = a == 0 ? 0 : std::min(max, (v * max + a / 2) / a);
            store<Sample>(colour, std::size_t(x) * std::size_t(colours) + std::size_t(c),
                          unsigned(v));
        }
        if (alpha)
            store<Sample>(alpha, std::size_t(x), unsigned(a));
    }
}

std::unique_ptr<TiffHandle> openPage(const QString &path, int page, const TiffDirectory &d,
                                     QString *reason)
{
    auto handle = TiffHandle::openFile(path, kMaxHeldBytes, reason);
    if (!handle)
        return nullptr;
    if (!TIFFSetDirectory(handle->get(), tdir_t(page))) {
        if (reason)
            *reason =
                handle->error(QStringLiteral("Unable to find page %1 of the image").arg(page + 1));
        return nullptr;
    }
    // libjpeg turns YCbCr into RGB, the way a PDF reader turns it when showing a JPEG.
    if (jpegInYCbCr(d))
        TIFFSetField(handle->get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    handle->clearMessages();
    return handle;
}

} // namespace

TiffRowReader::~TiffRowReader() = default;

bool TiffRowReader::reads(const TiffDirectory &d)
{
    if (d.sampleFormat != SAMPLEFORMAT_UINT && d.sampleFormat != SAMPLEFORMAT_VOID)
        return false;
    if (d.compression == COMPRESSION_OJPEG)
        return false;
    const int bits = d.bitsPerSample;
    const bool whole = bits == 8 || bits == 16;
    const bool packed = bits == 1 || bits == 2 || bits == 4 || bits == 8;
    // Sub-byte samples are taken only when they need no rearranging: one plane, nothing to
    // leave out.
    const bool plain = d.extraSamples == 0 && (d.planar == PLANARCONFIG_CONTIG || d.colours() == 1);
    if (!whole && !(packed && plain))
        return false;
    switch (d.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        return d.colours() == 1;
    case PHOTOMETRIC_RGB:
        return d.colours() == 3;
    case PHOTOMETRIC_PALETTE:
        return d.colours() == 1 && plain && packed && d.palette.size() == 3 * (1 << bits);
    case PHOTOMETRIC_SEPARATED:
        return d.colours() == 4 && d.inkSet == INKSET_CMYK;
    case PHOTOMETRIC_YCBCR:
        return jpegInYCbCr(d) && bits == 8 && d.colours() == 3;
    default:
        return false;
    }
}

std::unique_ptr<TiffRowReader> TiffRowReader::open(const QString &path, int page,
                                                   const TiffDirectory &d, QString *reason)
{
    auto reader = std::unique_ptr<TiffRowReader>(new TiffRowReader);
    reader->m_dir = d;
    reader->m_samples = d.samplesPerPixel;
    RowFormat &f = reader->m_format;
    f.width = int(d.width);
    f.height = int(d.height);
    f.colorSpace = colorSpaceOf(d);
    f.bitsPerComponent = d.bitsPerSample;
    f.palette = d.palette;
    f.invertedDecode = d.photometric == PHOTOMETRIC_MINISWHITE;
    f.alphaBits = d.alpha != TiffDirectory::Alpha::None ? d.bitsPerSample : 0;
    f.iccProfile =
        checkedIccProfile(d.iccProfile, f.colorSpace == ColorSpace::Indexed ? 3 : f.components());

    const bool planes = d.planar == PLANARCONFIG_SEPARATE && d.samplesPerPixel > 1;
    // Strips of separate planes are read each with a handle of its own, in step, so that no
    // plane has to be held whole while another is read.
    const int handles = planes && !d.tiled ? d.colours() + (f.alphaBits > 0 ? 1 : 0) : 1;
    for (int i = 0; i < handles; ++i) {
        auto handle = openPage(path, page, d, reason);
        if (!handle)
            return nullptr;
        reader->m_handles.push_back(std::move(handle));
    }
    TIFF *tiff = reader->m_handles.front()->get();
    reader->m_rowBytes =
        (std::size_t(d.width) * std::size_t(d.samplesPerPixel) * d.bitsPerSample + 7) / 8;
    std::uint64_t held = d.largestChunk(tiff) * std::uint64_t(handles) + 2 * reader->m_rowBytes;
    if (d.tiled) {
        held += std::uint64_t(d.tileHeight) * reader->m_rowBytes + TIFFTileSize64(tiff);
    }
    if (!reader->fitsLimit(held, reason))
        return nullptr;
    reader->m_row.resize(reader->m_rowBytes);
    if (d.tiled) {
        reader->m_band.resize(std::size_t(d.tileHeight) * reader->m_rowBytes);
        reader->m_tile.resize(std::size_t(TIFFTileSize64(tiff)));
    } else if (planes) {
        reader->m_plane.resize(std::size_t(TIFFScanlineSize64(tiff)));
    }
    return reader;
}

bool TiffRowReader::loadBand(QString *reason)
{
    TIFF *tiff = m_handles.front()->get();
    const TiffDirectory &d = m_dir;
    m_bandFirst = m_y - m_y % int(d.tileHeight);
    const int rows = std::min(int(d.tileHeight), int(d.height) - m_bandFirst);
    const bool planes = d.planar == PLANARCONFIG_SEPARATE && d.samplesPerPixel > 1;
    const std::size_t sampleBytes = std::max(1, d.bitsPerSample / 8);
    const int needed = planes ? m_format.components() + (m_format.alphaBits > 0 ? 1 : 0) : 1;
    for (std::uint32_t x0 = 0; x0 < d.width; x0 += d.tileWidth) {
        const std::uint32_t columns = std::min(d.tileWidth, d.width - x0);
        for (int s = 0; s < needed; ++s) {
            if (TIFFReadTile(tiff, m_tile.data(), x0, std::uint32_t(m_bandFirst), 0,
                             std::uint16_t(s)) < 0 ||
                m_handles.front()->reportedTrouble()) {
                if (reason)
                    *reason =
                        m_handles.front()->error(QStringLiteral("Unable to decode the image"));
                return false;
            }
            for (int r = 0; r < rows; ++r) {
                unsigned char *out = m_band.data() + std::size_t(r) * m_rowBytes;
                if (!planes) {
                    const std::size_t tileRow = std::size_t(TIFFTileRowSize64(tiff));
                    const std::size_t offset =
                        std::size_t(x0) * d.samplesPerPixel * d.bitsPerSample / 8;
                    const std::size_t length =
                        (std::size_t(columns) * d.samplesPerPixel * d.bitsPerSample + 7) / 8;
                    std::memcpy(out + offset, m_tile.data() + std::size_t(r) * tileRow, length);
                    continue;
                }
                const unsigned char *in =
                    m_tile.data() + std::size_t(r) * d.tileWidth * sampleBytes;
                for (std::uint32_t i = 0; i < columns; ++i)
                    std::memcpy(out + ((x0 + i) * d.samplesPerPixel + std::size_t(s)) * sampleBytes,
                                in + i * sampleBytes, sampleBytes);
            }
        }
    }
    return true;
}

const unsigned char *TiffRowReader::fetch(QString *reason)
{
    const TiffDirectory &d = m_dir;
    if (d.tiled) {
        if (m_bandFirst < 0 || m_y >= m_bandFirst + int(d.tileHeight)) {
            if (!loadBand(reason))
                return nullptr;
        }
        return m_band.data() + std::size_t(m_y - m_bandFirst) * m_rowBytes;
    }
    const auto failed = [&](const TiffHandle &handle) -> const unsigned char * {
        if (reason)
            *reason = handle.error(QStringLiteral("Unable to decode the image"));
        return nullptr;
    };
    if (m_handles.size() == 1) {
        TiffHandle &handle = *m_handles.front();
        if (TIFFReadScanline(handle.get(), m_row.data(), std::uint32_t(m_y), 0) < 0 ||
            handle.reportedTrouble())
            return failed(handle);
        return m_row.data();
    }
    const std::size_t sampleBytes = std::size_t(d.bitsPerSample / 8);
    for (std::size_t s = 0; s < m_handles.size(); ++s) {
        if (TIFFReadScanline(m_handles[s]->get(), m_plane.data(), std::uint32_t(m_y),
                             std::uint16_t(s)) < 0 ||
            m_handles[s]->reportedTrouble())
            return failed(*m_handles[s]);
        for (std::uint32_t x = 0; x < d.width; ++x)
            std::memcpy(m_row.data() + (x * d.samplesPerPixel + s) * sampleBytes,
                        m_plane.data() + x * sampleBytes, sampleBytes);
    }
    return m_row.data();
}

void TiffRowReader::convert(const unsigned char *samples, unsigned char *colour,
                            unsigned char *alpha) const
{
    const int colours = m_format.components();
    if (m_dir.bitsPerSample < 8 || (m_dir.bitsPerSample == 8 && m_samples == colours)) {
        std::memcpy(colour, samples, m_format.colourRowBytes());
        return;
    }
    const bool hasAlpha = m_format.alphaBits > 0;
    const bool associated = m_dir.alpha == TiffDirectory::Alpha::Associated;
    if (m_dir.bitsPerSample == 16)
        split<std::uint16_t>(samples, m_format.width, m_samples, colours, hasAlpha, associated,
                             colour, alpha);
    else
        split<std::uint8_t>(samples, m_format.width, m_samples, colours, hasAlpha, associated,
                            colour, alpha);
}

bool TiffRowReader::readRow(unsigned char *colour, unsigned char *alpha, QString *reason)
{
    if (m_y >= m_format.height) {
        if (reason)
            *reason = QStringLiteral("The image has no more rows");
        return false;
    }
    const unsigned char *samples = fetch(reason);
    if (!samples)
        return false;
    convert(samples, colour, alpha);
    ++m_y;
    return true;
}

} // namespace folioset::image
