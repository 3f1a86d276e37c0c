#include "iccfixture.h"
#include "imagetests.h"

#include "engine/image/iccprofile.h"
#include "engine/image/jpegiccpieces.h"

#include <QtEndian>
#include <QTest>

#include <zlib.h>

using namespace folioset::image;

namespace {

QByteArray deflated(const QByteArray &data)
{
    uLongf length = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(length), '\0');
    compress(reinterpret_cast<Bytef *>(out.data()), &length,
             reinterpret_cast<const Bytef *>(data.constData()), uLong(data.size()));
    out.truncate(qsizetype(length));
    return out;
}

} // namespace

class IccProfileTest : public QObject
{
    Q_OBJECT

private slots:
    void onlyWellFormedProfilesOfTheRightColoursPass_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("components");
        QTest::addColumn<bool>("passes");
        const QByteArray rgb = fixtures::iccProfile();
        QTest::newRow("RGB display") << rgb << 3 << true;
        QTest::newRow("gray input") << fixtures::iccProfile({"GRAY", "scnr"}) << 1 << true;
        QTest::newRow("CMYK output v4") << fixtures::iccProfile({"CMYK", "prtr", 4}) << 4 << true;
        QTest::newRow("RGB for gray samples") << rgb << 1 << false;
        QTest::newRow("device link") << fixtures::iccProfile({"RGB ", "link"}) << 3 << false;
        QTest::newRow("version 5") << fixtures::iccProfile({"RGB ", "mntr", 5}) << 3 << false;
        QTest::newRow("no signature")
            << fixtures::iccProfile({"RGB ", "mntr", 2, "xxxx"}) << 3 << false;
        QTest::newRow("tag past the end")
            << fixtures::iccProfile({"RGB ", "mntr", 2, "acsp", 1}) << 3 << false;
        QTest::newRow("cut short") << rgb.left(rgb.size() - 1) << 3 << false;
        QTest::newRow("header only") << rgb.left(100) << 3 << false;
        QTest::newRow("empty") << QByteArray() << 3 << false;
    }
    void onlyWellFormedProfilesOfTheRightColoursPass()
    {
        QFETCH(QByteArray, profile);
        QFETCH(int, components);
        QFETCH(bool, passes);
        QCOMPARE(checkedIccProfile(profile, components), passes ? profile : QByteArray());
    }

    void bytesPastTheDeclaredSizeAreLeftOut()
    {
        const QByteArray profile = fixtures::iccProfile();
        QCOMPARE(checkedIccProfile(profile + QByteArray(7, '\0'), 3), profile);
    }

    void jpegPiecesJoinInSequenceOrder()
    {
        const QByteArray profile = fixtures::iccProfile();
        const auto piece = [&](int sequence, int count, qsizetype from, qsizetype length) {
            return QByteArray(1, char(sequence)) + char(count) + profile.mid(from, length);
        };
        const auto join = [](const QList<QByteArray> &pieces) {
            JpegIccPieces joined;
            for (const QByteArray &p : pieces)
                joined.add(reinterpret_cast<const unsigned char *>(p.constData()),
                           std::size_t(p.size()));
            return joined.joined();
        };
        const QByteArray first = piece(1, 3, 0, 50), second = piece(2, 3, 50, 50),
                         third = piece(3, 3, 100, -1);
        QCOMPARE(join({third, first, second}), profile);
        QCOMPARE(join({first, third}), QByteArray());                      // one missing
        QCOMPARE(join({first, first, second, third}), QByteArray());       // one twice
        QCOMPARE(join({first, piece(2, 4, 50, 50), third}), QByteArray()); // counts disagree
    }

    void pngProfilesAreInflated()
    {
        const QByteArray profile = fixtures::iccProfile();
        const QByteArray chunk = QByteArray("sRGB profile") + '\0' + '\0' + deflated(profile);
        QCOMPARE(pngIccProfile(chunk), profile);
        QCOMPARE(pngIccProfile(chunk.left(chunk.size() - 5)), QByteArray()); // cut short
        QCOMPARE(pngIccProfile(QByteArray("name") + '\0' + '\1' + deflated(profile)),
                 QByteArray()); // an unknown method
    }
};

int imagetests::runIccProfileTests(int argc, char **argv)
{
    IccProfileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_iccprofile.moc"
