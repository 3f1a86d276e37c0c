#pragma once

#include <QLineEdit>
#include <QStringView>

namespace folioset {

// A line edit for whole numbers that accepts any typing and tidies it when editing ends: the
// text becomes the decimal form of its leading integer (strtol-like: leading blanks, an optional
// sign, ASCII digits; 0 when there is no number). Values beyond the 32-bit range are clamped to
// INT_MIN / INT_MAX rather than wrapped, so an over-long entry stays on the side the user meant.
//
// The tidying is connected to editingFinished in the constructor, before anyone else can connect,
// and Qt calls slots in connection order: every other receiver of editingFinished therefore sees
// the normalised text. A validator is deliberately absent, since QLineEdit withholds
// editingFinished while a validator rejects the text, which would leave "12abc" untidied.
class NumberField : public QLineEdit
{
    Q_OBJECT

public:
    explicit NumberField(QWidget *parent = nullptr);

    // The integer the current text stands for, whether or not it has been normalised yet.
    int value() const;

    // Replaces the text by the decimal form of value(); leaves it untouched when already so.
    void normalise();

    static int parse(QStringView text);
};

} // namespace folioset
