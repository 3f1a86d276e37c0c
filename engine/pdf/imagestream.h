#pragma once

#include "engine/image/embeddedimage.h"
#include "engine/image/spillfile.h"
#include "icccolourspaces.h"
#include "sharedobjects.h"

#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

namespace folioset::pdf {

using image::EmbeddedImage;
using image::SpillFile;

// What the image streams of one document share while it is written.
class SourceReadAhead;

struct WriteContext
{
    const std::atomic<bool> *abort = nullptr; // set for the duration of a write
    SourceReadAhead *readAhead = nullptr;     // set for the duration of a write
    std::shared_ptr<const SpillFile> spill;
    // The streams whose bytes are copied from image files, in the order they were made.
    std::vector<std::shared_ptr<const image::StreamOrigin>> sourceStreams;
    // Why a stream could not be written. qpdf wraps what a provider throws in its own message,
    // which names object numbers; the user is told this instead.
    QString failure;
    bool cancelled = false;
};

// Thrown from inside QPDFWriter::write, which passes it on to the caller; the message is the
// reason shown to the user.
class WriteFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class WriteCancelled : public WriteFailure
{
public:
    WriteCancelled() : WriteFailure("The write was cancelled") {}
};

// An image XObject (with its soft mask) whose bytes are read only when qpdf writes it; its
// profile, if any, becomes one of the document's ICC colour spaces.
QPDFObjectHandle makeImageXObject(QPDF &pdf, const EmbeddedImage &image,
                                  const std::shared_ptr<WriteContext> &context,
                                  IccColourSpaces &profiles, SharedObjects &shared);

} // namespace folioset::pdf
