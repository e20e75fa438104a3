#pragma once

#include "platform/Listbox.h"

// List box with rows 14 pixels high and every even row (0, 2, 4, ...) shaded light grey.
class cListBox : public fw::Listbox {
public:
    void Open() override;
    bool CellBackgroundPaint(fw::Graphics& g, int row, int column) override;
};
