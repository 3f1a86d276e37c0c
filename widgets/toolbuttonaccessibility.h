#pragma once

namespace folioset {

// Makes a checkable tool button that stands for an action (a toolbar's on/off item) do for
// assistive technology what a click does: its toggle action triggers the action, instead of
// only flipping the button's own state as Qt's would. Call once before such buttons are made.
void installToolButtonAccessibility();

} // namespace folioset
