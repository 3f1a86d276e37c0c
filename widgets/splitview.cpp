#include "splitview.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QSplitterHandle>

#include <algorithm>

namespace folioset {

namespace {

class SplitViewHandle : public QSplitterHandle
{
public:
    SplitViewHandle(Qt::Orientation orientation, SplitView *parent)
        : QSplitterHandle(orientation, parent), m_view(parent)
    {}

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        m_view->toggleSecondPane();
        event->accept();
    }

private:
    SplitView *m_view;
};

} // namespace

SplitView::SplitView(QWidget *parent) : QSplitter(Qt::Horizontal, parent)
{
    setHandleWidth(1);
    setChildrenCollapsible(false);
}

QSplitterHandle *SplitView::createHandle()
{
    return new SplitViewHandle(orientation(), this);
}

void SplitView::childEvent(QChildEvent *event)
{
    QSplitter::childEvent(event);
    if (event->type() == QEvent::ChildAdded && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished)
        applyLimits();
}

bool SplitView::eventFilter(QObject *watched, QEvent *event)
{
    // A pane whose contents now need more room gets it.
    if (event->type() == QEvent::LayoutRequest && watched->parent() == this)
        applyLimits();
    return QSplitter::eventFilter(watched, event);
}

void SplitView::applyLimits()
{
    if (count() < 2)
        return;
    // A pane's own least width counts too: the split view sums the panes' set minimums and
    // would otherwise let a pane shrink below what its controls need.
    const auto limit = [](QWidget *pane, int floor) {
        const int least = std::max({pane->minimumWidth(), pane->minimumSizeHint().width(), floor});
        if (pane->minimumWidth() != least)
            pane->setMinimumWidth(least);
    };
    limit(widget(0), firstPaneMinimum);
    limit(widget(1), secondPaneMinimum);
    setCollapsible(0, false);
    setCollapsible(1, true);
}

bool SplitView::isSecondPaneCollapsed() const
{
    return count() >= 2 && sizes().value(1) == 0;
}

void SplitView::toggleSecondPane()
{
    if (count() < 2)
        return;
    QList<int> widths = sizes();
    const int total = widths.value(0) + widths.value(1);
    if (isSecondPaneCollapsed()) {
        const int second = std::max(m_restoreWidth, widget(1)->sizeHint().width());
        setSizes({std::max(firstPaneMinimum, total - second), second});
    } else {
        m_restoreWidth = widths.value(1);
        setSizes({total, 0});
    }
}

} // namespace folioset
