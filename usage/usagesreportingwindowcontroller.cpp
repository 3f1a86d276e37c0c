#include "usagesreportingwindowcontroller.h"

#include "isodate.h"
#include "machineid.h"
#include "usagerecord.h"

#include "model/utilities.h"
#include "platform/atomicfile.h"
#include "platform/bundleinfo.h"
#include "platform/systemlog.h"
#include "platform/xmlsupport.h"
#include "windows/reviewwindowcontroller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace folioset {

namespace {

const QString fileName = QStringLiteral("Usages.Log");

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

UsagesReportingWindowController::UsagesReportingWindowController(Workspace *workspace,
                                                                 QWidget *mainWindow,
                                                                 QObject *parent)
    : QObject(parent), m_workspace(workspace), m_mainWindow(mainWindow),
      m_productName(infoEntry(QStringLiteral("CFBundleName"))),
      m_version(infoEntry(QStringLiteral("CFBundleVersion"))),
      m_buildDate(QFileInfo(QCoreApplication::applicationFilePath()).lastModified()),
      m_hardwareUUID(
          machineIdentifier(QDir(Utilities::getAppPath()).filePath(QStringLiteral("machine-id")))),
      m_lastReportSentOn(QDateTime::currentDateTime()),
      m_reviewURL(QStringLiteral("https://quillmark.example/")),
      m_lastReviewAskDate(QDateTime::currentDateTime())
{
    setReviewFileCountLimit(1000);
    m_nextReviewTargetValue = 0;
    if (!load())
        save();
}

UsagesReportingWindowController::~UsagesReportingWindowController() = default;

QString UsagesReportingWindowController::filePath()
{
    return QDir(Utilities::getAppPath()).filePath(fileName);
}

void UsagesReportingWindowController::setReviewFileCountLimit(int limit)
{
    m_reviewFileCountLimit = limit;
    if (m_nextReviewTargetValue == 0)
        m_nextReviewTargetValue = limit;
}

QByteArray UsagesReportingWindowController::document() const
{
    xmlInitParser();
    const xml::DocPtr doc(xmlNewDoc(BAD_CAST "1.0"));
    if (!doc)
        throw std::runtime_error("could not create the document");
    const QByteArray comment =
        xml::text(QStringLiteral(" %1 %2 Usages Reporting File ").arg(m_productName, m_version));
    xmlAddChild(reinterpret_cast<xmlNode *>(doc.get()),
                xmlNewDocComment(doc.get(), BAD_CAST comment.constData()));
    xmlNode *const root = xmlNewDocNode(doc.get(), nullptr, BAD_CAST "usagesreporting", nullptr);
    if (!root)
        throw std::runtime_error("could not create the root element");
    xmlAddChild(reinterpret_cast<xmlNode *>(doc.get()), root);
    xmlNewNs(root, BAD_CAST "http://www.w3.org/2001/XMLSchema-instance", BAD_CAST "xsi");
    xmlNewNs(root, BAD_CAST "http://www.w3.org/2001/XMLSchema", BAD_CAST "xsd");

    xml::addTextElement(root, "productname", m_productName);
    xml::addTextElement(root, "productversion", m_version);
    xml::addTextElement(root, "builddate", isoDateText(m_buildDate));
    xml::addTextElement(root, "hardwareUUID", m_hardwareUUID);
    xml::addTextElement(root, "enabled", boolText(m_isEnabled));
    xml::addTextElement(root, "lastreportsenton", isoDateText(m_lastReportSentOn));
    xml::addTextElement(root, "lastReviewAskDate", isoDateText(m_lastReviewAskDate));
    xml::addTextElement(root, "neverAskForReview", boolText(m_neverAskForReview));
    xml::addTextElement(root, "nextReviewTargetValue", QString::number(m_nextReviewTargetValue));
    xmlNode *const features = xml::addTextElement(root, "features", QString());
    for (const FeatureUsages &feature : m_features) {
        xmlNode *const entry = xml::addTextElement(features, "featureusages", QString());
        xml::addTextElement(entry, "name", feature.name);
        xml::addTextElement(entry, "usagescount", QString::number(feature.usagesCount));
        xml::addTextElement(entry, "filescount", QString::number(feature.filesCount));
    }
    xmlChar *raw = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc.get(), &raw, &size, "utf-8");
    const xml::TextPtr text(raw);
    if (!text || size <= 0)
        throw std::runtime_error("could not serialise the document");
    return QByteArray(reinterpret_cast<const char *>(text.get()), size);
}

