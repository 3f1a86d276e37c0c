#include "pdfhelpers.h"

#include <QGuiApplication>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    int failures = 0;
    failures += helpers::runJpegPageTests(argc, argv);
    failures += helpers::runOtherPageTests(argc, argv);
    failures += helpers::runTiffPageTests(argc, argv);
    failures += helpers::runBmpPageTests(argc, argv);
    failures += helpers::runGifPageTests(argc, argv);
    failures += helpers::runColourProfileTests(argc, argv);
    failures += helpers::runWritingTests(argc, argv);
    return failures;
}
