// The BMP header check and the row reader: every header form, palettes, masks, run lengths.

#include "fuzzsupport.h"

#include "engine/image/bmpheader.h"
#include "engine/image/bmprowreader.h"
#include "engine/image/fileimagesource.h"

using namespace folioset::image;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzing::inputFile(data, size);
    QString reason;
    FileImageSource::openFile(path, &reason);
    const auto header = readBmpHeader(path, &reason);
    if (header && fuzzing::withinBudget(header->width, header->height, 8))
        fuzzing::encodeRows(BmpRowReader::open(path, *header, &reason).get());
    return 0;
}
