#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

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

} // namespace

Window::Window()
    : QWidget(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
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
    control->attach(this, name, index, parent, page);
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
    show();
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

void Window::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    // A focused button takes Return for itself (a check box leaves it unanswered); the default button
    // answers Return from the other controls.
    const bool fromButton = qobject_cast<QAbstractButton*>(QApplication::focusWidget()) != nullptr;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !fromButton && defaultButton_ && defaultButton_->Enabled()
        && defaultButton_->Visible()) {
        defaultButton_->Push();
        return;
    }
    if (key == Qt::Key_Escape && cancelButton_ && cancelButton_->Enabled() && cancelButton_->Visible()) {
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

QString keyText(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return: return QString(QChar(13));
    case Qt::Key_Enter: return QString(QChar(3));
    case Qt::Key_Escape: return QString(QChar(27));
    case Qt::Key_Tab: return QString(QChar(9));
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

} // namespace fw
