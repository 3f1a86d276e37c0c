#include "model/selectionrange.h"

#include <QTest>
#include <QVariantMap>

using namespace folioset;

namespace {
SelectionRange rule(int kind, const QString &text = {}, int steps = 1, int reversed = 1)
{
    SelectionRange r;
    r.setPageRangeType(kind);
    r.setPageRange(text);
    r.setPageSteps(steps);
    r.setPageStepsReversed(reversed);
    return r;
}

QVariantMap pair(const QVariant &start, const QVariant &end)
{
    return {{QStringLiteral("start"), start}, {QStringLiteral("end"), end}};
}
} // namespace

class TestSelectionRange : public QObject
{
    Q_OBJECT

private slots:
    void newRuleTakesAllPages()
    {
        const SelectionRange r;
        QCOMPARE(r.pageRangeType(), 0);
        QCOMPARE(r.pageRange(), QString());
        QCOMPARE(r.pageSteps(), 1);
        QCOMPARE(r.pageStepsReversed(), 1);
        QCOMPARE(r.description(), QStringLiteral("All Page(s)"));
    }

    void descriptions_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("ranges") << 1 << "By Range(s)(1-3,7-7)";
        QTest::newRow("steps") << 2 << "By Steps 3 every nth page.";
        QTest::newRow("reversed") << 3 << "By Reversed Steps 4 every nth page.";
        QTest::newRow("unknown kind") << 7 << "All Page(s)";
        QTest::newRow("negative kind") << -1 << "All Page(s)";
    }
    void descriptions()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QCOMPARE(rule(kind, QStringLiteral("1-3,7-7"), 3, 4).description(), text);
    }

    void parseRangeKeepsOnlyWellFormedPairs()
    {
        const QVariantList pairs = rule(1, QStringLiteral("1-3,5,7-9-10,,12-8")).parseRange();
        QCOMPARE(pairs.size(), 2);
        QCOMPARE(pairs.at(0).toMap(), pair(QStringLiteral("1"), QStringLiteral("3")));
        QCOMPARE(pairs.at(1).toMap(), pair(QStringLiteral("12"), QStringLiteral("8")));
        QVERIFY(rule(1, QString()).parseRange().isEmpty());
    }

    void parseRangeKeepsBlanks()
    {
        const QVariantList pairs = rule(1, QStringLiteral("2 - 4")).parseRange();
        QCOMPARE(pairs.size(), 1);
        QCOMPARE(pairs.at(0).toMap(), pair(QStringLiteral("2 "), QStringLiteral(" 4")));
    }

    void setRangeRebuildsText()
    {
        SelectionRange r = rule(1, QStringLiteral("junk"));
        r.setRange({pair(1, 3), pair(QStringLiteral("12"), QStringLiteral("8"))});
        QCOMPARE(r.pageRange(), QStringLiteral("1-3,12-8"));
        r.setRange({});
        QCOMPARE(r.pageRange(), QString());

        SelectionRange roundTrip = rule(1, QStringLiteral("1-3,5,7-9-10,,12-8"));
        roundTrip.setRange(roundTrip.parseRange());
        QCOMPARE(roundTrip.pageRange(), QStringLiteral("1-3,12-8"));
    }

    void equality()
    {
        const SelectionRange all1 = rule(0, QStringLiteral("1-2"), 3, 4);
        const SelectionRange all2 = rule(0, QStringLiteral("9-9"), 5, 6);
        QVERIFY(all1 == all2);
        QVERIFY(!(rule(1, QStringLiteral("1-3")) == rule(1, QStringLiteral("1-3 "))));
        QVERIFY(rule(1, QStringLiteral("1-3")) == rule(1, QStringLiteral("1-3")));
        QVERIFY(!(rule(2, {}, 3, 3) == rule(3, {}, 3, 3)));
        QVERIFY(rule(2, {}, 3, 9) == rule(2, {}, 3, 1));
        QVERIFY(!(rule(2, {}, 3) == rule(2, {}, 4)));
        QVERIFY(rule(3, {}, 9, 2) == rule(3, {}, 1, 2));
        const SelectionRange odd = rule(7);
        QVERIFY(!(odd == rule(7)));
        QVERIFY(odd.isEqual(&odd));
        QVERIFY(!odd.isEqual(nullptr));
    }

    void copyIsIndependent()
    {
        const SelectionRange original = rule(2, QStringLiteral("1-2"), 3);
        SelectionRange copy = original;
        QVERIFY(copy == original);
        copy.setPageSteps(5);
        copy.setPageRange(QStringLiteral("4-4"));
        QCOMPARE(original.pageSteps(), 3);
        QCOMPARE(original.pageRange(), QStringLiteral("1-2"));
    }
};

QTEST_GUILESS_MAIN(TestSelectionRange)
#include "tst_selectionrange.moc"
