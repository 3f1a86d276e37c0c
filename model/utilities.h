#pragma once

#include <QString>

namespace folioset::Utilities {

// Full path of the per-user support folder ("<XDG data home>/Quillmark/folioset2"), or the empty
// text when the platform does not name exactly one data folder. Neither tested nor created.
QString getAppPath();

// Makes sure the folder `name` exists inside the support folder (the empty name: the support
// folder itself), creating missing parents. False, with the reason in `error`, on failure.
bool createApplicationUsersFolder(const QString &name, QString *error = nullptr);

// The display title, immediately followed by `suffix` when one is given.
QString getAppTitle(const QString &suffix = {});

} // namespace folioset::Utilities
