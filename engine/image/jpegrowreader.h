#pragma once

#include "jpegfacts.h"
#include "rowreader.h"

#include <memory>

namespace folioset::image {

// The scanlines of a JPEG a PDF reader cannot be trusted with (arithmetic coding), decoded with
// libjpeg: gray stays gray, CMYK stays CMYK as stored (an Adobe file's inverted samples keep
// their /Decode), YCbCr becomes RGB.
class JpegRowReader final : public RowReader
{
public:
    // nullptr, with a reason, when libjpeg cannot start or a progressive file would hold more
    // than the decoding limit.
    static std::unique_ptr<JpegRowReader> open(const QString &path, const JpegFacts &facts,
                                               QString *reason);
    ~JpegRowReader() override;

    bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) override;

private:
    struct Decoder;
    JpegRowReader();
    std::unique_ptr<Decoder> d;
};

} // namespace folioset::image
