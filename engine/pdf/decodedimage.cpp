#include "decodedimage.h"

#include "rowcompression.h"
#include "spillfile.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <functional>
#include <unordered_map>

namespace folioset::pdf {

namespace {

// Compresses `height` rows produced by `fill`, which may be called from several threads.
std::optional<EmbeddedImage> compress(EmbeddedImage image, SpillFile &spill, std::size_t rowBytes,
                                      bool predict, const RowSource &fill, QString *reason)
{
    const int bytesPerPixel =
        predict ? std::max(1, image.components() * image.bitsPerComponent / 8) : 0;
    const auto rows = compressRows({image.height, rowBytes, bytesPerPixel}, fill, spill, reason);
    if (!rows)
        return std::nullopt;
    image.filter = rows->predicted ? StreamFilter::FlatePredict : StreamFilter::Flate;
    image.origin.kind = StreamOrigin::Kind::SpillFile;
    image.origin.ranges = {rows->range};
    return image;
}

void appendRgb(QByteArray &palette, QRgb c)
{
    palette.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
}

EmbeddedImage blank(const QImage &image, ColorSpace space, int bits)
{
    EmbeddedImage e;
    e.width = image.width();
    e.height = image.height();
    e.colorSpace = space;
    e.bitsPerComponent = bits;
    return e;
}

// Alpha as an 8-bit DeviceGray soft mask; nothing when every pixel is opaque.
std::optional<EmbeddedImage> alphaMask8(const QImage &argb, SpillFile &spill, bool *failed,
                                        QString *reason)
{
    bool translucent = false;
    for (int y = 0; y < argb.height() && !translucent; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        translucent =
            std::any_of(line, line + argb.width(), [](QRgb p) { return qAlpha(p) != 255; });
    }
    if (!translucent)
        return std::nullopt;
    auto mask = compress(
        blank(argb, ColorSpace::Gray, 8), spill, std::size_t(argb.width()), false,
        [&](int y, unsigned char *row) {
            const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x)
                row[x] = static_cast<unsigned char>(qAlpha(line[x]));
        },
        reason);
    *failed = !mask;
    return mask;
}

std::optional<EmbeddedImage> embedMono(const QImage &source, SpillFile &spill, QString *reason)
{
    const QImage image = source.format() == QImage::Format_Mono
                             ? source
                             : source.convertToFormat(QImage::Format_Mono);
    const QList<QRgb> table = image.colorTable();
    const QRgb zero = table.value(0, qRgb(0, 0, 0));
    const QRgb one = table.value(1, qRgb(255, 255, 255));
    const bool opaque = qAlpha(zero) == 255 && qAlpha(one) == 255;
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    EmbeddedImage e = blank(image, ColorSpace::Gray, 1);
    if ((zero | 0xFF000000) == black && (one | 0xFF000000) == white) {
    } else if ((zero | 0xFF000000) == white && (one | 0xFF000000) == black) {
        e.invertedDecode = true;
    } else {
        e.colorSpace = ColorSpace::Indexed;
        for (const QRgb c : {zero, one})
            appendRgb(e.palette, c);
    }
    const std::size_t rowBytes = std::size_t(image.width() + 7) / 8;
    auto result = compress(
        e, spill, rowBytes, false,
        [&](int y, unsigned char *row) { std::memcpy(row, image.constScanLine(y), rowBytes); },
        reason);
    if (result && !opaque) {
        bool failed = false;
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        if (auto mask = alphaMask8(argb, spill, &failed, reason))
            result->softMask = std::make_shared<EmbeddedImage>(std::move(*mask));
        if (failed)
            return std::nullopt;
    }
    return result;
}

std::optional<EmbeddedImage> embedIndexed(const QImage &image, SpillFile &spill, QString *reason)
{
    int highest = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        highest = std::max<int>(highest, *std::max_element(line, line + image.width()));
    }
    QList<QRgb> table = image.colorTable();
    while (table.size() <= highest)
        table.append(qRgb(0, 0, 0));
    const int entries = int(table.size());
    const int bits = entries <= 2 ? 1 : entries <= 4 ? 2 : entries <= 16 ? 4 : 8;

    EmbeddedImage e = blank(image, ColorSpace::Indexed, bits);
    bool opaque = true;
    for (const QRgb c : std::as_const(table)) {
        appendRgb(e.palette, c);
        opaque = opaque && qAlpha(c) == 255;
    }
    const int width = image.width();
    const std::size_t rowBytes = (std::size_t(width) * std::size_t(bits) + 7) / 8;
    auto result = compress(
        e, spill, rowBytes, false,
        [&](int y, unsigned char *row) {
            const uchar *line = image.constScanLine(y);
            if (bits == 8) {
                std::memcpy(row, line, rowBytes);
                return;
            }
            std::memset(row, 0, rowBytes);
            const int perByte = 8 / bits;
            for (int x = 0; x < width; ++x) {
                const int shift = 8 - bits * (x % perByte + 1);
                row[x / perByte] |= static_cast<unsigned char>(line[x] << shift);
            }
        },
        reason);
    if (result && !opaque) {
        EmbeddedImage mask = blank(image, ColorSpace::Gray, 8);
        std::array<unsigned char, 256> alphas{};
        for (qsizetype i = 0; i < std::min<qsizetype>(table.size(), 256); ++i)
            alphas[std::size_t(i)] = static_cast<unsigned char>(qAlpha(table.at(i)));
        auto stored = compress(
            mask, spill, std::size_t(width), false,
            [&](int y, unsigned char *row) {
                const uchar *line = image.constScanLine(y);
                for (int x = 0; x < width; ++x)
                    row[x] = alphas[line[x]];
            },
            reason);
        if (!stored)
            return std::nullopt;
        result->softMask = std::make_shared<EmbeddedImage>(std::move(*stored));
    }
    return result;
}

