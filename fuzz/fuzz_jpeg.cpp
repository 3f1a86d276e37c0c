// The JPEG header reader, the facts that let a file be carried byte for byte, the same bytes
// read as a TIFF's JPEG strip, and the decoded path of a file a PDF reader cannot take.

#include "fuzzsupport.h"

#include "engine/image/fileimagesource.h"
#include "engine/image/jpegfacts.h"
#include "engine/image/jpegrowreader.h"

using namespace folioset::image;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzing::inputFile(data, size);
    QString reason;
    readJpegStreamFacts(path, QByteArray("\xFF\xD8", 2), size > 2 ? 2 : 0, size, &reason);
    const auto facts = readJpegFacts(path, &reason);
    if (!facts)
        return 0;
    if (!fuzzing::withinBudget(facts->width, facts->height, 4))
        return 0;
    // Carried when it can be; otherwise decoded into a scratch file, as for a page.
    std::unique_ptr<SpillFile> spill;
    if (auto source = FileImageSource::openFile(path, &reason))
        source->makePageImage(0, fuzzing::lazySpill(spill), &reason);
    fuzzing::encodeRows(JpegRowReader::open(path, *facts, &reason).get());
    return 0;
}
