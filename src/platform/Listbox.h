#pragma once

#include "platform/Control.h"

#include <functional>
#include <vector>

class QAbstractItemModel;
class QListView;
class QStringListModel;

namespace fw {

class Graphics;

// A one-column list box. Its rows come from its own list of texts (AddRow and friends) or, for lists
// of any size, from a model that the owner sets; rows are then produced on demand, never stored twice.
//
// A row shows at most shownCharacters(width of the list in pixels) UTF-16 units of its text, twice the
// width: a printable character is at least a pixel wide and takes at most two units, so what is cut
// off lay beyond the list's right edge, where a long row is elided anyway. A cut row ends in "…" (also
// where narrow marks let the cut text fit), never in half a surrogate pair. Painting and measuring a
// row thus cost the list's width, not the row's length; List(), the model and every reader of the
// rows still get the whole text.
class Listbox : public Control {
public:
    Listbox();

    static constexpr int kMinShownCharacters = 64;
    static qsizetype shownCharacters(int widthPx);

    // Rows from an outside model (kept by the caller); nullptr returns to the own row list.
    void setModel(QAbstractItemModel* model);

    int ListCount() const;
    QString List(int row) const;
    // Own rows only (no outside model).
    void AddRow(const QString& text);

    // 0 single, 1 multiple rows at once.
    void setSelectionType(int type);
    void setSelected(int row, bool selected);
    // Selected rows, ascending; costs the number of selected ranges plus selected rows.
    std::vector<int> selectedRows() const;

    int DefaultRowHeight() const { return rowHeight_; }
    // Rows of a set height show their text whole: the list's font shrinks, where it must, to the
    // largest size whose line, marks above capitals and tails below the line included, fits a row.
    void setDefaultRowHeight(int height);

    // Raised before a cell's background is painted; the Graphics covers that cell only. Returning
    // true means the handler painted everything itself.
    virtual bool CellBackgroundPaint(Graphics& g, int row, int column);

    QListView* view() const { return view_; }

protected:
    void applyFont() override;

private:
    QListView* view_;
    QStringListModel* ownRows_;
    int rowHeight_ = 0;
};

} // namespace fw
