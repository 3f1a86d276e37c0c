// The segmented control, the stepper and the split view of the main window.

#include "widgets/segmentedcontrol.h"
#include "widgets/splitview.h"
#include "widgets/stepper.h"
#include "widgets/valuelabel.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QElapsedTimer>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace folioset;

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void segmentsAreEnabledAndSelectedOneByOne()
    {
        SegmentedControl control;
        control.setLabels({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        control.setToolTips({QStringLiteral("first"), QStringLiteral("second")});
        QCOMPARE(control.segmentCount(), 3);
        QCOMPARE(control.button(1)->toolTip(), QStringLiteral("second"));
        QCOMPARE(control.button(2)->accessibleName(), QStringLiteral("C"));
        QSignalSpy clicked(&control, &SegmentedControl::segmentClicked);

        control.setSegmentEnabled(1, false);
        QTest::mouseClick(control.button(1), Qt::LeftButton);
        control.click(7);
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(control.selectedSegment(), -1);

        // A click reports the segment and leaves the selected state to the receiver.
        control.setSegmentKind(2, SegmentedControl::Kind::Toggle);
        QTest::mouseClick(control.button(2), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().first().toInt(), 2);
        QCOMPARE(control.selectedSegment(), 2);
        QVERIFY(!control.isSelectedForSegment(2));
        control.setSelected(true, 2);
        QTest::mouseClick(control.button(2), Qt::LeftButton);
        QVERIFY(control.isSelectedForSegment(2));
        // A command is never left on, whoever asks.
        control.setSelected(true, 0);
        QTest::mouseClick(control.button(0), Qt::LeftButton);
        QVERIFY(!control.isSelectedForSegment(0));

        // Disabling the whole control silences every segment.
        control.setEnabled(false);
        control.click(0);
        QCOMPARE(clicked.count(), 3);
    }

    // What a screen reader is told of each kind of segment, and that its action is a click.
    void segmentsTellTheirKindAndActLikeAClick_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("action");
        QTest::newRow("command") << int(SegmentedControl::Kind::Command)
                                 << int(QAccessible::PushButton)
                                 << QAccessibleActionInterface::pressAction();
        QTest::newRow("toggle") << int(SegmentedControl::Kind::Toggle) << int(QAccessible::CheckBox)
                                << QAccessibleActionInterface::toggleAction();
        QTest::newRow("page") << int(SegmentedControl::Kind::Page) << int(QAccessible::PageTab)
                              << QAccessibleActionInterface::pressAction();
    }

    void segmentsTellTheirKindAndActLikeAClick()
    {
        QFETCH(int, kind);
        QFETCH(int, role);
        QFETCH(QString, action);
        SegmentedControl control;
        control.setLabels({QStringLiteral("A"), QStringLiteral("B")});
        control.setSegmentKind(1, SegmentedControl::Kind(kind));
        QSignalSpy clicked(&control, &SegmentedControl::segmentClicked);
        QAccessibleInterface *segment = QAccessible::queryAccessibleInterface(control.button(1));
        QCOMPARE(int(segment->role()), role);
        QCOMPARE(segment->text(QAccessible::Name), QStringLiteral("B"));
        QCOMPARE(segment->actionInterface()->actionNames().first(), action);
        segment->actionInterface()->doAction(action);
        QTRY_COMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().first().toInt(), 1);
        // The receiver marks the state; the segment reports it.
        control.setSelected(true, 1);
        const QAccessible::State state = segment->state();
        QCOMPARE(bool(state.checked), kind == int(SegmentedControl::Kind::Toggle));
        QCOMPARE(bool(state.selected), kind == int(SegmentedControl::Kind::Page));
        // A disabled segment offers nothing to do.
        control.setSegmentEnabled(1, false);
        QVERIFY(!segment->actionInterface()->actionNames().contains(action));
    }

    // A figure that changes on every step of a run is heard a few times a second, its last word
    // always; assistive technology reads the figure itself, the caption describes it.
    void valueLabelsAreReadAsTheyStandAndAnnouncedSparingly()
    {
        ValueLabel label;
        label.setAccessibleName(QStringLiteral("Counts"));
        QSignalSpy announced(&label, &ValueLabel::announced);
        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(&label);
        QCOMPARE(reader->role(), QAccessible::StaticText);
        QElapsedTimer clock;
        clock.start();
        int step = 0;
        while (clock.elapsed() < 2 * ValueLabel::announceInterval + 100) {
            label.setText(QStringLiteral("%1 of 500 image file(s) converted").arg(++step));
            QCOMPARE(reader->text(QAccessible::Name), label.text());
            QCOMPARE(reader->textInterface()->text(0, reader->textInterface()->characterCount()),
                     label.text());
            QTest::qWait(5);
        }
        QVERIFY(step > 20);
        QCOMPARE(reader->text(QAccessible::Description), QStringLiteral("Counts"));
        // One at once, then at most one an interval, and the last text once things are quiet.
        QVERIFY2(announced.count() <= int(clock.elapsed() / ValueLabel::announceInterval) + 1,
                 qPrintable(QString::number(announced.count())));
        QVERIFY(announced.count() >= 2);
        QTRY_COMPARE(announced.last().first().toString(), label.text());
        const int heard = int(announced.count());
        label.setText(label.text());
        QTest::qWait(ValueLabel::announceInterval + 50);
        QCOMPARE(announced.count(), heard); // the same text again is no news
    }

    void elidingLabelsKeepTheirWholeTextForTheReader()
    {
        QWidget window;
        auto *label = new ValueLabel(&window);
        label->setElideMode(Qt::ElideRight);
        const QString text =
            QStringLiteral("12 Total file(s); 11 file selected; Total PDF file(s) to create: 11");
        label->setText(text);
        window.resize(label->sizeHint().width() + 20, 40);
        label->setGeometry(0, 0, label->sizeHint().width(), label->sizeHint().height());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!label->isElided());
        QVERIFY(label->toolTip().isEmpty());
        QVERIFY(label->minimumSizeHint().width() < label->sizeHint().width() / 4);
        label->resize(label->sizeHint().width() / 2, label->height());
        QVERIFY(label->isElided());
        QCOMPARE(label->toolTip(), text);
        QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), text);
        label->resize(label->sizeHint());
        QVERIFY(label->toolTip().isEmpty());
    }

    void stepperStaysWithinItsBounds()
    {
        Stepper stepper;
        stepper.setMinimum(2);
        stepper.setMaximum(4);
        QCOMPARE(stepper.value(), 2);
        QSignalSpy changed(&stepper, &Stepper::valueChanged);
        for (int i = 0; i < 5; ++i)
            stepper.stepUp();
        QCOMPARE(stepper.value(), 4);
        QCOMPARE(changed.count(), 2); // 3 and 4 only
        stepper.setValue(-10);
        QCOMPARE(stepper.value(), 2);
        QTest::keyClick(&stepper, Qt::Key_Up);
        QCOMPARE(stepper.value(), 3);
    }

    void splitViewKeepsRoomAndFoldsOnlyTheSecondPane()
    {
        SplitView view;
        auto *first = new QLabel(QStringLiteral("list"));
        auto *second = new QLabel(QStringLiteral("settings"));
        view.addWidget(first);
        view.addWidget(second);
        view.resize(800, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(first->minimumWidth(), SplitView::firstPaneMinimum);
        QCOMPARE(second->minimumWidth(), SplitView::secondPaneMinimum);
        QVERIFY(!view.isCollapsible(0));
        QVERIFY(view.isCollapsible(1));

        // Pushing the divider as far as it goes still leaves each pane its room.
        view.setSizes({10, 790});
        QVERIFY(view.sizes().at(0) >= SplitView::firstPaneMinimum);

        QTest::mouseDClick(view.handle(1), Qt::LeftButton);
        QVERIFY(view.isSecondPaneCollapsed());
        QTest::mouseDClick(view.handle(1), Qt::LeftButton);
        QVERIFY(!view.isSecondPaneCollapsed());
        QVERIFY(view.sizes().at(1) >= SplitView::secondPaneMinimum);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
