#pragma once

#include "windows/alert.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace folioset {

// A failure notice on `window`: `title` as the message, `message` as the details, shown exactly
// as given, with a single OK button. Returns only when the user has dismissed it, with the
// answer's code (1 for OK). The box is named "informationAlertPanel".
int informationAlertPanel(QWidget *window, const QString &title, const QString &message);

// A critical alert in front of every window of the program, which waits for the answer:
// `title` as the message, `message` as the details, and `buttons` in order of importance ("OK"
// when none are given). Returns the answer's code as Alert does (1 for the first button, 0 for
// the second or Escape). The box is named "criticalAlertPanel"; `parent` only places it.
int runCriticalAlertPanel(QWidget *parent, const QString &title, const QString &message,
                          const QStringList &buttons = {});

// A notice in the form the running edition shows them: on the window in the second generation
// (informationAlertPanel), in front of the whole program in the first (runCriticalAlertPanel).
int showNotice(QWidget *window, const QString &title, const QString &message);

} // namespace folioset
