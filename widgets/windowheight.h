#pragma once

class QWidget;

namespace folioset {

// Keeps a window, or a pane whose container knows nothing of wrapped text (a split view's), at
// least as tall as its wrapped lines need at its present width. A layout's own minimum size does
// not know that a narrower widget wraps its text onto more lines, so a window made narrow could
// otherwise cut its last lines and squeeze the controls under them.
void keepTallEnoughForItsLines(QWidget *widget);

// The least height `widget`'s layout needs at the widget's present width, wrapped lines
// included; 0 without a layout.
int heightForItsLines(const QWidget *widget);

} // namespace folioset
