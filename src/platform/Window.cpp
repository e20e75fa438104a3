#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>
#include <thread>

namespace fw {

namespace {

std::vector<Window*>& registry()
{
    static std::vector<Window*> windows;
    return windows;
}

QString lookupKey(const QString& name, int index)
{
    return index < 0 ? name : name + QLatin1Char('#') + QString::number(index);
}

QPoint nextStaggerPosition(QSize size)
{
    static int step = 0;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const int offset = 22 * (step++ % 8);
    const int x = area.left() + std::max(0, (area.width() - size.width()) / 2 - 88) + offset;
    const int y = area.top() + std::max(0, (area.height() - size.height()) / 2 - 88) + offset;
    return {x, y};
}

// Rows from top to bottom, each row from left to right. A control starts a new row unless its top lies
// above the middle of the control that started the current row; the controls inside a control follow
// right after it, in their own reading order.
void appendInReadingOrder(std::vector<Control*> siblings, std::vector<Control*>& out)
{
    const auto byTop = [](const Control* a, const Control* b) {
        return a->Top() != b->Top() ? a->Top() < b->Top() : a->Left() < b->Left();
    };
    const auto byLeft = [](const Control* a, const Control* b) {
        return a->Left() != b->Left() ? a->Left() < b->Left() : a->Top() < b->Top();
    };
    std::stable_sort(siblings.begin(), siblings.end(), byTop);
    size_t rowStart = 0;
    while (rowStart < siblings.size()) {
        const Control* first = siblings[rowStart];
        const int middle = first->Top() + std::max(1, first->Height() / 2);
        size_t rowEnd = rowStart + 1;
        while (rowEnd < siblings.size() && siblings[rowEnd]->Top() < middle)
            ++rowEnd;
        std::stable_sort(siblings.begin() + std::ptrdiff_t(rowStart), siblings.begin() + std::ptrdiff_t(rowEnd), byLeft);
        for (size_t i = rowStart; i < rowEnd; ++i) {
            out.push_back(siblings[i]);
            appendInReadingOrder(siblings[i]->children(), out);
        }
        rowStart = rowEnd;
    }
}

} // namespace

// Keeps the keyboard away from controls the user cannot see, whatever route the focus took to them: a
// key that reaches such a control is dropped and the focus moves on (backwards for Shift+Tab); a
// control that receives the focus hands it on once control is back in the event loop. A key that is
// only a modifier changes nothing there. It looks at key presses and focus changes only.
class FocusGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::KeyPress && type != QEvent::FocusIn) || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        auto* window = qobject_cast<Window*>(widget->window());
        if (!window)
            return false;
        const Control* control = window->controlOf(widget);
        if (!control || control->isSeen())
            return false;
        if (type == QEvent::FocusIn) {
            QPointer<Window> target(window);
            QTimer::singleShot(0, window, [target] {
                if (!target)
                    return;
                const Control* focused = target->controlOf(QApplication::focusWidget());
                if (focused && !focused->isSeen())
                    target->focusNextPrevChild(true);
            });
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isModifierKey(key->key()))
            return true;
        const bool backwards = key->key() == Qt::Key_Backtab
                               || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
        window->focusNextPrevChild(!backwards);
        return true;
    }
};

Window::Window()
    : QWidget(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    static const bool guarding = [] {
        QCoreApplication::instance()->installEventFilter(new FocusGuard(QCoreApplication::instance()));
        return true;
    }();
    (void)guarding;
}

Window::~Window()
{
    auto& windows = registry();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    // Widgets go first, so that no widget signal reaches a control that is already gone.
    for (Control* control : controlOrder_) {
        if (!control->parentControl() && control->widget())
            delete control->widget();
    }
    owned_.clear();
}

const std::vector<Window*>& Window::openWindows()
{
    return registry();
}

void Window::construct()
{
    registry().push_back(this);
    record_ = Layout();
    applyRecord();
    CreateControls();
    built_ = true;
    lastSize_ = size();
    for (Control* control : controlOrder_)
        control->Open();
    if (record_.visible)
        Show();
}

