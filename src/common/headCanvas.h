#pragma once

#include "platform/Controls.h"

// Header band: paints the header picture stretched over the whole canvas.
class headCanvas : public fw::Canvas {
public:
    headCanvas();
    void Paint(fw::Graphics& g) override;
};
