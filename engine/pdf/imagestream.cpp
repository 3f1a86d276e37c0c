#include "imagestream.h"

#include "engine/image/filestamp.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <qpdf/Pipeline.hh>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace folioset::pdf {

using image::ByteRange;
using image::ColorSpace;
using image::StreamFilter;
using image::StreamOrigin;

namespace {

// qpdf gathers the whole stream anyway: large reads only save system calls and appends.
constexpr std::size_t kChunk = 1024 * 1024;

// Streams the bytes of one image from where they were left at append time. qpdf calls it once
// per stream (filtering on write is off), in the middle of writing the file.
class ImageDataProvider : public QPDFObjectHandle::StreamDataProvider
{
public:
    ImageDataProvider(std::shared_ptr<WriteContext> context, StreamOrigin origin)
        : m_context(std::move(context)), m_origin(std::move(origin))
    {}

    void provideStreamData(QPDFObjGen const &, Pipeline *pipeline) override
    {
        // Uninitialised: a 70 KB thumbnail should not pay for clearing a megabyte.
        const std::size_t size =
            std::size_t(std::clamp<std::uint64_t>(m_origin.totalLength(), 1, kChunk));
        const std::unique_ptr<char[]> buffer(new char[size]);
        const QByteArray &prefix = m_origin.prefix;
        pipeline->write(reinterpret_cast<const unsigned char *>(prefix.constData()),
                        std::size_t(prefix.size()));
        if (m_origin.kind == StreamOrigin::Kind::SourceFile)
            copyFromSource(pipeline, buffer.get(), size);
        else
            copyFromSpill(pipeline, buffer.get(), size);
        pipeline->finish();
    }

private:
    void checkAbort() const
    {
        if (m_context->abort && m_context->abort->load(std::memory_order_relaxed)) {
            m_context->cancelled = true;
            throw WriteCancelled();
        }
    }

    [[noreturn]] void fail(const QString &text) const
    {
        m_context->failure = text;
        throw WriteFailure(text.toStdString());
    }

    [[noreturn]] void sourceChanged() const
    {
        const QString text = QStringLiteral("The image file %1 changed or disappeared before it "
                                            "was written")
                                 .arg(QFileInfo(m_origin.path).fileName());
        fail(text);
    }