void Window::applyRecord()
{
    Qt::WindowFlags flags = Qt::Window;
    if (record_.frame == WindowRecord::MovableModal)
        flags = Qt::Dialog;
    if (record_.frame == WindowRecord::PlainBox) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (record_.closeButton)
            flags |= Qt::WindowCloseButtonHint;
        if (record_.minimizeButton)
            flags |= Qt::WindowMinimizeButtonHint;
        if (record_.maximizeButton && record_.resizeable)
            flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);
    setWindowTitle(record_.title);
    if (record_.resizeable) {
        setMinimumSize(record_.minWidth, record_.minHeight);
        setMaximumSize(record_.maxWidth, record_.maxHeight);
        resize(record_.width, record_.height);
    } else {
        setFixedSize(record_.width, record_.height);
    }
    if (record_.placement == WindowRecord::Stagger)
        move(nextStaggerPosition(size()));
}

void Window::addControl(Control* control, const QString& name, Control* parent, int index, int page)
{
    owned_.emplace_back(control);
    controlOrder_.push_back(control);
    byName_.insert(lookupKey(name, index), control);
    if (control->widget())
        byWidget_.insert(control->widget(), control);
    control->attach(this, name, index, parent, page);
}

Control* Window::controlOf(const QWidget* widget) const
{
    for (const QWidget* w = widget; w && w != this; w = w->parentWidget()) {
        if (Control* control = byWidget_.value(w, nullptr))
            return control;
    }
    return nullptr;
}

std::vector<Control*> Window::readingOrder() const
{
    std::vector<Control*> topLevel;
    for (Control* control : controlOrder_) {
        if (!control->parentControl())
            topLevel.push_back(control);
    }
    std::vector<Control*> order;
    order.reserve(controlOrder_.size());
    appendInReadingOrder(std::move(topLevel), order);
    return order;
}

std::vector<Control*> Window::focusOrder() const
{
    std::vector<Control*> order = readingOrder();
    order.erase(std::remove_if(order.begin(), order.end(), [](const Control* c) { return !c->canTakeFocus(); }),
                order.end());
    return order;
}

// Steps from the focused control (or from before the first) to the next control in reading order that
// can take the focus; the focused control itself may no longer be able to hold it. Returns false when
// no control can take the focus, so that Tab goes on as a key.
bool Window::focusNextPrevChild(bool next)
{
    const std::vector<Control*> order = readingOrder();
    const size_t n = order.size();
    const Control* current = controlOf(focusWidget());
    const auto at = std::find(order.begin(), order.end(), current);
    const size_t from = at != order.end() ? size_t(at - order.begin()) : next ? n - 1 : 0;
    for (size_t step = 1; step <= n; ++step) {
        Control* candidate = order[next ? (from + step) % n : (from + n - step) % n];
        if (candidate->canTakeFocus()) {
            candidate->widget()->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    // Nothing can take the focus: it leaves the control the user cannot see.
    if (current && !current->canTakeFocus())
        setFocus(Qt::OtherFocusReason);
    return false;
}

void Window::deferFocus(Control* control)
{
    deferredFocus_ = control;
    if (!control || deferralLapses_)
        return;
    deferralLapses_ = true;
    QTimer::singleShot(0, this, [this] {
        deferralLapses_ = false;
        deferredFocus_ = nullptr;
    });
}

void Window::takeDeferredFocus()
{
    if (!deferredFocus_ || !deferredFocus_->canTakeFocus())
        return;
    Control* control = deferredFocus_;
    deferredFocus_ = nullptr;
    control->widget()->setFocus(Qt::OtherFocusReason);
}

void Window::focusFirstControl()
{
    const std::vector<Control*> order = focusOrder();
    if (!order.empty())
        order.front()->widget()->setFocus(Qt::OtherFocusReason);
}

Control* Window::FindControl(const QString& name, int index) const
{
    return byName_.value(lookupKey(name, index), nullptr);
}

void Window::setSize(int width, int height)
{
    if (record_.resizeable) {
        resize(width, height);
    } else {
        setFixedSize(width, height);
    }
    // Qt holds back the resize event of a hidden window until it shows; the controls follow now.
    followSize();
}

void Window::setBackdrop(const QPixmap& picture)
{
    backdrop_ = picture;
    update();
}

void Window::Show()
{
    if (closed_)
        return;
    const bool opening = !isVisible();
    // Only the window's own code can have focused a control before the window shows.
    const QPointer<QWidget> chosen = opening ? focusWidget() : nullptr;
    show();
    if (opening) {
        const Control* control = controlOf(chosen);
        if (control && control->canTakeFocus())
            chosen->setFocus(Qt::OtherFocusReason);
        else
            focusFirstControl();
    }
    // Headless platforms cannot stack windows and say so on every call.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        raise();
        activateWindow();
    }
}

void Window::ShowModal()
{
    if (closed_)
        return;
    QPointer<Window> self(this);
    QEventLoop loop;
    connect(this, &Window::closed, &loop, &QEventLoop::quit);
    // Modality only takes effect on a window that is shown afresh.
    if (isVisible())
        hide();
    // A dialog without a place of its own opens over the window it was asked from.
    QWidget* owner = QApplication::activeWindow();
    if (record_.frame == WindowRecord::MovableModal && record_.placement == WindowRecord::DefaultPlacement && owner
        && owner != this) {
        move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
    }
    setWindowModality(Qt::ApplicationModal);
    Show();
    ModalSeam::windowShown(this);
    if (!closed_)
        loop.exec(QEventLoop::DialogExec);
    if (self)
        setWindowModality(Qt::NonModal);
}

void Window::Close()
{
    doClose();
}

void Window::SetFocus()
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        activateWindow();
        raise();
    }
    setFocus(Qt::OtherFocusReason);
}

