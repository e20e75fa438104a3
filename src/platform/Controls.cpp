#include "platform/Controls.h"

#include "platform/Graphics.h"
#include "platform/Window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>
#include <vector>

namespace fw {

namespace {

// Qt takes "&" in a button's or a group's caption as a shortcut marker; captions are shown as typed.
QString shownAsTyped(const QString& caption)
{
    QString shown = caption;
    return shown.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString asTyped(const QString& shown)
{
    QString caption = shown;
    return caption.replace(QLatin1String("&&"), QLatin1String("&"));
}

// Widgets whose painting is delegated to their control.
class PaintWidget : public QWidget {
public:
    explicit PaintWidget(std::function<void(QPainter&)> paint)
        : paint_(std::move(paint))
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paint_(painter);
    }

private:
    std::function<void(QPainter&)> paint_;
};

// text as it fits room pixels: whole when it fits, else cut with "…". Only what can show is measured
// (a printable character is at least a pixel wide and two UTF-16 units at most), so the cost is the
// room, not the length of the text; a surrogate pair is never cut.
QString fittedText(const QString& text, const QFontMetrics& metrics, int room)
{
    room = std::max(0, room);
    const qsizetype limit = 2 * qsizetype(std::max(room, 8));
    QString shown = text;
    if (shown.size() > limit)
        shown = Control::cutWithEllipsis(text, limit);
    if (metrics.horizontalAdvance(shown) > room)
        shown = metrics.elidedText(shown, Qt::ElideRight, room);
    return shown;
}

// A menu that scrolls when it is taller than the screen and whose highlighted row is always one the
// user sees, since Return and Enter act on that row. A scroll (the wheel, or the pointer resting on a
// scroll arrow) that takes the highlighted row out of sight leaves no row highlighted; a key that
// highlights a row out of sight brings it into view. With no row highlighted, Return and Enter do
// nothing, Up takes the last row and Down the first, and PageUp and PageDown page as they do from a
// highlighted row.
class ScrollingMenu : public QMenu {
public:
    using QMenu::QMenu;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const int key = event->key();
        const bool spaceActs = style()->styleHint(QStyle::SH_Menu_SpaceActivatesItem, nullptr, this);
        const bool acts = key == Qt::Key_Return || key == Qt::Key_Enter || (key == Qt::Key_Space && spaceActs);
        if (acts && (!activeAction() || !inSight(activeAction()))) {
            if (activeAction())
                bringIntoView(activeAction()); // the next Return acts on it
            event->accept();
            return;
        }
        if (!activeAction() && (key == Qt::Key_PageUp || key == Qt::Key_PageDown)) {
            // Qt pages only from a highlighted row, to a place that does not depend on which row that
            // is. With none, its Return highlights a row near the top without scrolling or acting.
            QKeyEvent highlight(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QMenu::keyPressEvent(&highlight);
        }
        QMenu::keyPressEvent(event);
        if (isVisible() && activeAction() && !inSight(activeAction()))
            bringIntoView(activeAction());
    }
    void wheelEvent(QWheelEvent* event) override
    {
        QMenu::wheelEvent(event);
        dropHighlightOutOfSight();
    }
    void timerEvent(QTimerEvent* event) override
    {
        QMenu::timerEvent(event);
        dropHighlightOutOfSight();
    }

private:
    void dropHighlightOutOfSight()
    {
        if (activeAction() && !inSight(activeAction()))
            setActiveAction(nullptr);
    }

