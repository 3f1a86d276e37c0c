// Time from the start of the process to the first paint of an edition's main window (folioset2,
// or folioset1 when that is the first argument). Prints the wall-clock time of that paint
// (nanoseconds since the epoch) and the time since main() began, so a script that notes the
// clock before starting the process also counts loading the program.

#include "app/shellcontroller.h"
#include "app/startup.h"
#include "platform/workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

class FirstPaint : public QObject
{
public:
    explicit FirstPaint(const QElapsedTimer &sinceMain) : m_sinceMain(sinceMain) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("painted_at_ns %lld\nsince_main_ms %.1f\n",
                        static_cast<long long>(
                            std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                        double(m_sinceMain.nsecsElapsed()) / 1e6);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &m_sinceMain;
    bool m_seen = false;
};

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    QApplication app(argc, argv);
    const bool first = argc > 1 && qstrcmp(argv[1], "folioset1") == 0;
    folioset::prepareApplication(first ? folioset::Edition::Folioset1
                                       : folioset::Edition::Folioset2);
    folioset::RecordingWorkspace workspace;
    const std::unique_ptr<folioset::ShellController> controller =
        folioset::createController(workspace);
    FirstPaint watcher(sinceMain);
    app.installEventFilter(&watcher);
    controller->awakeFromNib();
    return app.exec();
}
