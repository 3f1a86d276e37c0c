#pragma once

// Test inputs made at run time with real encoders: no binary fixtures live in the tree.

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

namespace fixtures {

// A deterministic picture with gradients, edges and a seed-dependent pattern, so that a lossy
// or shifted copy never compares equal by accident.
QImage patternImage(QSize size, int seed = 1, QImage::Format format = QImage::Format_RGB32);

bool writeImage(const QString &path, const QImage &image, const char *format, int quality = -1);
bool writeJpeg(const QString &path, QSize size, int seed = 1, int quality = 90);
bool writePng(const QString &path, const QImage &image);

enum class TiffCompression { None, Lzw, Deflate, Group4 };
// One directory per page; Group4 pages are written 1-bit (black where the pixel is dark).
bool writeTiff(const QString &path, const QList<QImage> &pages,
               TiffCompression compression = TiffCompression::Lzw, int dpi = 0);

// A PDF with `pages` blank Letter pages; encrypted (RC4 128) when a password is given.
bool writePdf(const QString &path, int pages, const QString &userPassword = {},
              const QString &ownerPassword = {});

// The pages of a PDF as qpdf reads them; -1 when it cannot be opened.
int pdfPageCount(const QString &path, const QString &password = {});
// The revision of a PDF's encryption as qpdf opens it with `password`: 2 for a 40-bit RC4 key, 3
// for 128 bits, 6 for AES-256; 0 when it is not encrypted, -1 when it does not open.
int pdfEncryptionRevision(const QString &path, const QString &password = {});
// What poppler's pdfinfo says of its encryption ("yes (print:yes ... algorithm:AES-256)"), or
// why it said nothing.
QString popplerEncryption(const QString &path, const QString &password);

bool writeBytes(const QString &path, const QByteArray &bytes);

// The size of a file without a name (O_TMPFILE) that process `pid` holds open in `folder`:
// a write in progress. -1 when there is none.
qint64 unnamedFileSize(qint64 pid, const QString &folder);
QByteArray readBytes(const QString &path);

} // namespace fixtures
