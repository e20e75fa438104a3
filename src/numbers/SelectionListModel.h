#pragma once

#include "numbers/SelectionList.h"

#include <QAbstractListModel>

#include <functional>

// Item model of the Number Selection list box over the SelectionList it owns.
//
// Row texts are computed on demand, so ten million number rows cost forty megabytes and no strings.
// Single-entry changes are announced as row insertions/removals; bulk changes (ranges, entry lists,
// scattered row removals, clearing) as a model reset. Operations that change nothing announce nothing.
class SelectionListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit SelectionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const SelectionList& list() const { return list_; }

    // Same contracts as the SelectionList functions of the same names.
    bool add(const QString& entry);
    bool remove(const QString& entry);
    bool addNumber(qint32 value);
    bool removeNumber(qint32 value);
    qint64 addRange(qint32 start, qint32 end);
    int addEntries(const QStringList& entries);
    qint64 addSorted(std::vector<qint32>&& numbers, TextEntries&& texts);
    qint64 addSorted(std::vector<qint32>&& numbers, TextEntries&& texts, SelectionList::Growth growth);
    int removeEntries(const QStringList& entries);
    // One run of consecutive rows is announced as a removal, anything else as a reset.
    std::vector<int> removeRowsAt(std::vector<int> rows);
    void clear();

private:
    bool insertAt(SelectionList::Position pos, const std::function<bool()>& change);
    bool removeAt(SelectionList::Position pos, const std::function<bool()>& change);

    SelectionList list_;
};
