#pragma once

#include <QSplitter>

namespace folioset {

// The main window's two panes. The divider is a thin line rather than a grip, the panes keep
// room to work in (the first at least 200 pixels, the second at least 100, either more if its
// controls need more), and a double click
// on the divider folds away the second pane or brings it back; the first never folds.
class SplitView : public QSplitter
{
    Q_OBJECT

public:
    explicit SplitView(QWidget *parent = nullptr);

    static constexpr int firstPaneMinimum = 200;
    static constexpr int secondPaneMinimum = 100;

    bool isSecondPaneCollapsed() const;
    void toggleSecondPane();

protected:
    QSplitterHandle *createHandle() override;
    void childEvent(QChildEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyLimits();
    int m_restoreWidth = 0;
};

} // namespace folioset
