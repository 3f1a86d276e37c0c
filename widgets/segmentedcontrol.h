#pragma once

#include <QStringList>
#include <QWidget>

class QToolButton;

namespace folioset {

// A row of joined buttons, each segment with its own label, enabled state and selected state.
// A click reports the segment and leaves its selected state to the receiver: commands clear it
// again, toggles set it from the value they stand for. Labels come from the `labels` property,
// so a window description can set them; "|"-free texts only.
class SegmentedControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QStringList labels READ labels WRITE setLabels)
    Q_PROPERTY(QStringList toolTips READ toolTips WRITE setToolTips)
    Q_PROPERTY(int selectedSegment READ selectedSegment)

public:
    explicit SegmentedControl(QWidget *parent = nullptr);

    QStringList labels() const;
    void setLabels(const QStringList &labels);
    QStringList toolTips() const;
    void setToolTips(const QStringList &tips);
    int segmentCount() const { return int(m_buttons.size()); }

    void setSegmentEnabled(int segment, bool enabled);
    bool isSegmentEnabled(int segment) const;
    void setSelected(bool selected, int segment);
    bool isSelectedForSegment(int segment) const;
    void setSegmentIcon(int segment, const QIcon &icon);
    // The segment of the last click; -1 before the first.
    int selectedSegment() const { return m_lastClicked; }
    QToolButton *button(int segment) const;

    // What a click does; tests and keyboard shortcuts use it too. Ignored for a disabled or
    // unknown segment, as a click on it would be.
    void click(int segment);

signals:
    void segmentClicked(int segment);

protected:
    void changeEvent(QEvent *event) override;

private:
    void restyle();

    QList<QToolButton *> m_buttons;
    QStringList m_toolTips;
    int m_lastClicked = -1;
};

} // namespace folioset
