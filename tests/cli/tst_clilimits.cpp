// folioset-cli under resource limits: a handful of file descriptors for thousands of inputs,
// no thread to spare, and an address space only a little above the decoding limit for images
// that declare vast sizes.

#include "clirun.h"

#include "engine/image/decodinglimits.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>
#include <QThread>
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

#include <zlib.h>

namespace {

QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray le16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    const QByteArray body = type + data;
    return be32(quint32(data.size())) + body +
           be32(quint32(
               crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))));
}

// A well-formed PNG whose few bytes of image data are far from what its header declares.
QByteArray pngDeclaring(quint32 width, quint32 height, char depth, char colourType, bool interlaced)
{
    const QByteArray header =
        be32(width) + be32(height) + depth + colourType + '\0' + '\0' + char(interlaced ? 1 : 0);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
           pngChunk("IDAT", qCompress(QByteArray(64, '\0')).mid(4)) + pngChunk("IEND", {});
}

// The headers of an arithmetic-coded progressive gray JPEG and a little scan data: decoding it
// needs the whole picture's coefficients at once, width x height x 2 bytes.
QByteArray progressiveJpegDeclaring(quint16 width, quint16 height)
{
    QByteArray bytes("\xFF\xD8", 2);
    bytes += QByteArray("\xFF\xDB\x00\x43\x00", 5) + QByteArray(64, '\1');
    bytes += QByteArray("\xFF\xCA\x00\x0B\x08", 5);
    bytes += char(height >> 8) + QByteArray(1, char(height & 0xFF)) + char(width >> 8) +
             QByteArray(1, char(width & 0xFF));
    bytes += QByteArray("\x01\x01\x11\x00", 4);
    bytes += QByteArray("\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x00", 10) + QByteArray(16, '\0');
    return bytes + QByteArray("\xFF\xD9", 2);
}

// A logical screen of `width` x `height` holding one frame of one pixel.
QByteArray gifScreen(quint16 width, quint16 height)
{
    return QByteArray("GIF89a") + le16(width) + le16(height) + QByteArray("\x80\0\0", 3) +
           QByteArray("\0\0\0\xFF\xFF\xFF", 6) + QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0", 10) +
           QByteArray("\x02\x02\x44\x01\x00\x3B", 6);
}

// An uncompressed 8-bit gray TIFF page in one strip whose byte count is `stripBytes`, of which
// the file holds 16.
QByteArray tiffStrip(quint32 width, quint32 height, quint32 stripBytes)
{
    const auto entry = [](quint16 tag, quint16 type, quint32 value) {
        return le16(tag) + le16(type) + le32(1) +
               (type == 3 ? le16(quint16(value)) + le16(0) : le32(value));
    };
    constexpr quint16 shortType = 3, longType = 4;
    constexpr quint32 entries = 9;
    const quint32 dataOffset = 8 + 2 + entries * 12 + 4;
    QByteArray bytes = QByteArray("II*\0", 4) + le32(8) + le16(entries);
    bytes += entry(256, longType, width) + entry(257, longType, height) + entry(258, shortType, 8) +
             entry(259, shortType, 1) + entry(262, shortType, 1) +
             entry(273, longType, dataOffset) + entry(277, shortType, 1) +
             entry(278, longType, height) + entry(279, longType, stripBytes);
    return bytes + le32(0) + QByteArray(16, '\x7F');
}

QByteArray bmpDeclaring(quint32 width, quint32 height)
{
    return QByteArray("BM") + le32(70) + le32(0) + le32(54) + le32(40) + le32(width) +
           le32(height) + le16(1) + le16(32) + QByteArray(24, '\0') + QByteArray(16, '\x55');
}

// The highest address space `pid` has had (VmPeak), in bytes; -1 once it is gone.
qint64 peakAddressSpace(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmPeak:"))
            return line.mid(7).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

// Runs folioset-cli to the end, sampling its peak address space as it goes.
qint64 measuredPeak(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(FOLIOSET_CLI_PATH), arguments);
    if (!process.waitForStarted())
        return -1;
    qint64 peak = -1;
    while (!process.waitForFinished(1))
        peak = std::max(peak, peakAddressSpace(process.processId()));
    return process.exitCode() == 0 ? peak : -1;
}

// The inputs a run refused, from its report, as "name: reason".
QStringList reportedRefusals(const QString &report)
{
    QStringList refused;
    for (const QByteArray &line : fixtures::readBytes(report).split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.value(QStringLiteral("kind")).toString() == QLatin1String("input"))
            refused << QFileInfo(entry.value(QStringLiteral("path")).toString()).fileName() +
                           QStringLiteral(": ") + entry.value(QStringLiteral("reason")).toString();
    }
    refused.sort();
    return refused;
}

} // namespace

class TestCliLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aMergeOfThousandsOfInputsNeedsNoDescriptorPerInput();
    void aRunWithNoThreadToSpareStillConvertsEveryInput();
    void imagesDeclaringVastSizesStayWithinTheDecodingLimit();

private:
    // One small valid image of each kind the program reads, in `folder`.
    QStringList smallImages(const QString &folder) const;

    QTemporaryDir m_inputs;
};

void TestCliLimits::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_inputs.isValid());
}

QStringList TestCliLimits::smallImages(const QString &folder) const
{
    const QImage picture = fixtures::patternImage(QSize(16, 12), 3);
    const QString jpeg = QDir(folder).filePath(QStringLiteral("small.jpg"));
    const QString png = QDir(folder).filePath(QStringLiteral("small.png"));
    const QString bmp = QDir(folder).filePath(QStringLiteral("small.bmp"));
    const QString gif = QDir(folder).filePath(QStringLiteral("small.gif"));
    const QString tiff = QDir(folder).filePath(QStringLiteral("small.tif"));
    const bool made = fixtures::writeJpeg(jpeg, picture.size(), 3) &&
                      fixtures::writePng(png, picture) &&
                      fixtures::writeImage(bmp, picture, "bmp") &&
                      fixtures::writeGif(gif, {picture.convertToFormat(QImage::Format_Indexed8)}) &&
                      fixtures::writeTiff(tiff, {picture, picture});
    return made ? QStringList{jpeg, png, bmp, gif, tiff} : QStringList();
}

// Inputs are opened a few at a time while pages are made, and carried data is read from each
// file in turn while the document is written: a run holds no descriptor per input.
void TestCliLimits::aMergeOfThousandsOfInputsNeedsNoDescriptorPerInput()
{
    constexpr int kInputs = 5000;
    const QTemporaryDir home;
    const QTemporaryDir out;
    const QStringList kinds = smallImages(m_inputs.path());
    QCOMPARE(kinds.size(), 5);
    QByteArray list;
    for (int i = 0; i < kInputs; ++i) {
        const QString &kind = kinds.at(i % kinds.size());
        const QString copy = home.filePath(
            QStringLiteral("in%1.%2").arg(i, 4, 10, QChar(u'0')).arg(QFileInfo(kind).suffix()));
        QVERIFY(QFile::copy(kind, copy));
        list += QFile::encodeName(copy) + '\0';
    }
    const clirun::Result result =
        clirun::run({QStringLiteral("-q"), QStringLiteral("--mode"), QStringLiteral("merge"),
                     QStringLiteral("--name"), QStringLiteral("all"), QStringLiteral("--from-file"),
                     QStringLiteral("-"), QStringLiteral("-0"), QStringLiteral("-o"), out.path()},
                    clirun::isolatedEnvironment(home.path()), list, [] {
                        const rlimit descriptors{64, 64};
                        ::setrlimit(RLIMIT_NOFILE, &descriptors);
                    });
    QVERIFY(!result.crashed);
    QVERIFY2(result.exitCode == 0, qPrintable(result.err.left(2000)));
    // Every TIFF gives two pages.
    QCOMPARE(clirun::readPdf(out.filePath(QStringLiteral("all.pdf"))).pages, kInputs / 5 * 6);
}

// The run, the openers, the writer's read-ahead and the page counting each want a thread of
// their own; at the user's process limit none can start, and the run does the work itself
// instead of waiting for a thread that never comes.
void TestCliLimits::aRunWithNoThreadToSpareStillConvertsEveryInput()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("LeakSanitizer needs a thread of its own to check the process at exit");
#endif
    constexpr int kInputs = 100; // enough for the page counting to want helpers
    QTemporaryDir home;
    QTemporaryDir out;
    const QStringList kinds = smallImages(m_inputs.path());
    QCOMPARE(kinds.size(), 5);
    QStringList arguments{QStringLiteral("-q"),
                          QStringLiteral("--mode"),
                          QStringLiteral("merge"),
                          QStringLiteral("--name"),
                          QStringLiteral("all"),
                          QStringLiteral("-o"),
                          out.path()};
    for (int i = 0; i < kInputs; ++i) {
        const QString &kind = kinds.at(i % kinds.size());
        const QString copy =
            home.filePath(QStringLiteral("in%1.%2").arg(i).arg(QFileInfo(kind).suffix()));
        QVERIFY(QFile::copy(kind, copy));
        arguments << copy;
    }
    // The limit does not bind root, so a root test runs the command as nobody, who must be
    // able to read the inputs and write the output and its preferences.
    const QProcessEnvironment environment = clirun::isolatedEnvironment(home.path());
    for (const QString &folder : {home.path(), home.filePath(QStringLiteral("tmp")), out.path()})
        QVERIFY(clirun::openToEveryone(folder));
    const clirun::Result result = clirun::run(arguments, environment, {}, [] {
        clirun::becomeOrdinaryUser();
        const rlimit oneProcess{1, 1};
        ::setrlimit(RLIMIT_NPROC, &oneProcess);
    });
    QVERIFY(!result.crashed);
    QVERIFY2(result.exitCode == 0, qPrintable(QString(result.err).replace('\n', " | ").left(2000)));
    // Every TIFF gives two pages.
    QCOMPARE(clirun::readPdf(out.filePath(QStringLiteral("all.pdf"))).pages, kInputs / 5 * 6);
}

