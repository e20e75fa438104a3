#pragma once

#include "platform/Control.h"

#include <QHash>
#include <QPixmap>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <typeinfo>
#include <vector>

namespace fw {

// The window record: what a window applies before its controls are created.
struct WindowRecord {
    enum Frame { Document = 0, MovableModal = 1, PlainBox = 4 };
    enum Placement { DefaultPlacement = 0, Stagger = 4 };

    QString title;
    int width = 300;
    int height = 300;
    int minWidth = 64;
    int minHeight = 64;
    int maxWidth = 32000;
    int maxHeight = 32000;
    int frame = Document;
    int placement = DefaultPlacement;
    bool visible = true;
    bool resizeable = true;
    bool closeButton = true;
    bool minimizeButton = true;
    bool maximizeButton = true;
};

// A top-level window in the framework's terms. A window is built in three stages: its C++ members take
// their defaults, Layout() gives its record, CreateControls() creates its controls in table order; only
// then is it shown, and only when its record says visible. Build windows with New<W>().
//
// Keyboard focus: a window opens with the focus on the control its code focused before showing it, or
// else on its first control in reading order that can take the focus. Tab and Shift+Tab follow the
// reading order; in a window where no control can take the focus they are keys like any other and
// reach KeyDown. A control the user cannot see (Control::isSeen) never keeps the focus and takes no
// key: a key that reaches it is dropped and the focus moves on, backwards for Shift+Tab. A key that is
// only a modifier (Shift, Ctrl, Alt, Meta, the locks) is no key press: it reaches no KeyDown and
// moves no focus.
//
// Return and Escape: a window may have a default button, which answers Return, and a cancel button,
// which answers Escape, both only while enabled and seen. In a window with a default button, as in a
// desktop dialog, Return on a focused push button presses that button instead, and the style draws
// the button that Return would press as the default. In a window without one, Return on a focused
// button presses nothing and goes on to KeyDown; Space presses a focused button in every window.
//
// Closing a window raises CloseEvent(), hides it, removes it from the open windows and deletes it once
// control is back in the event loop, so a handler may go on after closing its own window.
class Window : public QWidget {
    Q_OBJECT
public:
    ~Window() override;

    template <class W>
    static W* New()
    {
        auto* window = new W();
        window->construct();
        return window;
    }

    // The open window of class W, or a newly built one (hidden unless its record says visible).
    template <class W>
    static W* implicitInstance()
    {
        for (Window* window : openWindows()) {
            if (typeid(*window) == typeid(W))
                return static_cast<W*>(window);
        }
        return New<W>();
    }

    static const std::vector<Window*>& openWindows();

    void Show();
    // Shows the window modal to the application and returns once it has closed; other events keep
    // flowing meanwhile.
    void ShowModal();
    void Close();
    bool Visible() const { return isVisible(); }
    void SetFocus();
    bool isClosed() const { return closed_; }

    QString Title() const { return windowTitle(); }
    void setTitle(const QString& title) { setWindowTitle(title); }
    int Width() const { return width(); }
    int Height() const { return height(); }
    // Resizes the content area; controls follow by their locks.
    void setSize(int width, int height);
    const WindowRecord& record() const { return record_; }

    // Control look-up by name, and by name plus index for array elements; nullptr when absent.
    Control* FindControl(const QString& name, int index = -1) const;
    template <class C>
    C* control(const QString& name, int index = -1) const
    {
        return dynamic_cast<C*>(FindControl(name, index));
    }
    const std::vector<Control*>& controls() const { return controlOrder_; }
    // The control whose widget is widget or holds it; nullptr for none of this window's controls.
    Control* controlOf(const QWidget* widget) const;
    // Every control in reading order: rows from top to bottom, each row from left to right, the
    // controls inside a control right after it in their own reading order. Tab and Shift+Tab step
    // through it to the next control that can take the focus. Computed from the geometry at the time
    // of the call (controls move), in time n log n for n controls.
    std::vector<Control*> readingOrder() const;
    // The controls that can take the keyboard focus now, in reading order.
    std::vector<Control*> focusOrder() const;
    // A focus request for a control hidden for the moment; it lapses when control returns to the
    // event loop, and nullptr withdraws it. Control::setVisible grants it once the control can take it.
    void deferFocus(Control* control);
    void takeDeferredFocus();

