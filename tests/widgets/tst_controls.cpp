// The segmented control, the stepper and the split view of the main window.

#include "widgets/segmentedcontrol.h"
#include "widgets/splitview.h"
#include "widgets/stepper.h"

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
        QTest::mouseClick(control.button(2), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().first().toInt(), 2);
        QCOMPARE(control.selectedSegment(), 2);
        QVERIFY(!control.isSelectedForSegment(2));
        control.setSelected(true, 2);
        QTest::mouseClick(control.button(2), Qt::LeftButton);
        QVERIFY(control.isSelectedForSegment(2));
        QVERIFY(!control.isSelectedForSegment(0));

        // Disabling the whole control silences every segment.
        control.setEnabled(false);
        control.click(0);
        QCOMPARE(clicked.count(), 2);
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
