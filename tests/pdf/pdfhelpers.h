#pragma once

#include "engine/pdf/document.h"
#include "engine/image/imagesource.h"
#include "pdfreadback.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace helpers {

// One page from `path`, frame `index`; false with the reason when either step fails.
inline bool appendPage(folioset::pdf::Document &document, const QString &path, int index = 0,
                       QString *reason = nullptr)
{
    const auto source = folioset::image::ImageSource::open(path, reason);
    return source && document.appendImagePage(*source, index, reason);
}

// Every entry of a folder, hidden ones included: temporary files start with a dot.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

inline QImage indexedImage(QSize size, int colours, int seed = 1)
{
    QImage image(size, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(qRgb((i * 53 + seed * 17) % 256, (i * 97) % 256, (i * 29 + 200) % 256));
    image.setColorTable(table);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, uint((x / 3 + y / 5 + seed * x * y) % colours));
    }
    return image;
}

// Frame `index` as Qt decodes it: the reference for what the page must show.
inline QImage qtFrame(const QString &path, int index)
{
    QImageReader reader(path);
    QImage image;
    for (int i = 0; i <= index; ++i)
        image = reader.read();
    return image;
}

// Frame `index` of `path` written as a one-page PDF beside it, opened again: the page's image,
// or a null handle with the reason when a step fails. `keep` holds the open file.
inline QPDFObjectHandle writtenImage(const QString &path, int index, std::shared_ptr<QPDF> *keep,
                                     QString *reason = nullptr)
{
    folioset::pdf::Document document;
    const QString out = path + QStringLiteral(".pdf");
    if (!appendPage(document, path, index, reason) || !document.write(out, {}, nullptr, reason))
        return {};
    *keep = readback::open(out);
    return readback::image(readback::pages(**keep).at(0));
}

int runJpegPageTests(int argc, char **argv);
int runTiffPageTests(int argc, char **argv);
int runBmpPageTests(int argc, char **argv);
int runGifPageTests(int argc, char **argv);
int runColourProfileTests(int argc, char **argv);
int runOtherPageTests(int argc, char **argv);
int runWritingTests(int argc, char **argv);

} // namespace helpers
