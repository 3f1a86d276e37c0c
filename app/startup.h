#pragma once

#include "platform/edition.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace folioset {

class ShellController;
class Workspace;

// Names the application after its edition and creates the per-user support folder with its
// "Logs" folder (a failure there is not fatal: the log writer reports it later).
void prepareApplication(Edition edition);

// The application controller of the running edition, not yet started (awakeFromNib()).
std::unique_ptr<ShellController> createController(Workspace &workspace);

// The files and folders among command-line arguments (the program's name left out), as
// absolute file URLs; arguments that name nothing on disk are passed over.
QList<QUrl> urlsFromArguments(const QStringList &arguments);

// The whole of main(): returns the event loop's exit code. Files and folders named on the
// command line (as the desktop's "Open With" passes them) are added as dropped ones are.
int runApplication(Edition edition, int argc, char **argv);

} // namespace folioset
