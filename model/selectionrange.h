#pragma once

#include <QString>
#include <QVariantList>

namespace folioset {

// Which pages of a multi-page input are converted, and in which order. Only the field of the
// current kind takes part in the description, in equality and in the page list; the others
// keep whatever they were given.
class SelectionRange
{
public:
    enum Kind { AllPages = 0, Ranges = 1, Steps = 2, ReversedSteps = 3 };

    int pageRangeType() const { return m_pageRangeType; }
    void setPageRangeType(int kind) { m_pageRangeType = kind; }
    // Pairs "start-end" joined by ",", 1-based, both ends included; "12-9" runs downwards.
    QString pageRange() const { return m_pageRange; }
    void setPageRange(const QString &text) { m_pageRange = text; }
    int pageSteps() const { return m_pageSteps; }
    void setPageSteps(int step) { m_pageSteps = step; }
    int pageStepsReversed() const { return m_pageStepsReversed; }
    void setPageStepsReversed(int step) { m_pageStepsReversed = step; }

    QString description() const;

    // The well-formed "start-end" pieces of pageRange() as maps with the text values "start"
    // and "end", unchecked and untrimmed.
    QVariantList parseRange() const;
    // Rebuilds pageRange() from maps with "start" and "end" (texts or numbers).
    void setRange(const QVariantList &pairs);

    // A rule equals itself; otherwise only a rule of the same known kind whose field for that
    // kind is the same. A rule of an unknown kind equals nothing but itself.
    bool isEqual(const SelectionRange *other) const;
    bool operator==(const SelectionRange &other) const { return isEqual(&other); }

private:
    int m_pageRangeType = AllPages;
    QString m_pageRange = QStringLiteral("");
    int m_pageSteps = 1;
    int m_pageStepsReversed = 1;
};

} // namespace folioset
