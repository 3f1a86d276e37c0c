#pragma once

#include "windows/alert.h"

#include <QString>

class QWidget;

namespace folioset {

// A failure notice on `window`: `title` as the message, `message` as the details, shown exactly
// as given, with a single OK button. Returns only when the user has dismissed it, with the
// answer's code (1 for OK). The box is named "informationAlertPanel".
int informationAlertPanel(QWidget *window, const QString &title, const QString &message);

} // namespace folioset
