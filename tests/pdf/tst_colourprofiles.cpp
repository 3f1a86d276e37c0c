#include "../image/iccfixture.h"
#include "pdfhelpers.h"
#include "pdfreadback.h"
#include "support/fixtures.h"
#include "support/imagefixtures.h"
#include "tiffwriter.h"

#include <QtEndian>
#include <QTest>

#include <zlib.h>

namespace {

// The profile in APP2 markers of `pieces` parts, right after the start of image.
QByteArray withJpegProfile(QByteArray jpeg, const QByteArray &profile, int pieces)
{
    QByteArray markers;
    const qsizetype step = (profile.size() + pieces - 1) / pieces;
    for (int i = 0; i < pieces; ++i) {
        const QByteArray payload = QByteArray("ICC_PROFILE", 12) + char(i + 1) + char(pieces) +
                                   profile.mid(i * step, step);
        markers.append("\xFF\xE2", 2);
        markers.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
        markers.append(payload);
    }
    return jpeg.insert(2, markers);
}

// The profile in an iCCP chunk right after IHDR.
QByteArray withPngProfile(QByteArray png, const QByteArray &profile)
{
    uLongf length = compressBound(uLong(profile.size()));
    QByteArray packed(qsizetype(length), '\0');
    compress(reinterpret_cast<Bytef *>(packed.data()), &length,
             reinterpret_cast<const Bytef *>(profile.constData()), uLong(profile.size()));
    packed.truncate(qsizetype(length));
    const QByteArray body = QByteArray("iCCPprofile", 11) + '\0' + '\0' + packed;
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(body.size() - 4), chunk.data());
    chunk += body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))),
        crc.data());
    return png.insert(8 + 25, chunk + crc);
}

QByteArray streamBytes(QPDFObjectHandle stream)
{
    const auto buffer = stream.getStreamData(qpdf_dl_all);
    return QByteArray(reinterpret_cast<const char *>(buffer->getBuffer()),
                      qsizetype(buffer->getSize()));
}

} // namespace

class ColourProfilesTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void embeddedProfilesBecomeIccBasedSpaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("components");
        const QImage photo = fixtures::patternImage({40, 30}, 2, QImage::Format_RGB32);
        const QByteArray rgb = fixtures::iccProfile();
        const QByteArray cmyk = fixtures::iccProfile({"CMYK", "prtr"});
        const QByteArray gray = fixtures::iccProfile({"GRAY", "scnr"});

        QVERIFY(fixtures::writeJpeg(file("base.jpg"), {40, 30}));
        const QByteArray jpeg = fixtures::readBytes(file("base.jpg"));
        QVERIFY(fixtures::writeBytes(file("rgb.jpg"), withJpegProfile(jpeg, rgb, 3)));
        QTest::newRow("JPEG, in three pieces") << "rgb.jpg" << rgb << 3;
        fixtures::JpegOptions inks;
        inks.color = fixtures::JpegColor::AdobeCmyk;
        QVERIFY(fixtures::writeJpegWith(file("base-cmyk.jpg"), photo, inks));
        QVERIFY(fixtures::writeBytes(
            file("cmyk.jpg"),
            withJpegProfile(fixtures::readBytes(file("base-cmyk.jpg")), cmyk, 1)));
        QTest::newRow("CMYK JPEG") << "cmyk.jpg" << cmyk << 4;

        QVERIFY(fixtures::writePngWith(file("base.png"), photo, {2, 8, false, 0}));
        QVERIFY(fixtures::writeBytes(file("rgb.png"),
                                     withPngProfile(fixtures::readBytes(file("base.png")), rgb)));
        QTest::newRow("PNG") << "rgb.png" << rgb << 3;
        QVERIFY(fixtures::writePngWith(file("base-gray.png"), photo, {0, 8, true, 0}));
        QVERIFY(fixtures::writeBytes(
            file("gray.png"), withPngProfile(fixtures::readBytes(file("base-gray.png")), gray)));
        QTest::newRow("interlaced gray PNG") << "gray.png" << gray << 1;

        fixtures::TiffPage page;
        page.width = 20;
        page.height = 10;
        page.samplesPerPixel = 4;
        page.photometric = PHOTOMETRIC_SEPARATED;
        page.samples = QByteArray(20 * 10 * 4, '\x40');
        page.iccProfile = cmyk;
        QVERIFY(fixtures::writeTiffPages(file("cmyk.tif"), {page}));
        QTest::newRow("CMYK TIFF") << "cmyk.tif" << cmyk << 4;
        page.iccProfile = rgb; // a profile for other colours than the page's
        QVERIFY(fixtures::writeTiffPages(file("mismatched.tif"), {page}));
        QTest::newRow("RGB profile on CMYK") << "mismatched.tif" << QByteArray() << 4;
        QVERIFY(fixtures::writeBytes(file("damaged.jpg"),
                                     withJpegProfile(jpeg, rgb.left(rgb.size() - 9), 2)));
        QTest::newRow("profile cut short") << "damaged.jpg" << QByteArray() << 3;
    }
    void embeddedProfilesBecomeIccBasedSpaces()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, profile);
        QFETCH(int, components);
        std::shared_ptr<QPDF> pdf;
        QString reason;
        auto image = helpers::writtenImage(file(name), 0, &pdf, &reason);
        QVERIFY2(image.isStream(), qPrintable(reason));
        auto space = image.getDict().getKey("/ColorSpace");
        QCOMPARE(readback::colourComponents(space), components);
        if (profile.isEmpty()) {
            QVERIFY(space.isName()); // the device space: a bad profile costs nothing else
            return;
        }
        QCOMPARE(space.getArrayItem(0).getName(), std::string("/ICCBased"));
        auto stream = space.getArrayItem(1);
        QCOMPARE(streamBytes(stream), profile);
        const char *alternate = components == 1   ? "/DeviceGray"
                                : components == 4 ? "/DeviceCMYK"
                                                  : "/DeviceRGB";
        QCOMPARE(stream.getDict().getKey("/Alternate").getName(), std::string(alternate));
        if (name.endsWith(QLatin1String(".jpg")))
            QCOMPARE(readback::rawData(image), fixtures::readBytes(file(name)));
    }

    void pagesSharingAProfileShareOneStream()
    {
        const QByteArray first = fixtures::iccProfile();
        const QByteArray second =
            fixtures::iccProfile({"RGB ", "mntr", 4, "acsp", 0, "another one"});
        QVERIFY(fixtures::writeJpeg(file("share.jpg"), {30, 20}));
        const QByteArray jpeg = fixtures::readBytes(file("share.jpg"));
        QVERIFY(fixtures::writeBytes(file("a.jpg"), withJpegProfile(jpeg, first, 1)));
        QVERIFY(fixtures::writeBytes(file("b.jpg"), withJpegProfile(jpeg, first, 2)));
        QVERIFY(fixtures::writeBytes(file("c.jpg"), withJpegProfile(jpeg, second, 1)));
        folioset::pdf::Document document;
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
            QVERIFY(helpers::appendPage(document, file(QLatin1String(name))));
        const QString out = file(QStringLiteral("shared.pdf"));
        QVERIFY(document.write(out, {}, nullptr, nullptr));
        const auto pdf = readback::open(out);
        const auto pages = readback::pages(*pdf);
        const auto profileOf = [&](int i) {
            return readback::image(pages[std::size_t(i)])
                .getDict()
                .getKey("/ColorSpace")
                .getArrayItem(1)
                .getObjGen();
        };
        QCOMPARE(profileOf(0), profileOf(1));
        QVERIFY(profileOf(0) != profileOf(2));
        // A version 4 profile came with PDF 1.5.
        QCOMPARE(QString::fromStdString(pdf->getPDFVersion()), QStringLiteral("1.5"));
    }
};

int helpers::runColourProfileTests(int argc, char **argv)
{
    ColourProfilesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_colourprofiles.moc"
