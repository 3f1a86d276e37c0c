#include "reviewwindowcontroller.h"

#include "model/utilities.h"
#include "platform/bundleinfo.h"
#include "platform/systemlog.h"
#include "platform/workspace.h"
#include "resources/resourceimage.h"
#include "ui_ReviewUs.h"
#include "widgets/windowheight.h"

#include <QPixmap>
#include <QUrl>

#include <utility>

namespace folioset {

ReviewWindowController::ReviewWindowController(Workspace *workspace, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ReviewWindowController>()), m_workspace(workspace)
{
    m_ui->setupUi(this);
    const QString name = Utilities::getAppTitle();
    setWindowTitle(tr("Review %1").arg(name));

    const qreal ratio = devicePixelRatioF();
    QPixmap logo = QPixmap::fromImage(
        resourceImage(infoEntry(QStringLiteral("CFBundleIconFile")), QSize(64, 64) * ratio));
    logo.setDevicePixelRatio(ratio);
    m_ui->logoImage->setPixmap(logo);

    m_ui->titleLabel->setText(tr("Enjoying %1?").arg(name));
    m_ui->messageLabel->setText(
        tr("If %1 makes your work easier, would you take a moment to review it? It only takes a "
           "minute, and it helps others find it. Thank you for your support!")
            .arg(name));

    // As tall as the wrapped message needs at the form's width, with no gap above the buttons,
    // and never less at any width.
    if (const int height = heightForWidth(width()); height > 0)
        resize(width(), height);
    keepTallEnoughForItsLines(this);

    connect(m_ui->reviewButton, &QPushButton::clicked, this,
            &ReviewWindowController::reviewOKAction);
    connect(m_ui->notNowButton, &QPushButton::clicked, this,
            &ReviewWindowController::reviewCancelAction);
    connect(m_ui->neverAskmeAgainButton, &QCheckBox::toggled, this,
            &ReviewWindowController::neverAskForReviewChanged);
    // Escape and the window's close button end in done() too, so this covers every way out.
    connect(this, &QDialog::finished, this, &ReviewWindowController::finishShowing);
}

ReviewWindowController::~ReviewWindowController() = default;

void ReviewWindowController::setReviewURL(const QString &url)
{
    if (url == m_reviewURL)
        return;
    m_reviewURL = url;
    emit reviewURLChanged(m_reviewURL);
}

bool ReviewWindowController::neverAskForReview() const
{
    return m_ui->neverAskmeAgainButton->isChecked();
}

void ReviewWindowController::setNeverAskForReview(bool never)
{
    // The check box holds the value; its toggled signal is the change notification.
    m_ui->neverAskmeAgainButton->setChecked(never);
}

void ReviewWindowController::reviewOKAction()
{
    if (!m_reviewURL.isEmpty()) {
        const QUrl url(m_reviewURL, QUrl::StrictMode);
        if (!url.isValid())
            logError(QStringLiteral("reviewOKAction"), url.errorString());
        else if (m_workspace && !m_workspace->openUrl(url))
            logError(QStringLiteral("reviewOKAction"),
                     tr("No program opened %1.").arg(m_reviewURL));
    }
    accept();
}

void ReviewWindowController::reviewCancelAction()
{
    reject();
}

void ReviewWindowController::showEvent(QShowEvent *event)
{
    m_showing = true;
    QDialog::showEvent(event);
}

void ReviewWindowController::finishShowing()
{
    // done() on a prompt that is not showing still emits finished(); that is no new answer.
    if (!std::exchange(m_showing, false))
        return;
    if (m_delegate)
        m_delegate->reviewWindowControllerDidFinished(this);
}

} // namespace folioset
