#include "log.h"

#include "platform/atomicfile.h"

#include "model/utilities.h"
#include "platform/datetext.h"
#include "platform/systemlog.h"
#include "platform/xmlsupport.h"

#include <QDir>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

#include <exception>
#include <memory>
#include <stdexcept>

namespace folioset {

namespace {

const QString displayDatePattern = QStringLiteral("MM/dd/yyyy hh:mm:ss a");
const QString fileNameDatePattern = QStringLiteral("ddMMyyHHmmss");

struct WriterFree
{
    void operator()(xmlTextWriter *writer) const { xmlFreeTextWriter(writer); }
};
struct BufferFree
{
    void operator()(xmlBuffer *buffer) const { xmlBufferFree(buffer); }
};

void check(int result, const char *what)
{
    if (result < 0)
        throw std::runtime_error(std::string("could not write ") + what);
}

void startElement(xmlTextWriter *writer, const char *name)
{
    check(xmlTextWriterStartElement(writer, BAD_CAST name), name);
}

// The writer escapes what it is given, so the value goes in as it is.
void addAttribute(xmlTextWriter *writer, const char *name, const QString &value)
{
    const QByteArray utf8 = xml::text(value);
    check(xmlTextWriterWriteAttribute(writer, BAD_CAST name, BAD_CAST utf8.constData()), name);
}

// Written as it is built, not as a tree first: a run of ten thousand inputs would otherwise hold
// a node and its attributes per page, several times what the text takes.
QByteArray buildDocument(const Log &log)
{
    xmlInitParser();
    const std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    if (!buffer)
        throw std::runtime_error("could not create the document");
    const std::unique_ptr<xmlTextWriter, WriterFree> owner(xmlNewTextWriterMemory(buffer.get(), 0));
    xmlTextWriter *const writer = owner.get();
    if (!writer)
        throw std::runtime_error("could not create the document");
    check(xmlTextWriterSetIndent(writer, 1), "indentation");
    check(xmlTextWriterSetIndentString(writer, BAD_CAST "  "), "indentation");
    check(xmlTextWriterStartDocument(writer, "1.0", "UTF-8", nullptr), "declaration");
    startElement(writer, "Log");
    addAttribute(writer, "StartTime", formatDate(log.startTime, displayDatePattern));
    addAttribute(writer, "EndTime", formatDate(log.endTime, displayDatePattern));

    for (const LogFiles &output : log.files) {
        startElement(writer, "Files");
        addAttribute(writer, "FileName", output.filename);
        addAttribute(writer, "TargetPath", output.targetPath);
        addAttribute(writer, "Status", output.status);
        addAttribute(writer, "Pages", QString::number(output.pages));
        for (const LogFile &page : output.logFiles) {
            startElement(writer, "File");
            addAttribute(writer, "SourceImageFile", page.sourceFile);
            addAttribute(writer, "SourcePageNo", QString::number(page.sourcePageNo));
            addAttribute(writer, "PageNo", QString::number(page.targetPageNo));
            addAttribute(writer, "Status", page.status);
            check(xmlTextWriterEndElement(writer), "File");
        }
        check(xmlTextWriterEndElement(writer), "Files");
    }
    check(xmlTextWriterEndDocument(writer), "Log");
    check(xmlTextWriterFlush(writer), "the document");
    return QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer.get())),
                      xmlBufferLength(buffer.get()));
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
