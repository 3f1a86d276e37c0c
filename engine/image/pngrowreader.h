#pragma once

#include "pngfacts.h"
#include "rowreader.h"

#include <QFile>

#include <memory>
#include <vector>

namespace folioset::image {

// The rows of a PNG the PDF cannot carry as it is (alpha, a transparent colour or palette
// entries, interlacing), decoded with libpng without any transformation: samples stay at their
// depth, 16 bits stay 16 bits. An interlaced image is read by seven libpng readers in step, one
// per pass, each row put together from the passes that hold its pixels, so no pass is held
// whole.
class PngRowReader final : public RowReader
{
public:
    static std::unique_ptr<PngRowReader> open(const QString &path, const PngFacts &facts,
                                              QString *reason);
    ~PngRowReader() override;

    bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) override;

private:
    class Pass;
    PngRowReader() = default;
    bool assemble(QString *reason);
    void transparency(const unsigned char *raw, unsigned char *alpha) const;

    PngFacts m_facts;
    QFile m_file;
    std::vector<std::unique_ptr<Pass>> m_passes; // one, or one per interlace pass
    std::vector<unsigned char> m_raw;            // the row as PNG stores it, unfiltered
    std::vector<unsigned char> m_passRow;
    int m_y = 0;
};

} // namespace folioset::image
