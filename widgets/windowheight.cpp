#include "windowheight.h"

#include <QEvent>
#include <QLayout>
#include <QWidget>

#include <algorithm>

namespace folioset {

namespace {

class HeightKeeper : public QObject
{
public:
    explicit HeightKeeper(QWidget *widget) : QObject(widget), m_window(widget) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window &&
            (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest ||
             event->type() == QEvent::Show))
            apply();
        return false;
    }

private:
    void apply()
    {
        const QLayout *layout = m_window->layout();
        if (!layout || !layout->hasHeightForWidth())
            return;
        const int needed = heightForItsLines(m_window);
        if (m_window->minimumHeight() != needed)
            m_window->setMinimumHeight(needed);
    }

    QWidget *m_window;
};

} // namespace

int heightForItsLines(const QWidget *widget)
{
    const QLayout *layout = widget ? widget->layout() : nullptr;
    if (!layout)
        return 0;
    const int least = layout->totalMinimumSize().height();
    return layout->hasHeightForWidth()
               ? std::max(least, layout->minimumHeightForWidth(widget->width()))
               : least;
}

void keepTallEnoughForItsLines(QWidget *widget)
{
    if (widget)
        widget->installEventFilter(new HeightKeeper(widget));
}

} // namespace folioset
