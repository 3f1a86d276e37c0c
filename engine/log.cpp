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
// More runs than any machine ends within one second.
constexpr int kMaxLogsPerSecond = 10000;

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
    const QString stem = formatDate(endTime, fileNameDatePattern);
    m_logFilePath = QDir(folder).filePath(stem + QStringLiteral(".log"));
    // Written whole or not at all, and private: the log names the user's files. Runs that end
    // in the same second (several started together on a batch) each keep their own log: a name
    // already taken is never replaced, the next free one is taken instead.
    QString reason;
    const std::unique_ptr<AtomicFile> file =
        AtomicFile::open(m_logFilePath, &reason, AtomicFile::Access::Private);
    if (file) {
        file->write(document);
        const auto nameFor = [&stem](int attempt) {
            if (attempt >= kMaxLogsPerSecond)
                return QString();
            return attempt == 0 ? stem + QStringLiteral(".log")
                                : QStringLiteral("%1-%2.log").arg(stem).arg(attempt + 1);
        };
        QString chosen;
        m_written = file->commitUnderFreeName(nameFor, &chosen, &reason);
        if (m_written)
            m_logFilePath = chosen;
    }
    if (!m_written) {
        systemLog(writeFailure);
        systemLog(QStringLiteral("%1: %2").arg(m_logFilePath, reason));
    }
    return true;
}

} // namespace folioset
