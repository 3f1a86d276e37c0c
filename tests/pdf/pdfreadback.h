#pragma once

// Reads written PDFs back with qpdf, independently of the code that wrote them.

#include <QImage>
#include <QSizeF>
#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <memory>
#include <vector>

namespace readback {

// Throws QPDFExc when the file cannot be opened with `password`.
std::shared_ptr<QPDF> open(const QString &path, const QString &password = {});
std::vector<QPDFObjectHandle> pages(QPDF &pdf);
QSizeF mediaBox(QPDFObjectHandle page);
int rotation(QPDFObjectHandle page);
QPDFObjectHandle image(QPDFObjectHandle page); // /Im0 of the page's resources
QByteArray rawData(QPDFObjectHandle stream);   // as stored (after decryption)
QByteArray contents(QPDFObjectHandle page);    // decoded content stream

// The image's pixels as a reader computes them: samples unpacked, palette looked up, /Decode
// applied, the soft mask as alpha. RGBA64 so that 16-bit samples keep every bit.
QImage pixels(QPDFObjectHandle image);

// The same picture in the same format, for comparing against `pixels`.
QImage comparable(const QImage &source);

} // namespace readback