    // Registers a newly made control under its name (and index), places it inside parent (on a page of
    // a page panel when page >= 0) and gives it its geometry in window coordinates.
    template <class C>
    C* add(C* control, const QString& name, int left, int top, int width, int height, int locks = LockLeft | LockTop,
           Control* parent = nullptr, int index = -1, int page = -1)
    {
        addControl(control, name, parent, index, page);
        control->setLocks(locks);
        control->setBounds(left, top, width, height);
        return control;
    }

    QWidget* contentWidget() { return this; }

    // Picture drawn over the whole content area behind the controls.
    void setBackdrop(const QPixmap& picture);

    // Runs work on a thread of its own while every window stays drawn and shows it is busy: the busy
    // cursor, and no input taken. Clicks, keys, wheel turns and input-method text given meanwhile,
    // and given before but not yet handled, are dropped, never delivered afterwards to a control the
    // user could not see. Work must touch no widget.
    //
    // The user may still leave: a request to close a window, or to quit the program (the event loop
    // told to end, as a quit signal does), abandons the work. busyWorkAbandoned() then turns true on
    // the work's thread; work that asks it often returns within a moment, and runBusy waits for it.
    // A window asked to close goes out of sight at once, and closes once the work has returned, as
    // Close() closes it. A program that quits waits BusyWorkGraceMs at most: then it ends without
    // the work (Application::endNow).
    //
    // Returns true when work ran to its end, false when it was abandoned (what it made is then to be
    // dropped). Throws what work threw (unless abandoned), and std::system_error when no thread can
    // be made for it; the busy cursor and the dropping of input end before it returns or throws.
    [[nodiscard]] static bool runBusy(const std::function<void()>& work);
    // True on the thread of busy work once that work is abandoned; false on every other thread.
    // Cheap enough to ask for every line of a file.
    static bool busyWorkAbandoned() { return busyAbandon_ && busyAbandon_->load(std::memory_order_relaxed); }
    // The same flag for the helper threads that busy work starts: nullptr on a thread of no busy work.
    static const std::atomic<bool>* busyAbandonFlag() { return busyAbandon_; }
    // Abandons the busy work running, if any, and waits up to graceMs for it to return; true when no
    // work runs any longer. For a program that ends: no work may go on while it is torn down.
    static bool abandonBusyWork(int graceMs);
    static constexpr int BusyWorkGraceMs = 250;

    // Default and cancel buttons answer Return and Escape (see the class comment).
    void setDefaultButton(class PushButton* button);
    class PushButton* defaultButton() const { return defaultButton_; }
    void setCancelButton(class PushButton* button) { cancelButton_ = button; }

signals:
    void closed();

protected:
    Window();

    virtual WindowRecord Layout() = 0;
    virtual void CreateControls() = 0;
    // Window events. Those with a Boolean result return false when the event is not consumed.
    virtual void Open() {}
    virtual void CloseEvent() {}
    virtual void Resized() {}
    virtual bool KeyDown(const QString& key);
    virtual bool MouseDown(int x, int y);
    virtual bool MouseWheel(int x, int y, int deltaX, int deltaY);

    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class FocusGuard;
    void construct();
    // Gives the focus to the first control in reading order that can take it, if any.
    void focusFirstControl();
    void applyRecord();
    // Lets the controls follow the change of size since the last call, by their locks.
    void followSize();
    void addControl(Control* control, const QString& name, Control* parent, int index, int page);
    void doClose();

    // The abandon flag of the busy work that runs on this thread; none on other threads.
    static inline thread_local const std::atomic<bool>* busyAbandon_ = nullptr;

    WindowRecord record_;
    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<Control*> controlOrder_;
    QHash<QString, Control*> byName_;
    QHash<const QWidget*, Control*> byWidget_;
    QSize lastSize_;
    bool built_ = false;
    bool closed_ = false;
    QPixmap backdrop_;
    Control* deferredFocus_ = nullptr;
    bool deferralLapses_ = false;
    class PushButton* defaultButton_ = nullptr;
    class PushButton* cancelButton_ = nullptr;
};

// True for a key that only modifies others (Shift, Ctrl, Alt, Meta, Caps Lock and the like).
bool isModifierKey(int key);

// The key of a key event as the framework's KeyDown gives it: the typed character, or a control
// character for Return (13), Enter (3), Escape (27), Tab and Shift+Tab (9), Backspace (8) and the
// arrow keys (28-31).
// No other key gives a control character: Ctrl with a letter gives the letter, other keys whose text
// is a control character give the empty text.
QString keyText(const class QKeyEvent* event);

} // namespace fw
