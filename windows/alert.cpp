#include "alert.h"

#include "model/utilities.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <mutex>
#include <utility>

namespace folioset {

namespace {

// What a screen reader announces when an alert appears: its title as the name, the message as
// the value and the details as the description. Qt's own would leave the details out, and they
// are what the alert is about.
class AlertAccessible : public QAccessibleWidget
{
public:
    explicit AlertAccessible(Alert *alert) : QAccessibleWidget(alert, QAccessible::AlertMessage) {}

    QString text(QAccessible::Text t) const override
    {
        const auto *alert = static_cast<const Alert *>(widget());
        switch (t) {
        case QAccessible::Name:
            return alert->windowTitle();
        case QAccessible::Value:
            return alert->messageText();
        case QAccessible::Description:
            return alert->informativeText();
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface *alertAccessibility(const QString &className, QObject *object)
{
    if (className == QLatin1String("folioset::Alert"))
        return new AlertAccessible(static_cast<Alert *>(object));
    return nullptr;
}

} // namespace

Alert::Alert(QWidget *parent) : QMessageBox(parent)
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(alertAccessibility); });
    setObjectName(QStringLiteral("alertSheet"));
    setWindowTitle(Utilities::getAppTitle());
    setTextFormat(Qt::PlainText);
    setAlertStyle(m_style);
    connect(this, &QDialog::finished, this, &Alert::finish);
}

void Alert::setAlertStyle(Style style)
{
    m_style = style;
    switch (style) {
    case Style::Warning:
        setIcon(QMessageBox::Warning);
        break;
    case Style::Informational:
        setIcon(QMessageBox::Information);
        break;
    case Style::Critical:
        setIcon(QMessageBox::Critical);
        break;
    }
}

QPushButton *Alert::addButtonWithTitle(const QString &title)
{
    // The roles only place the buttons in the platform's order; the codes come from the order
    // in which they were added.
    const qsizetype index = m_buttons.size();
    const ButtonRole role = index == 0 ? AcceptRole : index == 1 ? RejectRole : ActionRole;
    QPushButton *const button = addButton(title, role);
    m_buttons.append(button);
    if (index == 0)
        setDefaultButton(button);
    else if (index == 1)
        setEscapeButton(button);
    return button;
}

void Alert::attachTo(QWidget *window)
{
    if (window && parentWidget() != window)
        setParent(window, windowFlags());
    setWindowModality(Qt::WindowModal);
}

void Alert::beginSheetModalForWindow(QWidget *window, std::function<void(int)> completionHandler)
{
    attachTo(window);
    m_completionHandler = std::move(completionHandler);
    open();
}

int Alert::runSheetModalForWindow(QWidget *window)
{
    attachTo(window);
    exec();
    return m_returnCode;
}

int Alert::runModal()
{
    setWindowModality(Qt::ApplicationModal);
    exec();
    return m_returnCode;
}

void Alert::keyPressEvent(QKeyEvent *event)
{
    // QMessageBox would let Escape press a lone button and answer 1; here Escape always means
    // "not this", which is the alternate button or nothing.
    if (event->matches(QKeySequence::Cancel)) {
        if (QAbstractButton *const cancel = escapeButton())
            cancel->click();
        else
            reject();
        return;
    }
    QMessageBox::keyPressEvent(event);
}

void Alert::closeEvent(QCloseEvent *event)
{
    // Closing answers like Escape, through reject() with no button clicked; QMessageBox would
    // take a lone button for the answer, or refuse to close without an escape button.
    QDialog::closeEvent(event);
}

void Alert::showEvent(QShowEvent *event)
{
    // An alert always has a way out; QMessageBox's own fallback button would answer 0, not 1.
    if (buttons().isEmpty())
        addButtonWithTitle(tr("OK"));
    // QMessageBox makes the informative label itself and lets it guess rich text.
    if (auto *const label = findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    // With details below it, the message reads as their heading.
    if (auto *const label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = label->font();
        font.setBold(!informativeText().isEmpty());
        label->setFont(font);
    }
    QMessageBox::showEvent(event);
}

int Alert::codeOf(const QAbstractButton *button) const
{
    // Dismissed without a button (Escape, closed): the answer of the escape button, if any.
    qsizetype index = m_buttons.indexOf(button);
    if (index < 0)
        index = m_buttons.indexOf(escapeButton());
    return index < 0 ? 0 : 1 - int(index);
}

void Alert::finish()
{
    m_returnCode = codeOf(clickedButton());
    // Taken out first: the handler may start another sheet on this alert or delete it.
    const std::function<void(int)> handler = std::exchange(m_completionHandler, nullptr);
    if (handler)
        handler(m_returnCode);
}

} // namespace folioset
