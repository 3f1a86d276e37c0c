// EXIF orientation and resolution, from the APP1 payload after "Exif\0\0".

#include "engine/image/exif.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto facts = folioset::image::parseExif(data, size);
    if (facts.orientation < 1 || facts.orientation > 8)
        __builtin_trap(); // the reader promises 1..8 whatever the file says
    return 0;
}
