#include "cli/console.h"
#include "cli/options.h"
#include "cli/runner.h"

#include "platform/edition.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace {

bool hasDesktopSession()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char **argv)
{
    using namespace folioset;

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QFile standardInput;
    if (!standardInput.open(stdin, QIODevice::ReadOnly))
        standardInput.close();
    const cli::ParseResult parsed = cli::parseArguments(arguments, &standardInput);
    switch (parsed.status) {
    case cli::ParseStatus::Help:
        std::fputs(cli::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case cli::ParseStatus::Version:
        std::fputs(cli::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case cli::ParseStatus::UsageError:
        std::fprintf(stderr, "folioset-cli: %s\nTry 'folioset-cli --help' for more information.\n",
                     parsed.error.toLocal8Bit().constData());
        return 2;
    case cli::ParseStatus::Run:
        break;
    }

    // Opening a folder goes through the desktop's services, which only a GUI application has;
    // everything else runs headless.
    const bool canOpen = parsed.options.open && hasDesktopSession();
    std::unique_ptr<QCoreApplication> app;
    if (canOpen)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    setEdition(Edition::Folioset2);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(editionName());

    cli::Console console(parsed.options.quiet);
    cli::Options options = parsed.options;
    if (options.open && !canOpen) {
        console.note(QStringLiteral("folioset-cli: no desktop session; the output folder is not "
                                    "opened"));
        options.open = false;
    }
    return cli::runConversion(options, console);
}
