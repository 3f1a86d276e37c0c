#include "pagepreview.h"

#include <QPainter>

#include <algorithm>

namespace folioset {

PagePreview::PagePreview(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void PagePreview::setPage(const QSizeF &paper, const QRectF &room, const QRectF &image, bool cut)
{
    m_paper = paper;
    m_room = room;
    m_image = image;
    m_cut = cut;
    m_valid = true;
    update();
}

void PagePreview::clearPage(const QSizeF &paper)
{
    m_paper = paper;
    m_room = m_image = QRectF();
    m_cut = false;
    m_valid = false;
    update();
}

void PagePreview::paintEvent(QPaintEvent *)
{
    if (m_paper.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The paper as large as the widget allows, centred, with room for its shadow.
    const QRectF area = QRectF(rect()).adjusted(6, 6, -8, -8);
    const double scale = std::min(area.width() / m_paper.width(), area.height() / m_paper.height());
    const QSizeF shown = m_paper * scale;
    const QPointF origin(area.x() + (area.width() - shown.width()) / 2,
                         area.y() + (area.height() - shown.height()) / 2);
    // Page points, y up, to widget pixels, y down.
    const auto map = [&](const QRectF &r) {
        return QRectF(origin.x() + r.x() * scale,
                      origin.y() + (m_paper.height() - r.y() - r.height()) * scale,
                      r.width() * scale, r.height() * scale);
    };
    const QRectF sheet(origin, shown);
    painter.fillRect(sheet.translated(2, 2), palette().color(QPalette::Shadow));
    painter.fillRect(sheet, Qt::white);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawRect(sheet);

    if (!m_valid) {
        painter.setPen(QPen(QColor(200, 40, 40), 2));
        painter.drawLine(sheet.topLeft(), sheet.bottomRight());
        painter.drawLine(sheet.topRight(), sheet.bottomLeft());
        return;
    }
    const QRectF room = map(m_room);
    QRectF image = map(m_image);
    painter.save();
    if (m_cut)
        painter.setClipRect(room);
    const QColor fill = palette().color(QPalette::Highlight);
    painter.fillRect(image, QColor(fill.red(), fill.green(), fill.blue(), 150));
    painter.setPen(QPen(fill.darker(130), 1));
    painter.drawRect(image);
    // A cross through the rectangle shows its proportions at a glance.
    painter.drawLine(image.topLeft(), image.bottomRight());
    painter.drawLine(image.topRight(), image.bottomLeft());
    painter.restore();
    if (room != sheet) {
        painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
        painter.drawRect(room);
    }
}

} // namespace folioset
