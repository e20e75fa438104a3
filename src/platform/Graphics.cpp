#include "platform/Graphics.h"

#include <QFile>
#include <QPainter>

namespace fw {

Picture Picture::fromResource(int id)
{
    const QString path = QStringLiteral(":/pictures/%1.png").arg(id);
    if (!QFile::exists(path))
        return {};
    return Picture(QPixmap(path));
}

Graphics::Graphics(QPainter& painter, int width, int height)
    : painter_(painter)
    , width_(width)
    , height_(height)
{
}

void Graphics::FillRect(int x, int y, int width, int height)
{
    painter_.fillRect(x, y, width, height, foreColor_);
}

void Graphics::DrawPicture(const Picture& picture, int x, int y)
{
    if (!picture.isNull())
        painter_.drawPixmap(x, y, picture.pixmap());
}

void Graphics::DrawPicture(const Picture& picture, int x, int y, int width, int height, int sourceX, int sourceY,
                           int sourceWidth, int sourceHeight)
{
    if (picture.isNull())
        return;
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
    painter_.drawPixmap(QRect(x, y, width, height), picture.pixmap(), QRect(sourceX, sourceY, sourceWidth, sourceHeight));
}

} // namespace fw
