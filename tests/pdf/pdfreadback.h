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

// The image's samples as a reader gets them out of its filters, packed as the PDF packs them.
QByteArray samples(QPDFObjectHandle image);
// Colours per sample of a colour space: 1 for a palette.
int colourComponents(QPDFObjectHandle space);
// The image's colour space family: /DeviceRGB, /Indexed, /ICCBased...
QByteArray colourSpaceName(QPDFObjectHandle image);

// The image's pixels as a reader computes them: samples unpacked, palette looked up, /Decode
// applied, the soft mask as alpha. RGBA64 so that 16-bit samples keep every bit.
QImage pixels(QPDFObjectHandle image);

// The same picture in the same format, for comparing against `pixels`.
QImage comparable(const QImage &source);
// What a viewer shows: colour weighted by alpha, so that the colour of a fully transparent
// pixel, which nothing shows, does not count.
QImage shown(const QImage &pixels);

} // namespace readback
