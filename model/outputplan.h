#pragma once

#include "outputfile.h"

#include <QList>
#include <QString>

namespace folioset {

class Settings;

enum class CombineMode {
    SingleImageToSinglePdf = 0,
    MultipleImagesToSinglePdf = 1,
    GroupsToPdfs = 2
};

// The name the application shows for a stored mode value; empty for an unknown value.
QString combineModeName(int combineOptionIndex);

// Cuts the checked items of `files`, in list order, into output files by the settings' mode:
// one PDF per item (beside its source when `outputFolder` is empty), one PDF for all, or
// numbered PDFs of groupMultiPagePDFCount items. An unknown mode plans nothing.
QList<OutputFile> planOutputFiles(const QList<FileItemPtr> &files, const Settings &settings,
                                  const QString &outputFolder);

// The checked items, in list order.
QList<FileItemPtr> selectedItems(const QList<FileItemPtr> &files);

} // namespace folioset
