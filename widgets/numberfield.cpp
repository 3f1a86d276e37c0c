#include "numberfield.h"

#include "platform/numbertext.h"

namespace folioset {

NumberField::NumberField(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::editingFinished, this, &NumberField::normalise);
}

int NumberField::value() const
{
    return parse(text());
}

void NumberField::normalise()
{
    const QString tidy = QString::number(value());
    if (text() != tidy)
        setText(tidy);
}

int NumberField::parse(QStringView text)
{
    return leadingInteger(text);
}

} // namespace folioset