    // A row that shows in part (Qt pages a row to an end where the scroll arrow then covers it) moves
    // in by the wheel's step, a row at a time; one farther away, or one the steps do not bring in,
    // goes to the middle, or as near it as the ends allow.
    void bringIntoView(QAction* action)
    {
        const QPointF middle = QRectF(rect()).center();
        for (int step = 0; step < 2 && !inSight(action) && actionGeometry(action).intersects(rect()); ++step) {
            const bool towardsTop = actionGeometry(action).center().y() < height() / 2;
            QWheelEvent notch(middle, mapToGlobal(middle), QPoint(), QPoint(0, towardsTop ? 120 : -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QMenu::wheelEvent(&notch);
        }
        if (!inSight(action))
            setActiveAction(action);
    }

    // Whether the whole row shows: inside the frame and its margins, and clear of the scroll arrows,
    // which stand over the rows at an end beyond which more rows lie.
    bool inSight(QAction* action) const
    {
        const QRect row = actionGeometry(action);
        if (row.isEmpty())
            return false;
        const int edge = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this)
                         + style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, this);
        const int arrow = style()->pixelMetric(QStyle::PM_MenuScrollerHeight, nullptr, this);
        const QList<QAction*> rows = actions();
        const auto laidOut = [this](QAction* a) { return !actionGeometry(a).isEmpty(); };
        const auto first = std::find_if(rows.begin(), rows.end(), laidOut);
        const auto last = std::find_if(rows.rbegin(), rows.rend(), laidOut);
        const bool moreAbove = first != rows.end() && actionGeometry(*first).top() < edge;
        const bool moreBelow = last != rows.rend() && actionGeometry(*last).bottom() >= height() - edge;
        const int top = edge + (moreAbove ? arrow : 0);
        const int bottom = height() - edge - (moreBelow ? arrow : 0); // first pixel row below the view
        return row.top() >= top && row.bottom() < bottom;
    }
};

} // namespace

// A push button as the framework has it. Return follows the window (see Window): a focused button
// presses itself on Return only where its window has a default button, and the style draws as the
// default the button that Return would press there. A caption too wide for the button is drawn cut
// with "…"; the button keeps it whole. A button that carries a menu shows the platform's drop-down
// indicator.
class ButtonWidget : public QPushButton {
public:
    ButtonWidget() { setAutoDefault(false); }
    void setDropDown(bool dropDown)
    {
        if (dropDown_ == dropDown)
            return;
        dropDown_ = dropDown;
        update();
    }
    void setCaption(const QString& caption)
    {
        caption_ = caption;
        setText(shownAsTyped(caption));
    }
    const QString& caption() const { return caption_; }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool returnKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (returnKey && !(event->modifiers() & ~Qt::KeypadModifier)) {
            if (hasDefaultButton()) {
                event->accept();
                click();
            } else {
                event->ignore();
            }
            return;
        }
        QPushButton::keyPressEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override
    {
        QPushButton::focusInEvent(event);
        updateDefaultLook();
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QPushButton::focusOutEvent(event);
        updateDefaultLook();
    }
    void initStyleOption(QStyleOptionButton* option) const override
    {
        QPushButton::initStyleOption(option);
        if (dropDown_)
            option->features |= QStyleOptionButton::HasMenu;
        if (hasDefaultButton()) {
            option->features &= ~QStyleOptionButton::DefaultButton;
            if (answersReturn())
                option->features |= QStyleOptionButton::DefaultButton;
        }
        option->text = shownCaption(*option);
    }

private:
    Window* ownWindow() const { return qobject_cast<Window*>(window()); }
    bool hasDefaultButton() const
    {
        const Window* w = ownWindow();
        return w && w->defaultButton();
    }
    // In a window with a default button: true for the button that Return would press now.
    bool answersReturn() const
    {
        const Window* w = ownWindow();
        const QWidget* focus = w->focusWidget();
        if (qobject_cast<const QPushButton*>(focus))
            return focus == this;
        return w->defaultButton()->widget() == this;
    }
    // The focus moving between a button and another control changes which button looks the default.
    void updateDefaultLook()
    {
        update();
        if (hasDefaultButton())
            ownWindow()->defaultButton()->widget()->update();
    }
    // The caption as it fits the room the style gives it.
    QString shownCaption(const QStyleOptionButton& option) const
    {
        int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
        if (option.features & QStyleOptionButton::HasMenu)
            room -= style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, this);
        room = std::max(0, room - 4);
        const QString shown = fittedText(caption_, QFontMetrics(option.fontMetrics), room);
        return shownAsTyped(shown);
    }

