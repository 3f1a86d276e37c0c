#include "resourceimage.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

namespace folioset {

namespace {

QString pathOf(const QString &name)
{
    return QStringLiteral(":/images/") + name;
}

bool isSvg(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.peek(512).contains("<svg");
}

} // namespace

QImage resourceImage(const QString &name, const QSize &size)
{
    const QString path = pathOf(name);
    if (!QFile::exists(path) || size.isEmpty())
        return {};
    if (isSvg(path)) {
        QSvgRenderer renderer(path);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        return image;
    }
    QImageReader reader(path);
    reader.setScaledSize(size);
    return reader.read();
}

QIcon resourceIcon(const QString &name)
{
    const QString path = pathOf(name);
    if (!QFile::exists(path))
        return {};
    // QIcon picks its engine by suffix; the look-up names carry the windows' suffixes, not the
    // artwork's, so SVG artwork gets the SVG engine explicitly.
    if (!isSvg(path))
        return QIcon(path);
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(resourceImage(name, QSize(side, side))));
    return icon;
}

} // namespace folioset
