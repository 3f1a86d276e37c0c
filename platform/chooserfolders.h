#pragma once

#include <QString>

namespace folioset {

// What a file chooser is opened for. Each purpose remembers its own folder.
enum class ChooserPurpose { AddFiles, AddFolder, Export, OutputFolder, ImportList, Agreement };

// Where a chooser for `purpose` opens: the folder used last for it, or the home folder the first
// time. A folder that has gone since gives way to its nearest ancestor that still exists.
//
// The folders are kept in the preferences under "CHOOSERFOLDERS", one key per purpose, beside
// the stored settings and never inside them.
QString chooserFolder(ChooserPurpose purpose);

// Remembers `folder` as the one to open next time for `purpose`. An empty path is ignored; a
// store that cannot be written only loses the memory (the system log says why).
void rememberChooserFolder(ChooserPurpose purpose, const QString &folder);

} // namespace folioset