    QString caption_;
    bool dropDown_ = false;
};

// A label that draws a text too wide or too tall for it in a smaller font, the largest that shows it
// whole, and in its own font again once the text fits. Wrapped labels keep their own font.
class FitLabel : public QLabel {
public:
    void setOwnFont(const QFont& font)
    {
        own_ = font;
        fit();
    }
    void setLabelText(const QString& text)
    {
        setText(text);
        fit();
    }
    void setWrap(bool wrap)
    {
        setWordWrap(wrap);
        fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    // A few measurements of the label's own short text.
    void fit()
    {
        QFont font = own_;
        const QSize room = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin())).size();
        if (!wordWrap() && !text().isEmpty() && room.width() > 0 && room.height() > 0) {
            font = Control::shrunkToFit(font, [&](const QFont& f) {
                const QSize needed = QFontMetrics(f).size(0, text());
                return std::min(double(room.width()) / needed.width(), double(room.height()) / needed.height());
            });
        }
        if (this->font() != font)
            setFont(font);
    }

    QFont own_;
};

// ---- StaticText

StaticText::StaticText()
    : label_(new FitLabel)
{
    label_->setTextFormat(Qt::PlainText);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setWidget(label_);
}

QString StaticText::Text() const
{
    return label_->text();
}

void StaticText::setText(const QString& text)
{
    label_->setLabelText(text);
}

void StaticText::applyFont()
{
    label_->setOwnFont(qtFont(font(), QApplication::font()));
}

void StaticText::setTextAlign(int align)
{
    Qt::Alignment horizontal = align == 1 ? Qt::AlignHCenter : align == 2 ? Qt::AlignRight : Qt::AlignLeft;
    label_->setAlignment(horizontal | Qt::AlignTop);
}

void StaticText::setMultiLine(bool multiLine)
{
    label_->setWrap(multiLine);
}

// ---- PushButton

PushButton::PushButton()
    : button_(new ButtonWidget)
{
    setWidget(button_);
    QObject::connect(button_, &QPushButton::clicked, button_, [this] {
        if (Action)
            Action(*this);
    });
}

QString PushButton::Caption() const
{
    return button_->caption();
}

void PushButton::setCaption(const QString& caption)
{
    button_->setCaption(caption);
}

void PushButton::Push()
{
    if (clickable() && Action)
        Action(*this);
}

// ---- CheckBox

CheckBox::CheckBox()
    : box_(new QCheckBox)
{
    setWidget(box_);
    QObject::connect(box_, &QCheckBox::toggled, box_, [this] {
        if (!settingValue_ && Action)
            Action(*this);
    });
}

QString CheckBox::Caption() const
{
    return asTyped(box_->text());
}

void CheckBox::setCaption(const QString& caption)
{
    box_->setText(shownAsTyped(caption));
}

bool CheckBox::Value() const
{
    return box_->isChecked();
}

void CheckBox::setValue(bool value)
{
    settingValue_ = true;
    box_->setChecked(value);
    settingValue_ = false;
    if (Action)
        Action(*this);
}

// ---- GroupBox

GroupBox::GroupBox()
    : group_(new QGroupBox)
{
    setWidget(group_);
}

QString GroupBox::Caption() const
{
    return asTyped(group_->title());
}

void GroupBox::setCaption(const QString& caption)
{
    group_->setTitle(shownAsTyped(caption));
}

// ---- Canvas

Canvas::Canvas()
{
    setWidget(new PaintWidget([this](QPainter& painter) {
        Graphics g(painter, widget()->width(), widget()->height());
        Paint(g);
    }));
    widget()->setFocusPolicy(Qt::NoFocus);
}

