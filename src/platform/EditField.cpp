#include "platform/EditField.h"

#include "platform/TextHelpers.h"
#include "platform/Window.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
        text_ = new QPlainTextEdit;
        text_->setLineWrapMode(QPlainTextEdit::NoWrap);
        index_ = std::make_unique<CharIndex>();
        setWidget(text_);
        text_->installEventFilter(filter_.get());
        text_->viewport()->installEventFilter(filter_.get());
        text_->viewport()->setMouseTracking(true);
        QObject::connect(text_, &QPlainTextEdit::textChanged, text_, [this] {
            if (settingText_)
                return;
            index_->reset(text_->toPlainText());
            if (TextChange)
                TextChange(*this);
        });
        // A caret moved without selecting changes the selection too (its start), so both signals count.
        auto selectionMoved = [this] {
            const QTextCursor cursor = text_->textCursor();
            const std::pair<int, int> now{cursor.selectionStart(), cursor.selectionEnd()};
            if (now == lastSelection_)
                return;
            lastSelection_ = now;
            if (SelChange)
                SelChange(*this);
        };
        QObject::connect(text_, &QPlainTextEdit::selectionChanged, text_, selectionMoved);
        QObject::connect(text_, &QPlainTextEdit::cursorPositionChanged, text_, selectionMoved);
    } else {
        line_ = new QLineEdit;
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
        if (text_)
            text_->viewport()->removeEventFilter(filter_.get());
    }
}

QString EditField::Text() const
{
    return multiLine_ ? text_->toPlainText() : line_->text();
}

namespace {

// The document of a multi-line field keeps "\r\n" and "\r" as line ends of its own, which read back
// as "\n"; handing it "\n" only keeps its text and the character index in step.
QString unifiedLineEnds(const QString& text)
{
    if (!text.contains(QLatin1Char('\r')))
        return text;
    QString unified = text;
    unified.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    unified.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return unified;
}

} // namespace

void EditField::setText(const QString& text)
{
    ++settingText_;
    if (multiLine_) {
        const QString unified = unifiedLineEnds(text);
        text_->setPlainText(unified);
        index_->reset(unified);
    } else {
        line_->setText(text);
    }
    --settingText_;
    raiseTextChange();
}

void EditField::AppendText(const QString& text)
{
    if (!multiLine_) {
        setText(line_->text() + text);
        return;
    }
    if (text.isEmpty())
        return;
    const QString unified = unifiedLineEnds(text);
    ++settingText_;
    QTextCursor cursor(text_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(unified);
    index_->append(unified);
    --settingText_;
    raiseTextChange();
}

void EditField::raiseTextChange()
{
    if (TextChange)
        TextChange(*this);
}

int EditField::TextLength() const
{
    return multiLine_ ? index_->charLength() : Len(line_->text());
}

int EditField::toUtf16(int charPos) const
{
    return multiLine_ ? index_->toUtf16(charPos) : charToUtf16Pos(line_->text(), charPos);
}

int EditField::toChar(int utf16Pos) const
{
    return multiLine_ ? index_->toChar(utf16Pos) : utf16ToCharPos(line_->text(), utf16Pos);
}

int EditField::SelStart() const
{
    if (multiLine_)
        return toChar(text_->textCursor().selectionStart());
    return toChar(line_->hasSelectedText() ? line_->selectionStart() : line_->cursorPosition());
}

void EditField::setSelStart(int position)
{
    const int pos = toUtf16(std::max(0, position));
    if (multiLine_) {
        QTextCursor cursor = text_->textCursor();
        cursor.setPosition(std::min(pos, text_->document()->characterCount() - 1));
        text_->setTextCursor(cursor);
    } else {
        line_->setCursorPosition(pos);
    }
}

int EditField::SelLength() const
{
    if (multiLine_) {
        const QTextCursor cursor = text_->textCursor();
        return toChar(cursor.selectionEnd()) - toChar(cursor.selectionStart());
    }
    if (!line_->hasSelectedText())
        return 0;
    const int start = line_->selectionStart();
    return toChar(start + line_->selectedText().size()) - toChar(start);
}

void EditField::setSelLength(int length)
{
    const int startChar = SelStart();
    const int start = toUtf16(startChar);
    const int end = toUtf16(startChar + std::max(0, length));
    if (multiLine_) {
        QTextCursor cursor = text_->textCursor();
        const int last = text_->document()->characterCount() - 1;
        cursor.setPosition(std::min(start, last));
        cursor.setPosition(std::min(end, last), QTextCursor::KeepAnchor);
        text_->setTextCursor(cursor);
    } else {
        line_->setSelection(start, end - start);
    }
}

QString EditField::SelText() const
{
    return multiLine_ ? text_->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'))
                      : line_->selectedText();
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
        text_->setReadOnly(readOnly);
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
        text_->setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
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
    return multiLine_ ? text_->verticalScrollBar()->value() : 0;
}

void EditField::setScrollPosition(int line)
{
    if (multiLine_)
        text_->verticalScrollBar()->setValue(line);
}

int EditField::LineNumAtCharPos(int position) const
{
    if (!multiLine_)
        return 0;
    return text_->document()->findBlock(toUtf16(std::max(0, position))).blockNumber();
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
    if (!multiLine_ || length <= 0)
        return;
    QTextCharFormat format;
    format.setFontWeight(style.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(style.italic);
    format.setFontUnderline(style.underline);
    format.setForeground(style.color);
    if (style.size > 0)
        format.setFontPointSize(style.size);
    ++settingText_;
    QTextCursor cursor(text_->document());
    cursor.setPosition(toUtf16(start));
    cursor.setPosition(toUtf16(start + length), QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
    --settingText_;
}

void EditField::setWrap(bool wrap)
{
    if (multiLine_)
        text_->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

} // namespace fw
