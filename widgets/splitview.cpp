#include "splitview.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QSplitterHandle>

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
    if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished)
        applyLimits();
}

void SplitView::applyLimits()
{
    if (count() < 2)
        return;
    // A pane that asks for more room of its own keeps it.
    widget(0)->setMinimumWidth(std::max(widget(0)->minimumWidth(), firstPaneMinimum));
    widget(1)->setMinimumWidth(std::max(widget(1)->minimumWidth(), secondPaneMinimum));
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
