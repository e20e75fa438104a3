#pragma once

class QAbstractScrollArea;

namespace fw {

// Draws the frame of a scroll area (a multi-line pane, a list) as the style draws a line edit's, the
// keyboard focus shown as a line edit shows it, in place of the frame the area draws itself. The
// frame keeps the width the area gave it, so the area's contents neither move nor shrink. An area
// without a frame is left as it is. The drawing goes with the area.
void showFocusInFrame(QAbstractScrollArea* area);

} // namespace fw
