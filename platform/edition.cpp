#include "edition.h"

#include <atomic>

namespace folioset {

namespace {
std::atomic<Edition> currentEdition{Edition::Folioset2};
}

void setEdition(Edition value)
{
    currentEdition = value;
}

Edition edition()
{
    return currentEdition;
}

bool isFirstGeneration()
{
    return edition() == Edition::Folioset1;
}

QString editionName()
{
    return isFirstGeneration() ? QStringLiteral("folioset1") : QStringLiteral("folioset2");
}

} // namespace folioset
