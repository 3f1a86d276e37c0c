#pragma once

#include <QString>

namespace folioset {

// Which of the two programs is running. Set once by each executable at start-up; shared code
// asks at run time instead of being compiled twice.
enum class Edition { Folioset2, Folioset1 };

void setEdition(Edition edition);
Edition edition();
bool isFirstGeneration();

// "folioset2" or "folioset1": the application name of the preferences store and the last level of
// the per-user support folder.
QString editionName();

} // namespace folioset
