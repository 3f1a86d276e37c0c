#pragma once

#include "engine/pdf/document.h"
#include "engine/pdf/imagesource.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace helpers {

// One page from `path`, frame `index`; false with the reason when either step fails.
inline bool appendPage(folioset::pdf::Document &document, const QString &path, int index = 0,
                       QString *reason = nullptr)
{
    const auto source = folioset::pdf::ImageSource::open(path, reason);
    return source && document.appendImagePage(*source, index, reason);
}

// Every entry of a folder, hidden ones included: temporary files start with a dot.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

int runJpegPageTests(int argc, char **argv);
int runOtherPageTests(int argc, char **argv);
int runWritingTests(int argc, char **argv);
int runRowCompressionTests(int argc, char **argv);

} // namespace helpers
