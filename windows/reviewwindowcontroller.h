#pragma once

#include "windows/reviewwindowcontrollerdelegate.h"

#include <QDialog>
#include <QString>

#include <memory>

namespace folioset {

class Workspace;

namespace Ui {
class ReviewWindowController;
}

// A friendly request to review the program, made once and shown as a sheet (open()) whenever
// it is time to ask. "Write a Review" opens reviewURL through the desktop; the check box lets
// the user stop the requests. However the sheet goes, the delegate is told once.
class ReviewWindowController : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(QString reviewURL READ reviewURL WRITE setReviewURL NOTIFY reviewURLChanged)
    Q_PROPERTY(bool neverAskForReview READ neverAskForReview WRITE setNeverAskForReview NOTIFY
                   neverAskForReviewChanged)

public:
    ReviewWindowController(Workspace *workspace, QWidget *parent);
    ~ReviewWindowController() override;

    QString reviewURL() const { return m_reviewURL; }
    void setReviewURL(const QString &url);

    bool neverAskForReview() const;
    void setNeverAskForReview(bool never);

    ReviewWindowControllerDelegate *delegate() const { return m_delegate; }
    // Not owned; must outlive the prompt or be replaced first.
    void setDelegate(ReviewWindowControllerDelegate *delegate) { m_delegate = delegate; }

public slots:
    void reviewOKAction();
    void reviewCancelAction();

signals:
    void reviewURLChanged(const QString &url);
    void neverAskForReviewChanged(bool never);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void finishShowing();

    std::unique_ptr<Ui::ReviewWindowController> m_ui;
    Workspace *const m_workspace;
    ReviewWindowControllerDelegate *m_delegate = nullptr;
    QString m_reviewURL;
    bool m_showing = false;
};

} // namespace folioset