void Canvas::Paint(Graphics& g)
{
    if (onPaint)
        onPaint(*this, g);
}

// ---- Rectangle

Rectangle::Rectangle()
{
    setWidget(new PaintWidget([this](QPainter& painter) {
        const QRect area = widget()->rect();
        if (fillColor.isValid())
            painter.fillRect(area, fillColor);
        if (borderWidth > 0) {
            const int b = borderWidth;
            painter.fillRect(0, 0, area.width(), b, borderTopLeft);
            painter.fillRect(0, 0, b, area.height(), borderTopLeft);
            painter.fillRect(0, area.height() - b, area.width(), b, borderBottomRight);
            painter.fillRect(area.width() - b, 0, b, area.height(), borderBottomRight);
        }
    }));
}

void Rectangle::setFillColor(QColor color)
{
    fillColor = color;
    widget()->update();
}

void Rectangle::setBorder(int width, QColor topLeft, QColor bottomRight)
{
    borderWidth = width;
    borderTopLeft = topLeft;
    borderBottomRight = bottomRight;
    widget()->update();
}

// ---- Line

Line::Line()
{
    setWidget(new PaintWidget([this](QPainter& painter) {
        painter.setPen(QPen(LineColor, BorderWidth, Qt::SolidLine, Qt::FlatCap));
        const int half = BorderWidth / 2;
        painter.drawLine(X1 - Left() + half, Y1 - Top() + half, X2 - Left() + half, Y2 - Top() + half);
    }));
    widget()->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Line::setLine(int x1, int y1, int x2, int y2, int borderWidth, QColor color)
{
    X1 = x1;
    Y1 = y1;
    X2 = x2;
    Y2 = y2;
    BorderWidth = std::max(1, borderWidth);
    LineColor = color;
    setBounds(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + BorderWidth, std::abs(y2 - y1) + BorderWidth);
}

// ---- Timer

Timer::Timer()
    : timer_(new QTimer)
{
    QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
        if (mode_ == 1)
            setMode(0);
        // A window that has closed stops its timers.
        if (window() && window()->isClosed()) {
            setMode(0);
            return;
        }
        if (Action)
            Action(*this);
    });
    restart();
}

Timer::~Timer()
{
    delete timer_;
}

void Timer::setMode(int mode)
{
    mode_ = mode;
    restart();
}

void Timer::setPeriod(int periodMs)
{
    period_ = periodMs;
    restart();
}

void Timer::restart()
{
    timer_->stop();
    if (mode_ == 0)
        return;
    timer_->setSingleShot(mode_ == 1);
    timer_->start(period_);
}

// ---- PopupMenu

PopupMenu::PopupMenu()
    : combo_(new QComboBox)
{
    setWidget(combo_);
    QObject::connect(combo_, &QComboBox::currentIndexChanged, combo_, [this] {
        if (!settingValue_ && Change)
            Change(*this);
    });
}

void PopupMenu::AddRow(const QString& text)
{
    settingValue_ = true;
    combo_->addItem(text);
    settingValue_ = false;
    tags_.emplace_back();
}

int PopupMenu::ListCount() const
{
    return combo_->count();
}

QString PopupMenu::List(int row) const
{
    return combo_->itemText(row);
}

QString PopupMenu::Text() const
{
    return combo_->currentText();
}

int PopupMenu::ListIndex() const
{
    return combo_->currentIndex();
}

void PopupMenu::setListIndex(int row)
{
    settingValue_ = true;
    combo_->setCurrentIndex(row);
    settingValue_ = false;
    if (Change)
        Change(*this);
}

const std::any& PopupMenu::RowTag(int row) const
{
    static const std::any none;
    return row >= 0 && row < int(tags_.size()) ? tags_[size_t(row)] : none;
}

void PopupMenu::setRowTag(int row, std::any tag)
{
    if (row >= 0 && row < int(tags_.size()))
        tags_[size_t(row)] = std::move(tag);
}

// ---- PagePanel

