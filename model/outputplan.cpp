#include "outputplan.h"

#include "settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace folioset {

namespace {

QString join(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString withPdfExtension(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.fileName().contains(QLatin1Char('.')) ? info.suffix() : QString();
    if (suffix.toUpper() == QLatin1String("PDF"))
        return path;
    const QString stem = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    return stem + QStringLiteral(".pdf");
}

// Two inputs such as scan.jpg and scan.png would both plan scan.pdf, and the second PDF would
// silently replace the first. Later ones get " (2)", " (3)"... before the extension instead.
QString uniqueAmong(const QString &path, const QSet<QString> &taken)
{
    if (!taken.contains(path))
        return path;
    const QFileInfo info(path);
    const QString stem = path.left(path.size() - info.suffix().size() - 1);
    for (int n = 2;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2).%3").arg(stem).arg(n).arg(info.suffix());
        if (!taken.contains(candidate))
            return candidate;
    }
}

} // namespace

QString combineModeName(int combineOptionIndex)
{
    switch (combineOptionIndex) {
    case 0:
        return QStringLiteral("Single image to single PDF");
    case 1:
        return QStringLiteral("Multiple images to single multi-Page PDF");
    case 2:
        return QStringLiteral("Group of multiple images to multi-page PDF in group");
    default:
        return {};
    }
}

QList<FileItemPtr> selectedItems(const QList<FileItemPtr> &files)
{
    QList<FileItemPtr> selected;
    for (const FileItemPtr &item : files) {
        if (item && item->isSelected())
            selected.append(item);
    }
    return selected;
}

QList<OutputFile> planOutputFiles(const QList<FileItemPtr> &files, const Settings &settings,
                                  const QString &outputFolder)
{
    const QList<FileItemPtr> selected = selectedItems(files);
    QList<OutputFile> plan;
    switch (settings.combineOptionIndex()) {
    case 0: {
        QSet<QString> taken;
        for (const FileItemPtr &item : selected) {
            const QString source = item->filePath().toLocalFile();
            const QString candidate =
                outputFolder.isEmpty() ? source : join(outputFolder, QFileInfo(source).fileName());
            const QString path = uniqueAmong(withPdfExtension(candidate), taken);
            taken.insert(path);
            plan.append({path, {item}});
        }
        break;
    }
    case 1:
        plan.append({join(outputFolder, settings.singleMultiPagePDFName() + QStringLiteral(".pdf")),
                     selected});
        break;
    case 2: {
        // The convert command raises the group size to 2; never divide by less here either.
        const qsizetype n = std::max(2, settings.groupMultiPagePDFCount());
        const qsizetype count = selected.size();
        const qsizetype groups = (count + n - 1) / n;
        for (qsizetype i = 1; i <= groups; ++i) {
            const qsizetype first = (i - 1) * n;
            plan.append(
                {join(outputFolder,
                      QStringLiteral("%1%2.pdf").arg(settings.groupMultiPagePDFName()).arg(i)),
                 selected.mid(first, std::min(n, count - first))});
        }
        break;
    }
    default:
        break;
    }
    return plan;
}

} // namespace folioset
