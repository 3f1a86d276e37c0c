#include "qimagerowreader.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace folioset::image {

namespace {

void appendRgb(QByteArray &palette, QRgb c)
{
    palette.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
}

bool opaque(const QList<QRgb> &table)
{
    return std::all_of(table.begin(), table.end(), [](QRgb c) { return qAlpha(c) == 255; });
}

} // namespace

QImageRowReader::QImageRowReader(const QImage &image)
{
    RowFormat &f = m_format;
    f.width = image.width();
    f.height = image.height();
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8: {
        m_image = image.convertToFormat(QImage::Format_Indexed8);
        m_kind = Kind::Packed;
        m_table = m_image.colorTable();
        int highest = 0;
        for (int y = 0; y < m_image.height(); ++y) {
            const uchar *line = m_image.constScanLine(y);
            highest = std::max<int>(highest, *std::max_element(line, line + m_image.width()));
        }
        while (m_table.size() <= highest)
            m_table.append(qRgb(0, 0, 0));
        const int entries = int(m_table.size());
        f.bitsPerComponent = entries <= 2 ? 1 : entries <= 4 ? 2 : entries <= 16 ? 4 : 8;
        f.alphaBits = opaque(m_table) ? 0 : 8;
        const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
        if (entries == 2 && f.alphaBits == 0 && m_table[0] == black && m_table[1] == white) {
            f.colorSpace = ColorSpace::Gray;
        } else if (entries == 2 && f.alphaBits == 0 && m_table[0] == white && m_table[1] == black) {
            f.colorSpace = ColorSpace::Gray;
            f.invertedDecode = true;
        } else {
            f.colorSpace = ColorSpace::Indexed;
            for (const QRgb c : std::as_const(m_table))
                appendRgb(f.palette, c);
        }
        break;
    }
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        m_image = image;
        m_kind = Kind::Gray;
        f.bitsPerComponent = image.format() == QImage::Format_Grayscale16 ? 16 : 8;
        break;
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        m_image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGBA64) : image;
        m_kind = Kind::Rgb16;
        f.colorSpace = ColorSpace::Rgb;
        f.bitsPerComponent = 16;
        f.alphaBits = image.hasAlphaChannel() ? 16 : 0;
        break;
    default:
        m_image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                : QImage::Format_RGB32);
        m_kind = Kind::Rgb8;
        f.colorSpace = ColorSpace::Rgb;
        f.alphaBits = image.hasAlphaChannel() ? 8 : 0;
        break;
    }
}

bool QImageRowReader::readRow(unsigned char *colour, unsigned char *alpha, QString *reason)
{
    if (m_y >= m_image.height()) {
        if (reason)
            *reason = QStringLiteral("The image has no more rows");
        return false;
    }
    const int width = m_image.width();
    const uchar *line = m_image.constScanLine(m_y++);
    switch (m_kind) {
    case Kind::Packed: {
        const int bits = m_format.bitsPerComponent;
        const std::size_t rowBytes = m_format.colourRowBytes();
        std::memset(colour, 0, rowBytes);
        for (int x = 0; x < width; ++x) {
            const int bit = x * bits;
            colour[bit / 8] |= static_cast<unsigned char>(line[x] << (8 - bits - bit % 8));
            if (alpha)
                alpha[x] = static_cast<unsigned char>(qAlpha(m_table.at(line[x])));
        }
        break;
    }
    case Kind::Gray:
        if (m_format.bitsPerComponent == 8) {
            std::memcpy(colour, line, std::size_t(width));
        } else {
            const auto *wide = reinterpret_cast<const quint16 *>(line);
            for (int x = 0; x < width; ++x)
                qToBigEndian(wide[x], colour + 2 * x);
        }
        break;
    case Kind::Rgb16: {
        const auto *pixels = reinterpret_cast<const QRgba64 *>(line);
        for (int x = 0; x < width; ++x) {
            qToBigEndian(pixels[x].red(), colour + 6 * x);
            qToBigEndian(pixels[x].green(), colour + 6 * x + 2);
            qToBigEndian(pixels[x].blue(), colour + 6 * x + 4);
            if (alpha)
                qToBigEndian(pixels[x].alpha(), alpha + 2 * x);
        }
        break;
    }
    case Kind::Rgb8: {
        const auto *pixels = reinterpret_cast<const QRgb *>(line);
        for (int x = 0; x < width; ++x) {
            colour[3 * x] = static_cast<unsigned char>(qRed(pixels[x]));
            colour[3 * x + 1] = static_cast<unsigned char>(qGreen(pixels[x]));
            colour[3 * x + 2] = static_cast<unsigned char>(qBlue(pixels[x]));
            if (alpha)
                alpha[x] = static_cast<unsigned char>(qAlpha(pixels[x]));
        }
        break;
    }
    }
    return true;
}

} // namespace folioset::image
