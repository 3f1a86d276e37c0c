#include "selectionrange.h"

#include <QVariantMap>

namespace folioset {

QString SelectionRange::description() const
{
    switch (m_pageRangeType) {
    case Ranges:
        return QStringLiteral("By Range(s)(%1)").arg(m_pageRange);
    case Steps:
        return QStringLiteral("By Steps %1 every nth page.").arg(m_pageSteps);
    case ReversedSteps:
        return QStringLiteral("By Reversed Steps %1 every nth page.").arg(m_pageStepsReversed);
    default:
        return QStringLiteral("All Page(s)");
    }
}

QVariantList SelectionRange::parseRange() const
{
    QVariantList pairs;
    if (m_pageRange.isEmpty())
        return pairs;
    const QStringList pieces = m_pageRange.split(QLatin1Char(','));
    for (const QString &piece : pieces) {
        const QStringList ends = piece.split(QLatin1Char('-'));
        if (ends.size() != 2)
            continue;
        pairs.append(QVariantMap{{QStringLiteral("start"), ends.at(0)},
                                 {QStringLiteral("end"), ends.at(1)}});
    }
    return pairs;
}

void SelectionRange::setRange(const QVariantList &pairs)
{
    QStringList texts;
    for (const QVariant &pair : pairs) {
        const QVariantMap map = pair.toMap();
        texts << map.value(QStringLiteral("start")).toString() + QLatin1Char('-') +
                     map.value(QStringLiteral("end")).toString();
    }
    m_pageRange = texts.join(QLatin1Char(','));
}

bool SelectionRange::isEqual(const SelectionRange *other) const
{
    if (other == this)
        return true;
    if (!other || other->m_pageRangeType != m_pageRangeType)
        return false;
    switch (m_pageRangeType) {
    case AllPages:
        return true;
    case Ranges:
        return m_pageRange == other->m_pageRange;
    case Steps:
        return m_pageSteps == other->m_pageSteps;
    case ReversedSteps:
        return m_pageStepsReversed == other->m_pageStepsReversed;
    default:
        return false;
    }
}

} // namespace folioset
