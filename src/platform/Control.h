#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace fw {

class Window;

// Edges of the parent (the window for a top-level control) whose distance a control keeps when the
// parent changes size. Locked to two opposite edges, the control stretches.
enum Lock : int {
    LockNone = 0,
    LockLeft = 1,
    LockTop = 2,
    LockRight = 4,
    LockBottom = 8,
};

// Font of a control as the window tables give it: "System" at size 0 is the platform's standard
// interface font at its standard size; other names fall back to what the system has. Sizes are pixels,
// like the geometry the tables give with them, so text fits the controls made for it at any font
// resolution; the standard size is taken at the reference resolution of 96 dots per inch as well.
struct ControlFont {
    QString name = QStringLiteral("System");
    int size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// A control on a window. Geometry is always in window coordinates (also for a control inside a
// parent control); the layer maps it onto Qt's parent-relative geometry.
//
// Moving or resizing a control from code moves its children with it and lets each child follow the
// change of size by its own locks, at once: reading a child right after gives its new geometry.
class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const QString& Name() const { return name_; }
    // Element number within a control array; -1 for a control that is not an array element.
    int Index() const { return index_; }
    Window* window() const { return window_; }
    Control* parentControl() const { return parent_; }
    const std::vector<Control*>& children() const { return children_; }
    QWidget* widget() const { return widget_; }

    int Left() const { return left_; }
    int Top() const { return top_; }
    // A control pushed below zero by its locks reads, and shows, as zero wide or high, and keeps the
    // size below zero that its locks gave it: given back its own reading of zero it keeps that size, so
    // it comes back exactly when its parent grows again.
    int Width() const { return width_ > 0 ? width_ : 0; }
    int Height() const { return height_ > 0 ? height_ : 0; }
    void setLeft(int left) { setBounds(left, top_, width_, height_); }
    void setTop(int top) { setBounds(left_, top, width_, height_); }
    void setWidth(int width) { setBounds(left_, top_, width, height_); }
    void setHeight(int height) { setBounds(left_, top_, width_, height); }
    void setBounds(int left, int top, int width, int height);

    int locks() const { return locks_; }
    void setLocks(int locks) { locks_ = locks; }

    // The control's own visibility and enabling, whatever its parents' state. A control that shows
    // nothing of itself inside its parent (a search row below the bottom of its shrunk group box, a
    // pane squeezed to no width) keeps its own visibility, but is hidden from the keyboard and from
    // assistive tools until it shows inside its parent again.
    bool Visible() const;
    void setVisible(bool visible);
    bool Enabled() const;
    void setEnabled(bool enabled);

    void setHelpTag(const QString& tag);
    // The name assistive tools give the control: the label the user reads beside or above it. Controls
    // that show their own text (buttons, check boxes, labels) need none.
    void setAccessibleName(const QString& name);

    void setFont(const ControlFont& font);
    const ControlFont& font() const { return font_; }
    void setTextColor(QColor color);
    QColor TextColor() const { return textColor_; }

    // True when the user can see some of the control: it and everything around it are shown, it is
    // wider and higher than zero, and its parents and its window do not clip it away wholly (a row
    // below the bottom edge of a shrunk group box is not seen). Whether the window itself is on screen
    // does not count.
    bool isSeen() const;
    // True when the keyboard focus may go to the control: it is seen, it and everything around it are
    // enabled, and it is of a kind that takes the focus by Tab.
    bool canTakeFocus() const;
    // Gives the control the keyboard focus; does nothing when it cannot take the focus. A control that
    // is out of sight only because something around it is hidden for the moment (a panel hidden while
    // the running handler refills it) takes the focus when that is shown again before the handler
    // returns to the event loop.
    void SetFocus();

    // Raised once when the control has been created and given its design-time properties.
    virtual void Open() {}

    // Where children created inside this control are placed in Qt; page is a page-panel page.
    virtual QWidget* childContainer(int page) const;

    // Turns a ControlFont into the Qt font the layer uses.
    static QFont qtFont(const ControlFont& chosen, const QFont& base);
    // font, or where its text does not fit, a smaller size that does (down to one pixel). roomPerNeed
    // gives the room over what the text needs in a font, below 1 while it does not fit; each step
    // guesses in proportion, then at least one pixel down, so a short text costs a few measurements.
    static QFont shrunkToFit(QFont font, const std::function<double(const QFont&)>& roomPerNeed);
    // As shrunkToFit, but narrower first: the font's stretch goes down, in the same proportional steps,
    // to at most half the width (a condensed face of the family where it has one, else the family
    // drawn narrower); only a text still too wide at that stretch takes a smaller size. Narrow digits
    // in the largest size read better than a smaller size.
    static QFont narrowedToFit(QFont font, const std::function<double(const QFont&)>& roomPerNeed);
    // A text longer than keep UTF-16 units, cut to its first keep units (one fewer where the last would
    // be half a surrogate pair) and ended with "…".
    static QString cutWithEllipsis(const QString& text, qsizetype keep);

protected:
    Control() = default;
    // True when a click could reach the control: it and every control around it are enabled.
    bool clickable() const;
    // The concrete control hands its widget over once it has made it.
    void setWidget(QWidget* widget);
    virtual void applyFont();
    virtual void applyTextColor();

private:
    friend class Window;
    void attach(Window* window, const QString& name, int index, Control* parent, int page);
    void followParent(int dx, int dy, int dw, int dh);
    void applyGeometry();
    void applyShown();

    Window* window_ = nullptr;
    Control* parent_ = nullptr;
    std::vector<Control*> children_;
    QPointer<QWidget> widget_;
    QString name_;
    int index_ = -1;
    int page_ = -1;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    int locks_ = LockLeft | LockTop;
    bool shown_ = true;
    bool outsideParent_ = false;
    ControlFont font_;
    QColor textColor_ = Qt::black;
};

} // namespace fw
