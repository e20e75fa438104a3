#include "platform/Listbox.h"

#include "platform/FocusFrame.h"
#include "platform/Graphics.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QListView>
#include <QPainter>
#include <QStringListModel>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

// Belongs to the list's view, which a view does not do for the delegates it is given: it goes with it.
class RowDelegate : public QStyledItemDelegate {
public:
    explicit RowDelegate(Listbox* owner)
        : QStyledItemDelegate(owner->view())
        , owner_(owner)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->translate(option.rect.topLeft());
        painter->setClipRect(0, 0, option.rect.width(), option.rect.height());
        Graphics g(*painter, option.rect.width(), option.rect.height());
        owner_->CellBackgroundPaint(g, index.row(), index.column());
        painter->restore();
        QStyledItemDelegate::paint(painter, option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (owner_->DefaultRowHeight() > 0)
            size.setHeight(owner_->DefaultRowHeight());
        return size;
    }

    // Every text the style paints or measures passes here, so the cut bounds both. The row's text is
    // shared, not copied, until it is cut.
    QString displayText(const QVariant& value, const QLocale& locale) const override
    {
        const QString text = value.toString();
        const qsizetype limit = Listbox::shownCharacters(owner_->view()->viewport()->width());
        if (text.size() <= limit)
            return QStyledItemDelegate::displayText(value, locale);
        return QStyledItemDelegate::displayText(QVariant(Control::cutWithEllipsis(text, limit - 1)), locale);
    }

protected:
    // The base keeps the data it fetched for the last row it looked at (the whole text) until it
    // looks at another, which an emptied list never asks it to do: a long entry would stay held after
    // its rows are gone. Looking at a row of no text right after drops it.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        QStyleOptionViewItem nothing;
        QStyledItemDelegate::initStyleOption(&nothing, emptyRow_.index(0, 0));
    }

private:
    Listbox* owner_;
    QStringListModel emptyRow_{QStringList{QString()}};
};

// Letters that reach highest and lowest in most fonts: capitals with marks above, letters with tails.
const QString kTallestLetters = QStringLiteral("\u00C5\u00C9\u00D1\u00C7gjpqy|");

// True when a line of text in font, centred in a row of the given height as the list's style places
// it, shows whole: the line fits, and so do the marks and tails of its tallest letters.
bool fitsRow(const QFont& font, int rowHeight)
{
    const QFontMetricsF metrics(font);
    const qreal lineHeight = metrics.ascent() + metrics.descent();
    if (lineHeight > rowHeight)
        return false;
    const qreal baseline = std::floor((rowHeight - lineHeight) / 2) + metrics.ascent();
    const QRectF ink = metrics.tightBoundingRect(kTallestLetters);
    return baseline + ink.top() >= 0 && baseline + ink.bottom() <= rowHeight;
}

} // namespace

Listbox::Listbox()
    : view_(new QListView)
    , ownRows_(new QStringListModel(view_))
{
    view_->setModel(ownRows_);
    view_->setUniformItemSizes(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view_->setDragEnabled(false);
    view_->setMovement(QListView::Static);
    view_->setItemDelegate(new RowDelegate(this));
    // An empty list has no row to show the focus on.
    showFocusInFrame(view_);
    setWidget(view_);
}

void Listbox::setModel(QAbstractItemModel* model)
{
    const auto mode = view_->selectionMode();
    view_->setModel(model ? model : ownRows_);
    view_->setSelectionMode(mode);
    // The view keeps the room of its row layout, a few bytes a row, after the rows are gone; laid
    // out anew, an emptied list gives it back.
    QObject::connect(view_->model(), &QAbstractItemModel::modelReset, view_, [view = view_] {
        if (view->model()->rowCount() == 0) {
            view->setViewMode(QListView::IconMode);
            view->setViewMode(QListView::ListMode);
        }
    });
}

int Listbox::ListCount() const
{
    return view_->model()->rowCount();
}

QString Listbox::List(int row) const
{
    QAbstractItemModel* m = view_->model();
    return m->data(m->index(row, 0)).toString();
}

void Listbox::AddRow(const QString& text)
{
    const int row = ownRows_->rowCount();
    ownRows_->insertRows(row, 1);
    ownRows_->setData(ownRows_->index(row, 0), text);
}

void Listbox::setSelectionType(int type)
{
    view_->setSelectionMode(type == 1 ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void Listbox::setSelected(int row, bool selected)
{
    QAbstractItemModel* m = view_->model();
    view_->selectionModel()->select(m->index(row, 0),
                                    selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

std::vector<int> Listbox::selectedRows() const
{
    std::vector<int> rows;
    const QItemSelection selection = view_->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void Listbox::setDefaultRowHeight(int height)
{
    rowHeight_ = height;
    applyFont();
    view_->doItemsLayout();
}

void Listbox::applyFont()
{
    QFont fitted = qtFont(font(), QApplication::font());
    if (rowHeight_ > 0) {
        int pixels = fitted.pixelSize();
        while (pixels > 1 && !fitsRow(fitted, rowHeight_))
            fitted.setPixelSize(--pixels);
    }
    view_->setFont(fitted);
}

qsizetype Listbox::shownCharacters(int widthPx)
{
    return 2 * qsizetype(std::max(widthPx, kMinShownCharacters));
}

bool Listbox::CellBackgroundPaint(Graphics&, int, int)
{
    return false;
}

} // namespace fw
