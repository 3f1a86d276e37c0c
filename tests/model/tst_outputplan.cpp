#include "model/outputplan.h"
#include "model/settings.h"

#include <QStandardPaths>
#include <QTest>

using namespace folioset;

namespace {
QList<FileItemPtr> items(const QStringList &paths)
{
    QList<FileItemPtr> list;
    for (const QString &path : paths)
        list << FileItem::initWithURL(QUrl::fromLocalFile(path));
    return list;
}

QStringList names(const QList<FileItemPtr> &list)
{
    QStringList out;
    for (const FileItemPtr &item : list)
        out << item->name();
    return out;
}

QStringList numbered(int count)
{
    QStringList paths;
    for (int i = 1; i <= count; ++i)
        paths << QStringLiteral("/in/%1.png").arg(i);
    return paths;
}
} // namespace

class TestOutputPlan : public QObject
{
    Q_OBJECT

    Settings m_settings{Settings::Source::Defaults};

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void modeNames()
    {
        QCOMPARE(combineModeName(0), QStringLiteral("Single image to single PDF"));
        QCOMPARE(combineModeName(1), QStringLiteral("Multiple images to single multi-Page PDF"));
        QCOMPARE(combineModeName(2),
                 QStringLiteral("Group of multiple images to multi-page PDF in group"));
    }

    void singleModeNamesEachPdfAfterItsItem_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("output");
        QTest::newRow("jpg") << "/in/scan.JPG"
                             << "/out"
                             << "/out/scan.pdf";
        QTest::newRow("pdf any case") << "/in/notes.Pdf"
                                      << "/out"
                                      << "/out/notes.Pdf";
        QTest::newRow("no extension") << "/in/README"
                                      << "/out/"
                                      << "/out/README.pdf";
        QTest::newRow("two dots") << "/in/a.b.tiff"
                                  << "/out"
                                  << "/out/a.b.pdf";
        QTest::newRow("beside source") << "/in/photo.png"
                                       << ""
                                       << "/in/photo.pdf";
    }
    void singleModeNamesEachPdfAfterItsItem()
    {
        QFETCH(QString, input);
        QFETCH(QString, folder);
        QFETCH(QString, output);
        m_settings.setCombineOptionIndex(0);
        const QList<OutputFile> plan = planOutputFiles(items({input}), m_settings, folder);
        QCOMPARE(plan.size(), 1);
        QCOMPARE(plan.first().filename, output);
        QCOMPARE(plan.first().fileItems.size(), 1);
    }

    void singleModeNeverPlansOnePathTwice()
    {
        m_settings.setCombineOptionIndex(0);
        const QList<OutputFile> plan =
            planOutputFiles(items({QStringLiteral("/a/scan.jpg"), QStringLiteral("/a/scan.png"),
                                   QStringLiteral("/b/scan.gif"), QStringLiteral("/a/other.bmp")}),
                            m_settings, QStringLiteral("/out"));
        QStringList paths;
        for (const OutputFile &file : plan)
            paths << file.filename;
        QCOMPARE(
            paths,
            (QStringList{QStringLiteral("/out/scan.pdf"), QStringLiteral("/out/scan (2).pdf"),
                         QStringLiteral("/out/scan (3).pdf"), QStringLiteral("/out/other.pdf")}));
    }

    void uncheckedItemsNeverEnter()
    {
        QList<FileItemPtr> list = items(numbered(5));
        list[0]->setIsSelected(false);
        list[3]->setIsSelected(false);
        m_settings.setCombineOptionIndex(1);
        m_settings.setSingleMultiPagePDFName(QStringLiteral("all"));
        const QList<OutputFile> plan = planOutputFiles(list, m_settings, QStringLiteral("/out"));
        QCOMPARE(plan.size(), 1);
        QCOMPARE(plan.first().filename, QStringLiteral("/out/all.pdf"));
        QCOMPARE(names(plan.first().fileItems),
                 (QStringList{QStringLiteral("2.png"), QStringLiteral("3.png"),
                              QStringLiteral("5.png")}));
    }

    void emptySelection()
    {
        QList<FileItemPtr> list = items(numbered(2));
        for (const FileItemPtr &item : list)
            item->setIsSelected(false);
        m_settings.setCombineOptionIndex(0);
        QVERIFY(planOutputFiles(list, m_settings, QStringLiteral("/out")).isEmpty());
        m_settings.setCombineOptionIndex(2);
        QVERIFY(planOutputFiles(list, m_settings, QStringLiteral("/out")).isEmpty());
        m_settings.setCombineOptionIndex(1);
        const QList<OutputFile> single = planOutputFiles(list, m_settings, QStringLiteral("/out"));
        QCOMPARE(single.size(), 1);
        QVERIFY(single.first().fileItems.isEmpty());
        m_settings.setCombineOptionIndex(5);
        QVERIFY(planOutputFiles(items(numbered(2)), m_settings, QStringLiteral("/out")).isEmpty());
    }

    void groupsOfN_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("groupSize");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("7 by 3") << 7 << 3 << QList<int>{3, 3, 1};
        QTest::newRow("6 by 3") << 6 << 3 << QList<int>{3, 3};
        QTest::newRow("1 by 2") << 1 << 2 << QList<int>{1};
        QTest::newRow("size 0 taken as 2") << 3 << 0 << QList<int>{2, 1};
    }
    void groupsOfN()
    {
        QFETCH(int, items);
        QFETCH(int, groupSize);
        QFETCH(QList<int>, sizes);
        m_settings.setCombineOptionIndex(2);
        m_settings.setGroupMultiPagePDFCount(groupSize);
        m_settings.setGroupMultiPagePDFName(QStringLiteral("part"));
        const QList<FileItemPtr> list = ::items(numbered(items));
        const QList<OutputFile> plan = planOutputFiles(list, m_settings, QStringLiteral("/out"));
        QCOMPARE(plan.size(), sizes.size());
        int next = 0;
        for (int i = 0; i < plan.size(); ++i) {
            QCOMPARE(plan[i].filename, QStringLiteral("/out/part%1.pdf").arg(i + 1));
            QCOMPARE(plan[i].fileItems.size(), sizes[i]);
            for (const FileItemPtr &item : plan[i].fileItems)
                QCOMPARE(item, list[next++]);
        }
    }
};

QTEST_GUILESS_MAIN(TestOutputPlan)
#include "tst_outputplan.moc"
