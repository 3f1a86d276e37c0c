#include "segmentedcontrol.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

namespace folioset {

SegmentedControl::SegmentedControl(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

QStringList SegmentedControl::labels() const
{
    QStringList result;
    for (const QToolButton *button : m_buttons)
        result << button->text();
    return result;
}

void SegmentedControl::setLabels(const QStringList &labels)
{
    qDeleteAll(m_buttons);
    m_buttons.clear();
    for (qsizetype i = 0; i < labels.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setText(labels.at(i));
        button->setAccessibleName(labels.at(i));
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setFocusPolicy(Qt::TabFocus);
        const int segment = int(i);
        connect(button, &QToolButton::clicked, this, [this, segment, button] {
            // The receiver decides the selected state; undo the button's own toggle first.
            button->setChecked(!button->isChecked());
            click(segment);
        });
        layout()->addWidget(button);
        m_buttons << button;
    }
    setToolTips(m_toolTips);
    restyle();
}

QStringList SegmentedControl::toolTips() const
{
    return m_toolTips;
}

void SegmentedControl::setToolTips(const QStringList &tips)
{
    m_toolTips = tips;
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        m_buttons.at(i)->setToolTip(tips.value(i));
        m_buttons.at(i)->setAccessibleDescription(tips.value(i));
    }
}

QToolButton *SegmentedControl::button(int segment) const
{
    return segment >= 0 && segment < m_buttons.size() ? m_buttons.at(segment) : nullptr;
}

void SegmentedControl::setSegmentEnabled(int segment, bool enabled)
{
    if (QToolButton *b = button(segment))
        b->setEnabled(enabled);
}

bool SegmentedControl::isSegmentEnabled(int segment) const
{
    const QToolButton *b = button(segment);
    return b && b->isEnabled();
}

void SegmentedControl::setSelected(bool selected, int segment)
{
    if (QToolButton *b = button(segment))
        b->setChecked(selected);
}

bool SegmentedControl::isSelectedForSegment(int segment) const
{
    const QToolButton *b = button(segment);
    return b && b->isChecked();
}

void SegmentedControl::setSegmentIcon(int segment, const QIcon &icon)
{
    if (QToolButton *b = button(segment))
        b->setIcon(icon);
}

void SegmentedControl::click(int segment)
{
    const QToolButton *b = button(segment);
    if (!b || !b->isEnabled() || !isEnabled())
        return;
    m_lastClicked = segment;
    emit segmentClicked(segment);
}

void SegmentedControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        restyle();
    QWidget::changeEvent(event);
}

void SegmentedControl::restyle()
{
    // Joined segments: square inner edges, rounded outer ones, one shared border line.
    const QString border = palette().color(QPalette::Mid).name();
    const QString face = palette().color(QPalette::Button).name();
    const QString pressed = palette().color(QPalette::Highlight).name();
    const QString pressedText = palette().color(QPalette::HighlightedText).name();
    const QString disabledText = palette().color(QPalette::Disabled, QPalette::ButtonText).name();
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        const bool first = i == 0;
        const bool last = i == m_buttons.size() - 1;
        m_buttons.at(i)->setStyleSheet(
            QStringLiteral("QToolButton { border: 1px solid %1; %2 background: %3;"
                           " padding: 3px 9px; border-top-left-radius: %4px;"
                           " border-bottom-left-radius: %4px; border-top-right-radius: %5px;"
                           " border-bottom-right-radius: %5px; }"
                           " QToolButton:checked { background: %6; color: %7; }"
                           " QToolButton:disabled { color: %8; }"
                           " QToolButton:focus { border-color: %6; }")
                .arg(border, first ? QString() : QStringLiteral("border-left: none;"), face)
                .arg(first ? 4 : 0)
                .arg(last ? 4 : 0)
                .arg(pressed, pressedText, disabledText));
    }
}

} // namespace folioset
