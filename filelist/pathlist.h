#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace folioset {

// The file URLs a list of paths names, one path per line, in first-seen order without repeats.
// Lines are split at line feeds only and never trimmed: a carriage return or a blank at the end
// of a line stays part of the path, and a comma separates nothing. A line counts when the
// upper-cased text after the last dot of its last component is in `allowedTypes`; relative
// paths are taken from the current folder. Whether the files exist is not asked.
QList<QUrl> parsePathList(const QString &text, const QStringList &allowedTypes);

// The same for a text file. A file that cannot be read or is not valid UTF-8 names nothing.
QList<QUrl> parsePathListFile(const QString &path, const QStringList &allowedTypes);

} // namespace folioset
