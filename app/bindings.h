#pragma once

#include "model/settings.h"

#include <QAbstractButton>
#include <QLineEdit>

namespace folioset::bind {

// Two-way links between a control and a field of the settings: what the user types or clicks
// is stored at once; a change made elsewhere (a stored value loaded, a run's write-back) shows.

template <typename Getter, typename Setter, typename Signal>
void text(QLineEdit *field, Settings *settings, Getter get, Setter set, Signal changed)
{
    field->setText((settings->*get)());
    QObject::connect(field, &QLineEdit::textEdited, settings,
                     [settings, set](const QString &value) { (settings->*set)(value); });
    QObject::connect(settings, changed, field, [field, settings, get] {
        if (field->text() != (settings->*get)())
            field->setText((settings->*get)());
    });
}

template <typename Getter, typename Setter, typename Signal>
void check(QAbstractButton *box, Settings *settings, Getter get, Setter set, Signal changed)
{
    box->setChecked((settings->*get)());
    QObject::connect(box, &QAbstractButton::toggled, settings,
                     [settings, set](bool on) { (settings->*set)(on); });
    QObject::connect(settings, changed, box,
                     [box, settings, get] { box->setChecked((settings->*get)()); });
}

} // namespace folioset::bind
