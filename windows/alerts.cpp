#include "alerts.h"

#include "platform/edition.h"

namespace folioset {

int informationAlertPanel(QWidget *window, const QString &title, const QString &message)
{
    Alert alert(window);
    alert.setObjectName(QStringLiteral("informationAlertPanel"));
    alert.setAlertStyle(Alert::Style::Critical);
    alert.setMessageText(title);
    alert.setInformativeText(message);
    alert.addButtonWithTitle(Alert::tr("OK"));
    return alert.runSheetModalForWindow(window);
}

int runCriticalAlertPanel(QWidget *parent, const QString &title, const QString &message,
                          const QStringList &buttons)
{
    Alert alert(parent);
    alert.setObjectName(QStringLiteral("criticalAlertPanel"));
    alert.setAlertStyle(Alert::Style::Critical);
    alert.setMessageText(title);
    alert.setInformativeText(message);
    for (const QString &button : buttons.isEmpty() ? QStringList{Alert::tr("OK")} : buttons)
        alert.addButtonWithTitle(button);
    return alert.runModal();
}

int showNotice(QWidget *window, const QString &title, const QString &message)
{
    return isFirstGeneration() ? runCriticalAlertPanel(window, title, message)
                               : informationAlertPanel(window, title, message);
}

} // namespace folioset
