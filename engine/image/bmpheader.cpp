#include "bmpheader.h"

#include "decodinglimits.h"
#include "resolution.h"

#include <QFile>

namespace folioset::image {

namespace {

// The longest header (v5, 124 bytes) with the masks an info header may be followed by, and the
// largest palette.
constexpr qint64 kHeadBytes = 14 + 124 + 16 + 256 * 4;

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;

std::uint32_t le32(const QByteArray &b, int at)
{
    if (at + 4 > b.size())
        return 0;
    const auto *u = reinterpret_cast<const unsigned char *>(b.constData() + at);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 |
           std::uint32_t(u[3]) << 24;
}

int le16(const QByteArray &b, int at)
{
    if (at + 2 > b.size())
        return 0;
    const auto *u = reinterpret_cast<const unsigned char *>(b.constData() + at);
    return u[0] | u[1] << 8;
}

std::optional<BmpHeader> refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return std::nullopt;
}

} // namespace

std::uint64_t BmpHeader::rowBytes() const
{
    return (std::uint64_t(width) * std::uint64_t(bitsPerPixel) + 31) / 32 * 4;
}

std::optional<BmpHeader> readBmpHeader(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(reason, QStringLiteral("Unable to open the image file"));
    const QByteArray head = file.read(kHeadBytes);
    const QString unreadable = QStringLiteral("Unable to read the image header");
    if (head.size() < 14 + 12 || !head.startsWith("BM"))
        return refuse(reason, unreadable);
    BmpHeader h;
    h.fileSize = std::uint64_t(file.size());
    h.dataOffset = le32(head, 10);
    const int infoSize = int(le32(head, 14));
    const bool core = infoSize == 12;
    // OS/2 2.x headers are 16 to 64 bytes; Windows ones 40, 52, 56, 108 and 124.
    const bool os2 = infoSize == 16 || infoSize == 64;
    if (!core && (infoSize < 16 || infoSize > 124 || head.size() < 14 + infoSize))
        return refuse(reason, unreadable);
    std::uint32_t compression = kRgb;
    std::int64_t width = 0, height = 0;
    int entryBytes = 4;
    std::uint32_t coloursUsed = 0;
    if (core) {
        width = le16(head, 18);
        height = le16(head, 20);
        h.bitsPerPixel = le16(head, 24);
        entryBytes = 3;
    } else {
        width = std::int32_t(le32(head, 18));
        height = std::int32_t(le32(head, 22));
        h.bitsPerPixel = le16(head, 28);
        compression = infoSize >= 20 ? le32(head, 30) : kRgb;
        if (infoSize >= 32)
            h.resolution = {dpiFromDotsPerMetre(le32(head, 38)),
                            dpiFromDotsPerMetre(le32(head, 42))};
        if (!h.resolution.isKnown())
            h.resolution = {};
        coloursUsed = infoSize >= 36 ? le32(head, 46) : 0;
    }
    h.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (const auto tooLarge = checkDimensions(width, height))
        return refuse(reason, *tooLarge);
    h.width = int(width);
    h.height = int(height);

    const int bits = h.bitsPerPixel;
    const bool bitfields = !os2 && (compression == kBitfields || compression == kAlphaBitfields);
    if (compression == kRle8 && bits == 8) {
        h.coding = BmpHeader::Coding::Rle8;
    } else if (compression == kRle4 && bits == 4) {
        h.coding = BmpHeader::Coding::Rle4;
    } else if (bitfields && (bits == 16 || bits == 32)) {
        h.coding = BmpHeader::Coding::Bitfields;
        // The masks follow an info header, or are part of the later ones: at the same place.
        h.masks = {le32(head, 54), le32(head, 58), le32(head, 62),
                   infoSize >= 56 || compression == kAlphaBitfields ? le32(head, 66) : 0};
    } else if (compression == kRgb && (bits == 16 || bits == 32)) {
        // A 32-bit pixel's fourth byte is unused without masks: the image is opaque.
        h.coding = BmpHeader::Coding::Bitfields;
        h.masks = bits == 16 ? std::array<std::uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}
                             : std::array<std::uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, 0};
    } else if (compression != kRgb ||
               !(bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 24)) {
        return refuse(reason, QStringLiteral("Unsupported BMP coding (%1 bits, compression %2)")
                                  .arg(bits)
                                  .arg(compression));
    }

    if (bits <= 8) {
        const int maskBytes =
            infoSize == 40 && bitfields ? (compression == kAlphaBitfields ? 16 : 12) : 0;
        const int paletteStart = 14 + infoSize + maskBytes;
        const int available =
            int(std::min<std::uint64_t>(h.dataOffset, std::uint64_t(head.size())) - paletteStart);
        int entries = coloursUsed > 0 && coloursUsed < (1u << bits) ? int(coloursUsed) : 1 << bits;
        entries = std::max(0, std::min(entries, available / entryBytes));
        if (entries == 0)
            return refuse(reason, QStringLiteral("The BMP palette is missing"));
        for (int i = 0; i < entries; ++i) {
            const int at = paletteStart + i * entryBytes;
            h.palette.append(head[at + 2]).append(head[at + 1]).append(head[at]);
        }
    }
    if (h.dataOffset < std::uint64_t(14 + (core ? 12 : infoSize)) || h.dataOffset >= h.fileSize)
        return refuse(reason, QStringLiteral("The BMP file is truncated"));
    const bool plain =
        h.coding == BmpHeader::Coding::Plain || h.coding == BmpHeader::Coding::Bitfields;
    if (plain && h.fileSize < h.dataOffset + h.rowBytes() * std::uint64_t(h.height))
        return refuse(reason, QStringLiteral("The BMP file is truncated"));
    return h;
}

} // namespace folioset::image
