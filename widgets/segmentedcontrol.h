#pragma once

#include <QStringList>
#include <QWidget>

class QToolButton;

namespace folioset {

// A row of joined buttons, each segment with its own label and enabled state. A segment is one
// of three kinds:
// - a command (the default): a momentary button that runs its command and is never left on;
// - a toggle: it stands for an on/off value and shows it as pressed or not;
// - a page: one of a group of segments that switch pages, the current one shown pressed.
// A click, a key or assistive technology's action reports the segment and leaves the shown state
// to the receiver: toggles set it from the value they stand for, pages from the page shown.
// Tab stops at each enabled segment; Left and Right move between them, and also switch pages
// in a page switch. Labels come from the `labels` property, so a window description can set
// them; "|"-free texts only.
class SegmentedControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QStringList labels READ labels WRITE setLabels)
    Q_PROPERTY(QStringList toolTips READ toolTips WRITE setToolTips)
    Q_PROPERTY(bool pageSwitch READ isPageSwitch WRITE setPageSwitch)
    Q_PROPERTY(int selectedSegment READ selectedSegment)

public:
    enum class Kind { Command, Toggle, Page };

    explicit SegmentedControl(QWidget *parent = nullptr);

    QStringList labels() const;
    void setLabels(const QStringList &labels);
    QStringList toolTips() const;
    void setToolTips(const QStringList &tips);
    int segmentCount() const { return int(m_buttons.size()); }

    Kind segmentKind(int segment) const;
    void setSegmentKind(int segment, Kind kind);
    // Every segment, present and future, a page of one page switch.
    bool isPageSwitch() const { return m_pageSwitch; }
    void setPageSwitch(bool pageSwitch);

    void setSegmentEnabled(int segment, bool enabled);
    bool isSegmentEnabled(int segment) const;
    // The shown state of a toggle or page; a command segment is never selected.
    void setSelected(bool selected, int segment);
    bool isSelectedForSegment(int segment) const;
    void setSegmentIcon(int segment, const QIcon &icon);
    // The segment of the last click; -1 before the first.
    int selectedSegment() const { return m_lastClicked; }
    QToolButton *button(int segment) const;
    int segmentOf(const QObject *button) const;

    // What a click does; tests and keyboard shortcuts use it too. Ignored for a disabled or
    // unknown segment, as a click on it would be.
    void click(int segment);

signals:
    void segmentClicked(int segment);

protected:
    void changeEvent(QEvent *event) override;

private:
    friend class SegmentButton;

    void applyKind(int segment);
    void restyle();
    // Left (-1) or Right (+1) from `segment`: the focus goes to the next enabled segment, which a
    // page switch also shows.
    void step(int segment, int direction);

    QList<QToolButton *> m_buttons;
    QList<Kind> m_kinds;
    QStringList m_toolTips;
    bool m_pageSwitch = false;
    int m_lastClicked = -1;
};

} // namespace folioset
