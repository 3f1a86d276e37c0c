#include "engine/process.h"
#include "model/fileitem.h"
#include "support/fixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace folioset;

class TestPageRanges : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // A real TIFF of `pages` tiny pages (a missing file for 0), so the item counts them itself.
    FileItemPtr itemWithPages(int pages)
    {
        const QString path = m_dir.filePath(QStringLiteral("p%1.tif").arg(pages));
        if (pages > 0 && !QFile::exists(path)) {
            QList<QImage> images;
            for (int i = 0; i < pages; ++i)
                images << fixtures::patternImage(QSize(2, 2), i);
            fixtures::writeTiff(path, images, fixtures::TiffCompression::None);
        }
        return FileItem::initWithURL(QUrl::fromLocalFile(path));
    }

private slots:
    void pageLists_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("step");
        QTest::addColumn<QList<int>>("expected");
        using L = QList<int>;
        QTest::newRow("all") << 4 << 0 << "" << 1 << L{1, 2, 3, 4};
        QTest::newRow("overlapping ranges") << 10 << 1 << "3-5,4-8" << 1 << L{3, 4, 5, 6, 7, 8};
        QTest::newRow("end past count") << 10 << 1 << "8-12" << 1 << L{8, 9, 10};
        QTest::newRow("downwards past count") << 10 << 1 << "12-8" << 1 << L{10, 9, 8};
        QTest::newRow("first occurrence wins") << 10 << 1 << "7-4,5-6" << 1 << L{7, 6, 5, 4};
        QTest::newRow("malformed parts") << 10 << 1 << "0-3,5,3-x,,-2-4" << 1 << L{};
        QTest::newRow("blanks and trailing text")
            << 10 << 1 << " 2 - 3,9x-10" << 1 << L{2, 3, 9, 10};
        QTest::newRow("empty text") << 10 << 1 << "" << 1 << L{};
        QTest::newRow("steps") << 10 << 2 << "" << 3 << L{3, 6, 9};
        QTest::newRow("step beyond count") << 2 << 2 << "" << 3 << L{};
        QTest::newRow("reversed steps") << 10 << 3 << "" << 3 << L{8, 5, 2};
        QTest::newRow("reversed by one") << 10 << 3 << "" << 1 << L{10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
        QTest::newRow("reversed beyond count") << 2 << 3 << "" << 3 << L{};
        QTest::newRow("zero step selects nothing") << 10 << 2 << "" << 0 << L{};
        QTest::newRow("negative reversed step") << 10 << 3 << "" << -2 << L{};
        QTest::newRow("unknown kind") << 10 << 9 << "" << 1 << L{};
        QTest::newRow("no pages, all") << 0 << 0 << "" << 1 << L{};
        QTest::newRow("no pages, range") << 0 << 1 << "1-3" << 1 << L{};
        QTest::newRow("no pages, steps") << 0 << 2 << "" << 1 << L{};
        QTest::newRow("no pages, reversed") << 0 << 3 << "" << 1 << L{};
    }
    void pageLists()
    {
        QFETCH(int, pages);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(int, step);
        QFETCH(QList<int>, expected);
        const FileItemPtr item = itemWithPages(pages);
        QCOMPARE(item->pages(), pages);
        auto rule = std::make_shared<SelectionRange>();
        rule->setPageRangeType(kind);
        rule->setPageRange(text);
        rule->setPageSteps(step);
        rule->setPageStepsReversed(step);
        item->setSelection(rule);
        QCOMPARE(Process::getPageRanges(item.get()), expected);
    }

    void absentItemGivesNothing() { QVERIFY(Process::getPageRanges(nullptr).isEmpty()); }
};

QTEST_GUILESS_MAIN(TestPageRanges)
#include "tst_pageranges.moc"
