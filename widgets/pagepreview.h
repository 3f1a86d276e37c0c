#pragma once

#include <QRectF>
#include <QSizeF>
#include <QWidget>

namespace folioset {

// A small drawing of a sheet of paper: its margins dashed, the image's rectangle filled, and
// what of the image falls outside the room inside the margins left out, as the page will cut
// it. Lengths are in points and rectangles measured from the paper's bottom-left corner, as on
// a PDF page.
class PagePreview : public QWidget
{
    Q_OBJECT

public:
    explicit PagePreview(QWidget *parent = nullptr);

    // `room` is the paper inside the margins; the image is cut to it when `cut` is set.
    void setPage(const QSizeF &paper, const QRectF &room, const QRectF &image, bool cut);
    // Nothing to show (a layout that cannot be made): the paper only, crossed out.
    void clearPage(const QSizeF &paper);

    QSizeF paper() const { return m_paper; }
    QRectF image() const { return m_image; }
    bool isCut() const { return m_cut; }

    QSize sizeHint() const override { return {180, 200}; }
    QSize minimumSizeHint() const override { return {120, 140}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSizeF m_paper;
    QRectF m_room;
    QRectF m_image;
    bool m_cut = false;
    bool m_valid = false;
};

} // namespace folioset
