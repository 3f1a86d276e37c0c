#include "log.h"

#include "platform/atomicfile.h"

#include "model/utilities.h"
#include "platform/datetext.h"
#include "platform/systemlog.h"
#include "platform/xmlsupport.h"

#include <QDir>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <exception>
#include <memory>
#include <stdexcept>

namespace folioset {

namespace {

const QString displayDatePattern = QStringLiteral("MM/dd/yyyy hh:mm:ss a");
const QString fileNameDatePattern = QStringLiteral("ddMMyyHHmmss");

xmlNode *addElement(xmlNode *parent, const char *name)
{
    xmlNode *const node = xmlNewChild(parent, nullptr, BAD_CAST name, nullptr);
    if (!node)
        throw std::runtime_error(std::string("could not create element ") + name);
    return node;
}

// xmlNewProp stores the value verbatim (no entity parsing), so escaping is left entirely to the
// serialiser.
void addAttribute(xmlNode *node, const char *name, const QString &value)
{
    const QByteArray utf8 = xml::text(value);
    if (!xmlNewProp(node, BAD_CAST name, BAD_CAST utf8.constData()))
        throw std::runtime_error(std::string("could not set attribute ") + name);
}

QByteArray buildDocument(const Log &log)
{
    xmlInitParser();
    const xml::DocPtr doc(xmlNewDoc(BAD_CAST "1.0"));
    if (!doc)
        throw std::runtime_error("could not create the document");
    xmlNode *const root = xmlNewDocNode(doc.get(), nullptr, BAD_CAST "Log", nullptr);
    if (!root)
        throw std::runtime_error("could not create element Log");
    xmlDocSetRootElement(doc.get(), root);
    addAttribute(root, "StartTime", formatDate(log.startTime, displayDatePattern));
    addAttribute(root, "EndTime", formatDate(log.endTime, displayDatePattern));

    for (const LogFiles &output : log.files) {
        xmlNode *const files = addElement(root, "Files");
        addAttribute(files, "FileName", output.filename);
        addAttribute(files, "TargetPath", output.targetPath);
        addAttribute(files, "Status", output.status);
        addAttribute(files, "Pages", QString::number(output.pages));
        for (const LogFile &page : output.logFiles) {
            xmlNode *const file = addElement(files, "File");
            addAttribute(file, "SourceImageFile", page.sourceFile);
            addAttribute(file, "SourcePageNo", QString::number(page.sourcePageNo));
            addAttribute(file, "PageNo", QString::number(page.targetPageNo));
            addAttribute(file, "Status", page.status);
        }
    }

    xmlChar *raw = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc.get(), &raw, &size, "UTF-8", 1);
    const xml::TextPtr text(raw);
    if (!text || size <= 0)
        throw std::runtime_error("could not serialise the document");
    return QByteArray(reinterpret_cast<const char *>(text.get()), size);
}

} // namespace

bool Log::save()
{
    QByteArray document;
    try {
        document = buildDocument(*this);
    } catch (const std::exception &e) {
        logError(QStringLiteral("Log=>save"), QString::fromLocal8Bit(e.what()));
        return false;
    } catch (...) {
        logError(QStringLiteral("Log=>save"), QStringLiteral("unknown failure"));
        return false;
    }

    const QString writeFailure = QStringLiteral("Could not write document out...");
    const QString appPath = Utilities::getAppPath();
    // Without a support folder the path would be relative and the log would land in whatever
    // the working directory happens to be.
    m_written = false;
    if (m_logFolder.isEmpty() && appPath.isEmpty()) {
        systemLog(writeFailure);
        return true;
    }
    const QString folder =
        m_logFolder.isEmpty() ? QDir(appPath).filePath(QStringLiteral("Logs")) : m_logFolder;
    m_logFilePath =
        QDir(folder).filePath(formatDate(endTime, fileNameDatePattern) + QStringLiteral(".log"));
    // Written whole or not at all, and private: the log names the user's files.
    QString reason;
    m_written =
        AtomicFile::writeWhole(m_logFilePath, document, &reason, AtomicFile::Access::Private);
    if (!m_written) {
        systemLog(writeFailure);
        systemLog(QStringLiteral("%1: %2").arg(m_logFilePath, reason));
    }
    return true;
}

} // namespace folioset
