#include "aboutwindowcontroller.h"

#include "model/utilities.h"
#include "platform/bundleinfo.h"
#include "platform/systemlog.h"
#include "platform/workspace.h"
#include "resources/resourceimage.h"
#include "ui_About.h"

#include <QPixmap>
#include <QUrl>

namespace folioset {

namespace {

const QString supportAddress = QStringLiteral("support@quillmark.example");

void scaleFont(QWidget *widget, qreal factor)
{
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * factor);
    widget->setFont(font);
}

} // namespace

AboutWindowController::AboutWindowController(Workspace *workspace, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AboutWindowController>()), m_workspace(workspace)
{
    m_ui->setupUi(this);
    const QString name = Utilities::getAppTitle();
    setWindowTitle(tr("About %1").arg(name));

    // Drawn for the screen's pixel density so the icon stays sharp on high-density displays.
    const qreal ratio = devicePixelRatioF();
    QPixmap logo = QPixmap::fromImage(
        resourceImage(infoEntry(QStringLiteral("CFBundleIconFile")), QSize(128, 128) * ratio));
    logo.setDevicePixelRatio(ratio);
    m_ui->logoImage->setPixmap(logo);

    // Sizes relative to the desktop's font, so the window keeps its proportions wherever it runs.
    scaleFont(m_ui->titleLabel, 1.3);
    scaleFont(m_ui->copyrightLabel, 0.85);

    m_ui->titleLabel->setText(
        QStringLiteral("%1 (%2)").arg(name, infoEntry(QStringLiteral("CFBundleVersion"))));
    m_ui->headerLabel->setText(tr("Thank you for using %1.").arg(name));
    m_ui->copyrightLabel->setText(infoEntry(QStringLiteral("NSHumanReadableCopyright")));
    m_ui->emailLink->setText(supportAddress);
    m_ui->emailLink->setToolTip(tr("Click to write to %1 support.").arg(name));
    m_ui->okButton->setToolTip(tr("Click to continue with %1.").arg(name));

    connect(m_ui->emailLink, &QPushButton::clicked, this, &AboutWindowController::openSupportMail);
    connect(m_ui->okButton, &QPushButton::clicked, this, &AboutWindowController::okAction);

    // The form's width, unless the texts need more; the height is fixed by design.
    setFixedSize(qMax(width(), sizeHint().width()), windowHeight);
}

AboutWindowController::~AboutWindowController() = default;

AboutWindowController *AboutWindowController::showSheet(Workspace *workspace, QWidget *window)
{
    auto *const about = new AboutWindowController(workspace, window);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
    return about;
}

void AboutWindowController::okAction()
{
    accept();
}

QUrl AboutWindowController::supportMailUrl() const
{
    const QString subject = QStringLiteral("Support for [") + m_ui->titleLabel->text() + u']';
    const QString body = QStringLiteral("Note:\rPlease explain your issues with details if "
                                        "necessary with screenshot of application.");
    const QByteArray encoded = "mailto:" + supportAddress.toUtf8() +
                               "?subject=" + QUrl::toPercentEncoding(subject) +
                               "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

void AboutWindowController::openSupportMail()
{
    const QUrl url = supportMailUrl();
    if (m_workspace && !m_workspace->openUrl(url))
        logError(QStringLiteral("openSupportMail"),
                 tr("No program opened %1.").arg(url.toString()));
}

} // namespace folioset
