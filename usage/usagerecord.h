#pragma once

#include "featureusages.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace folioset {

// What a usage record (Usages.Log) holds, read leniently: each field is present only when the
// text gave a usable value for it, so that a damaged record changes no more than it must.
struct UsageRecord
{
    std::optional<QString> productName;
    std::optional<QString> version;
    std::optional<QDateTime> buildDate;
    std::optional<QDateTime> lastReportSentOn;
    std::optional<QDateTime> lastReviewAskDate;
    bool enabled = false;           // only the exact word "true" sets it
    bool neverAskForReview = false; // likewise
    std::optional<int> nextReviewTargetValue;
    QList<FeatureUsages> features;
};

// nullopt when nothing at all can be made of the bytes.
std::optional<UsageRecord> parseUsageRecord(const QByteArray &bytes);

} // namespace folioset
