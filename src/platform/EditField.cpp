#include "platform/EditField.h"

#include "platform/TextHelpers.h"
#include "platform/Window.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <limits>
#include <utility>

namespace fw {

// Routes Qt's input events of the field to its framework events; a handler returning true consumes.
class EditField::Filter : public QObject {
public:
    explicit Filter(EditField* owner)
        : owner_(owner)
    {
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (owner_->KeyDown)
                return owner_->KeyDown(*owner_, keyText(static_cast<QKeyEvent*>(event)));
            break;
        case QEvent::MouseButtonPress:
            if (owner_->MouseDown) {
                const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
                return owner_->MouseDown(*owner_, p.x(), p.y());
            }
            break;
        case QEvent::MouseMove:
            if (owner_->MouseMove) {
                const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
                owner_->MouseMove(*owner_, p.x(), p.y());
            }
            break;
        case QEvent::Wheel:
            if (owner_->MouseWheel) {
                auto* wheel = static_cast<QWheelEvent*>(event);
                const QPoint p = wheel->position().toPoint();
                const QPoint d = -wheel->angleDelta() / 120;
                return owner_->MouseWheel(*owner_, p.x(), p.y(), d.x(), d.y());
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    EditField* owner_;
};

EditField::EditField(bool multiLine)
    : multiLine_(multiLine)
    , filter_(std::make_unique<Filter>(this))
{
    if (multiLine_) {
        pane_ = new TextPane;
        setWidget(pane_);
        pane_->installEventFilter(filter_.get());
        pane_->viewport()->installEventFilter(filter_.get());
        pane_->viewport()->setMouseTracking(true);
        // The pane raises each once per call or user action, and a selection change only when its
        // start or end moved.
        QObject::connect(pane_, &TextPane::textChanged, pane_, [this] { raiseTextChange(); });
        QObject::connect(pane_, &TextPane::selectionChanged, pane_, [this] {
            if (SelChange)
                SelChange(*this);
        });
    } else {
        line_ = new QLineEdit;
        // A field takes text of any length, typed, pasted or set; QLineEdit would cut it at 32767.
        line_->setMaxLength(std::numeric_limits<int>::max());
        setWidget(line_);
        line_->installEventFilter(filter_.get());
        QObject::connect(line_, &QLineEdit::textChanged, line_, [this] {
            if (!settingText_ && TextChange)
                TextChange(*this);
        });
        QObject::connect(line_, &QLineEdit::selectionChanged, line_, [this] {
            if (SelChange)
                SelChange(*this);
        });
    }
}

EditField::~EditField()
{
    if (QWidget* w = widget()) {
        w->removeEventFilter(filter_.get());
        if (pane_)
            pane_->viewport()->removeEventFilter(filter_.get());
    }
}

QString EditField::Text() const
{
    return multiLine_ ? pane_->text() : line_->text();
}

void EditField::setText(const QString& text)
{
    if (multiLine_) {
        // The pane turns "\r\n" and "\r" into "\n" and raises TextChange itself.
        pane_->setText(text);
        return;
    }
    ++settingText_;
    line_->setText(text);
    --settingText_;
    raiseTextChange();
}

void EditField::AppendText(const QString& text)
{
    if (!multiLine_) {
        setText(line_->text() + text);
        return;
    }
    pane_->appendText(text);
}

void EditField::showSharedText(std::shared_ptr<const SharedText> text)
{
    if (multiLine_)
        pane_->showSharedText(std::move(text));
}

bool EditField::showsSharedText(const SharedText& text) const
{
    return multiLine_ && pane_->sharedText() == &text;
}

void EditField::raiseTextChange()
{
    if (TextChange)
        TextChange(*this);
}

int EditField::TextLength() const
{
    return multiLine_ ? pane_->charLength() : Len(line_->text());
}

// Single-line fields only: a multi-line field's pane converts positions itself.
int EditField::toUtf16(int charPos) const
{
    return charToUtf16Pos(line_->text(), charPos);
}

int EditField::toChar(int utf16Pos) const
{
    return utf16ToCharPos(line_->text(), utf16Pos);
}

int EditField::SelStart() const
{
    if (multiLine_)
        return pane_->selectionStart();
    return toChar(line_->hasSelectedText() ? line_->selectionStart() : line_->cursorPosition());
}

void EditField::setSelStart(int position)
{
    if (multiLine_) {
        const int pos = std::clamp(position, 0, pane_->charLength());
        pane_->setSelection(pos, pos);
        return;
    }
    line_->setCursorPosition(toUtf16(std::max(0, position)));
}

int EditField::SelLength() const
{
    if (multiLine_)
        return pane_->selectionLength();
    if (!line_->hasSelectedText())
        return 0;
    const int start = line_->selectionStart();
    return toChar(start + line_->selectedText().size()) - toChar(start);
}

void EditField::setSelLength(int length)
{
    const int startChar = SelStart();
    if (multiLine_) {
        const int endChar = int(std::min<qint64>(qint64(startChar) + std::max(0, length), pane_->charLength()));
        pane_->setSelection(startChar, endChar);
        return;
    }
    const int start = toUtf16(startChar);
    const int end = toUtf16(startChar + std::max(0, length));
    line_->setSelection(start, end - start);
}

QString EditField::SelText() const
{
    return multiLine_ ? pane_->selectedText() : line_->selectedText();
}

void EditField::setMask(const QString& mask)
{
    mask_ = mask;
    if (!line_)
        return;
    if (mask.isEmpty()) {
        line_->setValidator(nullptr);
        return;
    }
    const QRegularExpression digits(QStringLiteral("^[0-9]{0,%1}$").arg(mask.count(QLatin1Char('#'))));
    line_->setValidator(new QRegularExpressionValidator(digits, line_));
}

void EditField::setReadOnly(bool readOnly)
{
    if (multiLine_)
        pane_->setReadOnly(readOnly);
    else
        line_->setReadOnly(readOnly);
}

void EditField::setAlignment(int alignment)
{
    const Qt::Alignment a = alignment == 2 ? Qt::AlignHCenter : alignment == 3 ? Qt::AlignRight : Qt::AlignLeft;
    if (line_)
        line_->setAlignment(a | Qt::AlignVCenter);
}

void EditField::setBorder(bool border)
{
    if (line_)
        line_->setFrame(border);
    else
        pane_->setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
}

void EditField::setBackColor(QColor color)
{
    QPalette palette = widget()->palette();
    palette.setColor(QPalette::Base, color);
    widget()->setPalette(palette);
}

void EditField::applyTextColor()
{
    Control::applyTextColor();
}

int EditField::ScrollPosition() const
{
    return multiLine_ ? pane_->firstVisibleLine() : 0;
}

void EditField::setScrollPosition(int line)
{
    if (multiLine_)
        pane_->setFirstVisibleLine(line);
}

int EditField::LineNumAtCharPos(int position) const
{
    if (!multiLine_)
        return 0;
    return pane_->lineOfChar(std::max(0, position));
}

int EditField::TextSize() const
{
    return textSize_;
}

void EditField::setTextSize(int size)
{
    textSize_ = size;
    FontSpec spec = font();
    spec.size = size;
    setFont(spec);
}

void EditField::setStyleRun(int start, int length, const TextStyle& style)
{
    if (multiLine_)
        pane_->setStyleRun(start, length, style);
}

void EditField::setWrap(bool)
{
}

} // namespace fw