void Window::doClose()
{
    if (closed_)
        return;
    closed_ = true;
    CloseEvent();
    auto& windows = registry();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
    hide();
    emit closed();
    deleteLater();
    Application::windowClosed();
}

void Window::closeEvent(QCloseEvent* event)
{
    event->accept();
    doClose();
}

void Window::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    followSize();
}

void Window::followSize()
{
    if (!built_)
        return;
    const QSize now = size();
    const int dw = now.width() - lastSize_.width();
    const int dh = now.height() - lastSize_.height();
    lastSize_ = now;
    if (dw == 0 && dh == 0)
        return;
    for (Control* control : controlOrder_) {
        if (!control->parentControl())
            control->followParent(0, 0, dw, dh);
    }
    Resized();
}

bool Window::KeyDown(const QString&)
{
    return false;
}

bool Window::MouseDown(int, int)
{
    return false;
}

bool Window::MouseWheel(int, int, int, int)
{
    return false;
}

void Window::setDefaultButton(PushButton* button)
{
    if (defaultButton_ && defaultButton_->widget())
        static_cast<QPushButton*>(defaultButton_->widget())->setDefault(false);
    defaultButton_ = button;
    if (button && button->widget())
        static_cast<QPushButton*>(button->widget())->setDefault(true);
}

// A focused push button handles Return itself where the window has a default button; here Return
// comes from any other control, or from a button in a window without one.
void Window::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (isModifierKey(key)) {
        QWidget::keyPressEvent(event);
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && defaultButton_ && defaultButton_->Enabled()
        && defaultButton_->isSeen()) {
        defaultButton_->Push();
        return;
    }
    if (key == Qt::Key_Escape && cancelButton_ && cancelButton_->Enabled() && cancelButton_->isSeen()) {
        cancelButton_->Push();
        return;
    }
    if (!KeyDown(keyText(event)))
        QWidget::keyPressEvent(event);
}

void Window::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (!MouseDown(pos.x(), pos.y()))
        QWidget::mousePressEvent(event);
}

void Window::wheelEvent(QWheelEvent* event)
{
    const QPoint pos = event->position().toPoint();
    // Positive deltas scroll towards the end (down, right), as the framework counts them.
    const QPoint delta = -event->angleDelta() / 120;
    if (!MouseWheel(pos.x(), pos.y(), delta.x(), delta.y()))
        QWidget::wheelEvent(event);
}

void Window::paintEvent(QPaintEvent* event)
{
    if (backdrop_.isNull()) {
        QWidget::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(rect(), backdrop_);
}

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
    case Qt::Key_Direction_L:
    case Qt::Key_Direction_R: return true;
    default: return false;
    }
}

