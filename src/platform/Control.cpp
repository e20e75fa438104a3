#include "platform/Control.h"

#include "platform/Window.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

// The platform's standard interface size in pixels at the reference resolution the window tables
// were drawn for (96 dots per inch, 72 points per inch).
int standardPixelSize(const QFont& base)
{
    if (base.pixelSize() > 0)
        return base.pixelSize();
    return std::max(1, int(std::lround(base.pointSizeF() * 96.0 / 72.0)));
}

} // namespace

Control::~Control()
{
    // The widget belongs to Qt's parent chain; only an unattached widget is ours to free.
    if (widget_ && !widget_->parent())
        delete widget_;
}

void Control::setWidget(QWidget* widget)
{
    widget_ = widget;
    applyFont();
}

void Control::attach(Window* window, const QString& name, int index, Control* parent, int page)
{
    window_ = window;
    name_ = name;
    index_ = index;
    parent_ = parent;
    page_ = page;
    if (parent_)
        parent_->children_.push_back(this);
    if (widget_) {
        QWidget* container = parent_ ? parent_->childContainer(page_) : window->contentWidget();
        widget_->setParent(container);
    }
    applyGeometry();
}

QWidget* Control::childContainer(int) const
{
    return widget_;
}

void Control::setBounds(int left, int top, int width, int height)
{
    // A zero read from a size below zero and handed back is no change of size.
    if (width == 0 && width_ < 0)
        width = width_;
    if (height == 0 && height_ < 0)
        height = height_;
    const int dx = left - left_;
    const int dy = top - top_;
    const int dw = width - width_;
    const int dh = height - height_;
    left_ = left;
    top_ = top;
    // Sizes are kept as given, also below zero, so that children following a parent pushed past
    // zero and back land where they started; only the widget gets a clamped size.
    width_ = width;
    height_ = height;
    applyGeometry();
    if (dx || dy || dw || dh) {
        for (Control* child : children_)
            child->followParent(dx, dy, dw, dh);
    }
}

// A child moves with its parent, and takes the parent's change of size by its own locks: locked
// right only, it moves with the right edge; locked left and right, it stretches.
void Control::followParent(int dx, int dy, int dw, int dh)
{
    int left = left_ + dx;
    int top = top_ + dy;
    int width = width_;
    int height = height_;
    if (locks_ & LockRight) {
        if (locks_ & LockLeft)
            width += dw;
        else
            left += dw;
    }
    if (locks_ & LockBottom) {
        if (locks_ & LockTop)
            height += dh;
        else
            top += dh;
    }
    setBounds(left, top, width, height);
}

void Control::applyGeometry()
{
    if (!widget_ || !window_)
        return;
    const int originX = parent_ ? parent_->left_ : 0;
    const int originY = parent_ ? parent_->top_ : 0;
    widget_->setGeometry(left_ - originX, top_ - originY, std::max(0, width_), std::max(0, height_));
    // Nothing of a control of no size or outside its parent's rectangle can be seen: it is hidden, so
    // that neither the keyboard nor an assistive tool finds it there.
    outsideParent_ = parent_
                     && !QRect(left_, top_, Width(), Height())
                             .intersects(QRect(parent_->left_, parent_->top_, parent_->Width(), parent_->Height()));
    applyShown();
}

void Control::applyShown()
{
    if (!widget_ || !window_)
        return;
    const bool show = shown_ && !outsideParent_;
    if (widget_->isHidden() == !show)
        return;
    widget_->setVisible(show);
    if (show)
        window_->takeDeferredFocus();
}

bool Control::Visible() const
{
    return widget_ && shown_;
}

void Control::setVisible(bool visible)
{
    if (!widget_)
        return;
    // Before the control is placed on a window, attaching it shows or hides it.
    shown_ = visible;
    if (!window_)
        return;
    applyShown();
    if (visible)
        window_->takeDeferredFocus();
}

bool Control::Enabled() const
{
    return widget_ && !widget_->testAttribute(Qt::WA_ForceDisabled);
}

bool Control::clickable() const
{
    return widget_ && widget_->isEnabled();
}

