#include "widgets/numberfield.h"

#include <QSignalSpy>
#include <QtTest>
#include <QVBoxLayout>
#include <QWidget>

#include <climits>

using folioset::NumberField;

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void normalise_data();
    void normalise();
    void typingThenReturn_data();
    void typingThenReturn();
    void focusLossNormalises();
    void normalTextIsLeftAlone();
};

void TestWidgets::normalise_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");

    QTest::newRow("trailing letters") << "12abc"
                                      << "12" << 12;
    QTest::newRow("letters only") << "abc"
                                  << "0" << 0;
    QTest::newRow("empty") << ""
                           << "0" << 0;
    QTest::newRow("blanks only") << "   "
                                 << "0" << 0;
    QTest::newRow("leading zeros") << "007"
                                   << "7" << 7;
    QTest::newRow("trailing words") << "3 apples"
                                    << "3" << 3;
    QTest::newRow("negative") << "-2"
                              << "-2" << -2;
    QTest::newRow("blanks and plus") << "  +5"
                                     << "5" << 5;
    QTest::newRow("tab before") << "\t42"
                                << "42" << 42;
    QTest::newRow("minus zero") << "-0"
                                << "0" << 0;
    QTest::newRow("sign alone") << "-"
                                << "0" << 0;
    QTest::newRow("blank after sign") << "- 5"
                                      << "0" << 0;
    QTest::newRow("two signs") << "+-5"
                               << "0" << 0;
    QTest::newRow("decimal point") << "3.7"
                                   << "3" << 3;
    QTest::newRow("exponent") << "1e5"
                              << "1" << 1;
    QTest::newRow("non-ASCII digit") << QStringLiteral("٣") << "0" << 0;
    QTest::newRow("largest") << "2147483647"
                             << "2147483647" << INT_MAX;
    QTest::newRow("just too large") << "2147483648"
                                    << "2147483647" << INT_MAX;
    QTest::newRow("far too large") << "99999999999999999999999999"
                                   << "2147483647" << INT_MAX;
    QTest::newRow("smallest") << "-2147483648"
                              << "-2147483648" << INT_MIN;
    QTest::newRow("just too small") << "-2147483649"
                                    << "-2147483648" << INT_MIN;
    QTest::newRow("far too small") << "-000099999999999999999999"
                                   << "-2147483648" << INT_MIN;
}

void TestWidgets::normalise()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, value);

    NumberField field;
    field.setText(typed);
    QCOMPARE(field.value(), value);
    QCOMPARE(field.text(), typed);
    field.normalise();
    QCOMPARE(field.text(), shown);
    QCOMPARE(field.value(), value);
}

void TestWidgets::typingThenReturn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("trailing letters") << "12abc"
                                      << "12";
    QTest::newRow("letters only") << "abc"
                                  << "0";
    QTest::newRow("leading zeros") << "007"
                                   << "7";
    QTest::newRow("trailing words") << "3 apples"
                                    << "3";
    QTest::newRow("negative") << "-2"
                              << "-2";
    QTest::newRow("blanks and plus") << "  +5"
                                     << "5";
}

void TestWidgets::typingThenReturn()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    NumberField field;
    QStringList seen;
    connect(&field, &QLineEdit::editingFinished, &field, [&] { seen << field.text(); });
    QTest::keyClicks(&field, typed);
    QCOMPARE(field.text(), typed);
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(seen, QStringList{shown});
    QCOMPARE(field.text(), shown);
}

void TestWidgets::focusLossNormalises()
{
    QWidget window;
    auto *const layout = new QVBoxLayout(&window);
    auto *const field = new NumberField;
    auto *const other = new QLineEdit;
    layout->addWidget(field);
    layout->addWidget(other);
    QStringList seen;
    connect(field, &QLineEdit::editingFinished, field, [&] { seen << field->text(); });

    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, "3 apples");
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(seen, QStringList{QStringLiteral("3")});
    QCOMPARE(field->text(), QStringLiteral("3"));
}

void TestWidgets::normalTextIsLeftAlone()
{
    NumberField field;
    field.setText(QStringLiteral("42"));
    const QSignalSpy changes(&field, &QLineEdit::textChanged);
    field.normalise();
    QCOMPARE(changes.count(), 0);
    QCOMPARE(field.text(), QStringLiteral("42"));
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
