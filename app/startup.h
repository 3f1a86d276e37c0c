#pragma once

#include "platform/edition.h"

#include <QMainWindow>

#include <memory>

namespace folioset {

// Names the application after its edition and creates the per-user support folder with its
// "Logs" folder (a failure there is not fatal: the log writer reports it later).
void prepareApplication(Edition edition);

// The first-generation edition's main window; for now it carries the display title only.
std::unique_ptr<QMainWindow> createMainWindow();

// The whole of main(): returns the event loop's exit code.
int runApplication(Edition edition, int argc, char **argv);

} // namespace folioset
