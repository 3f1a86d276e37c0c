// The TIFF page count and header checks, carried Group 4 and JPEG strips, and the decoded path
// (strips, tiles, planes, libtiff's RGBA interface), for the first few pages.

#include "fuzzsupport.h"

#include "engine/image/decodinglimits.h"
#include "engine/image/tiffdirectory.h"
#include "engine/image/tiffhandle.h"
#include "engine/image/tiffpage.h"

#include <algorithm>

using namespace folioset::image;

namespace {

bool pageWithinBudget(const QString &path, int page)
{
    const auto handle = TiffHandle::openFile(path, kMaxHeldBytes, nullptr);
    if (!handle || !TIFFSetDirectory(handle->get(), tdir_t(page)))
        return false;
    const TiffDirectory d = readTiffDirectory(handle->get());
    const std::uint64_t bits = std::max<std::uint64_t>(8, d.bitsPerSample);
    return fuzzing::withinBudget(d.width, d.height,
                                 std::max<std::uint64_t>(4, bits / 8) *
                                     std::max<std::uint16_t>(1, d.samplesPerPixel));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzing::inputFile(data, size);
    QString reason;
    const int pages = std::min(countTiffPages(path, &reason), fuzzing::kPagesTried);
    std::unique_ptr<SpillFile> spill;
    const SpillAccess access = fuzzing::lazySpill(spill);
    for (int page = 0; page < pages; ++page) {
        if (pageWithinBudget(path, page))
            makeTiffPage(path, page, access, &reason);
    }
    return 0;
}
