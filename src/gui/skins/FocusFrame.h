#pragma once

#include <QColor>

class QWidget;

namespace parlomar {

// A control that draws a focus frame of its own (the grids' current row, the filter bar's and the
// tab strip's chosen item, the skinned buttons and check boxes) carries this property as true.
inline constexpr char kOwnFocusFrame[] = "OwnFocusFrame";

// Every other control that has the focus shows it with a frame drawn over its edge, over the
// current row of a list or table, or over the current tab of a tab bar, so that the focus is seen
// in the plain look and under every skin, whatever the style draws. Starts with the first window;
// calling it again does nothing.
void WatchFocusFrames();

// The colour of a focus frame on a control: its highlight colour, or its text colour where the
// highlight stands out too little from the control's background.
QColor FocusFrameColour(const QWidget* control);

} // namespace parlomar
