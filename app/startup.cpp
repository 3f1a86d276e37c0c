#include "startup.h"

#include "classicappdelegate.h"
#include "foliosetappdelegate.h"

#include "model/utilities.h"
#include "platform/bundleinfo.h"
#include "platform/keyring.h"
#include "platform/workspace.h"
#include "resources/resourceimage.h"

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>

namespace folioset {

void prepareApplication(Edition which)
{
    setEdition(which);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QCoreApplication::setApplicationName(editionName());
    QGuiApplication::setApplicationDisplayName(Utilities::getAppTitle());
    QGuiApplication::setDesktopFileName(isFirstGeneration()
                                            ? QStringLiteral("com.quillmark.FoliosetClassic")
                                            : QStringLiteral("com.quillmark.Folioset"));
    QApplication::setWindowIcon(resourceIcon(infoEntry(QStringLiteral("CFBundleIconFile"))));
    if (Utilities::createApplicationUsersFolder(QString()))
        Utilities::createApplicationUsersFolder(QStringLiteral("Logs"));
}

std::unique_ptr<ShellController> createController(Workspace &workspace)
{
    if (isFirstGeneration())
        return std::make_unique<ClassicAppDelegate>(workspace);
    return std::make_unique<FoliosetAppDelegate>(workspace);
}

QList<QUrl> urlsFromArguments(const QStringList &arguments)
{
    QList<QUrl> urls;
    for (const QString &argument : arguments) {
        const QFileInfo named(argument);
        if (!argument.isEmpty() && named.exists())
            urls << QUrl::fromLocalFile(named.absoluteFilePath());
    }
    return urls;
}

int runApplication(Edition which, int argc, char **argv)
{
    QApplication app(argc, argv);
    prepareApplication(which);
    setKeyring(secretServiceKeyring());
    DesktopWorkspace workspace;
    const std::unique_ptr<ShellController> controller = createController(workspace);
    ShellController *shell = controller.get();
    shell->awakeFromNib();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, shell,
                     &ShellController::applicationShouldTerminate);
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, shell,
                     [shell](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive)
                             shell->applicationShouldHandleReopen(shell->window()->isVisible());
                     });
    const QList<QUrl> opened = urlsFromArguments(QCoreApplication::arguments().mid(1));
    QTimer::singleShot(0, shell, [shell, opened] {
        shell->applicationDidFinishLaunching();
        if (!opened.isEmpty())
            shell->dropURLs(opened);
    });
    return app.exec();
}

} // namespace folioset