PagePanel::PagePanel()
    : stack_(new QStackedWidget)
{
    setWidget(stack_);
    setPanelCount(1);
}

int PagePanel::PanelCount() const
{
    return stack_->count();
}

void PagePanel::setPanelCount(int count)
{
    while (stack_->count() < count)
        stack_->addWidget(new QWidget);
    while (stack_->count() > std::max(1, count)) {
        QWidget* page = stack_->widget(stack_->count() - 1);
        stack_->removeWidget(page);
        delete page;
    }
}

int PagePanel::Value() const
{
    return stack_->currentIndex();
}

void PagePanel::setValue(int page)
{
    if (page >= 0 && page < stack_->count())
        stack_->setCurrentIndex(page);
}

QWidget* PagePanel::childContainer(int page) const
{
    return stack_->widget(std::clamp(page, 0, stack_->count() - 1));
}

// ---- Slider

Slider::Slider()
    : slider_(new QSlider(Qt::Horizontal))
{
    setWidget(slider_);
    QObject::connect(slider_, &QSlider::valueChanged, slider_, [this] {
        if (!settingValue_ && ValueChanged)
            ValueChanged(*this);
    });
}

int Slider::Minimum() const
{
    return slider_->minimum();
}

void Slider::setMinimum(int value)
{
    settingValue_ = true;
    slider_->setMinimum(value);
    settingValue_ = false;
}

int Slider::Maximum() const
{
    return slider_->maximum();
}

void Slider::setMaximum(int value)
{
    // A value clamped by a new range changes silently; only assignments raise ValueChanged.
    settingValue_ = true;
    slider_->setMaximum(value);
    settingValue_ = false;
}

int Slider::Value() const
{
    return slider_->value();
}

void Slider::setValue(int value)
{
    settingValue_ = true;
    slider_->setValue(value);
    settingValue_ = false;
    if (ValueChanged)
        ValueChanged(*this);
}

void Slider::setLineStep(int step)
{
    slider_->setSingleStep(step);
}

void Slider::setPageStep(int step)
{
    slider_->setPageStep(step);
}

void Slider::setLiveScroll(bool live)
{
    slider_->setTracking(live);
}

// ---- UpDownArrows

UpDownArrows::UpDownArrows()
    : up_(new QToolButton)
    , down_(new QToolButton)
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setAutoRepeat(true);
        layout->addWidget(b);
    }
    box->setFocusPolicy(Qt::NoFocus);
    setWidget(box);
    QObject::connect(up_, &QToolButton::clicked, box, [this] { PressUp(); });
    QObject::connect(down_, &QToolButton::clicked, box, [this] { PressDown(); });
}

void UpDownArrows::setArrowNames(const QString& up, const QString& down)
{
    up_->setAccessibleName(up);
    down_->setAccessibleName(down);
}

void UpDownArrows::PressUp()
{
    if (clickable() && Up)
        Up(*this);
}

void UpDownArrows::PressDown()
{
    if (clickable() && Down)
        Down(*this);
}

// ---- BevelButton

BevelButton::BevelButton()
    : button_(new ButtonWidget)
{
    setWidget(button_);
    QObject::connect(button_, &QPushButton::clicked, button_, [this] { clicked(); });
}

QString BevelButton::Caption() const
{
    return button_->caption();
}

void BevelButton::setCaption(const QString& caption)
{
    button_->setCaption(caption);
}

void BevelButton::setHasMenu(int kind)
{
    hasMenu_ = kind;
    button_->setDropDown(kind != 0);
}

void BevelButton::setCaptionAlign(int align)
{
    captionAlign_ = align;
    const char* alignment = align == 0 ? "left" : align == 2 ? "right" : "center";
    button_->setStyleSheet(QStringLiteral("QPushButton { text-align: %1; padding: 0 6px; }").arg(QLatin1String(alignment)));
}

void BevelButton::AddRow(const QString& text)
{
    menuRows_.push_back({text, false});
}

