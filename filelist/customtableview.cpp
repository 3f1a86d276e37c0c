#include "customtableview.h"

#include "filelistmodel.h"
#include "resources/resourceimage.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

namespace folioset {

namespace {

constexpr QSize kHintImage(220, 211);
constexpr int kHintTextWidth = 290;
constexpr int kFocusRing = 2;

} // namespace

CustomTableView::CustomTableView(QWidget *parent) : QTableView(parent)
{
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    // Arrows move within the list; Tab moves on to the next control, as everywhere else.
    setTabKeyNavigation(false);
    // A column being dragged would slide over the hint.
    connect(horizontalHeader(), &QHeaderView::sectionPressed, this,
            [this] { setDisableDrawing(true); });
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this,
            [this] { setDisableDrawing(false); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this] { setDisableDrawing(false); });
}

QString CustomTableView::hintText()
{
    return QStringLiteral("Drag and Drop your files/folders directly from the finder here.");
}

void CustomTableView::setDisableDrawing(bool disable)
{
    if (m_disableDrawing == disable)
        return;
    m_disableDrawing = disable;
    viewport()->update();
}

void CustomTableView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (!m_disableDrawing && model() && model()->rowCount() == 0)
        paintHint();
    if (hasFocus())
        paintFocusRing();
}

void CustomTableView::paintFocusRing()
{
    // The style marks only the current cell, and nothing at all in an empty list: the whole list
    // is ringed while it has the keyboard focus.
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), kFocusRing));
    painter.drawRect(
        QRectF(viewport()->rect())
            .adjusted(kFocusRing / 2.0, kFocusRing / 2.0, -kFocusRing / 2.0, -kFocusRing / 2.0));
}

void CustomTableView::focusInEvent(QFocusEvent *event)
{
    // Arriving in a list without a current row starts on the first file's name, which is what
    // a screen reader should read, rather than on its check box or lock.
    const bool fresh = !currentIndex().isValid();
    QTableView::focusInEvent(event);
    const int name = FileListModel::columnOf(QStringLiteral("name"));
    if (fresh && model() && model()->rowCount() > 0 && name >= 0) {
        // Without scrolling the check boxes out of a narrow list to show the whole name.
        const int across = horizontalScrollBar()->value();
        selectionModel()->setCurrentIndex(
            model()->index(currentIndex().isValid() ? currentIndex().row() : 0, name),
            QItemSelectionModel::NoUpdate);
        horizontalScrollBar()->setValue(across);
    }
    viewport()->update();
}

void CustomTableView::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void CustomTableView::paintHint()
{
    QPainter painter(viewport());
    const bool main = window()->isActiveWindow();
    const QRect area = viewport()->rect();
    const qreal ratio = devicePixelRatioF();
    QImage art = resourceImage(main ? QStringLiteral("Drop1.pdf") : QStringLiteral("Drop.pdf"),
                               kHintImage * ratio);
    art.setDevicePixelRatio(ratio);
    // Centred, and lifted a little so the text beneath stays in the same picture.
    const QRect image(area.center().x() - kHintImage.width() / 2,
                      area.center().y() - kHintImage.height() / 2 - 30, kHintImage.width(),
                      kHintImage.height());
    painter.drawImage(image.topLeft(), art);

    QFont font = this->font();
    font.setPointSizeF(18);
    painter.setFont(font);
    painter.setPen(main ? QColor::fromRgbF(129 / 255.0, 167 / 255.0, 200 / 255.0)
                        : palette().color(QPalette::Disabled, QPalette::Text));
    const QRect text(image.left() - (kHintTextWidth - kHintImage.width()) / 2, image.bottom() + 8,
                     kHintTextWidth, kHintImage.height());
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, hintText());
}

void CustomTableView::contextMenuEvent(QContextMenuEvent *event)
{
    // The row commands act on highlighted rows; with none there is nothing to offer, and a right
    // click does not highlight a row first.
    if (event->reason() != QContextMenuEvent::Mouse || !m_contextMenu || !selectionModel() ||
        !selectionModel()->hasSelection()) {
        event->ignore();
        return;
    }
    m_contextMenu->popup(event->globalPos());
    event->accept();
}

void CustomTableView::keyPressEvent(QKeyEvent *event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Space && !control) {
        emit spacePressed();
    } else if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        emit deletePressed();
    } else if (control && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        emit moveRequested(event->key() == Qt::Key_Up ? -1 : 1);
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool CustomTableView::acceptsDrag(const QDropEvent *event) const
{
    return isEnabled() && event->source() != this && event->mimeData() &&
           event->mimeData()->hasUrls();
}

void CustomTableView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CustomTableView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    // The whole table is the target, whatever row is under the pointer.
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CustomTableView::dropEvent(QDropEvent *event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    acceptDroppedUrls(event->mimeData()->urls());
}

bool CustomTableView::acceptDroppedUrls(const QList<QUrl> &urls)
{
    QList<QUrl> files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files << url;
    }
    if (!isEnabled() || files.isEmpty())
        return false;
    emit urlsDropped(files);
    return true;
}

void CustomTableView::changeEvent(QEvent *event)
{
    // The hint's image and colour follow whether the window is the active one.
    if (event->type() == QEvent::ActivationChange)
        viewport()->update();
    QTableView::changeEvent(event);
}

} // namespace folioset
