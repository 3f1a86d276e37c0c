#include "imagestream.h"

#include "engine/image/filestamp.h"
#include "icccolourspaces.h"
#include "sourcereadahead.h"

#include <QFileInfo>
#include <QScopeGuard>

#include <unistd.h>

namespace folioset::pdf {

using image::ByteRange;

namespace {

// Large reads only save system calls; the buffer is reused for the whole stream.
constexpr std::size_t kChunk = 1024 * 1024;

QByteArray integer(long long value)
{
    return QByteArray::number(value);
}

void checkAbort(const WriteContext &context)
{
    if (context.abort && context.abort->load(std::memory_order_relaxed))
        throw WriteCancelled();
}

[[noreturn]] void sourceChanged(const StreamOrigin &origin)
{
    throw WriteFailure(QStringLiteral("The image file %1 changed or disappeared before it "
                                      "was written")
                           .arg(QFileInfo(origin.path).fileName())
                           .toStdString());
}

void put(Pipeline *pipeline, const char *data, std::size_t size)
{
    pipeline->write(reinterpret_cast<const unsigned char *>(data), size);
}

void copyFromSource(const WriteContext &context, const StreamOrigin &origin, Pipeline *pipeline,
                    char *buffer, std::size_t size)
{
    const int fd = origin.openUnchanged();
    if (fd < 0)
        sourceChanged(origin);
    const auto closeLater = qScopeGuard([fd] { ::close(fd); });
    for (const ByteRange &range : origin.ranges) {
        for (std::uint64_t done = 0; done < range.length;) {
            checkAbort(context);
            const auto want = std::size_t(std::min<std::uint64_t>(range.length - done, size));
            if (image::readAt(fd, buffer, want, range.offset + done) != ssize_t(want))
                sourceChanged(origin);
            put(pipeline, buffer, want);
            done += want;
        }
    }
}

void copyFromSpill(const WriteContext &context, const StreamOrigin &origin, Pipeline *pipeline,
                   char *buffer, std::size_t size)
{
    for (const ByteRange &range : origin.ranges) {
        for (std::uint64_t done = 0; done < range.length;) {
            checkAbort(context);
            const auto want = std::size_t(std::min<std::uint64_t>(range.length - done, size));
            if (!context.spill || !context.spill->read(range.offset + done, buffer, want))
                throw WriteFailure("Unable to read the scratch file");
            put(pipeline, buffer, want);
            done += want;
        }
    }
}

QByteArray colourSpace(const ImageRecord &image, const ObjectWriter &writer, int number,
                       const IccColourSpaces &profiles)
{
    const QByteArray base = image.profile >= 0 ? profiles.colourSpace(image.profile) : QByteArray();
    switch (image.colorSpace) {
    case ColorSpace::Gray:
        return base.isEmpty() ? "/DeviceGray" : base;
    case ColorSpace::Rgb:
        return base.isEmpty() ? "/DeviceRGB" : base;
    case ColorSpace::Cmyk:
        return base.isEmpty() ? "/DeviceCMYK" : base;
    case ColorSpace::Indexed:
        break;
    }
    return "[/Indexed " + (base.isEmpty() ? QByteArray("/DeviceRGB") : base) + ' ' +
           integer(image.palette.size() / 3 - 1) + ' ' +
           writer.string(image.palette.toStdString(), number) + ']';
}

} // namespace

std::unique_ptr<ImageRecord> ImageRecord::from(const EmbeddedImage &image, WriteContext &context,
                                               IccColourSpaces &profiles)
{
    auto record = std::make_unique<ImageRecord>();
    record->width = image.width;
    record->height = image.height;
    record->bitsPerComponent = image.bitsPerComponent;
    record->colorSpace = image.colorSpace;
    record->filter = image.filter;
    record->invertedDecode = image.invertedDecode;
    record->dctWithoutColorTransform = image.dctWithoutColorTransform;
    record->palette = image.palette;
    if (!image.iccProfile.isEmpty()) {
        const bool indexed = image.colorSpace == ColorSpace::Indexed;
        record->profile = profiles.add(image.iccProfile, indexed ? 3 : image.components());
    }
    record->origin = std::make_shared<const StreamOrigin>(image.origin);
    if (image.origin.kind == StreamOrigin::Kind::SourceFile) {
        record->sequence = context.sourceStreams.size();
        context.sourceStreams.push_back(record->origin);
    }
    if (image.softMask)
        record->softMask = from(*image.softMask, context, profiles);
    return record;
}

QByteArray ImageRecord::entries(const ObjectWriter &writer, int number,
                                const IccColourSpaces &profiles, int maskNumber) const
{
    QByteArray text = " /Type /XObject /Subtype /Image /Width " + integer(width) + " /Height " +
                      integer(height) + " /ColorSpace " +
                      colourSpace(*this, writer, number, profiles) + " /BitsPerComponent " +
                      integer(bitsPerComponent);
    // Group 4 data codes runs as white or black; which bit value black decodes to (/BlackIs1)
    // is the reader's choice. Gray whose 0 is white takes the default and needs no /Decode.
    const bool ccitt = filter == StreamFilter::CcittG4;
    const bool whiteIsZero = colorSpace == ColorSpace::Gray && invertedDecode;
    if (invertedDecode && !(ccitt && whiteIsZero)) {
        text += " /Decode [";
        for (int i = 0; i < componentsOf(colorSpace); ++i)
            text += i == 0 ? "1 0" : " 1 0";
        text += ']';
    }
    if (maskNumber > 0)
        text += " /SMask " + ObjectWriter::reference(maskNumber);
    switch (filter) {
    case StreamFilter::Dct:
        text += " /Filter /DCTDecode";
        if (colorSpace == ColorSpace::Rgb && dctWithoutColorTransform)
            text += " /DecodeParms << /ColorTransform 0 >>";
        break;
    case StreamFilter::Flate:
        text += " /Filter /FlateDecode";
        break;
    case StreamFilter::FlatePredict:
        text += " /Filter /FlateDecode /DecodeParms << /Predictor 15 /Colors " +
                integer(componentsOf(colorSpace)) + " /BitsPerComponent " +
                integer(bitsPerComponent) + " /Columns " + integer(width) + " >>";
        break;
    case StreamFilter::CcittG4:
        text += " /Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns " + integer(width) +
                " /Rows " + integer(height) + (whiteIsZero ? " >>" : " /BlackIs1 true >>");
        break;
    }
    return text;
}

void ImageRecord::copyBytes(const WriteContext &context, Pipeline *pipeline) const
{
    checkAbort(context);
    const QByteArray &prefix = origin->prefix;
    if (context.readAhead && sequence != kNotFromSource) {
        const SourceReadAhead::Bytes bytes = context.readAhead->take(sequence);
        if (bytes.outcome == SourceReadAhead::Outcome::Changed)
            sourceChanged(*origin);
        if (bytes.outcome == SourceReadAhead::Outcome::Read) {
            put(pipeline, prefix.constData(), std::size_t(prefix.size()));
            put(pipeline, bytes.data.get(), bytes.size);
            pipeline->finish();
            return;
        }
    }
    // Uninitialised: a 70 KB thumbnail should not pay for clearing a megabyte.
    const std::size_t size =
        std::size_t(std::clamp<std::uint64_t>(origin->totalLength(), 1, kChunk));
    const std::unique_ptr<char[]> buffer(new char[size]);
    put(pipeline, prefix.constData(), std::size_t(prefix.size()));
    if (origin->kind == StreamOrigin::Kind::SourceFile)
        copyFromSource(context, *origin, pipeline, buffer.get(), size);
    else
        copyFromSpill(context, *origin, pipeline, buffer.get(), size);
    pipeline->finish();
}

} // namespace folioset::pdf
