#include "bmprowreader.h"

#include <QtEndian>

#include <bit>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace folioset::image {

namespace {

struct Channel
{
    int shift = 0;
    int bits = 0;
    std::uint32_t max = 0;
};

Channel channelOf(std::uint32_t mask)
{
    if (mask == 0)
        return {};
    const int shift = std::countr_zero(mask);
    const int bits = std::bit_width(mask >> shift);
    return {shift, bits, std::uint32_t((std::uint64_t(1) << bits) - 1)};
}

// `value` of a channel scaled to `bits`, rounded: 31 of 5 bits is 255 of 8.
unsigned scaled(std::uint32_t pixel, const Channel &c, int bits)
{
    if (c.bits == 0)
        return 0;
    const std::uint64_t value = (pixel >> c.shift) & c.max;
    if (c.bits == bits)
        return unsigned(value);
    const std::uint64_t max = (std::uint64_t(1) << bits) - 1;
    return unsigned((value * max + c.max / 2) / c.max);
}

void put(unsigned char *row, std::size_t index, unsigned value, int bits)
{
    if (bits == 16)
        qToBigEndian(quint16(value), row + 2 * index);
    else
        row[index] = static_cast<unsigned char>(value);
}

// Entry i is gray at i / (entries - 1) of full scale: the indices are gray levels.
bool isGrayRamp(const QByteArray &palette, int bits)
{
    const int entries = 1 << bits;
    if (palette.size() != 3 * entries)
        return false;
    for (int i = 0; i < entries; ++i) {
        const char level = char(i * 255 / (entries - 1));
        if (palette[3 * i] != level || palette[3 * i + 1] != level || palette[3 * i + 2] != level)
            return false;
    }
    return true;
}

QString truncated()
{
    return QStringLiteral("The BMP file is truncated");
}

} // namespace

// Reads the file forward through a small window, for walking run-length data.
class BmpRowReader::Bytes
{
public:
    explicit Bytes(int fd) : m_fd(fd) {}

    void seek(std::uint64_t offset)
    {
        m_start = offset;
        m_pos = m_length = 0;
    }
    std::uint64_t position() const { return m_start + m_pos; }

    bool next(unsigned char *byte)
    {
        if (m_pos == m_length) {
            m_start += m_length;
            m_pos = m_length = 0;
            ssize_t got;
            do {
                got = ::pread(m_fd, m_buffer, sizeof m_buffer, off_t(m_start));
            } while (got < 0 && errno == EINTR);
            if (got <= 0)
                return false;
            m_length = std::size_t(got);
        }
        *byte = m_buffer[m_pos++];
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_start = 0;
    std::size_t m_pos = 0;
    std::size_t m_length = 0;
    unsigned char m_buffer[16 * 1024];
};

BmpRowReader::BmpRowReader(const BmpHeader &header) : m_header(header)
{
    RowFormat &f = m_format;
    f.width = header.width;
    f.height = header.height;
    const int bits = header.bitsPerPixel;
    if (header.coding == BmpHeader::Coding::Bitfields) {
        const auto &m = header.masks;
        const bool wide =
            channelOf(m[0]).bits > 8 || channelOf(m[1]).bits > 8 || channelOf(m[2]).bits > 8;
        f.colorSpace = ColorSpace::Rgb;
        f.bitsPerComponent = wide ? 16 : 8;
        f.alphaBits = m[3] == 0 ? 0 : channelOf(m[3]).bits > 8 ? 16 : 8;
    } else if (bits == 24) {
        f.colorSpace = ColorSpace::Rgb;
    } else {
        f.bitsPerComponent = bits;
        QByteArray palette = header.palette;
        palette.resize(3 * (1 << bits), '\0'); // indices past the palette show black
        const QByteArray whiteBlack("\xFF\xFF\xFF\0\0\0", 6);
        if (isGrayRamp(palette, bits)) {
            f.colorSpace = ColorSpace::Gray;
        } else if (bits == 1 && palette == whiteBlack) {
            f.colorSpace = ColorSpace::Gray;
            f.invertedDecode = true;
        } else {
            f.colorSpace = ColorSpace::Indexed;
            f.palette = palette;
        }
    }
}

BmpRowReader::~BmpRowReader() = default;

std::unique_ptr<BmpRowReader> BmpRowReader::open(const QString &path, const BmpHeader &header,
                                                 QString *reason)
{
    auto reader = std::unique_ptr<BmpRowReader>(new BmpRowReader(header));
    if (!openFile(reader->m_file, path, reason))
        return nullptr;
    reader->m_bytes = std::make_unique<Bytes>(reader->m_file.handle());
    reader->m_stored.resize(std::size_t(header.rowBytes()));
    const bool runs =
        header.coding == BmpHeader::Coding::Rle8 || header.coding == BmpHeader::Coding::Rle4;
    if (runs && !reader->indexRuns(reason))
        return nullptr;
    return reader;
}

// Run-length rows end with an end-of-line code; a delta code jumps right and down, leaving
// the pixels it passes at index 0.
bool BmpRowReader::indexRuns(QString *reason)
{
    const bool four = m_header.coding == BmpHeader::Coding::Rle4;
    m_runs.assign(std::size_t(m_header.height), {});
    Bytes &in = *m_bytes;
    in.seek(m_header.dataOffset);
    int row = 0, x = 0;
    m_runs[0] = {in.position(), 0};
    const auto fail = [reason] {
        if (reason)
            *reason = truncated();
        return false;
    };
    for (;;) {
        unsigned char count = 0, code = 0;
        if (!in.next(&count) || !in.next(&code))
            return fail();
        if (count > 0) {
            x += count;
            continue;
        }
        if (code == 1)
            return true;
        if (code == 0 || code == 2) {
            unsigned char dx = 0, dy = 0;
            if (code == 2 && (!in.next(&dx) || !in.next(&dy)))
                return fail();
            row += code == 0 ? 1 : dy;
            x = code == 0 ? 0 : x + dx;
            if (row >= m_header.height)
                return true;
            if (code == 0 || dy > 0)
                m_runs[std::size_t(row)] = {in.position(), x};
            continue;
        }
        const int bytes = four ? (code + 1) / 2 : code;
        unsigned char skipped = 0;
        for (int i = 0; i < bytes + bytes % 2; ++i) {
            if (!in.next(&skipped))
                return fail();
        }
    }
}

bool BmpRowReader::decodeRuns(int storedRow, unsigned char *indices, QString *reason)
{
    const bool four = m_header.coding == BmpHeader::Coding::Rle4;
    const int width = m_header.width;
    std::memset(indices, 0, m_format.colourRowBytes());
    const RunStart start = m_runs[std::size_t(storedRow)];
    if (start.offset == 0)
        return true;
    Bytes &in = *m_bytes;
    in.seek(start.offset);
    int x = start.x;
    const auto set = [&](unsigned value) {
        if (x < width) {
            if (four)
                indices[x / 2] |= static_cast<unsigned char>(value << (x % 2 ? 0 : 4));
            else
                indices[x] = static_cast<unsigned char>(value);
        }
        ++x;
    };
    for (;;) {
        unsigned char count = 0, code = 0;
        if (!in.next(&count) || !in.next(&code)) {
            if (reason)
                *reason = truncated();
            return false;
        }
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                set(four ? (i % 2 ? code & 0x0F : code >> 4) : code);
            continue;
        }
        if (code == 0 || code == 1)
            return true;
        if (code == 2) {
            unsigned char dx = 0, dy = 0;
            if (!in.next(&dx) || !in.next(&dy))
                return false;
            if (dy > 0)
                return true;
            x += dx;
            continue;
        }
        const int bytes = four ? (code + 1) / 2 : code;
        for (int i = 0; i < bytes + bytes % 2; ++i) {
            unsigned char byte = 0;
            if (!in.next(&byte)) {
                if (reason)
                    *reason = truncated();
                return false;
            }
            if (i >= bytes)
                continue;
            if (!four) {
                set(byte);
                continue;
            }
            set(byte >> 4);
            if (2 * i + 1 < code)
                set(byte & 0x0F);
        }
    }
}

