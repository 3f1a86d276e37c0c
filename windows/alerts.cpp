#include "alerts.h"

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

} // namespace folioset