    void copyFromSource(Pipeline *pipeline, char *buffer, std::size_t size) const
    {
        const int fd = ::open(QFile::encodeName(m_origin.path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            sourceChanged();
        const auto closeLater = qScopeGuard([fd] { ::close(fd); });
        struct stat status
        {};
        if (::fstat(fd, &status) != 0 || status.st_size != m_origin.fileSize ||
            (m_origin.modified >= 0 && image::modificationTime(status) != m_origin.modified))
            sourceChanged();
        for (const ByteRange &range : m_origin.ranges) {
            for (std::uint64_t done = 0; done < range.length;) {
                checkAbort();
                const auto want = std::size_t(std::min<std::uint64_t>(range.length - done, size));
                const ssize_t got = ::pread(fd, buffer, want, off_t(range.offset + done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    sourceChanged();
                pipeline->write(reinterpret_cast<const unsigned char *>(buffer), size_t(got));
                done += std::uint64_t(got);
            }
        }
    }

    void copyFromSpill(Pipeline *pipeline, char *buffer, std::size_t size) const
    {
        for (const ByteRange &range : m_origin.ranges) {
            for (std::uint64_t done = 0; done < range.length;) {
                checkAbort();
                const auto want = std::size_t(std::min<std::uint64_t>(range.length - done, size));
                if (!m_context->spill || !m_context->spill->read(range.offset + done, buffer, want))
                    fail(QStringLiteral("Unable to read the scratch file"));
                pipeline->write(reinterpret_cast<const unsigned char *>(buffer), want);
                done += want;
            }
        }
    }

    std::shared_ptr<WriteContext> m_context;
    StreamOrigin m_origin;
};

QPDFObjectHandle colorSpaceObject(QPDF &pdf, const EmbeddedImage &image, IccColourSpaces &profiles)
{
    const bool indexed = image.colorSpace == ColorSpace::Indexed;
    QPDFObjectHandle base;
    if (!image.iccProfile.isEmpty())
        base = profiles.colourSpace(pdf, image.iccProfile, indexed ? 3 : image.components());
    switch (image.colorSpace) {
    case ColorSpace::Gray:
        return base.isInitialized() ? base : QPDFObjectHandle::newName("/DeviceGray");
    case ColorSpace::Rgb:
        return base.isInitialized() ? base : QPDFObjectHandle::newName("/DeviceRGB");
    case ColorSpace::Cmyk:
        return base.isInitialized() ? base : QPDFObjectHandle::newName("/DeviceCMYK");
    case ColorSpace::Indexed:
        break;
    }
    auto lookup = QPDFObjectHandle::newArray();
    lookup.appendItem(QPDFObjectHandle::newName("/Indexed"));
    lookup.appendItem(base.isInitialized() ? base : QPDFObjectHandle::newName("/DeviceRGB"));
    lookup.appendItem(QPDFObjectHandle::newInteger(image.palette.size() / 3 - 1));
    lookup.appendItem(QPDFObjectHandle::newString(image.palette.toStdString()));
    return lookup;
}

QPDFObjectHandle decodeArray(const EmbeddedImage &image)
{
    auto decode = QPDFObjectHandle::newArray();
    for (int i = 0; i < image.components(); ++i) {
        decode.appendItem(QPDFObjectHandle::newInteger(1));
        decode.appendItem(QPDFObjectHandle::newInteger(0));
    }
    return decode;
}

} // namespace

QPDFObjectHandle makeImageXObject(QPDF &pdf, const EmbeddedImage &image,
                                  const std::shared_ptr<WriteContext> &context,
                                  IccColourSpaces &profiles)
{
    QPDFObjectHandle stream = pdf.newStream();
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.height));
    dict.replaceKey("/ColorSpace", colorSpaceObject(pdf, image, profiles));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(image.bitsPerComponent));
    // Group 4 data codes runs as white or black; which bit value black decodes to (/BlackIs1)
    // is the reader's choice. Gray whose 0 is white takes the default and needs no /Decode.
    const bool ccitt = image.filter == StreamFilter::CcittG4;
    const bool whiteIsZero = image.colorSpace == ColorSpace::Gray && image.invertedDecode;
    if (image.invertedDecode && !(ccitt && whiteIsZero))
        dict.replaceKey("/Decode", decodeArray(image));
    if (image.softMask)
        dict.replaceKey("/SMask", makeImageXObject(pdf, *image.softMask, context, profiles));

    QPDFObjectHandle filter;
    QPDFObjectHandle parms = QPDFObjectHandle::newNull();
    switch (image.filter) {
    case StreamFilter::Dct:
        filter = QPDFObjectHandle::newName("/DCTDecode");
        if (image.colorSpace == ColorSpace::Rgb && image.dctWithoutColorTransform)
            parms = QPDFObjectHandle::parse("<< /ColorTransform 0 >>");
        break;
    case StreamFilter::Flate:
        filter = QPDFObjectHandle::newName("/FlateDecode");
        break;
    case StreamFilter::FlatePredict:
        filter = QPDFObjectHandle::newName("/FlateDecode");
        parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/Predictor", QPDFObjectHandle::newInteger(15));
        parms.replaceKey("/Colors", QPDFObjectHandle::newInteger(image.components()));
        parms.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(image.bitsPerComponent));
        parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(image.width));
        break;
    case StreamFilter::CcittG4:
        filter = QPDFObjectHandle::newName("/CCITTFaxDecode");
        parms = QPDFObjectHandle::newDictionary();
        parms.replaceKey("/K", QPDFObjectHandle::newInteger(-1));
        parms.replaceKey("/Columns", QPDFObjectHandle::newInteger(image.width));
        parms.replaceKey("/Rows", QPDFObjectHandle::newInteger(image.height));
        if (!whiteIsZero)
            parms.replaceKey("/BlackIs1", QPDFObjectHandle::newBool(true));
        break;
    }
    stream.replaceStreamData(std::make_shared<ImageDataProvider>(context, image.origin), filter,
                             parms);
    // The data is already in its final form: qpdf must neither decode nor recompress it, which
    // would also make it ask the provider twice.
    stream.setFilterOnWrite(false);
    return stream;
}

} // namespace folioset::pdf
