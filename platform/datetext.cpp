#include "datetext.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <map>
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
    // Making a formatter costs far more than using one, and a table of dates asks for the same
    // few patterns over and over: one per pattern and thread, kept.
    thread_local std::map<QString, std::unique_ptr<icu::SimpleDateFormat>> formats;
    std::unique_ptr<icu::SimpleDateFormat> &format = formats[unicodePattern];
    if (!format) {
        UErrorCode status = U_ZERO_ERROR;
        format = std::make_unique<icu::SimpleDateFormat>(toIcu(unicodePattern),
                                                         icu::Locale::getDefault(), status);
        if (U_FAILURE(status)) {
            format.reset();
            return {};
        }
        format->adoptTimeZone(icu::TimeZone::createDefault());
    }
    icu::UnicodeString out;
    format->format(UDate(when.toMSecsSinceEpoch()), out);
    return fromIcu(out);
}

} // namespace folioset
