#include "datetext.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

namespace folioset {

namespace {
icu::UnicodeString toIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

QString fromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}
} // namespace

QString formatDate(const QDateTime &when, const QString &unicodePattern)
{
    if (!when.isValid())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat format(toIcu(unicodePattern), icu::Locale::getDefault(), status);
    if (U_FAILURE(status))
        return {};
    format.adoptTimeZone(icu::TimeZone::createDefault());
    icu::UnicodeString out;
    format.format(UDate(when.toMSecsSinceEpoch()), out);
    return fromIcu(out);
}

} // namespace folioset
