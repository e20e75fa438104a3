#include "platform/EditField.h"

#include "platform/TextHelpers.h"
#include "platform/Window.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <utility>

namespace fw {

namespace {

// Longest text a field that shows its text whole fits by its font; a longer one scrolls.
constexpr qsizetype kLongestFittedText = 64;

// Margin of a text that takes the whole width inside the frame: a pixel, so that no digit touches the
// frame's focus line.
constexpr int kWholeWidthMargin = 1;

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

// Routes Qt's input events of the field to its framework events; a handler returning true consumes.
// The filter watches the pane and its viewport: an event the viewport leaves unhandled goes on to the
// pane, so an event is raised where it first arrives, once.
class EditField::Filter : public QObject {
public:
    explicit Filter(EditField* owner)
        : owner_(owner)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A pane being destroyed is a TextPane no more, and its focus leaving then fits nothing.
        if (!qobject_cast<const TextPane*>(static_cast<const QObject*>(owner_->pane_)))
            return false;
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (owner_->KeyDown && !isModifierKey(key->key()))
                return owner_->KeyDown(*owner_, keyText(key));
            break;
        }
        case QEvent::MouseButtonPress:
            if (owner_->MouseDown && !cameThroughViewport(watched, static_cast<QMouseEvent*>(event)->position())) {
                const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
                return owner_->MouseDown(*owner_, p.x(), p.y());
            }
            break;
        case QEvent::MouseMove:
            if (owner_->MouseMove && !cameThroughViewport(watched, static_cast<QMouseEvent*>(event)->position())) {
                const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
                owner_->MouseMove(*owner_, p.x(), p.y());
            }
            break;
        case QEvent::Wheel:
            if (owner_->MouseWheel && !cameThroughViewport(watched, static_cast<QWheelEvent*>(event)->position())) {
                auto* wheel = static_cast<QWheelEvent*>(event);
                const QPoint p = wheel->position().toPoint();
                const QPoint d = -wheel->angleDelta() / 120;
                return owner_->MouseWheel(*owner_, p.x(), p.y(), d.x(), d.y());
            }
            break;
        case QEvent::Resize:
            if (watched == owner_->pane_->viewport())
                owner_->fitFont();
            break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            // The focus may change the frame the style draws, and with it the room for the text.
            if (watched == owner_->pane_ && owner_->showWhole_)
                owner_->fitFont();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // True for a pointer event at the pane that the viewport already saw and left unhandled: its
    // position, now in the pane's coordinates, lies on the viewport.
    bool cameThroughViewport(QObject* watched, QPointF position) const
    {
        const QWidget* viewport = owner_->pane_->viewport();
        return watched == owner_->pane_ && viewport->geometry().contains(position.toPoint());
    }

