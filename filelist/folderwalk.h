#pragma once

#include "model/outputfile.h"

#include <functional>

namespace folioset {

// The files one load request names, in the order found, each handed to `offer` as a local
// path. With `isFolders` each location is walked: a file with an accepted extension (exact
// case) is taken, a folder is enumerated, and inside walked folders hidden entries, the
// contents of packages and (without `isIncludeSubdirectories`) the contents of subfolders are
// left out; folders reached through symbolic links are not entered, so a link loop ends. Without
// `isFolders` every location is taken as it is. `keepGoing` is asked before each candidate; when
// it answers false the walk ends.
void walkForFiles(const Arguments &request, const std::function<bool()> &keepGoing,
                  const std::function<void(const QString &path)> &offer);

} // namespace folioset
