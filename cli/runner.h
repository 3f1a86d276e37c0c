#pragma once

namespace folioset::cli {

class Console;
struct Options;

// One conversion as the command line asked for it: gathers the inputs, plans the output files,
// runs the conversion on its own thread while this (the main) thread spins the event loop,
// then reports. Ctrl-C stops it after the current image. Returns the exit status: 0 when every
// input was converted and every PDF written, 1 otherwise. Needs a QCoreApplication.
int runConversion(const Options &options, Console &console);

} // namespace folioset::cli
