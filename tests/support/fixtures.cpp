#include "support/fixtures.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <tiffio.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fixtures {

QImage patternImage(QSize size, int seed, QImage::Format format)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int r = (x * 255) / std::max(1, size.width() - 1);
            const int g = (y * 255) / std::max(1, size.height() - 1);
            const int b = ((x / 8 + y / 8 + seed) % 2) ? 200 : (seed * 37) % 256;
            const int a = 255 - ((x + y + seed) % 64);
            line[x] = qRgba(r, g, b, a);
        }
    }
    if (format == QImage::Format_ARGB32)
        return image;
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB)
        return image.convertToFormat(QImage::Format_Grayscale8)
            .convertToFormat(format, Qt::ThresholdDither);
    return image.convertToFormat(format);
}

bool writeImage(const QString &path, const QImage &image, const char *format, int quality)
{
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(image);
}

bool writeJpeg(const QString &path, QSize size, int seed, int quality)
{
    return writeImage(path, patternImage(size, seed, QImage::Format_RGB32), "jpeg", quality);
}

bool writePng(const QString &path, const QImage &image)
{
    return writeImage(path, image, "png");
}

bool writeTiff(const QString &path, const QList<QImage> &pages, TiffCompression compression,
               int dpi)
{
    TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    bool ok = true;
    for (const QImage &page : pages) {
        const bool bilevel = compression == TiffCompression::Group4;
        const QImage img = bilevel ? page.convertToFormat(QImage::Format_Grayscale8)
                                         .convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
                                   : page.convertToFormat(QImage::Format_RGB888);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(img.width()));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(img.height()));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(bilevel ? 1 : 3));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bilevel ? 1 : 8));
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        // Qt's Mono has 1 for black when the colour table says so; we write "0 is black".
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, bilevel ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        switch (compression) {
        case TiffCompression::None:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
            break;
        case TiffCompression::Lzw:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
            break;
        case TiffCompression::Deflate:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
            break;
        case TiffCompression::Group4:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
            break;
        }
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(bilevel ? img.height() : 16));
        if (dpi > 0) {
            TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(dpi));
            TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(dpi));
            TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        }
        if (pages.size() > 1) {
            TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
            TIFFSetField(tiff, TIFFTAG_PAGENUMBER, uint16_t(&page - pages.data()),
                         uint16_t(pages.size()));
        }
        const qsizetype rowBytes = bilevel ? (img.width() + 7) / 8 : qsizetype(img.width()) * 3;
        QByteArray row(rowBytes, 0);
        for (int y = 0; y < img.height() && ok; ++y) {
            memcpy(row.data(), img.constScanLine(y), size_t(rowBytes));
            if (bilevel && img.color(0) == qRgb(255, 255, 255)) {
                // Qt's Mono colour table may say index 0 is white: flip to "0 is black".
                for (char &c : row)
                    c = char(~c);
            }
            ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) >= 0;
        }
        ok = ok && TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return ok;
}

bool writePdf(const QString &path, int pages, const QString &userPassword,
              const QString &ownerPassword)
{
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper helper(pdf);
        for (int i = 0; i < pages; ++i) {
            auto page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>");
            helper.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        // The writer keeps the name it is given, not a copy.
        const QByteArray name = QFile::encodeName(path);
        QPDFWriter writer(pdf, name.constData());
        if (!userPassword.isEmpty() || !ownerPassword.isEmpty()) {
            writer.setR4EncryptionParametersInsecure(
                userPassword.toUtf8().constData(), ownerPassword.toUtf8().constData(), true, true,
                true, true, true, true, qpdf_r3p_full, true, false);
        }
        writer.write();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

namespace {

// What `read` makes of the PDF as qpdf opens it with `password`; -1 when it does not open.
int readPdf(const QString &path, const QString &password, int (*read)(QPDF &))
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        const QByteArray secret = password.toUtf8();
        pdf.processFile(QFile::encodeName(path).constData(),
                        password.isEmpty() ? nullptr : secret.constData());
        return read(pdf);
    } catch (const std::exception &) {
        return -1;
    }
}

} // namespace

int pdfPageCount(const QString &path, const QString &password)
{
    return readPdf(path, password,
                   [](QPDF &pdf) { return int(QPDFPageDocumentHelper(pdf).getAllPages().size()); });
}

int pdfEncryptionRevision(const QString &path, const QString &password)
{
    return readPdf(path, password, [](QPDF &pdf) {
        int revision = 0;
        int permissions = 0;
        return pdf.isEncrypted(revision, permissions) ? revision : 0;
    });
}

QString popplerEncryption(const QString &path, const QString &password)
{
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), {QStringLiteral("-upw"), password, path});
    if (!pdfinfo.waitForFinished(60000) || pdfinfo.exitCode() != 0)
        return QStringLiteral("pdfinfo failed: ") + QString::fromLocal8Bit(pdfinfo.readAll());
    for (const QString &line :
         QString::fromLocal8Bit(pdfinfo.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Encrypted:")))
            return line.mid(10).trimmed();
    return QStringLiteral("no Encrypted line");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 unnamedFileSize(qint64 pid, const QString &folder)
{
    // An unnamed file shows in /proc as "<folder>/#<inode> (deleted)".
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    const QString prefix = QDir(folder).absolutePath() + QStringLiteral("/#");
    const QStringList names = QDir(fds).entryList(QDir::AllEntries | QDir::System);
    for (const QString &name : names) {
        char buffer[4096];
        const ssize_t length = ::readlink(
            QFile::encodeName(fds + QLatin1Char('/') + name).constData(), buffer, sizeof buffer);
        if (length <= 0)
            continue;
        const QString link = QFile::decodeName(QByteArray(buffer, length));
        if (link.startsWith(prefix) && link.endsWith(QLatin1String(" (deleted)"))) {
            struct stat info
            {};
            if (::stat(QFile::encodeName(fds + QLatin1Char('/') + name).constData(), &info) == 0)
                return info.st_size;
        }
    }
    return -1;
}

} // namespace fixtures
