#pragma once

#include <QLabel>
#include <QTimer>

namespace folioset {

// A label that shows a figure which changes: a count, a time, the file in progress.
//
// Assistive technology reads the figure itself as the label's name (and as its text), and the
// label's accessibleName, the caption that says what the figure is ("Totals"), as its
// description. A change is announced through accessibility update events, at most once in each
// `announceInterval`: the first change at once, the latest of a burst when the interval is over,
// so a run that updates the figure hundreds of times a second is heard a few times a second and
// never misses its last word.
//
// With an elide mode the label may be narrower than its text: the text is then cut with an
// ellipsis and shown whole in its tool tip, and assistive technology still gets all of it.
//
// Write the text through this class: QLabel's own setText cannot tell it that the text changed.
class ValueLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(Qt::TextElideMode elideMode READ elideMode WRITE setElideMode)

public:
    static constexpr int announceInterval = 300; // milliseconds

    explicit ValueLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    Qt::TextElideMode elideMode() const { return m_elideMode; }
    void setElideMode(Qt::TextElideMode mode);
    // Whether the text is cut at the label's present width.
    bool isElided() const;

    QSize minimumSizeHint() const override;

signals:
    // A change was announced to assistive technology, with the text it was given.
    void announced(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void announce();
    void updateToolTip();

    Qt::TextElideMode m_elideMode = Qt::ElideNone;
    QTimer m_quiet; // running while announcements wait
    bool m_pending = false;
    QString m_announced;
};

} // namespace folioset
