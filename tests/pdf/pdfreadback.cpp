#include "pdfreadback.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QUtil.hh>

#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

#include <tiffio.h>

namespace readback {

std::shared_ptr<QPDF> open(const QString &path, const QString &password)
{
    // Readers turn a typed password into PDFDocEncoding for RC4 files; qpdf takes bytes.
    std::string pdfDoc;
    const std::string utf8 = password.toStdString();
    const bool converted = QUtil::utf8_to_pdf_doc(utf8, pdfDoc);
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    try {
        pdf->processFile(QFile::encodeName(path).constData(), utf8.c_str());
    } catch (const QPDFExc &e) {
        if (e.getErrorCode() != qpdf_e_password || !converted || pdfDoc == utf8)
            throw;
        pdf = std::make_shared<QPDF>();
        pdf->setSuppressWarnings(true);
        pdf->processFile(QFile::encodeName(path).constData(), pdfDoc.c_str());
    }
    return pdf;
}

std::vector<QPDFObjectHandle> pages(QPDF &pdf)
{
    std::vector<QPDFObjectHandle> result;
    for (auto &page : QPDFPageDocumentHelper(pdf).getAllPages())
        result.push_back(page.getObjectHandle());
    return result;
}

QSizeF mediaBox(QPDFObjectHandle page)
{
    auto box = page.getKey("/MediaBox");
    return {box.getArrayItem(2).getNumericValue() - box.getArrayItem(0).getNumericValue(),
            box.getArrayItem(3).getNumericValue() - box.getArrayItem(1).getNumericValue()};
}

int rotation(QPDFObjectHandle page)
{
    auto rotate = page.getKey("/Rotate");
    return rotate.isInteger() ? rotate.getIntValueAsInt() : 0;
}

QPDFObjectHandle image(QPDFObjectHandle page)
{
    return page.getKey("/Resources").getKey("/XObject").getKey("/Im0");
}

static QByteArray toBytes(const std::shared_ptr<Buffer> &buffer)
{
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()),
                      qsizetype(buffer->getSize()));
}

QByteArray rawData(QPDFObjectHandle stream)
{
    return toBytes(stream.getRawStreamData());
}

QByteArray contents(QPDFObjectHandle page)
{
    return toBytes(page.getKey("/Contents").getStreamData(qpdf_dl_all));
}

namespace {

struct Samples
{
    QByteArray data;
    int width, height, bits, components;

    unsigned at(int x, int y, int c) const
    {
        const std::size_t rowBytes = (std::size_t(width) * components * bits + 7) / 8;
        const std::size_t bit = std::size_t(x * components + c) * bits;
        auto *row = reinterpret_cast<const unsigned char *>(data.constData()) + y * rowBytes;
        if (bits == 16)
            return unsigned(row[bit / 8]) << 8 | row[bit / 8 + 1];
        if (bits == 8)
            return row[bit / 8];
        return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    }

    // Scaled to 16 bits the way Qt widens samples.
    static quint16 widen(unsigned v, int bits)
    {
        if (bits == 16)
            return quint16(v);
        return quint16(v * 65535u / ((1u << bits) - 1));
    }
};

// Group 4 data read back by libtiff's codec from a one-strip TIFF around it. libtiff gives a
// set bit for black; so does a PDF reader with /BlackIs1 true, the opposite without.
QByteArray ccittSamples(QPDFObjectHandle image)
{
    auto dict = image.getDict();
    auto parms = dict.getKey("/DecodeParms");
    const int width = parms.getKey("/Columns").getIntValueAsInt();
    const int height = parms.getKey("/Rows").getIntValueAsInt();
    if (parms.getKey("/K").getIntValueAsInt() != -1 ||
        width != dict.getKey("/Width").getIntValueAsInt())
        throw std::runtime_error("unexpected CCITT parameters");
    const bool blackIs1 =
        parms.getKey("/BlackIs1").isBool() && parms.getKey("/BlackIs1").getBoolValue();
    const QByteArray raw = rawData(image);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("strip.tif")));
    TIFF *out = TIFFOpen(path.constData(), "w");
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, std::uint32_t(height));
    TIFFWriteRawStrip(out, 0, const_cast<char *>(raw.constData()), raw.size());
    TIFFClose(out);
    TIFF *in = TIFFOpen(path.constData(), "r");
    const qsizetype rowBytes = (width + 7) / 8;
    QByteArray bits(rowBytes * height, '\0');
    for (int y = 0; in && y < height; ++y) {
        if (TIFFReadScanline(in, bits.data() + y * rowBytes, std::uint32_t(y)) < 0)
            throw std::runtime_error("the CCITT data does not decode");
    }
    if (!in)
        throw std::runtime_error("the CCITT data does not decode");
    TIFFClose(in);
    if (!blackIs1) {
        for (char &byte : bits)
            byte = char(~byte);
    }
    return bits;
}