std::optional<EmbeddedImage> embedGray(const QImage &image, SpillFile &spill, QString *reason)
{
    const bool wide = image.format() == QImage::Format_Grayscale16;
    const std::size_t rowBytes = std::size_t(image.width()) * (wide ? 2 : 1);
    return compress(
        blank(image, ColorSpace::Gray, wide ? 16 : 8), spill, rowBytes, true,
        [&](int y, unsigned char *row) {
            if (!wide) {
                std::memcpy(row, image.constScanLine(y), rowBytes);
                return;
            }
            const auto *line = reinterpret_cast<const quint16 *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                qToBigEndian(line[x], row + 2 * x);
        },
        reason);
}

// 16 bits per channel: PDF takes them big-endian, alpha as a 16-bit soft mask.
std::optional<EmbeddedImage> embedRgb16(const QImage &source, SpillFile &spill, QString *reason)
{
    const QImage image =
        source.hasAlphaChannel() ? source.convertToFormat(QImage::Format_RGBA64) : source;
    const int width = image.width();
    auto result = compress(
        blank(image, ColorSpace::Rgb, 16), spill, std::size_t(width) * 6, true,
        [&](int y, unsigned char *row) {
            const auto *line = reinterpret_cast<const QRgba64 *>(image.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                qToBigEndian(line[x].red(), row + 6 * x);
                qToBigEndian(line[x].green(), row + 6 * x + 2);
                qToBigEndian(line[x].blue(), row + 6 * x + 4);
            }
        },
        reason);
    if (!result || !image.hasAlphaChannel())
        return result;
    bool translucent = false;
    for (int y = 0; y < image.height() && !translucent; ++y) {
        const auto *line = reinterpret_cast<const QRgba64 *>(image.constScanLine(y));
        translucent = std::any_of(line, line + width, [](QRgba64 p) { return p.alpha() != 65535; });
    }
    if (!translucent)
        return result;
    auto mask = compress(
        blank(image, ColorSpace::Gray, 16), spill, std::size_t(width) * 2, false,
        [&](int y, unsigned char *row) {
            const auto *line = reinterpret_cast<const QRgba64 *>(image.constScanLine(y));
            for (int x = 0; x < width; ++x)
                qToBigEndian(line[x].alpha(), row + 2 * x);
        },
        reason);
    if (!mask)
        return std::nullopt;
    result->softMask = std::make_shared<EmbeddedImage>(std::move(*mask));
    return result;
}

std::optional<EmbeddedImage> embedRgb8(const QImage &source, SpillFile &spill, QString *reason)
{
    const bool alpha = source.hasAlphaChannel();
    const QImage::Format wanted = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage image = source.format() == wanted ? source : source.convertToFormat(wanted);
    const int width = image.width();
    auto result = compress(
        blank(image, ColorSpace::Rgb, 8), spill, std::size_t(width) * 3, true,
        [&](int y, unsigned char *row) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                row[3 * x] = static_cast<unsigned char>(qRed(line[x]));
                row[3 * x + 1] = static_cast<unsigned char>(qGreen(line[x]));
                row[3 * x + 2] = static_cast<unsigned char>(qBlue(line[x]));
            }
        },
        reason);
    if (!result || !alpha)
        return result;
    bool failed = false;
    if (auto mask = alphaMask8(image, spill, &failed, reason))
        result->softMask = std::make_shared<EmbeddedImage>(std::move(*mask));
    return failed ? std::nullopt : result;
}

} // namespace

QImage toPalette(const QImage &source)
{
    const QImage image = source.hasAlphaChannel() ? source.convertToFormat(QImage::Format_ARGB32)
                                                  : source.convertToFormat(QImage::Format_RGB32);
    std::unordered_map<QRgb, int> index;
    QList<QRgb> table;
    QImage result(image.size(), QImage::Format_Indexed8);
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        uchar *out = result.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const auto [it, added] = index.try_emplace(line[x], int(table.size()));
            if (added) {
                if (table.size() == 256)
                    return {};
                table.append(line[x]);
            }
            out[x] = uchar(it->second);
        }
    }
    result.setColorTable(table);
    return result;
}

std::optional<EmbeddedImage> embedDecodedImage(const QImage &image, SpillFile &spill,
                                               QString *reason)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return embedMono(image, spill, reason);
    case QImage::Format_Indexed8:
        return embedIndexed(image, spill, reason);
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return embedGray(image, spill, reason);
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return embedRgb16(image, spill, reason);
    default:
        return embedRgb8(image, spill, reason);
    }
}

} // namespace folioset::pdf
