#include "decodinglimits.h"

namespace folioset::pdf {

std::optional<QString> checkDimensions(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        return QStringLiteral("The image has no pixels");
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels)
        return QStringLiteral("Image dimensions %1 x %2 exceed the decoding limit")
            .arg(width)
            .arg(height);
    return std::nullopt;
}

} // namespace folioset::pdf