bool UsagesReportingWindowController::save()
{
    try {
        QString reason;
        if (!Utilities::createApplicationUsersFolder(QString(), &reason))
            throw std::runtime_error(reason.toStdString());
        // Whole or not at all: a crash never leaves half a record, and a full disk keeps the
        // counts already there.
        if (!AtomicFile::writeWhole(filePath(), document(), &reason))
            throw std::runtime_error(reason.toStdString());
        return true;
    } catch (const std::exception &e) {
        systemLog(QStringLiteral("Error in save : %1").arg(QString::fromUtf8(e.what())));
        return false;
    }
}

bool UsagesReportingWindowController::load()
{
    QFile file(filePath());
    if (!file.exists())
        return false;
    try {
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(file.errorString().toStdString());
        const auto record = parseUsageRecord(file.readAll());
        if (!record)
            return true; // nothing could be made of it: the next save replaces it
        m_productName = record->productName.value_or(m_productName);
        m_version = record->version.value_or(m_version);
        m_buildDate = record->buildDate.value_or(m_buildDate);
        m_lastReportSentOn = record->lastReportSentOn.value_or(m_lastReportSentOn);
        m_lastReviewAskDate = record->lastReviewAskDate.value_or(m_lastReviewAskDate);
        // Only the exact word switches these on; anything else leaves them as they were.
        m_isEnabled = m_isEnabled || record->enabled;
        m_neverAskForReview = m_neverAskForReview || record->neverAskForReview;
        m_nextReviewTargetValue = record->nextReviewTargetValue.value_or(m_nextReviewTargetValue);
        m_features << record->features;
        return true;
    } catch (const std::exception &e) {
        systemLog(QStringLiteral("Error in load : %1").arg(QString::fromUtf8(e.what())));
        return false;
    }
}

void UsagesReportingWindowController::updateUsages(const QString &name, int totalFiles)
{
    try {
        auto last = std::find_if(m_features.rbegin(), m_features.rend(),
                                 [&name](const FeatureUsages &f) { return f.name == name; });
        if (last != m_features.rend()) {
            ++last->usagesCount;
            last->filesCount += totalFiles;
        } else {
            m_features << FeatureUsages::initWithName(name, 1, totalFiles);
        }
        save();
    } catch (const std::exception &e) {
        systemLog(QStringLiteral("Error in updateUsages : %1").arg(QString::fromUtf8(e.what())));
    }
}

qint64 UsagesReportingWindowController::convertedFiles() const
{
    qint64 total = 0;
    for (const FeatureUsages &feature : m_features)
        total += feature.filesCount;
    return total;
}

void UsagesReportingWindowController::validate(bool sendReport)
{
    Q_UNUSED(sendReport); // the record is never sent anywhere
    if (!m_isReviewEnabled || m_neverAskForReview || m_features.isEmpty())
        return;
    const qint64 converted = convertedFiles();
    if (converted > 0 && converted >= m_nextReviewTargetValue)
        submitReview();
}

void UsagesReportingWindowController::submitReview()
{
    try {
        if (!m_prompt) {
            m_prompt = new ReviewWindowController(m_workspace, m_mainWindow);
            m_prompt->setDelegate(this);
        }
        m_prompt->setReviewURL(m_reviewURL);
        m_prompt->setNeverAskForReview(m_neverAskForReview);
        m_prompt->open();
    } catch (const std::exception &e) {
        systemLog(QStringLiteral("Error in submitReview : %1").arg(QString::fromUtf8(e.what())));
    }
}

void UsagesReportingWindowController::reviewWindowControllerDidFinished(
    ReviewWindowController *prompt)
{
    const qint64 converted = convertedFiles();
    if (prompt)
        m_neverAskForReview = prompt->neverAskForReview();
    m_lastReviewAskDate = QDateTime::currentDateTime();
    m_nextReviewTargetValue = int(std::min<qint64>(converted + m_reviewFileCountLimit, INT_MAX));
    save();
}

} // namespace folioset
