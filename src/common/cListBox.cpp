#include "common/cListBox.h"

#include "platform/Graphics.h"

void cListBox::Open()
{
    setDefaultRowHeight(14);
}

bool cListBox::CellBackgroundPaint(fw::Graphics& g, int row, int)
{
    if (row % 2 == 0) {
        g.setForeColor(QColor(0xEE, 0xEE, 0xEE));
        g.FillRect(0, 0, g.Width(), g.Height());
    }
    return false;
}