void Control::setEnabled(bool enabled)
{
    if (widget_)
        widget_->setEnabled(enabled);
}

void Control::setHelpTag(const QString& tag)
{
    if (widget_)
        widget_->setToolTip(tag);
}

void Control::setAccessibleName(const QString& name)
{
    if (widget_)
        widget_->setAccessibleName(name);
}

void Control::setFont(const ControlFont& font)
{
    font_ = font;
    applyFont();
}

void Control::applyFont()
{
    if (widget_)
        widget_->setFont(qtFont(font_, QApplication::font()));
}

void Control::setTextColor(QColor color)
{
    textColor_ = color;
    applyTextColor();
}

void Control::applyTextColor()
{
    if (!widget_)
        return;
    // A disabled control keeps the style's disabled colours, as the desktop's own controls do.
    QPalette palette = widget_->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, textColor_);
        palette.setColor(group, QPalette::Text, textColor_);
        palette.setColor(group, QPalette::ButtonText, textColor_);
    }
    widget_->setPalette(palette);
}

bool Control::isSeen() const
{
    if (!widget_ || !window_ || width_ <= 0 || height_ <= 0)
        return false;
    const QWidget* top = window_;
    if (!widget_->isVisibleTo(top))
        return false;
    // The widget's rectangle, carried up one parent at a time and cut by each: linear in the depth.
    QRect seen = widget_->rect();
    for (const QWidget* w = widget_; w != top; w = w->parentWidget()) {
        const QWidget* parent = w->parentWidget();
        if (!parent)
            return false;
        seen = seen.translated(w->pos()) & parent->rect();
        if (seen.isEmpty())
            return false;
    }
    return true;
}

bool Control::canTakeFocus() const
{
    return isSeen() && widget_->isEnabled() && (widget_->focusPolicy() & Qt::TabFocus);
}

void Control::SetFocus()
{
    if (!widget_ || !window_)
        return;
    if (canTakeFocus()) {
        window_->deferFocus(nullptr);
        widget_->setFocus(Qt::OtherFocusReason);
        return;
    }
    const bool hiddenAround = widget_->isEnabled() && (widget_->focusPolicy() & Qt::TabFocus) && width_ > 0
                              && height_ > 0 && shown_;
    if (hiddenAround)
        window_->deferFocus(this);
}

QFont Control::qtFont(const ControlFont& chosen, const QFont& base)
{
    QFont font = base;
    const QString name = chosen.name.trimmed();
    if (!name.isEmpty() && name.compare(QLatin1String("System"), Qt::CaseInsensitive) != 0) {
        if (name.compare(QLatin1String("courier"), Qt::CaseInsensitive) == 0) {
            font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        } else {
            font.setFamilies({name});
            font.setStyleHint(QFont::SansSerif);
        }
    }
    font.setPixelSize(chosen.size > 0 ? chosen.size : standardPixelSize(base));
    font.setBold(chosen.bold);
    font.setItalic(chosen.italic);
    font.setUnderline(chosen.underline);
    return font;
}

QFont Control::shrunkToFit(QFont font, const std::function<double(const QFont&)>& roomPerNeed)
{
    int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    double ratio = roomPerNeed(font);
    while (pixels > 1 && ratio < 1) {
        pixels = std::max(1, std::min(pixels - 1, int(pixels * ratio)));
        font.setPixelSize(pixels);
        ratio = roomPerNeed(font);
    }
    return font;
}

QFont Control::narrowedToFit(QFont font, const std::function<double(const QFont&)>& roomPerNeed)
{
    int stretch = font.stretch() > 0 ? font.stretch() : int(QFont::Unstretched);
    double ratio = roomPerNeed(font);
    while (stretch > QFont::UltraCondensed && ratio < 1) {
        stretch = std::max(int(QFont::UltraCondensed), std::min(stretch - 1, int(stretch * ratio)));
        font.setStretch(stretch);
        ratio = roomPerNeed(font);
    }
    return ratio < 1 ? shrunkToFit(font, roomPerNeed) : font;
}

QString Control::cutWithEllipsis(const QString& text, qsizetype keep)
{
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

} // namespace fw
