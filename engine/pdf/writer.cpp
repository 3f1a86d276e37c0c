#include "document.h"

#include "documentdata.h"
#include "encryption.h"
#include "objectwriter.h"
#include "platform/atomicfile.h"
#include "sourcereadahead.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimeZone>

#include <qpdf/Pipeline.hh>

#include <array>
#include <optional>

namespace folioset::pdf {

namespace {

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

QString pdfDate(const QDateTime &when)
{
    const int offset = when.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QStringLiteral("D:%1%2%3'%4'")
        .arg(when.toString(QStringLiteral("yyyyMMddHHmmss")))
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// The document information dictionary, written in every file: at least who made it and when.
void writeInfo(ObjectWriter &writer, int number, const WriteOptions &options)
{
    QByteArray body = "<<";
    const auto put = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            body += QByteArray(" ") + key + ' ' + writer.text(value, number);
    };
    if (options.info) {
        put("/Title", options.info->title);
        put("/Subject", options.info->subject);
        put("/Author", options.info->author);
        put("/Keywords", options.info->keywords);
        put("/Creator", options.info->creator);
    }
    put("/Producer", options.producer);
    const QString now = pdfDate(QDateTime::currentDateTime());
    put("/CreationDate", now);
    put("/ModDate", now);
    writer.object(number, body + " >>");
}

// Sets the write's abort flag and read-ahead for as long as it runs, however it ends.
struct WriteScope
{
    WriteScope(WriteContext &context, const std::atomic<bool> *abort) : context(context)
    {
        context.abort = abort;
    }
    ~WriteScope()
    {
        context.abort = nullptr;
        context.readAhead = nullptr;
    }
    WriteContext &context;
};

void writeImage(ObjectWriter &writer, const ImageRecord &image, int number,
                const WriteContext &context, const IccColourSpaces &profiles)
{
    const int mask = image.softMask ? writer.reserve() : 0;
    writer.stream(number, image.entries(writer, number, profiles, mask),
                  image.origin->totalLength(),
                  [&](Pipeline *pipeline) { image.copyBytes(context, pipeline); });
    if (image.softMask)
        writeImage(writer, *image.softMask, mask, context, profiles);
}

QByteArray pageBody(const PageRecord &page, int pages, int image, int contents)
{
    QByteArray body = "<< /Type /Page /Parent " + ObjectWriter::reference(pages) +
                      " /MediaBox [0 0 " + pdfNumber(page.mediaBox.width()) + ' ' +
                      pdfNumber(page.mediaBox.height()) + "] /Resources << /XObject << /Im0 " +
                      ObjectWriter::reference(image) + " >> >> /Contents " +
                      ObjectWriter::reference(contents);
    if (page.rotate != 0)
        body += " /Rotate " + QByteArray::number(page.rotate);
    return body + " >>";
}

// A new file's identifier, random. It stands twice in /ID, as for any file never updated, and
// RC4 keys are made from it.
std::string newFileId()
{
    std::array<quint32, 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return std::string(reinterpret_cast<const char *>(words.data()), sizeof words);
}

// Hands the document's bytes to the checked file; the first failure stops the write with its
// reason.
class FilePipeline : public Pipeline
{
public:
    explicit FilePipeline(AtomicFile &file) : Pipeline("output file", nullptr), m_file(file) {}
    void write(unsigned char const *data, size_t length) override
    {
        if (!m_file.write(reinterpret_cast<const char *>(data), length))
            throw std::runtime_error(m_file.failure().toStdString());
    }
    void finish() override {}

private:
    AtomicFile &m_file;
};

bool aborted(const std::atomic<bool> *abort)
{
    return abort && abort->load();
}

} // namespace

bool Document::write(const QString &path, const WriteOptions &options,
                     const std::atomic<bool> *abort, QString *reason)
{
    static const QString cancelled = QStringLiteral("The write was cancelled");
    if (aborted(abort))
        return fail(reason, cancelled);
    if (d->pages.empty())
        return fail(reason, QStringLiteral("The document has no pages"));
    if (const QString scratch = scratchFailure(); !scratch.isEmpty())
        return fail(reason, scratch);
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return fail(reason, QStringLiteral("The output folder does not exist"));

    const auto output = AtomicFile::open(path, reason);
    if (!output)
        return false;
    FilePipeline pipeline(*output);
    WriteContext &context = *d->context;
    const WriteScope scope(context, abort);
    try {
        const std::string id = newFileId();
        std::optional<Encryption> encryption;
        if (options.security)
            encryption.emplace(*options.security, id);
        ObjectWriter writer(pipeline, encryption ? &*encryption : nullptr);
        const bool extensionLevel8 = encryption && encryption->needsExtensionLevel8();
        writer.header(extensionLevel8 ? "1.7" : d->needsPdf15 ? "1.5" : "1.4");
        const int catalog = writer.reserve();
        const int pages = writer.reserve();
        const int info = writer.reserve();
        const int encrypt = encryption ? writer.reserve() : 0;
        if (encryption)
            writer.object(encrypt, encryption->dictionary());
        writeInfo(writer, info, options);
        d->profiles.write(writer);
        std::vector<int> contents;
        for (const QByteArray &content : d->contents) {
            contents.push_back(writer.reserve());
            writer.stream(contents.back(), QByteArray(), content);
        }

        SourceReadAhead readAhead(context.sourceStreams, abort);
        context.readAhead = &readAhead;
        std::vector<int> pageObjects;
        pageObjects.reserve(d->pages.size());
        for (const PageRecord &page : d->pages) {
            const int number = writer.reserve();
            const int image = writer.reserve();
            writer.object(number, pageBody(page, pages, image, contents.at(page.contents)));
            writeImage(writer, *page.image, image, context, d->profiles);
            pageObjects.push_back(number);
        }
        QByteArray kids;
        for (const int page : pageObjects)
            kids += ' ' + ObjectWriter::reference(page);
        writer.object(pages, "<< /Type /Pages /Kids [" + kids.mid(1) + "] /Count " +
                                 QByteArray::number(qsizetype(d->pages.size())) + " >>");

        QByteArray catalogBody = "<< /Type /Catalog /Pages " + ObjectWriter::reference(pages);
        if (d->outlineRoot) {
            catalogBody += " /Outlines " +
                           ObjectWriter::reference(writeOutline(writer, d->outline, pageObjects));
            if (!d->outline.empty())
                catalogBody += " /PageMode /UseOutlines";
        }
        if (extensionLevel8)
            catalogBody += " /Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>";
        writer.object(catalog, catalogBody + " >>");
        writer.finish(catalog, info, encrypt, id);
    } catch (const WriteCancelled &) {
        return fail(reason, cancelled);
    } catch (const std::exception &e) {
        if (output->failed())
            return fail(reason, output->failure());
        return fail(reason, QString::fromStdString(e.what()));
    }
    if (aborted(abort))
        return fail(reason, cancelled);
    return output->commit(reason);
}

} // namespace folioset::pdf
