#include "document.h"

#include "documentdata.h"
#include "platform/atomicfile.h"
#include "sourcereadahead.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimeZone>

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

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

void setInfo(QPDF &pdf, const WriteOptions &options)
{
    QPDFObjectHandle info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    const auto put = [&info](const char *key, const QString &value) {
        if (!value.isEmpty())
            info.replaceKey(key, QPDFObjectHandle::newUnicodeString(value.toStdString()));
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
    pdf.getTrailer().replaceKey("/Info", info);
}

// RC4 passwords are bytes that a reader compares after encoding what was typed in
// PDFDocEncoding; text outside it can only be passed on as UTF-8.
std::string passwordBytes(const QString &password)
{
    const std::string utf8 = password.toStdString();
    std::string encoded;
    return QUtil::utf8_to_pdf_doc(utf8, encoded) ? encoded : utf8;
}

void setEncryption(QPDFWriter &writer, const Security &security)
{
    const qpdf_r3_print_e print = security.canPrint ? qpdf_r3p_full : qpdf_r3p_none;
    if (security.keyBits >= 256) {
        // Revision 6 takes passwords as UTF-8 itself. Accessibility stays allowed, as below;
        // metadata is encrypted like everything else, so that nothing can be read without the
        // password.
        const std::string user = security.userPassword.toStdString();
        const std::string owner = security.ownerPassword.toStdString();
        writer.setR6EncryptionParameters(user.c_str(), owner.c_str(), true, security.canCopy, false,
                                         false, false, false, print, true);
        return;
    }
    const std::string user = passwordBytes(security.userPassword);
    const std::string owner = passwordBytes(security.ownerPassword);
    if (security.keyBits <= 40) {
        writer.setR2EncryptionParametersInsecure(user.c_str(), owner.c_str(), security.canPrint,
                                                 false, security.canCopy, false);
    } else {
        // Accessibility stays allowed: it lets screen readers read the text to those who need it,
        // which is not the copying the owner wants to prevent.
        writer.setR3EncryptionParametersInsecure(
            user.c_str(), owner.c_str(), true, security.canCopy, false, false, false, false, print);
    }
}

// Clears the abort flag pointer when a write ends, however it ends.
struct AbortScope
{
    AbortScope(WriteContext &context, const std::atomic<bool> *abort) : context(context)
    {
        context.abort = abort;
    }
    ~AbortScope()
    {
        context.abort = nullptr;
        context.failure.clear();
        context.cancelled = false;
    }
    WriteContext &context;
};

// Hands qpdf's output to the checked file; the first failure stops the write with its reason.
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
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return fail(reason, QStringLiteral("The output folder does not exist"));

    const auto output = AtomicFile::open(path, reason);
    if (!output)
        return false;
    FilePipeline pipeline(*output);
    const AbortScope scope(*d->context, abort);
    try {
        QPDF &pdf = *d->pdf;
        setInfo(pdf, options);
        if (d->outlineRoot)
            installOutline(pdf, d->outline);
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&pipeline);
        writer.setObjectStreamMode(qpdf_o_disable);
        writer.setStreamDataMode(qpdf_s_preserve);
        writer.setMinimumPDFVersion(d->needsPdf15 ? "1.5" : "1.4");
        if (options.security)
            setEncryption(writer, *options.security);
        SourceReadAhead readAhead(d->context->sourceStreams, abort);
        d->context->readAhead = &readAhead;
        const auto forget = qScopeGuard([this] { d->context->readAhead = nullptr; });
        writer.write();
    } catch (const std::exception &e) {
        if (d->context->cancelled)
            return fail(reason, cancelled);
        if (!d->context->failure.isEmpty())
            return fail(reason, d->context->failure);
        if (output->failed())
            return fail(reason, output->failure());
        return fail(reason, QString::fromStdString(e.what()));
    }
    if (aborted(abort))
        return fail(reason, cancelled);
    return output->commit(reason);
}

} // namespace folioset::pdf
