// The file list under load: a folder of many small images dropped on the folioset2 window
// (offscreen), through the real load path. Prints items per second, the longest time the main
// thread was busy in one go while the load ran, and the time to sort the loaded list by each
// column.
//
// usage: folioset_listload FOLDER

#include "app/foliosetappdelegate.h"
#include "filelist/filelistmodel.h"
#include "filelist/fileloader.h"
#include "platform/workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

using namespace folioset;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: folioset_listload FOLDER\n");
        return 2;
    }
    RecordingWorkspace workspace;
    FoliosetAppDelegate controller(workspace);
    controller.awakeFromNib();

    // A tick every 5 ms: the longest gap between ticks is the longest the main thread was busy.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });

    QElapsedTimer loading;
    loading.start();
    sinceTick.start();
    ticker.start();
    controller.setInculdeSubfolders(true);
    controller.dropURLs({QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1]))});
    while (controller.loader().isRunning() || controller.isProcessing())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double seconds = double(loading.nsecsElapsed()) / 1e9;
    ticker.stop();
    const int items = controller.files().rowCount();
    std::printf("loaded %d items in %.2f s: %.0f items/s; longest main-thread stall %lld ms\n",
                items, seconds, items / seconds, static_cast<long long>(longestGap));

    FileListModel &model = controller.files();
    for (int column = 0; column < FileListModel::columns().size(); ++column) {
        QElapsedTimer sorting;
        sorting.start();
        model.sort(column, Qt::DescendingOrder);
        std::printf("sort by %-13s %7.1f ms\n",
                    qPrintable(FileListModel::columns().at(column).identifier),
                    double(sorting.nsecsElapsed()) / 1e6);
    }
    return 0;
}
