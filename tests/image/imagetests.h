#pragma once

namespace imagetests {

int runRowDeflaterTests(int argc, char **argv);
int runIccProfileTests(int argc, char **argv);

} // namespace imagetests
