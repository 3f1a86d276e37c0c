#include "flowbar.h"

#include <QChildEvent>
#include <QLayout>
#include <QStyle>

#include <algorithm>

namespace folioset {

namespace {

class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(QWidget *parent) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }
    ~FlowLayout() override { qDeleteAll(m_items); }

    int hSpacing = 6;
    int vSpacing = 6;
    int maxLines = 2;

    void addItem(QLayoutItem *item) override { m_items << item; }
    int count() const override { return int(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override
    {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    int minimumHeightForWidth(int width) const override { return heightForWidth(width); }

    QSize sizeHint() const override
    {
        // Everything on one line.
        int width = 0;
        int height = 0;
        for (const QLayoutItem *item : shown()) {
            width += item->sizeHint().width() + (width > 0 ? hSpacing : 0);
            height = std::max(height, item->sizeHint().height());
        }
        const QMargins m = contentsMargins();
        return {width + m.left() + m.right(), height + m.top() + m.bottom()};
    }

    QSize minimumSize() const override
    {
        // As narrow as the controls allow on at most `maxLines` lines (each line at least as
        // wide as its widest control): narrower would stack them into a tower.
        int low = 0;
        for (const QLayoutItem *item : shown())
            low = std::max(low, item->sizeHint().width());
        const QMargins m = contentsMargins();
        low += m.left() + m.right();
        int high = std::max(low, sizeHint().width());
        while (low < high) {
            const int middle = (low + high) / 2;
            if (lineCountFor(middle) <= maxLines)
                high = middle;
            else
                low = middle + 1;
        }
        // One line's height: how many lines a width takes is for height-for-width to say, so a
        // wide window keeps no empty second line.
        return {low, lineHeight() + contentsMargins().top() + contentsMargins().bottom()};
    }

    int lineHeight() const
    {
        int height = 0;
        for (const QLayoutItem *item : shown())
            height = std::max(height, item->sizeHint().height());
        return height;
    }

    int lineCountFor(int width) const
    {
        int lines = 0;
        arrange(QRect(0, 0, width, 0), false, &lines);
        return lines;
    }

    void setGeometry(const QRect &rect) override
    {
        QLayout::setGeometry(rect);
        arrange(rect, true);
    }

    int lines() const { return m_lines; }

private:
    QList<QLayoutItem *> shown() const
    {
        QList<QLayoutItem *> items;
        for (QLayoutItem *item : m_items) {
            if (!item->isEmpty())
                items << item;
        }
        return items;
    }

    static bool startsRightGroup(const QLayoutItem *item)
    {
        return item->widget() && item->widget()->property("alignRight").toBool();
    }

    // Lays the controls out in `rect` (when `place`) and answers the height they take and,
    // in `lines`, on how many lines.
    int arrange(const QRect &rect, bool place, int *lines = nullptr) const
    {
        const QMargins m = contentsMargins();
        const QRect area = rect.marginsRemoved(m);
        const QList<QLayoutItem *> items = shown();
        int y = area.top();
        int lineCount = 0;
        for (qsizetype first = 0; first < items.size();) {
            // Take as many as fit on this line; at least one.
            int used = 0;
            qsizetype end = first;
            int lineHeight = 0;
            while (end < items.size()) {
                const int w = items.at(end)->sizeHint().width();
                const int needed = used + (end > first ? hSpacing : 0) + w;
                if (end > first && needed > area.width())
                    break;
                used = needed;
                lineHeight = std::max(lineHeight, items.at(end)->sizeHint().height());
                ++end;
            }
            if (place)
                placeLine(items.mid(first, end - first), area, y, lineHeight);
            y += lineHeight + vSpacing;
            ++lineCount;
            first = end;
        }
        if (place)
            const_cast<FlowLayout *>(this)->m_lines = lineCount;
        if (lines)
            *lines = lineCount;
        return (lineCount > 0 ? y - vSpacing - area.top() : 0) + m.top() + m.bottom();
    }

    // Whether the item belongs to the group at the right end of its line: the one marked and
    // every one after it, on whatever line they fall.
    bool inRightGroup(const QLayoutItem *item) const
    {
        for (const QLayoutItem *each : m_items) {
            if (startsRightGroup(each))
                return true;
            if (each == item)
                return false;
        }
        return false;
    }

    void placeLine(const QList<QLayoutItem *> &line, const QRect &area, int y, int height) const
    {
        qsizetype right = line.size();
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (inRightGroup(line.at(i))) {
                right = i;
                break;
            }
        }
        const auto widthOf = [&area](const QLayoutItem *item) {
            return std::min(item->sizeHint().width(), area.width());
        };
        const auto put = [y, height](QLayoutItem *item, int x, int width) {
            const int h = std::min(item->sizeHint().height(), height);
            item->setGeometry(QRect(x, y + (height - h) / 2, width, h));
        };
        int x = area.left();
        for (qsizetype i = 0; i < right; ++i) {
            put(line.at(i), x, widthOf(line.at(i)));
            x += widthOf(line.at(i)) + hSpacing;
        }
        int end = area.right() + 1;
        for (qsizetype i = line.size() - 1; i >= right; --i) {
            end -= widthOf(line.at(i));
            put(line.at(i), end, widthOf(line.at(i)));
            end -= hSpacing;
        }
    }

    QList<QLayoutItem *> m_items;
    int m_lines = 0;
};

FlowLayout *flowOf(const QWidget *bar)
{
    return static_cast<FlowLayout *>(bar->layout());
}

} // namespace

FlowBar::FlowBar(QWidget *parent) : QWidget(parent)
{
    new FlowLayout(this);
    // Not fixed in height: a fixed height would be one line's, and a second line would be cut.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int FlowBar::horizontalSpacing() const
{
    return flowOf(this)->hSpacing;
}

void FlowBar::setHorizontalSpacing(int spacing)
{
    flowOf(this)->hSpacing = spacing;
    flowOf(this)->invalidate();
}

int FlowBar::verticalSpacing() const
{
    return flowOf(this)->vSpacing;
}

void FlowBar::setVerticalSpacing(int spacing)
{
    flowOf(this)->vSpacing = spacing;
    flowOf(this)->invalidate();
}

int FlowBar::lineCount() const
{
    return flowOf(this)->lines();
}

void FlowBar::childEvent(QChildEvent *event)
{
    QWidget::childEvent(event);
    // A control the window description puts here joins the flow, in the order it was made.
    if (event->type() == QEvent::ChildAdded && event->child()->isWidgetType() && layout()) {
        auto *control = static_cast<QWidget *>(event->child());
        if (!control->isWindow() && layout()->indexOf(control) < 0)
            layout()->addWidget(control);
    }
}

} // namespace folioset
