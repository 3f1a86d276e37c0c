// Colour profile checks: a profile for gray, RGB or CMYK (the first byte chooses), the inflated
// profile of a PNG iCCP chunk, and JPEG APP2 pieces joined (pieces are length-prefixed).

#include "engine/image/iccprofile.h"
#include "engine/image/jpegiccpieces.h"

#include <cstdint>

using namespace folioset::image;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static constexpr int components[] = {1, 3, 4};
    const int wanted = components[data[0] % 3];
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray checked = checkedIccProfile(rest, wanted);
    // What passes is a prefix of what was given, and passes again unchanged.
    if (!checked.isEmpty() &&
        (!rest.startsWith(checked) || checkedIccProfile(checked, wanted) != checked))
        __builtin_trap();
    checkedIccProfile(pngIccProfile(rest), wanted);

    JpegIccPieces pieces;
    for (std::size_t at = 1; at < size;) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        pieces.add(data + at + 1, length);
        at += 1 + length;
    }
    checkedIccProfile(pieces.joined(), wanted);
    return 0;
}
