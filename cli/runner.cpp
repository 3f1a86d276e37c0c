#include "runner.h"

#include "console.h"
#include "inputs.h"
#include "interrupt.h"
#include "options.h"
#include "outcome.h"
#include "report.h"

#include "engine/process.h"
#include "model/fileitem.h"
#include "model/outputplan.h"
#include "model/settings.h"
#include "model/utilities.h"
#include "platform/atomicfile.h"
#include "platform/workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace folioset::cli {

namespace {

const QString prefix = QStringLiteral("folioset-cli: ");

// The run hands its "Total Time Taken" label to whoever shows it; a terminal has the progress
// line for that, so the text is only kept.
class LabelKeeper final : public ProcessObserver
{
public:
    void updateTimeTakenLabel(const QString &text) override { m_text = text; }

private:
    QString m_text;
};

QString clockText(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
                                          .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return minutesAndSeconds;
    return QStringLiteral("%1:%2").arg(seconds / 3600).arg(minutesAndSeconds);
}

QString absoluteFolder(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The image being converted or, between images, what is happening to the output file.
QString currentWork(const Process &process)
{
    const QString file = process.fileInProcess();
    return file.isEmpty() ? process.outputFileInProcess() : file;
}

QList<FileItemPtr> makeItems(const QStringList &files, const SelectionRange &pages)
{
    // An item opens its file to count the pages: on a batch of small files that is most of the
    // time before the first page is made, and the files are independent, so every core takes
    // a share.
    std::vector<FileItemPtr> made(std::size_t(files.size()));
    const auto make = [&](std::size_t first, std::size_t step) {
        for (std::size_t i = first; i < made.size(); i += step)
            made[i] = FileItem::initWithURL(QUrl::fromLocalFile(files.at(qsizetype(i))));
    };
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    if (made.size() < 64 || threads == 1) {
        make(0, 1);
    } else {
        std::vector<std::jthread> helpers;
        try {
            for (std::size_t t = 1; t < threads; ++t)
                helpers.emplace_back(make, t, threads);
        } catch (const std::system_error &) {
            // No thread to spare: the shares of those that could not start are made here.
        }
        for (std::size_t t = helpers.size() + 1; t < threads; ++t)
            make(t, threads);
        make(0, threads);
    }
    QList<FileItemPtr> items;
    for (FileItemPtr &item : made) {
        if (!item)
            continue;
        if (item->pages() > 1)
            item->setSelection(std::make_shared<SelectionRange>(pages));
        items << std::move(item);
    }
    return items;
}

// Spins the main thread's event loop until the run is over: the run makes blocking calls to
// the main thread and its progress signals arrive here queued. True when Ctrl-C stopped it.
bool runWithProgress(Process &process, Console &console, int total)
{
    bool stopped = false;
    const qsizetype outputs = process.outputFiles().size();
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    const auto redraw = [&] {
        console.progress(QStringLiteral("[%1/%2] %3  %4")
                             .arg(process.totalFileProcessed())
                             .arg(total)
                             .arg(clockText(elapsed.elapsed()), currentWork(process)));
    };
    QTimer ticker;
    if (console.showsProgress()) {
        QObject::connect(&process, &Process::totalFileProcessedChanged, &loop, redraw);
        QObject::connect(&process, &Process::fileInProcessChanged, &loop, redraw);
        QObject::connect(&ticker, &QTimer::timeout, &loop, redraw);
        ticker.start(500);
    }

    InterruptGuard interrupts;
    QObject::connect(&interrupts, &InterruptGuard::interrupted, &loop, [&] {
        console.note(prefix + QStringLiteral("stopping after the current image (press Ctrl-C "
                                             "again to quit at once)"));
        stopped = true;
        process.stop();
    });
    QObject::connect(&process, &Process::isCompletedChanged, &loop, [&] {
        if (process.isCompleted())
            loop.quit();
    });
    // Printed only once Ctrl-C is taken care of, so that a caller may interrupt from here on.
    console.info(QStringLiteral("Converting %1 image file(s) into %2 PDF file(s)...")
                     .arg(total)
                     .arg(outputs));
    process.startInBackground();
    loop.exec();
    process.wait();
    ticker.stop();
    console.clearProgress();
    // Opening the folder is posted to this thread just before the run completes.
    QCoreApplication::sendPostedEvents();
    return stopped;
}

// Inputs that never reached the run, on the terminal and in the report.
void tellRejects(const GatheredInputs &inputs, Console &console, Report &report)
{
    for (const RejectedPath &rejected : inputs.rejects) {
        console.error(prefix + rejected.path + QStringLiteral(": ") + rejected.reason);
        report.addRejectedPath(rejected);
    }
    for (const SkippedEntry &skipped : inputs.skipped) {
        const QString what = skipped.entry.path.isEmpty()
                                 ? skipped.reason
                                 : skipped.entry.path + QStringLiteral(": ") + skipped.reason;
        console.error(prefix +
                      QStringLiteral("input list, line %1: %2").arg(skipped.entry.line).arg(what));
        report.addSkippedEntry(skipped);
    }
}

QString withheldRights(const PDFSettings &pdf)
{
    if (!pdf.canPrint() && !pdf.canCopy())
        return QStringLiteral("printing and copying");
    return pdf.canPrint() ? QStringLiteral("copying") : QStringLiteral("printing");
}

void reportOutputs(const QList<OutputFile> &plan, const Log &log, Report &report)
{
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const QString &path = plan.at(i).filename;
        if (i >= log.files.size()) {
            report.addOutput(path, 0, 0, Report::OutputStatus::NotStarted, {});
        } else if (const LogFiles &entry = log.files.at(i); entry.status == completedStatus()) {
            report.addOutput(path, entry.pages, QFileInfo(path).size(),
                             Report::OutputStatus::Written, inputsOf(entry));
        } else {
            // The run writes no file without pages; any other unwritten file failed to save.
            report.addOutput(path, 0, 0,
                             entry.pages == 0 ? Report::OutputStatus::NoPages
                                              : Report::OutputStatus::Failed,
                             inputsOf(entry), entry.reason);
        }
    }
}

void tell(const Process &process, const QList<OutputFile> &plan, const QString &outputFolder,
          const GatheredInputs &inputs, Console &console, Report &report, bool *succeeded)
{
    const Outcome outcome = assessRun(process.message(), process.log(), plan);
    *succeeded = outcome.succeeded && !inputs.hasRejects();
    const QString message =
        QString(process.message()).replace(QLatin1String("\r\n"), QLatin1String(" "));
    // "... created successfully." is only said of a run that succeeded; of any other it would
    // contradict the exit status, and the lines below say what went wrong.
    if (*succeeded)
        console.info(message);
    else if (!message.endsWith(QLatin1String("created successfully.")))
        console.error(prefix + message);
    for (const QString &problem : outcome.problems)
        console.error(prefix + problem);
    reportOutputs(plan, process.log(), report);
    for (const FailedInput &failed : outcome.failedInputs)
        report.addFailedInput(failed);
    tellRejects(inputs, console, report);
    console.info(QStringLiteral("%1 of %2 PDF file(s) written to %3 in %4")
                     .arg(process.totalFileCreated())
                     .arg(plan.size())
                     .arg(outputFolder, process.timeTaken()));
    if (process.hasUnliftableRights())
        console.note(prefix + QStringLiteral("no permission password was given: nobody can lift "
                                             "the restriction on %1")
                                  .arg(withheldRights(*process.settings()->pdfSettings())));

    const QString logPath = process.log().logFilePath();
    if (!process.log().isWritten())
        console.error(prefix + QStringLiteral("the conversion log could not be written"));
    else if (*succeeded)
        console.info(QStringLiteral("Log: ") + logPath);
    else
        console.error(QStringLiteral("Log: ") + logPath);
}

// How a run ended, for the closing line of the report.
struct Ending
{
    Report::RunStatus status = Report::RunStatus::Failed;
    QString reason; // why nothing was converted, when that is the case
};

Ending failedBeforeStart(Console &console, const QString &reason)
{
    console.error(prefix + reason);
    return {Report::RunStatus::Failed, reason};
}

Ending convert(const Options &options, Console &console, Report &report)
{
    const GatheredInputs inputs =
        gatherInputs(options.inputs, options.recursive, options.listedInputs);
    if (inputs.files.isEmpty()) {
        tellRejects(inputs, console, report);
        return failedBeforeStart(console, QStringLiteral("no images to convert"));
    }

    const QString outputFolder = absoluteFolder(options.outputFolder);
    if (!QDir().mkpath(outputFolder))
        return failedBeforeStart(console,
                                 QStringLiteral("cannot create the output folder ") + outputFolder);
    QString logFolder;
    if (!options.logFolder.isEmpty()) {
        logFolder = absoluteFolder(options.logFolder);
        if (!QDir().mkpath(logFolder))
            return failedBeforeStart(console,
                                     QStringLiteral("cannot create the log folder ") + logFolder);
    } else if (QString why;
               !Utilities::createApplicationUsersFolder(QStringLiteral("Logs"), &why)) {
        console.error(prefix + why);
    }

    const QList<FileItemPtr> items = makeItems(inputs.files, options.pages);
    Settings settings(Settings::Source::Defaults);
    applyToSettings(options, settings);
    const QList<OutputFile> plan = planOutputFiles(items, settings, outputFolder);

    Process process;
    LabelKeeper observer;
    DesktopWorkspace workspace;
    process.setIsCombining(true);
    process.setSettings(&settings);
    process.setPageSetup(options.pageSetup);
    process.setOutputFolder(outputFolder);
    process.setTotalFileSelected(int(items.size()));
    process.outputFiles() = plan;
    process.log().setLogFolder(logFolder);
    process.setObserver(&observer);
    process.setWorkspace(&workspace);
    const bool stopped = runWithProgress(process, console, int(items.size()));

    bool succeeded = false;
    tell(process, plan, outputFolder, inputs, console, report, &succeeded);
    if (stopped)
        return {Report::RunStatus::Stopped, {}};
    return {succeeded ? Report::RunStatus::Succeeded : Report::RunStatus::Failed, {}};
}

// Opened before the run, so that a report that cannot be written stops it before it starts.
std::unique_ptr<AtomicFile> openReport(const QString &path, Console &console)
{
    QString why;
    std::unique_ptr<AtomicFile> file;
    if (QDir().mkpath(QFileInfo(path).absolutePath()))
        file = AtomicFile::open(path, &why);
    else
        why = QStringLiteral("cannot create its folder");
    if (!file)
        console.error(prefix + QStringLiteral("cannot write the report %1: %2").arg(path, why));
    return file;
}

} // namespace

int runConversion(const Options &options, Console &console)
{
    std::unique_ptr<AtomicFile> reportFile;
    if (!options.reportPath.isEmpty()) {
        reportFile = openReport(options.reportPath, console);
        if (!reportFile)
            return 1;
    }
    Report report;
    const Ending ending = convert(options, console, report);
    if (reportFile) {
        QString why;
        reportFile->write(report.text(ending.status, ending.reason));
        if (!reportFile->commit(&why)) {
            console.error(
                prefix +
                QStringLiteral("cannot write the report %1: %2").arg(options.reportPath, why));
            return 1;
        }
    }
    return ending.status == Report::RunStatus::Succeeded ? 0 : 1;
}

} // namespace folioset::cli
