#include "platform/FocusFrame.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace fw {

namespace {

// Paints the area's frame in its paint event, before and instead of the area's own frame. A widget
// repaints itself whole when it gains or loses the focus, so the frame follows the focus.
class FocusFrameFilter : public QObject {
public:
    explicit FocusFrameFilter(QObject* parent)
        : QObject(parent)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        auto* area = static_cast<QAbstractScrollArea*>(watched);
        if (area->frameShape() == QFrame::NoFrame || area->frameWidth() <= 0)
            return false;
        QPainter painter(area);
        QStyleOptionFrame option;
        option.initFrom(area);
        option.rect = area->rect();
        option.lineWidth = area->frameWidth();
        option.midLineWidth = 0;
        option.state |= QStyle::State_Sunken;
        option.features = QStyleOptionFrame::None;
        area->style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, area);
        return true;
    }
};

} // namespace

void showFocusInFrame(QAbstractScrollArea* area)
{
    area->installEventFilter(new FocusFrameFilter(area));
}

} // namespace fw
