#pragma once

#include <QString>

class QAbstractButton;

namespace folioset {

enum class KeyCharacterMatch {
    FirstAnyCase, // the first occurrence, letter case ignored
    LastSameCase, // the last occurrence, letter case respected
};

// Makes the button's keyboard character its mnemonic: underlined where the desktop shows
// mnemonics, and Alt with the character presses the button. A title without the character is
// left as it is. Returns whether a character was marked.
// A title as it reads, its mnemonic marks taken out ("&&" is a literal ampersand).
QString withoutMnemonics(const QString &title);

bool markKeyCharacter(QAbstractButton *button, const QString &keyChar,
                      KeyCharacterMatch match = KeyCharacterMatch::FirstAnyCase);

} // namespace folioset
