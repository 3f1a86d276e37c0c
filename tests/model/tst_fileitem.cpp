#include "model/fileitem.h"
#include "model/sizetext.h"
#include "platform/edition.h"
#include "support/fixtures.h"

#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace folioset;

class TestFileItem : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    FileItemPtr item(const QString &name) const
    {
        return FileItem::initWithURL(QUrl::fromLocalFile(path(name)));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        QVERIFY(fixtures::writeJpeg(path(QStringLiteral("IMG_1.JPG")), QSize(64, 48)));
        QVERIFY(fixtures::writeTiff(path(QStringLiteral("three.tif")),
                                    {fixtures::patternImage(QSize(40, 30), 1),
                                     fixtures::patternImage(QSize(40, 30), 2),
                                     fixtures::patternImage(QSize(40, 30), 3)}));
        QVERIFY(fixtures::writePdf(path(QStringLiteral("locked.pdf")), 2, QStringLiteral("u"),
                                   QStringLiteral("o")));
        QVERIFY(fixtures::writeBytes(path(QStringLiteral("README")), "plain text\n"));
    }

    void cleanup() { setEdition(Edition::Folioset2); }

    void sizeTextTable_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        const QList<std::pair<qint64, const char *>> rows = {
            {0, "0 KB"},
            {1, "0 KB"},
            {499, "0 KB"},
            {500, "1 KB"},
            {1000, "1 KB"},
            {1499, "1 KB"},
            {1500, "2 KB"},
            {4096, "4 KB"},
            {999500, "1000 KB"},
            {1000000, "1000 KB"},
            {1000001, " 1 MB"},
            {1048576, " 1 MB"},
            {1500000, " 1.5 MB"},
            {9950000, " 9.9 MB"},
            {9960000, "10 MB"},
            {12340000, "12.3 MB"},
            {100000000, "100 MB"},
            {999999999, "1000 MB"},
            {1073741824, " 1.1 GB"},
            {2147483647, " 2.1 GB"},
            // Beyond 32 bits the same rules go on instead of wrapping round.
            {5000000000LL, " 5 GB"},
            {3221225472LL, " 3.2 GB"},
            {2000000000000LL, " 2 TB"},
        };
        for (const auto &[bytes, text] : rows)
            QTest::addRow("%lld", bytes) << bytes << QString::fromLatin1(text);
    }
    void sizeTextTable()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(sizeText(bytes), text);
    }

    void onlyFileUrlsMakeItems()
    {
        QVERIFY(!FileItem::initWithURL(QUrl()));
        QVERIFY(!FileItem::initWithURL(QUrl(QStringLiteral("https://example.org/a.jpg"))));
        const FileItemPtr missing = item(QStringLiteral("gone.png"));
        QVERIFY(missing);
        QCOMPARE(missing->pages(), 0);
        QCOMPARE(missing->size(), 0);
        QVERIFY(!missing->dateModified().isValid());
        QCOMPARE(missing->displayField(QStringLiteral("DateModified")).toString(), QString());
    }

    void newJpegItem()
    {
        const FileItemPtr jpeg = item(QStringLiteral("IMG_1.JPG"));
        QVERIFY(jpeg);
        QVERIFY(jpeg->isSelected());
        QVERIFY(!jpeg->isEncrypted());
        QCOMPARE(jpeg->pages(), 1);
        QVERIFY(jpeg->size() > 0);
        QCOMPARE(jpeg->size() % 512, 0); // allocated blocks, not the logical length
        QCOMPARE(jpeg->combineMethod(), QStringLiteral("All Page(s)"));
        QCOMPARE(jpeg->name(), QStringLiteral("IMG_1.JPG"));
        QCOMPARE(jpeg->type(), QStringLiteral("JPG"));
        QCOMPARE(jpeg->location(), m_dir.path());
        QVERIFY(jpeg->dateModified().isValid());
        QCOMPARE(item(QStringLiteral("README"))->type(), QString());
    }

    void itemKeepsItsOwnUrlCopy()
    {
        QUrl url = QUrl::fromLocalFile(path(QStringLiteral("IMG_1.JPG")));
        const FileItemPtr jpeg = FileItem::initWithURL(url);
        url.setPath(QStringLiteral("/elsewhere.jpg"));
        QCOMPARE(jpeg->filePath().toLocalFile(), path(QStringLiteral("IMG_1.JPG")));
    }

    void tiffCountsItsPages() { QCOMPARE(item(QStringLiteral("three.tif"))->pages(), 3); }

    void encryptedPdfShowsTheLock()
    {
        const FileItemPtr locked = item(QStringLiteral("locked.pdf"));
        QVERIFY(locked->isEncrypted());
        const QVariant lock = locked->displayField(QStringLiteral("secured"));
        QCOMPARE(lock.typeId(), QMetaType::QImage);
        QVERIFY(!lock.value<QImage>().isNull());
        QCOMPARE(item(QStringLiteral("IMG_1.JPG"))->displayField(QStringLiteral("SECURED")),
                 QVariant(QString()));
    }

    void firstGenerationHasNoLockColumn()
    {
        setEdition(Edition::Folioset1);
        const FileItemPtr locked = item(QStringLiteral("locked.pdf"));
        QVERIFY(!locked->isEncrypted());
        locked->setIsEncrypted(true);
        QCOMPARE(locked->displayField(QStringLiteral("SECURED")), QVariant(QString()));
    }

    void displayKeysInAnyCase_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("isselected") << "isselected" << QVariant(true);
        QTest::newRow("Name") << "Name" << QVariant(QStringLiteral("IMG_1.JPG"));
        QTest::newRow("pages") << "pages" << QVariant(1);
        QTest::newRow("SELECTION") << "SELECTION" << QVariant(QStringLiteral("All Page(s)"));
        QTest::newRow("type") << "tYpE" << QVariant(QStringLiteral("JPG"));
        QTest::newRow("unknown") << "FOO" << QVariant(QString());
        QTest::newRow("absent") << QString() << QVariant(QString());
    }
    void displayKeysInAnyCase()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        const QVariant shown = item(QStringLiteral("IMG_1.JPG"))->displayField(key);
        QCOMPARE(shown.typeId(), value.typeId());
        QCOMPARE(shown, value);
    }

    void displayedSizeAndLocationFollowTheItem()
    {
        const FileItemPtr jpeg = item(QStringLiteral("IMG_1.JPG"));
        QCOMPARE(jpeg->displayField(QStringLiteral("sizeinkb")).toString(), jpeg->sizeInKB());
        QCOMPARE(jpeg->displayField(QStringLiteral("Location")).toString(), m_dir.path());
        const QString modified = jpeg->displayField(QStringLiteral("DATEMODIFIED")).toString();
        // dd-MMM-yyyy h:mm a, e.g. 07-Dec-2026 1:05 PM
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d-\\w{3}-\\d{4} \\d{1,2}:\\d\\d \\S+$"))
                     .match(modified)
                     .hasMatch(),
                 qPrintable(modified));
    }

    void equalityIsByUrl()
    {
        const FileItemPtr a = item(QStringLiteral("IMG_1.JPG"));
        const FileItemPtr b = item(QStringLiteral("IMG_1.JPG"));
        b->setIsSelected(false);
        auto rule = std::make_shared<SelectionRange>();
        rule->setPageRangeType(SelectionRange::Steps);
        b->setSelection(rule);
        QVERIFY(a->isEqual(b.get()));
        QVERIFY(*a == *b);
        QVERIFY(!a->isEqual(nullptr));
        const auto lower = FileItem::initWithURL(QUrl::fromLocalFile(QStringLiteral("/a/x.png")));
        const auto upper = FileItem::initWithURL(QUrl::fromLocalFile(QStringLiteral("/a/X.png")));
        QVERIFY(!lower->isEqual(upper.get()));
    }

    void selectionIsSharedNotCopied()
    {
        const FileItemPtr jpeg = item(QStringLiteral("IMG_1.JPG"));
        auto rule = std::make_shared<SelectionRange>();
        jpeg->setSelection(rule);
        rule->setPageRangeType(SelectionRange::Ranges);
        rule->setPageRange(QStringLiteral("1-3"));
        QCOMPARE(jpeg->displayField(QStringLiteral("selection")).toString(),
                 QStringLiteral("By Range(s)(1-3)"));
    }
};

QTEST_GUILESS_MAIN(TestFileItem)
#include "tst_fileitem.moc"