Samples samplesOf(QPDFObjectHandle image, int components)
{
    auto dict = image.getDict();
    Samples s;
    s.data = samples(image);
    s.width = dict.getKey("/Width").getIntValueAsInt();
    s.height = dict.getKey("/Height").getIntValueAsInt();
    s.bits = dict.getKey("/BitsPerComponent").getIntValueAsInt();
    s.components = components;
    const std::size_t rowBytes = (std::size_t(s.width) * components * s.bits + 7) / 8;
    if (std::size_t(s.data.size()) != rowBytes * std::size_t(s.height))
        throw std::runtime_error("image data has the wrong length");
    return s;
}

} // namespace

QByteArray samples(QPDFObjectHandle image)
{
    auto filter = image.getDict().getKey("/Filter");
    if (filter.isName() && filter.getName() == "/CCITTFaxDecode")
        return ccittSamples(image);
    return toBytes(image.getStreamData(qpdf_dl_all));
}

int colourComponents(QPDFObjectHandle space)
{
    if (space.isArray() && space.getArrayItem(0).getName() == "/ICCBased")
        return space.getArrayItem(1).getDict().getKey("/N").getIntValueAsInt();
    if (space.isArray() && space.getArrayItem(0).getName() == "/Indexed")
        return 1;
    if (space.isName() && space.getName() == "/DeviceGray")
        return 1;
    if (space.isName() && space.getName() == "/DeviceRGB")
        return 3;
    if (space.isName() && space.getName() == "/DeviceCMYK")
        return 4;
    throw std::runtime_error("unexpected colour space");
}

QByteArray colourSpaceName(QPDFObjectHandle image)
{
    auto space = image.getDict().getKey("/ColorSpace");
    return QByteArray::fromStdString(space.isArray() ? space.getArrayItem(0).getName()
                                                     : space.getName());
}

QImage pixels(QPDFObjectHandle image)
{
    auto dict = image.getDict();
    auto space = dict.getKey("/ColorSpace");
    QByteArray palette;
    const int components = colourComponents(space);
    bool indexed = false;
    if (space.isArray() && space.getArrayItem(0).getName() == "/Indexed") {
        indexed = true;
        const std::string table = space.getArrayItem(3).getStringValue();
        palette = QByteArray(table.data(), qsizetype(table.size()));
        if (colourComponents(space.getArrayItem(1)) != 3)
            throw std::runtime_error("unexpected palette base");
    } else if (components == 4) {
        throw std::runtime_error("CMYK has no RGB to compare: compare samples()");
    }
    const Samples s = samplesOf(image, components);
    auto decode = dict.getKey("/Decode");
    const bool inverted = decode.isArray() && decode.getArrayItem(0).getNumericValue() == 1;

    QImage result(s.width, s.height, QImage::Format_RGBA64);
    for (int y = 0; y < s.height; ++y) {
        auto *line = reinterpret_cast<QRgba64 *>(result.scanLine(y));
        for (int x = 0; x < s.width; ++x) {
            auto value = [&](int c) {
                unsigned v = s.at(x, y, c);
                if (inverted)
                    v = ((1u << s.bits) - 1) - v;
                return v;
            };
            if (indexed) {
                const int i = int(value(0));
                auto entry = [&](int c) {
                    return quint16(static_cast<unsigned char>(palette.at(3 * i + c)) * 257);
                };
                line[x] = QRgba64::fromRgba64(entry(0), entry(1), entry(2), 65535);
            } else if (components == 1) {
                const quint16 g = Samples::widen(value(0), s.bits);
                line[x] = QRgba64::fromRgba64(g, g, g, 65535);
            } else {
                line[x] = QRgba64::fromRgba64(Samples::widen(value(0), s.bits),
                                              Samples::widen(value(1), s.bits),
                                              Samples::widen(value(2), s.bits), 65535);
            }
        }
    }
    auto mask = dict.getKey("/SMask");
    if (mask.isStream()) {
        const Samples alpha = samplesOf(mask, 1);
        for (int y = 0; y < s.height; ++y) {
            auto *line = reinterpret_cast<QRgba64 *>(result.scanLine(y));
            for (int x = 0; x < s.width; ++x)
                line[x].setAlpha(Samples::widen(alpha.at(x, y, 0), alpha.bits));
        }
    }
    return result;
}

QImage comparable(const QImage &source)
{
    return source.convertToFormat(QImage::Format_RGBA64);
}

QImage shown(const QImage &pixels)
{
    return pixels.convertToFormat(QImage::Format_RGBA64_Premultiplied);
}

} // namespace readback
