#include "containerfacts.h"

#include "decodinglimits.h"
#include "resolution.h"

#include <QFile>

#include <cstdlib>

namespace folioset::pdf {

namespace {

std::uint32_t le32(const QByteArray &b, int at)
{
    const auto *u = reinterpret_cast<const unsigned char *>(b.constData() + at);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 |
           std::uint32_t(u[3]) << 24;
}

int le16(const QByteArray &b, int at)
{
    const auto *u = reinterpret_cast<const unsigned char *>(b.constData() + at);
    return u[0] | u[1] << 8;
}

template <typename T> std::optional<T> refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return std::nullopt;
}

} // namespace

std::optional<BmpFacts> readBmpFacts(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse<BmpFacts>(reason, QStringLiteral("Unable to open the image file"));
    const QByteArray head = file.read(14 + 40);
    if (head.size() < 14 + 12 || !head.startsWith("BM"))
        return refuse<BmpFacts>(reason, QStringLiteral("Unable to read the image header"));
    const std::uint32_t dataOffset = le32(head, 10);
    const std::uint32_t infoSize = le32(head, 14);
    BmpFacts facts;
    std::int64_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    if (infoSize == 12) { // OS/2 core header
        facts.width = le16(head, 18);
        facts.height = le16(head, 20);
        bitsPerPixel = le16(head, 24);
    } else if (infoSize >= 40 && head.size() >= 14 + 40) {
        const std::int64_t w = std::int32_t(le32(head, 18));
        const std::int64_t h = std::abs(std::int64_t(std::int32_t(le32(head, 22))));
        if (const auto tooLarge = checkDimensions(w, h))
            return refuse<BmpFacts>(reason, *tooLarge);
        facts.width = int(w);
        facts.height = int(h);
        bitsPerPixel = le16(head, 28);
        compression = le32(head, 30);
        facts.resolution = {dpiFromDotsPerMetre(le32(head, 38)),
                            dpiFromDotsPerMetre(le32(head, 42))};
        if (!facts.resolution.isKnown())
            facts.resolution = {};
    } else {
        return refuse<BmpFacts>(reason, QStringLiteral("Unable to read the image header"));
    }
    if (const auto tooLarge = checkDimensions(facts.width, facts.height))
        return refuse<BmpFacts>(reason, *tooLarge);
    // BI_RGB and BI_BITFIELDS rows have a known size; compressed data is checked by decoding.
    if ((compression == 0 || compression == 3) && bitsPerPixel > 0) {
        const std::int64_t rowBytes = (facts.width * bitsPerPixel + 31) / 32 * 4;
        if (file.size() < std::int64_t(dataOffset) + rowBytes * facts.height)
            return refuse<BmpFacts>(reason, QStringLiteral("The BMP file is truncated"));
    }
    return facts;
}

std::optional<GifFacts> readGifFacts(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse<GifFacts>(reason, QStringLiteral("Unable to open the image file"));
    // GIF files are small next to the memory their decoded frames take.
    const QByteArray gif = file.readAll();
    if (gif.size() < 13 || !(gif.startsWith("GIF87a") || gif.startsWith("GIF89a")))
        return refuse<GifFacts>(reason, QStringLiteral("Unable to read the image header"));
    GifFacts facts;
    facts.width = le16(gif, 6);
    facts.height = le16(gif, 8);
    if (const auto tooLarge = checkDimensions(facts.width, facts.height))
        return refuse<GifFacts>(reason, *tooLarge);

    const auto tableSize = [](int flags) { return (flags & 0x80) ? 3 * (2 << (flags & 7)) : 0; };
    qsizetype pos = 13 + tableSize(static_cast<unsigned char>(gif[10]));
    // Skips data sub-blocks; false when the file ends inside them.
    const auto skipSubBlocks = [&]() {
        while (pos < gif.size()) {
            const int length = static_cast<unsigned char>(gif[pos++]);
            if (length == 0)
                return true;
            pos += length;
        }
        return false;
    };
    while (pos < gif.size()) {
        const auto block = static_cast<unsigned char>(gif[pos++]);
        if (block == 0x3B)
            break;
        if (block == 0x21) {
            ++pos; // the extension's label
            if (!skipSubBlocks())
                break;
        } else if (block == 0x2C) {
            if (pos + 9 > gif.size())
                break;
            pos += 9 + tableSize(static_cast<unsigned char>(gif[pos + 8]));
            ++pos; // the LZW minimum code size
            if (!skipSubBlocks())
                break;
            ++facts.completeFrames;
        } else {
            break; // not a block GIF knows: the rest is damaged
        }
    }
    if (facts.completeFrames == 0)
        return refuse<GifFacts>(reason, QStringLiteral("The GIF file is truncated"));
    return facts;
}

} // namespace folioset::pdf