void BevelButton::AddSeparator()
{
    menuRows_.push_back({QString(), true});
}

void BevelButton::InsertRow(int row, const QString& text)
{
    menuRows_.insert(menuRows_.begin() + std::clamp(row, 0, int(menuRows_.size())), {text, false});
}

bool BevelButton::isSeparator(int row) const
{
    return row >= 0 && row < int(menuRows_.size()) && menuRows_[size_t(row)].separator;
}

void BevelButton::DeleteAllRows()
{
    menuRows_.clear();
}

QString BevelButton::MenuRow(int row) const
{
    return row >= 0 && row < int(menuRows_.size()) ? menuRows_[size_t(row)].text : QString();
}

void BevelButton::Push(int menuRow)
{
    if (!clickable())
        return;
    if (hasMenu_ != 0 && !menuRows_.empty()) {
        if (menuRow < 0 || menuRow >= int(menuRows_.size()) || isSeparator(menuRow))
            return;
        menuValue_ = menuRow;
    }
    if (Action)
        Action(*this);
}

void BevelButton::clicked()
{
    if (hasMenu_ == 0 || menuRows_.empty()) {
        Push();
        return;
    }
    // The menu, its frame and the rows' own margins included, is as wide as the button, or a third of
    // the screen where that is wider; a longer row is cut with "…" (the row keeps its whole text). The
    // rows stay in one column however many there are: a menu taller than the screen scrolls, as the
    // desktop's menus do, where Qt would otherwise split it into columns that no width could hold.
    ScrollingMenu menu(button_);
    // The menu takes the rule when its style changes, and only once it is polished.
    menu.ensurePolished();
    menu.setStyleSheet(QStringLiteral("QMenu { menu-scrollable: 1; }"));
    const QScreen* screen = button_->screen();
    const int room = std::max(button_->width(), screen ? screen->availableGeometry().width() / 3 : 400);
    const QFontMetrics metrics(menu.font());
    // A tab would start the menu's shortcut column: it shows as a blank. Only the part of the row that
    // can show is looked at (see fittedText), so a long row costs the room, not its length.
    const auto shown = [&metrics](const QString& text, int textRoom) {
        QString head = text.left(2 * qsizetype(std::max(textRoom, 8)) + 1);
        head.replace(QLatin1Char('\t'), QLatin1Char(' '));
        return shownAsTyped(fittedText(head, metrics, textRoom));
    };
    std::vector<std::pair<QAction*, const QString*>> texts;
    for (int row = 0; row < int(menuRows_.size()); ++row) {
        if (isSeparator(row)) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(shown(menuRows_[size_t(row)].text, room));
        action->setData(row);
        texts.emplace_back(action, &menuRows_[size_t(row)].text);
    }
    // What the menu adds around the text is the style's: taken from the menu as laid out, and taken
    // off the room of the text until the whole menu fits (once, unless rounding leaves a pixel over).
    for (int textRoom = room, pass = 0; pass < 3 && menu.sizeHint().width() > room && textRoom > 0; ++pass) {
        textRoom -= menu.sizeHint().width() - room;
        for (const auto& [action, text] : texts)
            action->setText(shown(*text, textRoom));
    }
    if (QAction* chosen = menu.exec(button_->mapToGlobal(QPoint(0, button_->height()))))
        Push(chosen->data().toInt());
}

// ---- ProgressBar

ProgressBar::ProgressBar()
    : bar_(new QProgressBar)
{
    bar_->setTextVisible(false);
    bar_->setRange(0, 100);
    setWidget(bar_);
}

int ProgressBar::Value() const
{
    return bar_->value();
}

void ProgressBar::setValue(int value)
{
    bar_->setValue(value);
}

int ProgressBar::Maximum() const
{
    return bar_->maximum();
}

void ProgressBar::setMaximum(int value)
{
    bar_->setRange(0, value);
}

} // namespace fw
