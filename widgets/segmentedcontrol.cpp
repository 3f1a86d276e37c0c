#include "segmentedcontrol.h"

#include "keycharacter.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QToolButton>

#include <mutex>

namespace folioset {

// One segment. Its own class so that assistive technology is given the segment's kind rather
// than what a checkable tool button would say of itself.
class SegmentButton : public QToolButton
{
    Q_OBJECT

public:
    explicit SegmentButton(SegmentedControl *control) : QToolButton(control), m_control(control) {}

    SegmentedControl *control() const { return m_control; }
    int segment() const { return m_control->segmentOf(this); }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
        if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
            m_control->step(segment(), event->key() == Qt::Key_Left ? -1 : 1);
            event->accept();
            return;
        }
        QToolButton::keyPressEvent(event);
    }

private:
    SegmentedControl *m_control;
};

namespace {

// What assistive technology is told of a segment: a command is a push button that runs its
// command when pressed; a toggle a check box whose checked state is the value; a page a page
// tab, selected while its page shows. Every action does what a click does.
class SegmentAccessible : public QAccessibleWidget
{
public:
    explicit SegmentAccessible(SegmentButton *button) : QAccessibleWidget(button) {}

    QAccessible::Role role() const override
    {
        switch (kind()) {
        case SegmentedControl::Kind::Toggle:
            return QAccessible::CheckBox;
        case SegmentedControl::Kind::Page:
            return QAccessible::PageTab;
        case SegmentedControl::Kind::Command:
            break;
        }
        return QAccessible::PushButton;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        const bool on = button()->isChecked();
        switch (kind()) {
        case SegmentedControl::Kind::Toggle:
            state.checkable = true;
            state.checked = on;
            break;
        case SegmentedControl::Kind::Page:
            state.selectable = true;
            state.selected = on;
            break;
        case SegmentedControl::Kind::Command:
            state.pressed = button()->isDown();
            break;
        }
        return state;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString name = button()->accessibleName();
            return name.isEmpty() ? withoutMnemonics(button()->text()) : name;
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (button()->isEnabled())
            names << (kind() == SegmentedControl::Kind::Toggle ? toggleAction() : pressAction());
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if ((action == pressAction() || action == toggleAction()) &&
            actionNames().contains(action)) {
            button()->animateClick();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    SegmentButton *button() const { return static_cast<SegmentButton *>(widget()); }
    SegmentedControl::Kind kind() const
    {
        return button()->control()->segmentKind(button()->segment());
    }
};

// The control itself: a group of commands, or the list of page tabs of a page switch.
class SegmentedControlAccessible : public QAccessibleWidget
{
public:
    explicit SegmentedControlAccessible(SegmentedControl *control) : QAccessibleWidget(control) {}

    QAccessible::Role role() const override
    {
        return static_cast<SegmentedControl *>(widget())->isPageSwitch() ? QAccessible::PageTabList
                                                                         : QAccessible::Grouping;
    }
};

QAccessibleInterface *segmentAccessibility(const QString &className, QObject *object)
{
    if (className == QLatin1String("folioset::SegmentButton"))
        return new SegmentAccessible(static_cast<SegmentButton *>(object));
    if (className == QLatin1String("folioset::SegmentedControl"))
        return new SegmentedControlAccessible(static_cast<SegmentedControl *>(object));
    return nullptr;
}

} // namespace

SegmentedControl::SegmentedControl(QWidget *parent) : QWidget(parent)
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(segmentAccessibility); });
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
    m_kinds.resize(labels.size(), m_pageSwitch ? Kind::Page : Kind::Command);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        // Counted as a segment before anything about it is announced.
        auto *button = new SegmentButton(this);
        m_buttons << button;
        button->setText(labels.at(i));
        button->setAccessibleName(labels.at(i));
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setFocusPolicy(Qt::TabFocus);
        const int segment = int(i);
        connect(button, &QToolButton::clicked, this, [this, segment, button] {
            // The receiver decides the shown state; undo the button's own toggle first.
            if (button->isCheckable())
                button->setChecked(!button->isChecked());
            click(segment);
        });
        layout()->addWidget(button);
        applyKind(segment);
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

