#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <qpdf/QPDFExc.hh>

#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>

using folioset::pdf::Document;
using folioset::pdf::DocumentInfo;
using folioset::pdf::Security;
using folioset::pdf::WriteOptions;

namespace {

QString text(QPDFObjectHandle string)
{
    return QString::fromStdString(string.getUTF8Value());
}

} // namespace

class WritingTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_jpeg;
    QString m_bigJpeg;
    QString m_png; // carried: its compressed rows go into the PDF as they are
    QString m_fax; // carried: a Group 4 page in one strip
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // A folder of its own, so that nothing else is in it but what a write leaves.
    QString freshFolder(const QString &name)
    {
        QDir(m_dir.path()).mkpath(name);
        return file(name);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_jpeg = file(QStringLiteral("photo.jpg"));
        QVERIFY(fixtures::writeJpeg(m_jpeg, {200, 100}, 2));
        m_bigJpeg = file(QStringLiteral("big.jpg"));
        QVERIFY(fixtures::writeJpeg(m_bigJpeg, {3000, 2000}, 4, 97));
        m_png = file(QStringLiteral("scan.png"));
        QVERIFY(fixtures::writePng(m_png, fixtures::patternImage({300, 200}, 5)));
        m_fax = file(QStringLiteral("fax.tif"));
        QVERIFY(fixtures::writeTiff(m_fax, {fixtures::patternImage({400, 300}, 6)},
                                    fixtures::TiffCompression::Group4));
    }

    void writesDocumentInformation()
    {
        Document document;
        QVERIFY(helpers::appendPage(document, m_jpeg));
        WriteOptions options;
        options.info = DocumentInfo{QStringLiteral("Titel – Ärger"), QStringLiteral("Subject"),
                                    QStringLiteral("作者"), QStringLiteral("a, b"),
                                    QStringLiteral("Folioset")};
        options.producer = QStringLiteral("Folioset 2.0");
        const QString out = file(QStringLiteral("info.pdf"));
        QVERIFY(document.write(out, options, nullptr, nullptr));
        auto pdf = readback::open(out);
        auto info = pdf->getTrailer().getKey("/Info");
        QCOMPARE(text(info.getKey("/Title")), options.info->title);
        QCOMPARE(text(info.getKey("/Subject")), options.info->subject);
        QCOMPARE(text(info.getKey("/Author")), options.info->author);
        QCOMPARE(text(info.getKey("/Keywords")), options.info->keywords);
        QCOMPARE(text(info.getKey("/Creator")), options.info->creator);
        QCOMPARE(text(info.getKey("/Producer")), options.producer);
    }

    void withoutInformationOnlyTheProducerIsNamed()
    {
        Document document;
        QVERIFY(helpers::appendPage(document, m_jpeg));
        WriteOptions options;
        options.producer = QStringLiteral("Folioset 2.0");
        const QString out = file(QStringLiteral("noinfo.pdf"));
        QVERIFY(document.write(out, options, nullptr, nullptr));
        auto pdf = readback::open(out);
        auto info = pdf->getTrailer().getKey("/Info");
        QCOMPARE(text(info.getKey("/Producer")), options.producer);
        for (const char *key : {"/Title", "/Subject", "/Author", "/Keywords", "/Creator"})
            QVERIFY2(!info.hasKey(key), key);
    }

    void encryptsWithTheChosenKeyAndRights_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("print");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("user");
        for (const int bits : {40, 128, 256}) {
            QTest::addRow("%d-bit, all allowed, no open password", bits)
                << bits << true << true << QString();
            QTest::addRow("%d-bit, nothing allowed", bits)
                << bits << false << false << QStringLiteral("open");
            QTest::addRow("%d-bit, print only", bits)
                << bits << true << false << QStringLiteral("café");
            QTest::addRow("%d-bit, copy only", bits) << bits << false << true << QString();
        }
    }
    void encryptsWithTheChosenKeyAndRights()
    {
        QFETCH(int, bits);
        QFETCH(bool, print);
        QFETCH(bool, copy);
        QFETCH(QString, user);
        Document document;
        QVERIFY(helpers::appendPage(document, m_jpeg));
        // Strings are encrypted with the key of the object holding them.
        const QString title = QStringLiteral("Geheimnis – 秘密");
        document.addOutlineEntry(title, 1);
        WriteOptions options;
        options.info = DocumentInfo{title, {}, {}, {}, {}};
        options.security = Security{user, QStringLiteral("owner-secret"), print, copy, bits};
        const QString out = file(QStringLiteral("secure.pdf"));
        QVERIFY(document.write(out, options, nullptr, nullptr));

        auto pdf = readback::open(out, user);
        int R = 0, P = 0, V = 0;
        QPDF::encryption_method_e stream, string, fileMethod;
        QVERIFY(pdf->isEncrypted(R, P, V, stream, string, fileMethod));
        QCOMPARE(R, bits == 40 ? 2 : bits == 128 ? 3 : 6);
        QCOMPARE(V, bits == 40 ? 1 : bits == 128 ? 2 : 5);
        if (bits == 256)
            QCOMPARE(stream, QPDF::e_aesv3);
        QCOMPARE(text(pdf->getTrailer().getKey("/Info").getKey("/Title")), title);
        QCOMPARE(text(pdf->getRoot().getKey("/Outlines").getKey("/First").getKey("/Title")), title);
        auto length = pdf->getTrailer().getKey("/Encrypt").getKey("/Length");
        QCOMPARE(length.isInteger() ? length.getIntValueAsInt() : 40, bits);
        QCOMPARE(pdf->allowPrintHighRes(), print);
        QCOMPARE(pdf->allowExtractAll(), copy);
        QVERIFY(!pdf->allowModifyOther());
        QVERIFY(!pdf->allowModifyAnnotation());
        QVERIFY(!pdf->allowModifyForm());
        QVERIFY(!pdf->allowModifyAssembly());
        QVERIFY(!pdf->ownerPasswordMatched());
        // The JPEG is encrypted in the file and still the file's bytes once decrypted.
        QCOMPARE(readback::rawData(readback::image(readback::pages(*pdf).at(0))),
                 fixtures::readBytes(m_jpeg));

        auto owner = readback::open(out, QStringLiteral("owner-secret"));
        QVERIFY(owner->ownerPasswordMatched());
        if (!user.isEmpty())
            QVERIFY_THROWS_EXCEPTION(QPDFExc, readback::open(out, QStringLiteral("wrong")));
    }

    void buildsAnOutlineOfTopLevelEntries()
    {
        Document document;
        QVERIFY(!document.hasOutlineRoot());
        QVERIFY(helpers::appendPage(document, m_jpeg));
        QVERIFY(helpers::appendPage(document, m_bigJpeg));
        QVERIFY(helpers::appendPage(document, m_jpeg));
        const QStringList titles = {QStringLiteral("first.jpg"), QStringLiteral("Zweite – Größe"),
                                    QStringLiteral("三番目")};
        document.addOutlineEntry(titles[0], 1);
        document.addOutlineEntry(titles[1], 2);
        document.addOutlineEntry(titles[2], 3);
        QVERIFY(document.hasOutlineRoot());
        const QString out = file(QStringLiteral("outline.pdf"));
        QVERIFY(document.write(out, {}, nullptr, nullptr));

        auto pdf = readback::open(out);
        const auto pages = readback::pages(*pdf);
        auto root = pdf->getRoot();
        QCOMPARE(root.getKey("/PageMode").getName(), std::string("/UseOutlines"));
        auto outlines = root.getKey("/Outlines");
        QCOMPARE(outlines.getKey("/Type").getName(), std::string("/Outlines"));
        QCOMPARE(outlines.getKey("/Count").getIntValueAsInt(), 3);
        auto item = outlines.getKey("/First");
        QPDFObjectHandle previous;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(text(item.getKey("/Title")), titles[i]);
            QVERIFY(item.getKey("/Parent").isSameObjectAs(outlines));
            if (i > 0)
                QVERIFY(item.getKey("/Prev").isSameObjectAs(previous));
            auto dest = item.getKey("/Dest");
            QVERIFY(dest.getArrayItem(0).isSameObjectAs(pages[std::size_t(i)]));
            QCOMPARE(dest.getArrayItem(1).getName(), std::string("/XYZ"));
            QCOMPARE(dest.getArrayItem(2).getNumericValue(), 0.0);
            QCOMPARE(dest.getArrayItem(3).getNumericValue(),
                     readback::mediaBox(pages[std::size_t(i)]).height() + 72);
            QVERIFY(dest.getArrayItem(4).isNull());
            previous = item;
            item = item.getKey("/Next");
        }
        QVERIFY(!item.isInitialized() || item.isNull());
        QVERIFY(outlines.getKey("/Last").isSameObjectAs(previous));
    }

    void anEmptyOutlineRootOpensNoPanel()
    {
        Document document;
        document.ensureOutlineRoot();
        QVERIFY(helpers::appendPage(document, m_jpeg));
        const QString out = file(QStringLiteral("emptyoutline.pdf"));
        QVERIFY(document.write(out, {}, nullptr, nullptr));
        auto pdf = readback::open(out);
        QCOMPARE(pdf->getRoot().getKey("/Outlines").getKey("/Count").getIntValueAsInt(), 0);
        QVERIFY(!pdf->getRoot().hasKey("/PageMode"));

        Document plain;
        QVERIFY(helpers::appendPage(plain, m_jpeg));
        QVERIFY(plain.write(out, {}, nullptr, nullptr));
        QVERIFY(!readback::open(out)->getRoot().hasKey("/Outlines"));
    }

    void pagesAreDrawnByOneImageOperation()
    {
        const QString jpeg = file(QStringLiteral("nodensity.jpg"));
        QVERIFY(fixtures::writeJpegWith(jpeg, fixtures::patternImage({200, 100})));
        Document document;
        QVERIFY(helpers::appendPage(document, jpeg));
        const QString out = file(QStringLiteral("content.pdf"));
        QVERIFY(document.write(out, {}, nullptr, nullptr));
        auto pdf = readback::open(out);
        const auto page = readback::pages(*pdf).at(0);
        QCOMPARE(readback::contents(page).simplified(),
                 QByteArray("q 200 0 0 100 0 0 cm /Im0 Do Q"));
        QCOMPARE(readback::mediaBox(page), QSizeF(200, 100));
    }

    // Data carried unchanged from an image file is read again only while the PDF is written:
    // a file that changed since its page was made fails the write rather than put other bytes,
    // or fewer, into the document.
    void aChangedSourceFailsTheWriteAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("alone");
        for (const QString &source : {m_jpeg, m_png, m_fax}) {
            for (const char *change :
                 {"deleted", "grown", "truncated", "rewritten, same size", "replaced"}) {
                // Alone, its bytes are copied as they are written; after another page, they
                // are read ahead of the writer.
                for (const bool alone : {false, true})
                    QTest::addRow("%s, %s%s", qPrintable(QFileInfo(source).fileName()), change,
                                  alone ? ", alone" : "")
                        << source << QString::fromLatin1(change) << alone;
            }
        }
    }
    void aChangedSourceFailsTheWriteAndKeepsTheOldFile()
    {
        QFETCH(QString, source);
        QFETCH(QString, change);
        QFETCH(bool, alone);
        const QString folder = freshFolder(QStringLiteral("vanish-%1")
                                               .arg(QTest::currentDataTag())
                                               .replace(QRegularExpression("\\W+"), "-"));
        const QString name = QStringLiteral("source.") + QFileInfo(source).suffix();
        const QString copy = folder + QLatin1Char('/') + name;
        QVERIFY(QFile::copy(source, copy));
        const QString target = folder + QStringLiteral("/out.pdf");
        QVERIFY(fixtures::writeBytes(target, "previous contents"));

        Document document;
        if (!alone)
            QVERIFY(helpers::appendPage(document, m_bigJpeg));
        QVERIFY(helpers::appendPage(document, copy));
        const qint64 size = QFileInfo(copy).size();
        if (change == QLatin1String("deleted")) {
            QVERIFY(QFile::remove(copy));
        } else if (change == QLatin1String("grown")) {
            QFile grow(copy);
            QVERIFY(grow.open(QIODevice::Append));
            grow.write("more");
        } else if (change == QLatin1String("truncated")) {
            QVERIFY(QFile::resize(copy, size / 2));
        } else if (change == QLatin1String("rewritten, same size")) {
            QFile rewrite(copy);
            QVERIFY(rewrite.open(QIODevice::ReadWrite));
            QVERIFY(rewrite.seek(size / 2));
            rewrite.write("same");
            // Whatever the file system's clock resolution, the time differs from the one read.
            QVERIFY(rewrite.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                        QFileDevice::FileModificationTime));
        } else {
            // Another image moved over it, as a sync tool or an editor's save does.
            const QString other = folder + QStringLiteral("/other.jpg");
            QVERIFY(fixtures::writeJpeg(other, {120, 90}, 7));
            QVERIFY(::rename(QFile::encodeName(other).constData(),
                             QFile::encodeName(copy).constData()) == 0);
        }
        QString reason;
        QVERIFY(!document.write(target, {}, nullptr, &reason));
        QVERIFY2(reason.contains(name + QStringLiteral(" changed or disappeared")),
                 qPrintable(reason));
        QCOMPARE(fixtures::readBytes(target), QByteArray("previous contents"));
        QStringList expected = {QStringLiteral("out.pdf")};
        if (change != QLatin1String("deleted"))
            expected.append(name);
        QCOMPARE(helpers::entries(folder), expected);
    }

    void everyPageCarriesItsFileWhole_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("withHugeStream");
        QTest::addColumn<int>("keyBits"); // 0: not encrypted
        QTest::addRow("one page") << 1 << false << 0;
        QTest::addRow("more pages than are read ahead") << 40 << false << 0;
        QTest::addRow("a stream too large to read ahead among them") << 40 << true << 0;
        QTest::addRow("encrypted with RC4") << 40 << false << 128;
        QTest::addRow("encrypted with AES, a large stream among them") << 40 << true << 256;
    }
    void everyPageCarriesItsFileWhole()
    {
        QFETCH(int, pages);
        QFETCH(bool, withHugeStream);
        QFETCH(int, keyBits);
        const bool encrypted = keyBits > 0;
        const QString folder = freshFolder(QStringLiteral("whole-%1")
                                               .arg(QTest::currentDataTag())
                                               .replace(QRegularExpression("\\W+"), "-"));
        // Two sizes: pages of one size share their content stream, and must still each show
        // their own image at their own size.
        fixtures::JpegOptions at72dpi;
        at72dpi.jfifDpi = 72;
        QStringList sources;
        for (int i = 0; i < pages; ++i) {
            const QString path = folder + QStringLiteral("/%1.jpg").arg(i);
            const QSize size = i % 3 == 2 ? QSize(90, 120) : QSize(120, 90);
            QVERIFY(fixtures::writeJpegWith(path, fixtures::patternImage(size, i + 10), at72dpi));
            sources << path;
        }
        if (withHugeStream) {
            QImage noise(2000, 1500, QImage::Format_RGB32);
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.bits()),
                                          noise.sizeInBytes() / 4);
            fixtures::JpegOptions finest = at72dpi;
            finest.quality = 100;
            const QString huge = folder + QStringLiteral("/huge.jpg");
            QVERIFY(fixtures::writeJpegWith(huge, noise, finest));
            QVERIFY(QFileInfo(huge).size() > 4 * 1024 * 1024);
            sources.insert(pages / 2, huge);
        }
        Document document;
        for (const QString &source : sources)
            QVERIFY(helpers::appendPage(document, source));
        WriteOptions options;
        if (encrypted)
            options.security =
                Security{QStringLiteral("open"), QStringLiteral("owner"), true, true, keyBits};
        const QString out = folder + QStringLiteral("/out.pdf");
        QString reason;
        QVERIFY2(document.write(out, options, nullptr, &reason), qPrintable(reason));

        auto pdf = readback::open(out, encrypted ? QStringLiteral("open") : QString());
        const auto written = readback::pages(*pdf);
        QCOMPARE(int(written.size()), int(sources.size()));
        for (std::size_t i = 0; i < written.size(); ++i) {
            const QImage expected(sources.at(qsizetype(i)));
            QCOMPARE(readback::rawData(readback::image(written[i])),
                     fixtures::readBytes(sources.at(qsizetype(i))));
            QCOMPARE(readback::mediaBox(written[i]), QSizeF(expected.size()));
            const QByteArray drawing = readback::contents(written[i]);
            QVERIFY2(drawing.contains(QByteArray::number(expected.width()) + " 0 0 " +
                                      QByteArray::number(expected.height())),
                     drawing.constData());
        }
    }

    // A decoded page was compressed when it was made: the PDF holds the image as it was read,
    // whatever happens to the file afterwards.
    void aDecodedPageKeepsWhatWasRead()
    {
        const QString folder = freshFolder(QStringLiteral("decoded"));
        const QString source = folder + QStringLiteral("/picture.bmp");
        QVERIFY(fixtures::writeImage(source, fixtures::patternImage({64, 48}, 3), "bmp"));
        const QString untouched = folder + QStringLiteral("/untouched.pdf");
        const QString changed = folder + QStringLiteral("/changed.pdf");
        Document reference;
        QVERIFY(helpers::appendPage(reference, source));
        QVERIFY(reference.write(untouched, {}));

        Document document;
        QVERIFY(helpers::appendPage(document, source));
        QVERIFY(QFile::resize(source, 100));
        QVERIFY(document.write(changed, {}));
        const auto imageData = [](const QString &pdf) {
            const std::shared_ptr<QPDF> opened = readback::open(pdf);
            return readback::rawData(readback::image(readback::pages(*opened).at(0)));
        };
        const QByteArray expected = imageData(untouched);
        QVERIFY(expected.size() > 100);
        QCOMPARE(imageData(changed), expected);
    }

    void replacesAnExistingFileOnSuccess()
    {
        const QString folder = freshFolder(QStringLiteral("replace"));
        const QString target = folder + QStringLiteral("/out.pdf");
        QVERIFY(fixtures::writeBytes(target, "previous contents"));
        Document document;
        QVERIFY(helpers::appendPage(document, m_jpeg));
        QVERIFY(document.write(target, {}, nullptr, nullptr));
        QCOMPARE(readback::pages(*readback::open(target)).size(), std::size_t(1));
        QCOMPARE(helpers::entries(folder), QStringList{QStringLiteral("out.pdf")});
    }

    void anAbortBeforeOrDuringTheWriteLeavesNothing()
    {
        const QString folder = freshFolder(QStringLiteral("abort"));
        const QString target = folder + QStringLiteral("/out.pdf");
        Document document;
        for (int i = 0; i < 60; ++i)
            QVERIFY(helpers::appendPage(document, m_bigJpeg));

        std::atomic<bool> abort{true};
        QString reason;
        QVERIFY(!document.write(target, {}, &abort, &reason));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(helpers::entries(folder), QStringList());

        // Turned on once the unnamed file holds data, that is in the middle of the write.
        abort = false;
        std::atomic<bool> done{false};
        std::thread watcher([&] {
            while (!done && fixtures::unnamedFileSize(::getpid(), folder) <= 0)
                std::this_thread::yield();
            abort = true;
        });
        const bool written = document.write(target, {}, &abort, &reason);
        done = true;
        watcher.join();
        QVERIFY(!written);
        QCOMPARE(reason, QStringLiteral("The write was cancelled"));
        QCOMPARE(helpers::entries(folder), QStringList());
        QCOMPARE(fixtures::unnamedFileSize(::getpid(), folder), -1);
    }

    void aWriteInProgressHasNoNameInTheFolder()
    {
        const QString folder = freshFolder(QStringLiteral("unnamed"));
        Document document;
        for (int i = 0; i < 60; ++i)
            QVERIFY(helpers::appendPage(document, m_bigJpeg));
        std::atomic<bool> done{false};
        qint64 seenSize = -1;
        QStringList seenEntries{QStringLiteral("not looked")};
        std::thread watcher([&] {
            while (!done && (seenSize = fixtures::unnamedFileSize(::getpid(), folder)) < 1000000)
                std::this_thread::yield();
            seenEntries = helpers::entries(folder);
        });
        QVERIFY(document.write(folder + QStringLiteral("/out.pdf"), {}, nullptr, nullptr));
        done = true;
        watcher.join();
        QVERIFY2(seenSize >= 1000000, "the write was never seen in progress");
        QCOMPARE(seenEntries, QStringList());
        QCOMPARE(helpers::entries(folder), QStringList{QStringLiteral("out.pdf")});
    }

    void theWrittenFileHasOrdinaryPermissions()
    {
        const QString folder = freshFolder(QStringLiteral("permissions"));
        const QString plain = folder + QStringLiteral("/plain.txt");
        QVERIFY(fixtures::writeBytes(plain, "x"));
        Document document;
        QVERIFY(helpers::appendPage(document, m_jpeg));
        const QString target = folder + QStringLiteral("/out.pdf");
        QVERIFY(document.write(target, {}, nullptr, nullptr));
        // Not the owner-only mode of a temporary file: what any new file in the folder gets.
        QCOMPARE(QFileInfo(target).permissions(), QFileInfo(plain).permissions());
    }

    void sixteenBitImagesMakeAPdf15File()
    {
        const QString png = file(QStringLiteral("deep.png"));
        QVERIFY(fixtures::writePngWith(
            png, fixtures::patternImage({20, 20}, 1, QImage::Format_RGBA64), {2, 16, false, 0}));
        Document document;
        QVERIFY(helpers::appendPage(document, m_jpeg));
        QVERIFY(helpers::appendPage(document, png));
        const QString out = file(QStringLiteral("deep.pdf"));
        QVERIFY(document.write(out, {}, nullptr, nullptr));
        QCOMPARE(readback::open(out)->getPDFVersion(), std::string("1.5"));
    }

    void aDocumentWithoutPagesIsNotWritten()
    {
        const QString folder = freshFolder(QStringLiteral("nopages"));
        Document document;
        QString reason;
        QVERIFY(!document.write(folder + QStringLiteral("/out.pdf"), {}, nullptr, &reason));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(helpers::entries(folder), QStringList());
    }
};

int helpers::runWritingTests(int argc, char **argv)
{
    WritingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_writing.moc"
