#pragma once

class QPainter;
class QRect;

namespace parlomar {

// The plain (unskinned) heading of a grid column: a soft gradient, a line below and, between
// columns, a divider at the left edge kept `dividerInset` pixels off the top and bottom.
void DrawPlainHeadingStrip(QPainter& painter, const QRect& rect, bool divider, int dividerInset);

} // namespace parlomar
