#include "exif.h"

#include "resolution.h"

#include <cstdint>

namespace folioset::image {

namespace {

class TiffReader
{
public:
    TiffReader(const unsigned char *data, std::size_t size) : m_data(data), m_size(size) {}

    bool readByteOrder()
    {
        if (m_size < 8)
            return false;
        if (m_data[0] == 'I' && m_data[1] == 'I')
            m_little = true;
        else if (m_data[0] == 'M' && m_data[1] == 'M')
            m_little = false;
        else
            return false;
        return u16(2) == 42;
    }

    bool has(std::size_t offset, std::size_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }

    std::uint32_t u16(std::size_t at) const
    {
        const std::uint32_t a = m_data[at], b = m_data[at + 1];
        return m_little ? a | b << 8 : a << 8 | b;
    }

    std::uint32_t u32(std::size_t at) const
    {
        return m_little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    }

    // A RATIONAL entry's value, which always lives at the offset the entry holds.
    double rational(std::size_t entry) const
    {
        const std::size_t at = u32(entry + 8);
        if (!has(at, 8))
            return 0;
        const std::uint32_t den = u32(at + 4);
        return den == 0 ? 0 : double(u32(at)) / den;
    }

private:
    const unsigned char *m_data;
    std::size_t m_size;
    bool m_little = true;
};

constexpr std::uint32_t kTypeShort = 3;
constexpr std::uint32_t kTypeRational = 5;

} // namespace

ExifFacts parseExif(const unsigned char *tiff, std::size_t size)
{
    ExifFacts facts;
    TiffReader reader(tiff, size);
    if (!reader.readByteOrder())
        return facts;
    const std::size_t ifd = reader.u32(4);
    if (!reader.has(ifd, 2))
        return facts;
    const std::size_t count = reader.u16(ifd);
    double xres = 0, yres = 0;
    int unit = 2; // EXIF's default unit is the inch
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + i * 12;
        if (!reader.has(entry, 12))
            break;
        const std::uint32_t tag = reader.u16(entry);
        const std::uint32_t type = reader.u16(entry + 2);
        switch (tag) {
        case 0x0112:
            if (type == kTypeShort) {
                const int value = int(reader.u16(entry + 8));
                facts.orientation = value >= 1 && value <= 8 ? value : 1;
            }
            break;
        case 0x011A:
            if (type == kTypeRational)
                xres = reader.rational(entry);
            break;
        case 0x011B:
            if (type == kTypeRational)
                yres = reader.rational(entry);
            break;
        case 0x0128:
            if (type == kTypeShort)
                unit = int(reader.u16(entry + 8));
            break;
        default:
            break;
        }
    }
    const Resolution resolution{dpiFromTiffUnit(xres, unit), dpiFromTiffUnit(yres, unit)};
    if (resolution.isKnown())
        facts.resolution = resolution;
    return facts;
}

} // namespace folioset::image
