#include "imagetests.h"

#include <QGuiApplication>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int failures = 0;
    failures += imagetests::runRowDeflaterTests(argc, argv);
    failures += imagetests::runIccProfileTests(argc, argv);
    return failures;
}
