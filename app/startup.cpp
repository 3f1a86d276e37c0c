#include "startup.h"

#include "model/utilities.h"

#include <QApplication>

namespace folioset {

void prepareApplication(Edition which)
{
    setEdition(which);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(editionName());
    QGuiApplication::setApplicationDisplayName(Utilities::getAppTitle());
    if (Utilities::createApplicationUsersFolder(QString()))
        Utilities::createApplicationUsersFolder(QStringLiteral("Logs"));
}

std::unique_ptr<QMainWindow> createMainWindow()
{
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(Utilities::getAppTitle());
    window->resize(900, 600);
    return window;
}

int runApplication(Edition which, int argc, char **argv)
{
    QApplication app(argc, argv);
    prepareApplication(which);
    const std::unique_ptr<QMainWindow> window = createMainWindow();
    window->show();
    return app.exec();
}

} // namespace folioset
