#include "usagerecord.h"

#include "isodate.h"

#include "platform/numbertext.h"
#include "platform/xmlsupport.h"

#include <libxml/xpath.h>

#include <memory>

namespace folioset {

namespace {

struct ContextFree
{
    void operator()(xmlXPathContext *context) const { xmlXPathFreeContext(context); }
};
struct ObjectFree
{
    void operator()(xmlXPathObject *object) const { xmlXPathFreeObject(object); }
};

} // namespace

std::optional<UsageRecord> parseUsageRecord(const QByteArray &bytes)
{
    const xml::DocPtr doc = xml::parseLeniently(bytes);
    if (!doc)
        return std::nullopt;
    UsageRecord record;
    QString text;
    if (xml::lastText(doc.get(), "/usagesreporting/productname", &text))
        record.productName = text;
    if (xml::lastText(doc.get(), "/usagesreporting/productversion", &text))
        record.version = text;
    const auto date = [&](const char *path, std::optional<QDateTime> &field) {
        if (xml::lastText(doc.get(), path, &text)) {
            const QDateTime parsed = parseIsoDate(text);
            if (parsed.isValid())
                field = parsed;
        }
    };
    date("/usagesreporting/builddate", record.buildDate);
    date("/usagesreporting/lastreportsenton", record.lastReportSentOn);
    date("/usagesreporting/lastReviewAskDate", record.lastReviewAskDate);
    record.enabled = xml::lastText(doc.get(), "/usagesreporting/enabled", &text) &&
                     text == QLatin1String("true");
    record.neverAskForReview =
        xml::lastText(doc.get(), "/usagesreporting/neverAskForReview", &text) &&
        text == QLatin1String("true");
    if (xml::lastText(doc.get(), "/usagesreporting/nextReviewTargetValue", &text))
        record.nextReviewTargetValue = leadingInteger(text);

    const std::unique_ptr<xmlXPathContext, ContextFree> context(xmlXPathNewContext(doc.get()));
    const std::unique_ptr<xmlXPathObject, ObjectFree> entries(
        context ? xmlXPathEvalExpression(BAD_CAST "/usagesreporting/features/featureusages",
                                         context.get())
                : nullptr);
    if (entries && entries->nodesetval) {
        for (int i = 0; i < entries->nodesetval->nodeNr; ++i) {
            xmlNode *const entry = entries->nodesetval->nodeTab[i];
            FeatureUsages feature;
            if (xml::lastText(entry, "name", &text))
                feature.name = text;
            if (xml::lastText(entry, "usagescount", &text))
                feature.usagesCount = leadingInteger(text);
            if (xml::lastText(entry, "filescount", &text))
                feature.filesCount = leadingInteger(text);
            record.features << feature;
        }
    }
    return record;
}

} // namespace folioset