// The process may use its baseline (measured on the same kinds of images) plus what the
// decoding limit lets a decoder hold, and a little more: every image still ends as a page or as
// a clean refusal, never as an allocation failure.
void TestCliLimits::imagesDeclaringVastSizesStayWithinTheDecodingLimit()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer reserves more address space than any limit here allows");
#endif
    const QTemporaryDir home;
    const QTemporaryDir out;
    const QStringList valid = smallImages(home.path());
    QCOMPARE(valid.size(), 5);
    const QProcessEnvironment environment = clirun::isolatedEnvironment(home.path());
    const QStringList options{QStringLiteral("-q"), QStringLiteral("-o"), out.path()};
    const qint64 baseline = measuredPeak(options + valid, environment);
    QVERIFY(baseline > 0);
    const auto limit = rlim_t(baseline + qint64(folioset::image::kMaxHeldBytes) + 64 * 1024 * 1024);

    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *reason; // nullptr: converts
    } vast[] = {
        {"png-65535-square-rgba16.png", pngDeclaring(65535, 65535, 16, 6, false),
         "Unable to load image!"},
        {"png-30000-square-interlaced.png", pngDeclaring(30000, 30000, 8, 0, true),
         "Unable to load image!"},
        // The coefficients of 11000 x 11000 fit the limit, those of 12000 x 12000 do not.
        {"jpeg-11000-progressive.jpg", progressiveJpegDeclaring(11000, 11000), nullptr},
        {"jpeg-12000-progressive.jpg", progressiveJpegDeclaring(12000, 12000),
         "Unable to load image!"},
        {"gif-65535-screen.gif", gifScreen(65535, 65535), "Unable to load image!"},
        // The files open; their pages are what is refused.
        {"tiff-4-gb-strip.tif", tiffStrip(60000, 60000, 3600000000u), "Unable to load page!"},
        {"tiff-250-mb-strip.tif", tiffStrip(16000, 16000, 250000000u), "Unable to load page!"},
        {"bmp-65535-square.bmp", bmpDeclaring(65535, 65535), "Unable to load image!"},
        {"ppm-65535-square.jpg", QByteArray("P6\n65535 65535\n255\n") + QByteArray(64, 'x'),
         "Unable to load image!"},
    };
    QStringList inputs = valid;
    QStringList expected;
    for (const auto &image : vast) {
        const QString path = home.filePath(QLatin1String(image.name));
        QVERIFY(fixtures::writeBytes(path, image.bytes));
        inputs << path;
        if (image.reason)
            expected << QLatin1String(image.name) + QStringLiteral(": ") +
                            QLatin1String(image.reason);
    }
    const QString report = home.filePath(QStringLiteral("run.jsonl"));
    const clirun::Result result =
        clirun::run(QStringList{QStringLiteral("--report"), report} + options + inputs, environment,
                    {}, [limit] {
                        const rlimit space{limit, limit};
                        ::setrlimit(RLIMIT_AS, &space);
                    });
    QVERIFY(!result.crashed);
    QCOMPARE(result.exitCode, 1);
    for (const char *memory : {"bad_alloc", "allocat", "memory", "Cannot"})
        QVERIFY2(!result.err.contains(QLatin1String(memory), Qt::CaseInsensitive),
                 qPrintable(result.err));
    expected.sort();
    QCOMPARE(reportedRefusals(report), expected);
    QCOMPARE(clirun::allEntries(out.path()).size(), valid.size() + 1);
}

QTEST_MAIN(TestCliLimits)
#include "tst_clilimits.moc"
