#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

namespace folioset {

// An image of the program's own resources by its look-up name ("Drop.pdf", "folioset.png",
// "LockTemplate.pdf"), drawn at `size` device pixels. Names keep the ones the windows use; the
// artwork behind them is SVG where we draw it, so it stays sharp at any size. An unknown name
// gives a null image.
QImage resourceImage(const QString &name, const QSize &size);

// The same artwork as an icon that renders itself at whatever size a widget asks for.
QIcon resourceIcon(const QString &name);

} // namespace folioset
