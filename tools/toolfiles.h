#pragma once

// Writing what the build-time tools make.

#include <QByteArray>
#include <QString>

#include <optional>

namespace folioset::tools {

// `data` in gzip form, without a name or time stamp in its header, so that two builds of one
// source give the same bytes.
std::optional<QByteArray> gzipped(const QByteArray &data);

// Writes `bytes` to `path` whole or not at all; `why` says what failed.
bool save(const QString &path, const QByteArray &bytes, QString *why);

} // namespace folioset::tools
