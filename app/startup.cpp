#include "startup.h"

#include "foliosetappdelegate.h"

#include "model/utilities.h"
#include "platform/keyring.h"
#include "platform/workspace.h"
#include "resources/resourceimage.h"

#include <QApplication>
#include <QTimer>

namespace folioset {

void prepareApplication(Edition which)
{
    setEdition(which);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(editionName());
    QGuiApplication::setApplicationDisplayName(Utilities::getAppTitle());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillmark.Folioset"));
    QApplication::setWindowIcon(resourceIcon(QStringLiteral("folioset.png")));
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
    setKeyring(secretServiceKeyring());
    if (which == Edition::Folioset1) {
        const std::unique_ptr<QMainWindow> window = createMainWindow();
        window->show();
        return app.exec();
    }
    DesktopWorkspace workspace;
    FoliosetAppDelegate controller(workspace);
    controller.awakeFromNib();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller,
                     &FoliosetAppDelegate::applicationShouldTerminate);
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &controller,
                     [&controller](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive)
                             controller.applicationShouldHandleReopen(
                                 controller.window()->isVisible());
                     });
    QTimer::singleShot(0, &controller, &FoliosetAppDelegate::applicationDidFinishLaunching);
    return app.exec();
}

} // namespace folioset
