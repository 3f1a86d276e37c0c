#include "embeddedimage.h"

namespace folioset::pdf {

std::uint64_t StreamOrigin::totalLength() const
{
    std::uint64_t total = 0;
    for (const ByteRange &range : ranges)
        total += range.length;
    return total;
}

int EmbeddedImage::components() const
{
    switch (colorSpace) {
    case ColorSpace::Rgb:
        return 3;
    case ColorSpace::Cmyk:
        return 4;
    case ColorSpace::Gray:
    case ColorSpace::Indexed:
        return 1;
    }
    return 1;
}

} // namespace folioset::pdf
