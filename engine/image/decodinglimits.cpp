#include "decodinglimits.h"

#include <QImageReader>

#include <mutex>

#include <tiffio.h>

namespace folioset::image {

namespace {

QString tooLarge(std::int64_t width, std::int64_t height)
{
    return QStringLiteral("Image dimensions %1 x %2 exceed the decoding limit")
        .arg(width)
        .arg(height);
}

} // namespace

void prepareQtImageReading()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(kDecodeAllocationLimitMB);
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

std::optional<QString> checkDimensions(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        return QStringLiteral("The image has no pixels");
    if (width > kMaxImageSide || height > kMaxImageSide)
        return tooLarge(width, height);
    return std::nullopt;
}

std::optional<QString> checkHeldBytes(std::int64_t width, std::int64_t height,
                                      std::uint64_t heldBytes)
{
    if (heldBytes > kMaxHeldBytes)
        return tooLarge(width, height);
    return std::nullopt;
}

std::optional<QString> checkDecodedBytes(std::int64_t width, std::int64_t height,
                                         std::uint64_t decodedBytes)
{
    if (decodedBytes > kMaxDecodedBytes)
        return tooLarge(width, height);
    return std::nullopt;
}

} // namespace folioset::image
