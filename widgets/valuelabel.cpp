#include "valuelabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <mutex>
#include <utility>

namespace folioset {

namespace {

class ValueLabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ValueLabelAccessible(ValueLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return label()->text();
        case QAccessible::Description:
            return label()->accessibleName();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // Read-only text: no caret to move, no selection to make.
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override
    {
        return label()->text().mid(start, std::max(0, end - start));
    }
    int characterCount() const override { return int(label()->text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = 0;
        *end = std::max(offset, characterCount());
        return {};
    }

private:
    ValueLabel *label() const { return static_cast<ValueLabel *>(widget()); }
};

QAccessibleInterface *valueLabelAccessibility(const QString &className, QObject *object)
{
    if (className == QLatin1String("folioset::ValueLabel"))
        return new ValueLabelAccessible(static_cast<ValueLabel *>(object));
    return nullptr;
}

} // namespace

ValueLabel::ValueLabel(QWidget *parent) : QLabel(parent)
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(valueLabelAccessibility); });
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(announceInterval);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (!std::exchange(m_pending, false))
            return;
        announce();
        m_quiet.start();
    });
}

void ValueLabel::setText(const QString &text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    updateToolTip();
    if (m_quiet.isActive()) {
        m_pending = true;
        return;
    }
    announce();
    m_quiet.start();
}

void ValueLabel::announce()
{
    const QString now = text();
    if (now == m_announced)
        return;
    const QString before = std::exchange(m_announced, now);
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleTextUpdateEvent changed(this, 0, before, now);
    QAccessible::updateAccessibility(&changed);
    emit announced(now);
}

void ValueLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    updateGeometry();
    updateToolTip();
    update();
}

bool ValueLabel::isElided() const
{
    return m_elideMode != Qt::ElideNone && !wordWrap() &&
           fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

QSize ValueLabel::minimumSizeHint() const
{
    QSize size = QLabel::minimumSizeHint();
    if (m_elideMode != Qt::ElideNone && !wordWrap()) {
        // Room for a few letters and the ellipsis, whatever the text.
        const int few = fontMetrics().horizontalAdvance(QStringLiteral("0000…"));
        const int frame = width() - contentsRect().width();
        size.setWidth(std::min(size.width(), few + frame));
    }
    return size;
}

void ValueLabel::paintEvent(QPaintEvent *event)
{
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), m_elideMode, area.width());
    style()->drawItemText(&painter, area,
                          int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), shown, foregroundRole());
}

void ValueLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ValueLabel::updateToolTip()
{
    if (m_elideMode != Qt::ElideNone)
        setToolTip(isElided() ? text() : QString());
}

} // namespace folioset
