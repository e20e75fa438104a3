#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

class QPainter;

namespace fw {

// A picture of the application's resources; a null picture stands for a missing resource.
class Picture {
public:
    Picture() = default;
    explicit Picture(QPixmap pixmap)
        : pixmap_(std::move(pixmap))
    {
    }
    // Reads picture resource number id of the application's resources; a null picture when absent.
    static Picture fromResource(int id);

    bool isNull() const { return pixmap_.isNull(); }
    int Width() const { return pixmap_.width(); }
    int Height() const { return pixmap_.height(); }
    const QPixmap& pixmap() const { return pixmap_; }

private:
    QPixmap pixmap_;
};

// Drawing context handed to Paint events; coordinates start at the painted area's top-left corner.
class Graphics {
public:
    Graphics(QPainter& painter, int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    void setForeColor(QColor color) { foreColor_ = color; }

    void FillRect(int x, int y, int width, int height);
    // Draws the picture at its own size.
    void DrawPicture(const Picture& picture, int x, int y);
    // Draws the source rectangle of the picture scaled into the destination rectangle.
    void DrawPicture(const Picture& picture, int x, int y, int width, int height, int sourceX, int sourceY,
                     int sourceWidth, int sourceHeight);

    QPainter& painter() { return painter_; }

private:
    QPainter& painter_;
    int width_;
    int height_;
    QColor foreColor_ = Qt::black;
};

} // namespace fw
