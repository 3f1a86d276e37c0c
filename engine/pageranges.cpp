// Page lists and bookmarks: the two helpers the run applies to every input.
#include "process.h"

#include "engine/pdf/document.h"
#include "model/fileitem.h"
#include "model/settings.h"
#include "platform/numbertext.h"
#include "platform/systemlog.h"

#include <QFileInfo>
#include <QSet>

#include <exception>

namespace folioset {

namespace {

void addRange(QList<int> &pages, QSet<int> &seen, int start, int end, int count)
{
    const auto add = [&](int n) {
        if (!seen.contains(n)) {
            seen.insert(n);
            pages.append(n);
        }
    };
    if (start <= end) {
        for (int n = start; n <= std::min(end, count); ++n)
            add(n);
    } else {
        // Numbers above the page count are skipped, not clamped: 12-8 of ten pages is 10, 9, 8.
        for (int n = std::min(start, count); n >= end; --n)
            add(n);
    }
}

QString bookmarkLabel(int kind, const QUrl &fileUrl)
{
    const QString path = fileUrl.toLocalFile();
    const QFileInfo info(path);
    switch (kind) {
    case 1:
        return info.fileName();
    case 2: {
        const QString name = info.fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot > 0 ? name.left(dot) : name;
    }
    case 3:
        return path.size() < 2 ? QString() : path.mid(1);
    default:
        return QString();
    }
}

} // namespace

QList<int> Process::getPageRanges(const FileItem *item)
{
    QList<int> pages;
    if (!item || !item->selection())
        return pages;
    try {
        const SelectionRange &rule = *item->selection();
        const int count = item->pages();
        switch (rule.pageRangeType()) {
        case SelectionRange::AllPages:
            for (int n = 1; n <= count; ++n)
                pages.append(n);
            break;
        case SelectionRange::Ranges: {
            QSet<int> seen;
            const QStringList parts = rule.pageRange().split(QLatin1Char(','));
            for (const QString &part : parts) {
                const QStringList ends = part.split(QLatin1Char('-'));
                if (ends.size() != 2)
                    continue;
                const int start = leadingInteger(ends.at(0));
                const int end = leadingInteger(ends.at(1));
                if (start <= 0 || end <= 0)
                    continue;
                addRange(pages, seen, start, end, count);
            }
            break;
        }
        case SelectionRange::Steps: {
            // A step below 1 would never advance; it selects nothing.
            const int step = rule.pageSteps();
            for (qint64 n = step; step >= 1 && n <= count; n += step)
                pages.append(int(n));
            break;
        }
        case SelectionRange::ReversedSteps: {
            const int step = rule.pageStepsReversed();
            if (step >= 1 && step <= count) {
                for (qint64 n = qint64(count) - step + 1; n > 0; n -= step)
                    pages.append(int(n));
            }
            break;
        }
        default:
            break;
        }
    } catch (const std::exception &e) {
        logError(QStringLiteral("getPageRanges:fileItem:"), QString::fromUtf8(e.what()));
    }
    return pages;
}

bool Process::addBookmarks(pdf::Document &document, int page, const QUrl &fileUrl) const
{
    try {
        if (!m_settings || !m_settings->pdfSettings())
            return false;
        const int kind = m_settings->pdfSettings()->bookmarkType();
        if (kind <= 0)
            return false;
        document.addOutlineEntry(bookmarkLabel(kind, fileUrl), page);
        return true;
    } catch (const std::exception &e) {
        logError(QStringLiteral("addBookmarks:page:fileURL:"), QString::fromUtf8(e.what()));
        return false;
    }
}

} // namespace folioset
