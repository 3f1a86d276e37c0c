#pragma once

#include "log.h"

#include "engine/pdf/pagesetup.h"
#include "model/outputfile.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace folioset {

class OpenAhead;
class PDFSettings;
class Settings;
class Workspace;

namespace pdf {
class Document;
}

// What the run asks of whoever shows it: a label update, made on the main thread while the run
// waits for it.
class ProcessObserver
{
public:
    virtual ~ProcessObserver() = default;
    virtual void updateTimeTakenLabel(const QString &text) = 0;
};

// One conversion run: turns an output plan into PDF files on a background thread, page by page,
// with document attributes, passwords, rights and bookmarks; logs every page and file; can be
// stopped between input items. Used once.
class Process : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isCombining READ isCombining WRITE setIsCombining NOTIFY isCombiningChanged)
    Q_PROPERTY(bool isCompleted READ isCompleted NOTIFY isCompletedChanged)
    Q_PROPERTY(int totalFileSelected READ totalFileSelected WRITE setTotalFileSelected NOTIFY
                   totalFileSelectedChanged)
    Q_PROPERTY(int totalFileProcessed READ totalFileProcessed NOTIFY totalFileProcessedChanged)
    Q_PROPERTY(int totalFileCreated READ totalFileCreated NOTIFY totalFileCreatedChanged)
    Q_PROPERTY(QString fileInProcess READ fileInProcess NOTIFY fileInProcessChanged)
    Q_PROPERTY(
        QString outputFileInProcess READ outputFileInProcess NOTIFY outputFileInProcessChanged)
    Q_PROPERTY(QString timeTaken READ timeTaken NOTIFY timeTakenChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(int imagesNotConverted READ imagesNotConverted NOTIFY notConvertedChanged)
    Q_PROPERTY(int pagesNotConverted READ pagesNotConverted NOTIFY notConvertedChanged)

public:
    explicit Process(QObject *parent = nullptr);
    ~Process() override;

    bool isCombining() const { return m_isCombining; }
    void setIsCombining(bool combining);
    bool isCompleted() const { return m_isCompleted; }
    int totalFileSelected() const { return m_totalFileSelected; }
    void setTotalFileSelected(int count);
    int totalFileProcessed() const { return m_totalFileProcessed; }
    int totalFileCreated() const { return m_totalFileCreated; }
    QString fileInProcess() const;
    QString outputFileInProcess() const;
    QString timeTaken() const;
    QString message() const;
    // Input items that gave no page because they could not be read, and pages that failed in
    // items that gave others. An item whose PDF could not be written is not among them: its
    // image was fine.
    int imagesNotConverted() const { return m_imagesNotConverted; }
    int pagesNotConverted() const { return m_pagesNotConverted; }
    // After the run: whether it was stopped before it was done.
    bool isStopped() const { return m_isStopped; }
    // Whether a PDF was written with rights withheld and no permission password to lift them:
    // it got an owner password that nobody knows.
    bool hasUnliftableRights() const { return m_hasUnliftableRights; }

    // Read after the run has completed (or before it starts).
    Log &log() { return m_log; }
    const Log &log() const { return m_log; }
    QList<OutputFile> &outputFiles() { return m_outputFiles; }

    // The live settings the window edits. The run works on a private copy taken here, on the
    // caller's thread, and writes back what it fills in (absent texts, the permission password
    // taken from the open password) on the main thread.
    void setSettings(Settings *live);
    Settings *settings() const { return m_liveSettings; }
    QString outputFolder() const { return m_outputFolder; }
    void setOutputFolder(const QString &folder) { m_outputFolder = folder; }
    void setObserver(ProcessObserver *observer) { m_observer = observer; }
    void setWorkspace(Workspace *workspace) { m_workspace = workspace; }
    // How pages are laid out. Not a document setting: it holds whether or not those are
    // applied. By default each page is its image's own size.
    void setPageSetup(const pdf::PageSetup &setup) { m_pageSetup = setup; }

    // The whole run, on the calling thread. isCombining must be set first.
    void start();
    // start() on a thread of its own; isCompletedChanged tells when it is over.
    void startInBackground();
    // Waits for a background run to end. Destroying a running Process stops it and waits.
    void wait();

    // Asks the run to stop after the current input item. Any thread.
    void stop();
    // Also abandons the PDF being written (nothing partial is left).
    void abortWriting() { m_abortWrite = true; }
    void viewLog();

    // The 1-based source pages to convert for an item, in order, by its selection rule.
    static QList<int> getPageRanges(const FileItem *item);
    // Adds an outline entry for `page` labelled by the bookmark kind; false when none is made.
    bool addBookmarks(pdf::Document &document, int page, const QUrl &fileUrl) const;

signals:
    void isCombiningChanged();
    void isCompletedChanged();
    void totalFileSelectedChanged();
    void totalFileProcessedChanged();
    void totalFileCreatedChanged();
    void fileInProcessChanged();
    void outputFileInProcessChanged();
    void timeTakenChanged();
    void messageChanged();
    void notConvertedChanged();

private:
    struct Run;
    void convertOutputFile(const OutputFile &output, bool *failed);
    bool addItemPages(pdf::Document &document, const FileItem &item, LogFiles &entry);
    void countFailures(int pagesMade, int pagesFailed);
    bool writeDocument(pdf::Document &document, const QString &path, QString *reason);
    void writeBackSettings(bool permissionFromOpenPassword);
    void sendTimeTakenLabel();

    void setIsCompleted(bool completed);
    void setText(QString &field, const QString &value, void (Process::*changed)());
    void addTo(std::atomic<int> &counter, void (Process::*changed)());

    std::atomic<bool> m_isCombining{false};
    std::atomic<bool> m_isCompleted{false};
    std::atomic<int> m_totalFileSelected{1};
    std::atomic<int> m_totalFileProcessed{0};
    std::atomic<int> m_totalFileCreated{0};
    std::atomic<bool> m_abortWrite{false};
    std::atomic<int> m_imagesNotConverted{0};
    std::atomic<int> m_pagesNotConverted{0};
    std::atomic<bool> m_isStopped{false};
    std::atomic<bool> m_hasUnliftableRights{false};
    mutable QMutex m_textMutex;
    QString m_fileInProcess;
    QString m_outputFileInProcess;
    QString m_timeTaken = QStringLiteral("In Process...");
    QString m_message;

    Log m_log;
    QList<OutputFile> m_outputFiles;
    Settings *m_liveSettings = nullptr;
    std::unique_ptr<Settings> m_settings; // the run's own copy
    QString m_outputFolder;
    pdf::PageSetup m_pageSetup;
    ProcessObserver *m_observer = nullptr;
    Workspace *m_workspace = nullptr;
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<OpenAhead> m_openAhead; // while the run goes
};

} // namespace folioset
