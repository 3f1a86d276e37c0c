#include "numbertext.h"

#include <climits>

namespace folioset {

int leadingInteger(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Saturating just past the 32-bit range keeps the accumulator from overflowing however many
    // digits follow, while still telling the clamp which way to go.
    constexpr qint64 limit = qint64(INT_MAX) + 2;
    qint64 magnitude = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (magnitude < limit)
            magnitude = magnitude * 10 + (text[i].unicode() - u'0');
    }
    const qint64 signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX)
        return INT_MAX;
    if (signedValue < INT_MIN)
        return INT_MIN;
    return int(signedValue);
}

} // namespace folioset
