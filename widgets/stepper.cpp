#include "stepper.h"

#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace folioset {

namespace {

constexpr int focusRing = 2;

} // namespace

Stepper::Stepper(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    // Room around the arrows for the ring that shows the keyboard focus.
    layout->setContentsMargins(focusRing, focusRing, focusRing, focusRing);
    layout->setSpacing(0);
    const auto arrow = [this, layout](Qt::ArrowType type, const QString &name, auto step) {
        auto *button = new QToolButton(this);
        button->setArrowType(type);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAccessibleName(name);
        button->setFixedSize(18, 12);
        connect(button, &QToolButton::clicked, this, step);
        layout->addWidget(button);
    };
    arrow(Qt::UpArrow, tr("Increase"), [this] { stepUp(); });
    arrow(Qt::DownArrow, tr("Decrease"), [this] { stepDown(); });
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Stepper::setValue(int value)
{
    const int bounded = std::clamp(value, m_minimum, std::max(m_minimum, m_maximum));
    if (bounded == m_value)
        return;
    m_value = bounded;
    emit valueChanged(m_value);
}

void Stepper::setMinimum(int minimum)
{
    m_minimum = minimum;
    setValue(m_value);
}

void Stepper::setMaximum(int maximum)
{
    m_maximum = maximum;
    setValue(m_value);
}

void Stepper::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), focusRing));
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void Stepper::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up)
        stepUp();
    else if (event->key() == Qt::Key_Down)
        stepDown();
    else
        QWidget::keyPressEvent(event);
}

} // namespace folioset
