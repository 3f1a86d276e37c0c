// The PNG chunk reader and the row reader (every pass of an interlaced image), also on images
// that would be carried as they are.

#include "fuzzsupport.h"

#include "engine/image/fileimagesource.h"
#include "engine/image/pngfacts.h"
#include "engine/image/pngrowreader.h"

using namespace folioset::image;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzing::inputFile(data, size);
    QString reason;
    const auto facts = readPngFacts(path, &reason);
    if (!facts)
        return 0;
    if (!fuzzing::withinBudget(facts->width, facts->height, 8))
        return 0;
    std::unique_ptr<SpillFile> spill;
    if (auto source = FileImageSource::openFile(path, &reason))
        source->makePageImage(0, fuzzing::lazySpill(spill), &reason);
    fuzzing::encodeRows(PngRowReader::open(path, *facts, &reason).get());
    return 0;
}
