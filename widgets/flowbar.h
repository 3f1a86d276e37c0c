#pragma once

#include <QWidget>

namespace folioset {

// A row of controls that goes on onto further lines when the window is too narrow for it, so a
// narrow window shows every control whole rather than cutting them. It wraps onto two lines at
// most: its least width is what two lines need. What it needs in height is told by height for
// width, which a window passes on with keepTallEnoughForItsLines(). Its controls are the child
// widgets a window description puts in it, in that order; a child with the property
// "alignRight" set to true starts the group that sits at the right end of its line (where a
// spacer would have pushed it in a plain row).
class FlowBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int horizontalSpacing READ horizontalSpacing WRITE setHorizontalSpacing)
    Q_PROPERTY(int verticalSpacing READ verticalSpacing WRITE setVerticalSpacing)

public:
    explicit FlowBar(QWidget *parent = nullptr);

    int horizontalSpacing() const;
    void setHorizontalSpacing(int spacing);
    int verticalSpacing() const;
    void setVerticalSpacing(int spacing);
    // How many lines the controls take at the bar's present width.
    int lineCount() const;

protected:
    void childEvent(QChildEvent *event) override;
};

} // namespace folioset