    EditField* owner_;
};

EditField::EditField(bool multiLine)
    : multiLine_(multiLine)
    , filter_(std::make_unique<Filter>(this))
{
    pane_ = new TextPane;
    pane_->setSingleLine(!multiLine_);
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
}

EditField::~EditField()
{
    if (widget()) {
        pane_->removeEventFilter(filter_.get());
        pane_->viewport()->removeEventFilter(filter_.get());
    }
}

QString EditField::Text() const
{
    return pane_->text();
}

void EditField::setText(const QString& text)
{
    // The pane raises TextChange itself; a multi-line pane turns "\r\n" and "\r" into "\n".
    pane_->setText(text);
}

void EditField::AppendText(const QString& text)
{
    if (!multiLine_) {
        setText(pane_->text() + text);
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
    if (showWhole_)
        fitFont();
    if (TextChange)
        TextChange(*this);
}

int EditField::TextLength() const
{
    return pane_->charLength();
}

int EditField::SelStart() const
{
    return pane_->selectionStart();
}

void EditField::setSelStart(int position)
{
    const int pos = std::clamp(position, 0, pane_->charLength());
    pane_->setSelection(pos, pos);
}

int EditField::SelLength() const
{
    return pane_->selectionLength();
}

void EditField::setSelLength(int length)
{
    const int startChar = SelStart();
    const int endChar = int(std::min<qint64>(qint64(startChar) + std::max(0, length), pane_->charLength()));
    pane_->setSelection(startChar, endChar);
}

QString EditField::SelText() const
{
    return pane_->selectedText();
}

void EditField::setMask(const QString& mask)
{
    mask_ = mask;
    maskDigits_ = int(mask.count(QLatin1Char('#')));
    const bool masked = !mask.isEmpty() && !multiLine_;
    if (masked) {
        pane_->setEditFilter([this](int from, int to, const QString& with) { return maskAllows(from, to, with); });
        pane_->setIncomingFilter([this](int from, int to, const QString& text) { return maskKept(from, to, text); });
    } else {
        pane_->setEditFilter(nullptr);
        pane_->setIncomingFilter(nullptr);
    }
    // Input methods offer digits only, as many as the mask has places.
    pane_->setInputMethodHints(masked ? Qt::ImhDigitsOnly : Qt::ImhNone);
    pane_->setMaxLength(masked ? maskDigits_ : -1);
}

// An edit is taken when the text it leaves holds nothing but decimal digits, at most one per "#".
// The length is checked first, so the digits looked at never outnumber the mask's places.
bool EditField::maskAllows(int from, int to, const QString& with) const
{
    const int length = pane_->charLength() - (to - from) + Len(with);
    if (length > maskDigits_)
        return false;
    const auto digits = [](QStringView part) { return std::all_of(part.begin(), part.end(), isDecimalDigit); };
    const QString& text = pane_->text();
    const int unitFrom = charToUtf16Pos(text, from);
    const int unitTo = charToUtf16Pos(text, to);
    return digits(with) && digits(QStringView(text).first(unitFrom)) && digits(QStringView(text).sliced(unitTo));
}

// Text from outside keeps its decimal digits, as many as the places the edit leaves free, as a
// masked line edit takes a paste: a number copied with a line end or blanks around it goes in, a
// letter never does. The walk stops once the places are filled.
QString EditField::maskKept(int from, int to, const QString& text) const
{
    const qsizetype room = maskDigits_ - (pane_->charLength() - (to - from));
    QString kept;
    for (qsizetype i = 0; i < text.size() && kept.size() < room; ++i) {
        if (isDecimalDigit(text[i]))
            kept += text[i];
    }
    return kept;
}

void EditField::setReadOnly(bool readOnly)
{
    pane_->setReadOnly(readOnly);
}

void EditField::setAlignment(int alignment)
{
    pane_->setAlignment(alignment == 2 ? Qt::AlignHCenter : alignment == 3 ? Qt::AlignRight : Qt::AlignLeft);
}

void EditField::setBorder(bool border)
{
    if (multiLine_)
        pane_->setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
    else
        pane_->setLineFrame(border);
}

void EditField::setBackColor(QColor color)
{
    // Disabled, the field takes the style's disabled background, as the desktop's line edit does.
    QPalette palette = widget()->palette();
    palette.setColor(QPalette::Active, QPalette::Base, color);
    palette.setColor(QPalette::Inactive, QPalette::Base, color);
    widget()->setPalette(palette);
}

void EditField::applyTextColor()
{
    Control::applyTextColor();
}

void EditField::applyFont()
{
    fitFont();
}

void EditField::setShowWhole(bool whole)
{
    showWhole_ = whole && !multiLine_;
    fitFont();
}

// The field's own font with its standard margins, or for a field that shows its text whole and a short
// text too wide for them, the whole width inside the frame (less kWholeWidthMargin), and where the text
// is too wide for that too, the largest narrower font that fits it: a narrower stretch of the same
// family first, then a smaller size. Each try is measured by the pane as it lays the text out and
// scrolls it, so a text found to fit is one the pane shows whole, from its first character, and one
// that fits in the field's own font keeps it. A few tries for a text of at most kLongestFittedText
// units.
void EditField::fitFont()
{
    const QFont own = qtFont(font(), QApplication::font());
    const auto use = [this](const QFont& f) {
        if (pane_->font() != f)
            pane_->setFont(f);
    };
    const auto width = [this](qreal room) { return pane_->lineTextWidth(room * kLongestFittedText); };
    const QString& text = pane_->text();
    pane_->setLineMargin(-1);
    use(own);
    if (!showWhole_ || text.isEmpty() || text.size() > kLongestFittedText)
        return;
    if (width(pane_->lineRoom()) <= pane_->lineRoom())
        return;
    pane_->setLineMargin(kWholeWidthMargin);
    const qreal room = pane_->lineRoom();
    if (room <= 0)
        return;
    use(narrowedToFit(own, [&](const QFont& f) {
        use(f);
        return room / std::max<qreal>(width(room), 1e-3);
    }));
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

int EditField::SideScroll() const
{
    return multiLine_ ? pane_->sideScroll() : 0;
}

void EditField::setSideScroll(int position)
{
    if (multiLine_)
        pane_->setSideScroll(position);
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
    ControlFont sized = font();
    sized.size = size;
    setFont(sized);
}

void EditField::setStyleRun(int start, int length, const TextStyle& style)
{
    if (multiLine_)
        pane_->setStyleRun(start, length, style);
}

void EditField::addStyleLayer(std::shared_ptr<const TextPane::Offsets> starts, int length, const TextStyle& style)
{
    if (multiLine_)
        pane_->addStyleLayer(std::move(starts), length, style);
}

void EditField::detachStyleLayers(const TextPane::Offsets* starts)
{
    if (multiLine_)
        pane_->detachStyleLayers(starts);
}

} // namespace fw
