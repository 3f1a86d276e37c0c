#pragma once

#include <qpdf/Pipeline.hh>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace folioset::pdf {

class Encryption;

// Thrown while a document is written; the message is the reason shown to the user.
class WriteFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class WriteCancelled : public WriteFailure
{
public:
    WriteCancelled() : WriteFailure("The write was cancelled") {}
};

// Writes a PDF file object by object, front to back, as a stream of bytes: what has been
// written is forgotten except where it starts, so a document of ten thousand pages costs a few
// bytes per object here. Object numbers are handed out before the objects are written, so that
// objects can refer to ones written later.
class ObjectWriter
{
public:
    // `out` receives the file; `encryption`, when given, encrypts every string and stream except
    // the /Encrypt dictionary's.
    ObjectWriter(Pipeline &out, const Encryption *encryption);

    void header(const char *version);
    int reserve();
    // Object `number` with `body` (a dictionary, array or other object, already in file syntax).
    void object(int number, const QByteArray &body);
    // Stream object `number`: `entries` are its dictionary's entries but /Length, `length` the
    // bytes `produce` writes (and finishes) into the pipeline it is given. A producer that
    // gives fewer or more bytes fails the write rather than leave a damaged file.
    void stream(int number, const QByteArray &entries, std::uint64_t length,
                const std::function<void(Pipeline *)> &produce);
    void stream(int number, const QByteArray &entries, const QByteArray &data);
    // `bytes` as a string of object `number`, encrypted with its key where the file is.
    QByteArray string(const std::string &bytes, int number) const;
    // Text as a string: PDFDocEncoding where it suffices, UTF-16 otherwise.
    QByteArray text(const QString &text, int number) const;
    // The cross-reference table and the trailer. Every reserved object must have been written.
    void finish(int root, int info, int encrypt, const std::string &id);

    static QByteArray reference(int number);

private:
    void put(const QByteArray &bytes);
    void put(const char *data, std::size_t size);
    void begin(int number);

    Pipeline &m_out;
    const Encryption *m_encryption;
    std::uint64_t m_position = 0;
    std::vector<std::uint64_t> m_offsets{0}; // by object number; object 0 is never written
};

// `value` with at most `decimals` decimals, without trailing zeros, and never "-0".
QByteArray trimmedNumber(double value, int decimals);
// A number as a PDF real, at most four decimals.
inline QByteArray pdfNumber(double value)
{
    return trimmedNumber(value, 4);
}

} // namespace folioset::pdf