QString keyText(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return: return QString(QChar(13));
    case Qt::Key_Enter: return QString(QChar(3));
    case Qt::Key_Escape: return QString(QChar(27));
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return QString(QChar(9));
    case Qt::Key_Backspace: return QString(QChar(8));
    case Qt::Key_Left: return QString(QChar(28));
    case Qt::Key_Right: return QString(QChar(29));
    case Qt::Key_Up: return QString(QChar(30));
    case Qt::Key_Down: return QString(QChar(31));
    default: break;
    }
    // A held Ctrl turns a letter's text into a control character (Ctrl+C into Enter's code 3, Ctrl+M
    // into Return's 13); only the keys above may stand for those, so such a key reads as its letter.
    const QString text = event->text();
    const bool controlCharacter = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 32 || c.unicode() == 127;
    });
    if (!controlCharacter)
        return text;
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QChar letter = QChar(u'a' + (key - Qt::Key_A));
        return QString(event->modifiers() & Qt::ShiftModifier ? letter.toUpper() : letter);
    }
    return {};
}

namespace {

// One busy work while it runs: its thread and its abandon flag. Works started from inside another's
// wait (a timer's handler, say) run nested: the innermost is current, and names the one it is
// inside.
struct BusyWork {
    std::atomic<bool> abandoned{false};
    std::atomic<bool> returned{false}; // work returned; the thread ends at once
    std::thread worker;
    BusyWork* outer = nullptr;
};
BusyWork* currentBusyWork = nullptr;

// Drops the user's input to every window while installed. A request to close a window is no input
// to drop: it abandons the work and is taken: the window goes out of sight at once, and closes once
// the work returned.
class InputDropper : public QObject
{
public:
    explicit InputDropper(std::atomic<bool>& abandon) : abandon_(abandon) {}

    std::vector<QPointer<Window>> closeRequests;

    bool eventFilter(QObject* target, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            return takeCloseRequest(target, event);
        default:
            return false;
        }
    }

private:
    // A close request reaches the platform's window first, then the widget; either names the window.
    // Closes of anything but a window (a tool tip, a menu) go on as usual.
    bool takeCloseRequest(QObject* target, QEvent* event)
    {
        Window* window = qobject_cast<Window*>(target);
        if (const auto* handle = qobject_cast<QWindow*>(target)) {
            for (Window* open : Window::openWindows()) {
                if (open->windowHandle() == handle)
                    window = open;
            }
        }
        if (!window)
            return false;
        event->ignore();
        if (std::find(closeRequests.begin(), closeRequests.end(), window) == closeRequests.end())
            closeRequests.emplace_back(window);
        abandon_.store(true);
        window->hide();
        return true;
    }

    std::atomic<bool>& abandon_;
};

} // namespace

bool Window::runBusy(const std::function<void()>& work)
{
    BusyWork busy;
    InputDropper dropper(busy.abandoned);
    QEventLoop loop;
    bool ended = false; // the loop learnt that work returned
    std::exception_ptr failure;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(&dropper);
    try {
        busy.worker = std::thread([&] {
            busyAbandon_ = &busy.abandoned;
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            busyAbandon_ = nullptr;
            busy.returned.store(true);
            QMetaObject::invokeMethod(
                &loop,
                [&] {
                    ended = true;
                    loop.quit();
                },
                Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        qApp->removeEventFilter(&dropper);
        QGuiApplication::restoreOverrideCursor();
        throw;
    }
    busy.outer = std::exchange(currentBusyWork, &busy);
    loop.exec();
    // The loop ends before the work only when the program is to quit: it does not wait long for work
    // that does not stop.
    if (!ended && !abandonBusyWork(BusyWorkGraceMs))
        Application::endNow();
    if (busy.worker.joinable())
        busy.worker.join();
    currentBusyWork = busy.outer;
    // Input that reached the program while work ran but is not handled yet goes too.
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&dropper);
    QGuiApplication::restoreOverrideCursor();
    for (const QPointer<Window>& window : dropper.closeRequests) {
        if (window)
            window->Close();
    }
    if (busy.abandoned.load())
        return false;
    if (failure)
        std::rethrow_exception(failure); // on the thread that asked for the work, as if it had run there
    return true;
}

bool Window::abandonBusyWork(int graceMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    bool allReturned = true;
    for (BusyWork* busy = currentBusyWork; busy; busy = busy->outer) {
        busy->abandoned.store(true);
        while (!busy->returned.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!busy->returned.load())
            allReturned = false;
        else if (busy->worker.joinable())
            busy->worker.join();
    }
    return allReturned;
}

} // namespace fw
