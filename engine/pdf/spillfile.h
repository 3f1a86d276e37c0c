#pragma once

#include "embeddedimage.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace folioset::pdf {

// A nameless scratch file in the system's temporary folder: unlinked as soon as it is opened,
// so it disappears with the descriptor however the process ends. Decoded images are parked here
// compressed until the document is written.
class SpillFile
{
public:
    static std::unique_ptr<SpillFile> create(QString *reason);
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    std::uint64_t size() const { return m_size; }
    bool append(const char *data, std::size_t length, QString *reason);
    // Reads exactly `length` bytes at `offset`; false when the file cannot give them.
    bool read(std::uint64_t offset, char *data, std::size_t length) const;

private:
    explicit SpillFile(int fd) : m_fd(fd) {}
    int m_fd;
    std::uint64_t m_size = 0;
};

// Compresses rows of raw samples into the spill file, optionally with PNG row filters (PDF's
// /Predictor 15). Holds one row and a small output buffer, never the image.
class RowCompressor
{
public:
    RowCompressor(SpillFile &spill, std::size_t rowBytes, int bytesPerPixel, bool predict);
    ~RowCompressor();
    RowCompressor(const RowCompressor &) = delete;
    RowCompressor &operator=(const RowCompressor &) = delete;

    bool addRow(const unsigned char *row, QString *reason);
    // The compressed stream's place in the spill file.
    std::optional<ByteRange> finish(QString *reason);

private:
    bool deflateInput(const unsigned char *data, std::size_t length, bool last, QString *reason);
    void filterRow(const unsigned char *row);

    struct Stream;
    SpillFile &m_spill;
    std::unique_ptr<Stream> m_stream;
    std::uint64_t m_start;
    std::size_t m_rowBytes;
    int m_bpp;
    bool m_predict;
    QByteArray m_previous;
    QByteArray m_candidates; // five filtered variants of the current row, each with its tag
    QByteArray m_output;
};

} // namespace folioset::pdf
