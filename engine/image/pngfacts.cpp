#include "pngfacts.h"

#include "decodinglimits.h"
#include "filestamp.h"
#include "iccprofile.h"
#include "resolution.h"

#include <QFile>

namespace folioset::image {

namespace {

std::uint32_t bigEndian32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(u[0]) << 24 | std::uint32_t(u[1]) << 16 | std::uint32_t(u[2]) << 8 |
           std::uint32_t(u[3]);
}

bool validDepth(int colorType, int depth)
{
    switch (colorType) {
    case 0:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

std::optional<PngFacts> refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return std::nullopt;
}

} // namespace

bool PngFacts::isCarriable() const
{
    return !interlaced && !hasTransparency && (colorType == 0 || colorType == 2 || colorType == 3);
}

int PngFacts::channels() const
{
    switch (colorType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

std::optional<PngFacts> readPngFacts(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(reason, QStringLiteral("Unable to open the image file"));
    PngFacts facts;
    facts.fileSize = file.size();
    if (struct stat status{}; ::fstat(file.handle(), &status) == 0)
        facts.modified = modificationTime(status);
    if (facts.fileSize == 0)
        return refuse(reason, QStringLiteral("The image file is empty"));
    if (file.read(8) != QByteArray("\x89PNG\r\n\x1a\n", 8))
        return refuse(reason, QStringLiteral("Unable to read the image header"));

    bool sawHeader = false;
    bool sawEnd = false;
    qint64 pos = 8;
    while (!sawEnd) {
        const QByteArray head = file.read(8);
        if (head.size() < 8)
            return refuse(reason, QStringLiteral("The PNG file is truncated"));
        const std::uint32_t length = bigEndian32(head.constData());
        const QByteArray type = head.mid(4, 4);
        const qint64 dataStart = pos + 8;
        // Data plus the 4-byte CRC must lie inside the file.
        if (length > 0x7FFFFFFFu || dataStart + qint64(length) + 4 > facts.fileSize)
            return refuse(reason, QStringLiteral("The PNG file is truncated"));
        if (!sawHeader && type != "IHDR")
            return refuse(reason, QStringLiteral("Unable to read the image header"));

        const auto readData = [&] { return file.read(length); };
        if (type == "IHDR") {
            const QByteArray d = readData();
            if (length != 13 || d.size() != 13)
                return refuse(reason, QStringLiteral("Unable to read the image header"));
            facts.width = int(std::min<std::uint32_t>(bigEndian32(d.constData()), 0x7FFFFFFF));
            facts.height = int(std::min<std::uint32_t>(bigEndian32(d.constData() + 4), 0x7FFFFFFF));
            facts.bitDepth = static_cast<unsigned char>(d[8]);
            facts.colorType = static_cast<unsigned char>(d[9]);
            facts.interlaced = d[12] != 0;
            if (!validDepth(facts.colorType, facts.bitDepth) || d[10] != 0 || d[11] != 0 ||
                static_cast<unsigned char>(d[12]) > 1)
                return refuse(reason, QStringLiteral("Unable to read the image header"));
            if (const auto tooLarge = checkDimensions(facts.width, facts.height))
                return refuse(reason, *tooLarge);
            const std::uint64_t rowBytes =
                (std::uint64_t(facts.width) * facts.channels() * facts.bitDepth + 7) / 8;
            if (const auto tooLarge = checkDecodedBytes(facts.width, facts.height,
                                                        rowBytes * std::uint64_t(facts.height)))
                return refuse(reason, *tooLarge);
            sawHeader = true;
        } else if (type == "PLTE") {
            facts.palette = readData();
            if (facts.palette.size() % 3 != 0 || facts.palette.size() > 256 * 3)
                return refuse(reason, QStringLiteral("The PNG palette is damaged"));
        } else if (type == "tRNS") {
            facts.hasTransparency = true;
            if (length > 256)
                return refuse(reason, QStringLiteral("The PNG transparency is damaged"));
            facts.transparency = readData();
        } else if (type == "iCCP" && length <= 16 * 1024 * 1024) {
            facts.iccProfile = pngIccProfile(readData());
        } else if (type == "pHYs") {
            const QByteArray d = readData();
            if (d.size() == 9 && d[8] == 1) // unit 1: the metre
                facts.resolution = {dpiFromDotsPerMetre(bigEndian32(d.constData())),
                                    dpiFromDotsPerMetre(bigEndian32(d.constData() + 4))};
            if (!facts.resolution.isKnown())
                facts.resolution = {};
        } else if (type == "IDAT") {
            if (length > 0)
                facts.idat.push_back({std::uint64_t(dataStart), length});
        } else if (type == "IEND") {
            sawEnd = true;
        }
        pos = dataStart + qint64(length) + 4;
        if (!file.seek(pos))
            return refuse(reason, QStringLiteral("The PNG file is truncated"));
    }
    if (facts.idat.empty())
        return refuse(reason, QStringLiteral("The PNG file has no image data"));
    if (facts.colorType == 3 && facts.palette.isEmpty())
        return refuse(reason, QStringLiteral("The PNG palette is missing"));
    return facts;
}

} // namespace folioset::image
