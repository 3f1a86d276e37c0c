#pragma once

#include "featureusages.h"

#include "windows/reviewwindowcontroller.h"
#include "windows/reviewwindowcontrollerdelegate.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

namespace folioset {

class Workspace;

// The usage record kept on this machine ("Usages.Log" in the support folder): per conversion
// mode, how many conversions and how many files, and when to ask for a review. Nothing is sent
// anywhere. Made once at start-up; everything runs on the main thread.
class UsagesReportingWindowController : public QObject, public ReviewWindowControllerDelegate
{
    Q_OBJECT

public:
    // Loads the record, or writes a fresh one when there is none to read.
    UsagesReportingWindowController(Workspace *workspace, QWidget *mainWindow,
                                    QObject *parent = nullptr);
    ~UsagesReportingWindowController() override;

    static QString filePath();

    bool load();
    bool save();
    // One more completed conversion of feature `name`, with `totalFiles` files.
    void updateUsages(const QString &name, int totalFiles);
    // The launch check: asks for a review once enough files were converted since the last time.
    void validate(bool sendReport);
    void submitReview();
    void reviewWindowControllerDidFinished(ReviewWindowController *prompt) override;

    QString productName() const { return m_productName; }
    QString version() const { return m_version; }
    QDateTime buildDate() const { return m_buildDate; }
    QString hardwareUUID() const { return m_hardwareUUID; }
    bool isEnabled() const { return m_isEnabled; }
    QDateTime lastReportSentOn() const { return m_lastReportSentOn; }
    QList<FeatureUsages> &features() { return m_features; }
    const QList<FeatureUsages> &features() const { return m_features; }
    bool isReviewEnabled() const { return m_isReviewEnabled; }
    void setIsReviewEnabled(bool enabled) { m_isReviewEnabled = enabled; }
    QString reviewURL() const { return m_reviewURL; }
    void setReviewURL(const QString &url) { m_reviewURL = url; }
    int reviewFileCountLimit() const { return m_reviewFileCountLimit; }
    // Also the first target, while none is set.
    void setReviewFileCountLimit(int limit);
    int nextReviewTargetValue() const { return m_nextReviewTargetValue; }
    void setNextReviewTargetValue(int target) { m_nextReviewTargetValue = target; }
    QDateTime lastReviewAskDate() const { return m_lastReviewAskDate; }
    bool neverAskForReview() const { return m_neverAskForReview; }
    ReviewWindowController *reviewWindow() const { return m_prompt; }

private:
    QByteArray document() const;
    qint64 convertedFiles() const;

    Workspace *m_workspace;
    QPointer<QWidget> m_mainWindow;
    QPointer<ReviewWindowController> m_prompt;

    QString m_productName;
    QString m_version;
    QDateTime m_buildDate;
    QString m_hardwareUUID;
    bool m_isEnabled = false;
    QDateTime m_lastReportSentOn;
    QList<FeatureUsages> m_features;
    bool m_isReviewEnabled = false;
    QString m_reviewURL;
    int m_reviewFileCountLimit = 0;
    int m_nextReviewTargetValue = 0;
    QDateTime m_lastReviewAskDate;
    bool m_neverAskForReview = false;
};

} // namespace folioset
