#pragma once

#include <QList>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QUrl>

namespace folioset {

// The file table: while the list is empty it shows how to fill it (an illustration and a line
// of text, stronger while its window is the active one); it offers its row menu only when rows
// are highlighted; Space, Delete and Ctrl with an arrow reach the list commands; and it takes
// files and folders dropped from a file manager.
class CustomTableView : public QTableView
{
    Q_OBJECT
    Q_PROPERTY(bool disableDrawing READ disableDrawing WRITE setDisableDrawing)

public:
    explicit CustomTableView(QWidget *parent = nullptr);

    QMenu *contextMenu() const { return m_contextMenu; }
    void setContextMenu(QMenu *menu) { m_contextMenu = menu; }
    bool disableDrawing() const { return m_disableDrawing; }
    void setDisableDrawing(bool disable);
    // What a drop would do, without the drag: the files and folders arrive as a drop does.
    // Refused (false) while the table is disabled, as during a load or a conversion.
    bool acceptDroppedUrls(const QList<QUrl> &urls);

    static QString hintText();

signals:
    void spacePressed();
    void deletePressed();
    void moveRequested(int direction); // -1 up, +1 down
    void urlsDropped(const QList<QUrl> &urls);

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void paintFocusRing();
    bool acceptsDrag(const QDropEvent *event) const;
    void paintHint();

    QPointer<QMenu> m_contextMenu;
    bool m_disableDrawing = false;
};

} // namespace folioset