SegmentedControl::Kind SegmentedControl::segmentKind(int segment) const
{
    return m_kinds.value(segment, Kind::Command);
}

void SegmentedControl::setSegmentKind(int segment, Kind kind)
{
    if (segment < 0 || segment >= m_kinds.size())
        return;
    m_kinds[segment] = kind;
    applyKind(segment);
}

void SegmentedControl::setPageSwitch(bool pageSwitch)
{
    m_pageSwitch = pageSwitch;
    for (int i = 0; i < m_kinds.size(); ++i)
        setSegmentKind(i, pageSwitch ? Kind::Page : Kind::Command);
}

void SegmentedControl::applyKind(int segment)
{
    QToolButton *b = button(segment);
    if (!b)
        return;
    const bool holdsState = segmentKind(segment) != Kind::Command;
    if (!holdsState)
        b->setChecked(false);
    b->setCheckable(holdsState);
}

QToolButton *SegmentedControl::button(int segment) const
{
    return segment >= 0 && segment < m_buttons.size() ? m_buttons.at(segment) : nullptr;
}

int SegmentedControl::segmentOf(const QObject *button) const
{
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons.at(i) == button)
            return int(i);
    }
    return -1;
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
    QToolButton *b = button(segment);
    if (!b || !b->isCheckable() || b->isChecked() == selected)
        return;
    b->setChecked(selected);
    QAccessible::State changed;
    changed.checked = changed.selected = true;
    QAccessibleStateChangeEvent event(b, changed);
    QAccessible::updateAccessibility(&event);
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

void SegmentedControl::step(int segment, int direction)
{
    for (int next = segment + direction; next >= 0 && next < m_buttons.size(); next += direction) {
        QToolButton *b = m_buttons.at(next);
        if (!b->isEnabled() || b->isHidden())
            continue;
        b->setFocus(direction < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        if (segmentKind(next) == Kind::Page)
            click(next);
        return;
    }
}

void SegmentedControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        restyle();
    QWidget::changeEvent(event);
}

void SegmentedControl::restyle()
{
    // Joined segments: square inner edges, rounded outer ones, one shared border line. The
    // segment with the keyboard focus is ringed all round, two pixels wide, its padding giving
    // up what the ring takes so that nothing moves.
    const QPalette &p = palette();
    const QString border = p.color(QPalette::Mid).name();
    const QString face = p.color(QPalette::Button).name();
    const QString text = p.color(QPalette::ButtonText).name();
    const QString pressed = p.color(QPalette::Highlight).name();
    const QString pressedText = p.color(QPalette::HighlightedText).name();
    const QString disabledText = p.color(QPalette::Disabled, QPalette::ButtonText).name();
    const QString onPressed = p.color(QPalette::WindowText).name();
    for (qsizetype i = 0; i < m_buttons.size(); ++i) {
        const bool first = i == 0;
        const bool last = i == m_buttons.size() - 1;
        const int left = first ? 1 : 0;
        m_buttons.at(i)->setStyleSheet(
            QStringLiteral(
                "QToolButton { border: 1px solid %1; border-left-width: %2px; background: %3;"
                " color: %4; padding: 3px 9px; border-top-left-radius: %5px;"
                " border-bottom-left-radius: %5px; border-top-right-radius: %6px;"
                " border-bottom-right-radius: %6px; }"
                " QToolButton:checked, QToolButton:pressed { background: %7; color: %8; }"
                " QToolButton:disabled { color: %9; }"
                " QToolButton:focus { border: 2px solid %7; padding: 2px 8px 2px %10px; }"
                " QToolButton:checked:focus, QToolButton:pressed:focus { border-color: %11; }")
                .arg(border)
                .arg(left)
                .arg(face, text)
                .arg(first ? 4 : 0)
                .arg(last ? 4 : 0)
                .arg(pressed, pressedText, disabledText)
                .arg(9 + left - 2)
                .arg(onPressed));
    }
}

} // namespace folioset

#include "segmentedcontrol.moc"
