#pragma once

#include "bmpheader.h"
#include "rowreader.h"

#include <QFile>

#include <memory>
#include <vector>

namespace folioset::image {

// The rows of a BMP file top to bottom, read from the file one at a time whichever way it
// stores them. Palettes stay palettes (a gray ramp becomes gray, black and white 1-bit),
// channels under colour masks are scaled exactly to 8 bits (16 where a mask is wider), an alpha
// mask becomes a soft mask. Run-length coded data is walked once to find where each row starts.
class BmpRowReader final : public RowReader
{
public:
    static std::unique_ptr<BmpRowReader> open(const QString &path, const BmpHeader &header,
                                              QString *reason);
    ~BmpRowReader() override;

    bool readRow(unsigned char *colour, unsigned char *alpha, QString *reason) override;

private:
    struct RunStart
    {
        std::uint64_t offset = 0; // 0: the row has no data and stays at index 0
        int x = 0;
    };
    class Bytes;

    BmpRowReader(const BmpHeader &header);
    bool indexRuns(QString *reason);
    bool decodeRuns(int storedRow, unsigned char *indices, QString *reason);
    void convertMasked(const unsigned char *stored, unsigned char *colour,
                       unsigned char *alpha) const;

    BmpHeader m_header;
    QFile m_file;
    std::unique_ptr<Bytes> m_bytes;
    std::vector<RunStart> m_runs; // per stored row
    std::vector<unsigned char> m_stored;
    int m_y = 0;
};

} // namespace folioset::image