void BmpRowReader::convertMasked(const unsigned char *stored, unsigned char *colour,
                                 unsigned char *alpha) const
{
    const auto &m = m_header.masks;
    const Channel red = channelOf(m[0]), green = channelOf(m[1]), blue = channelOf(m[2]),
                  opacity = channelOf(m[3]);
    const int bits = m_format.bitsPerComponent;
    const bool sixteen = m_header.bitsPerPixel == 16;
    for (int x = 0; x < m_header.width; ++x) {
        const std::uint32_t pixel = sixteen ? qFromLittleEndian<quint16>(stored + 2 * x)
                                            : qFromLittleEndian<quint32>(stored + 4 * x);
        put(colour, std::size_t(3 * x), scaled(pixel, red, bits), bits);
        put(colour, std::size_t(3 * x + 1), scaled(pixel, green, bits), bits);
        put(colour, std::size_t(3 * x + 2), scaled(pixel, blue, bits), bits);
        if (alpha)
            put(alpha, std::size_t(x), scaled(pixel, opacity, m_format.alphaBits),
                m_format.alphaBits);
    }
}

bool BmpRowReader::readRow(unsigned char *colour, unsigned char *alpha, QString *reason)
{
    if (m_y >= m_header.height) {
        if (reason)
            *reason = QStringLiteral("The image has no more rows");
        return false;
    }
    const int storedRow = m_header.topDown ? m_y : m_header.height - 1 - m_y;
    ++m_y;
    if (!m_runs.empty())
        return decodeRuns(storedRow, colour, reason);

    const std::uint64_t offset = m_header.dataOffset + std::uint64_t(storedRow) * m_stored.size();
    for (std::size_t done = 0; done < m_stored.size();) {
        const ssize_t got = ::pread(m_file.handle(), m_stored.data() + done, m_stored.size() - done,
                                    off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (reason)
                *reason = truncated();
            return false;
        }
        done += std::size_t(got);
    }
    if (m_header.coding == BmpHeader::Coding::Bitfields) {
        convertMasked(m_stored.data(), colour, alpha);
    } else if (m_header.bitsPerPixel == 24) {
        for (int x = 0; x < m_header.width; ++x) {
            colour[3 * x] = m_stored[std::size_t(3 * x + 2)];
            colour[3 * x + 1] = m_stored[std::size_t(3 * x + 1)];
            colour[3 * x + 2] = m_stored[std::size_t(3 * x)];
        }
    } else {
        std::memcpy(colour, m_stored.data(), m_format.colourRowBytes());
    }
    return true;
}

} // namespace folioset::image
