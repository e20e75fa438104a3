#include "common/headCanvas.h"

#include "common/Pictures.h"
#include "platform/Graphics.h"

headCanvas::headCanvas()
{
    widget()->setAutoFillBackground(true);
}

void headCanvas::Paint(fw::Graphics& g)
{
    const fw::Picture picture = headbar();
    g.DrawPicture(picture, 0, 0, g.Width(), g.Height(), 0, 0, picture.Width(), picture.Height());
}
