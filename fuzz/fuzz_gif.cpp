// The GIF block walk and the composing row reader, for the first few frames.

#include "fuzzsupport.h"

#include "engine/image/fileimagesource.h"
#include "engine/image/giffile.h"
#include "engine/image/gifrowreader.h"

#include <algorithm>

using namespace folioset::image;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzing::inputFile(data, size);
    QString reason;
    FileImageSource::openFile(path, &reason);
    const auto facts = readGifFacts(path, &reason);
    if (!facts)
        return 0;
    const int frames = std::min<int>(int(facts->frames.size()), fuzzing::kPagesTried);
    // Each page composes the frames before it: the budget counts them all.
    for (int i = 0; i < frames && fuzzing::withinBudget(facts->width, facts->height, 4 * (i + 1));
         ++i)
        fuzzing::encodeRows(GifRowReader::open(path, *facts, i, &reason).get());
    return 0;
}
