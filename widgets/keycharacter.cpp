#include "keycharacter.h"

#include <QAbstractButton>

namespace folioset {

QString withoutMnemonics(const QString &title)
{
    QString plain;
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) == QLatin1Char('&') && i + 1 < title.size())
            ++i;
        plain += title.at(i);
    }
    return plain;
}

bool markKeyCharacter(QAbstractButton *button, const QString &keyChar, KeyCharacterMatch match)
{
    if (!button || keyChar.isEmpty())
        return false;
    const QString plain = withoutMnemonics(button->text());
    const qsizetype at = match == KeyCharacterMatch::FirstAnyCase
                             ? plain.indexOf(keyChar, 0, Qt::CaseInsensitive)
                             : plain.lastIndexOf(keyChar, -1, Qt::CaseSensitive);
    if (at < 0)
        return false;
    QString marked = plain;
    marked.replace(QLatin1Char('&'), QLatin1String("&&"));
    marked.insert(at + plain.left(at).count(QLatin1Char('&')), QLatin1Char('&'));
    button->setText(marked);
    return true;
}

} // namespace folioset
