#include "numbers/SelectionListModel.h"

#include "numbers/EntryParsing.h"

#include <algorithm>

SelectionListModel::SelectionListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int SelectionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : list_.rowCount();
}

QVariant SelectionListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || index.parent().isValid() || index.row() < 0 || index.row() >= list_.rowCount())
        return {};
    return list_.rowText(index.row());
}

bool SelectionListModel::insertAt(SelectionList::Position pos, const std::function<bool()>& change)
{
    if (pos.present || !list_.hasRoomFor({1, 0}))
        return false;
    beginInsertRows({}, pos.row, pos.row);
    const bool changed = change();
    endInsertRows();
    return changed;
}

bool SelectionListModel::removeAt(SelectionList::Position pos, const std::function<bool()>& change)
{
    if (!pos.present)
        return false;
    beginRemoveRows({}, pos.row, pos.row);
    const bool changed = change();
    endRemoveRows();
    return changed;
}

bool SelectionListModel::add(const QString& entry)
{
    if (!list_.hasRoomFor(list_.growthOf(entry)))
        return false;
    return insertAt(list_.locate(entry), [&] { return list_.add(entry); });
}

bool SelectionListModel::remove(const QString& entry)
{
    return removeAt(list_.locate(entry), [&] { return list_.remove(entry); });
}

bool SelectionListModel::addNumber(qint32 value)
{
    return insertAt(list_.locateNumber(value), [&] { return list_.addNumber(value); });
}

bool SelectionListModel::removeNumber(qint32 value)
{
    return removeAt(list_.locateNumber(value), [&] { return list_.removeNumber(value); });
}

qint64 SelectionListModel::addRange(qint32 start, qint32 end)
{
    if (rangeSize(start, end) > kMaxRangeValues)
        return -1;
    const qint64 missing = list_.missingInRange(start, end);
    if (missing == 0)
        return 0;
    if (!list_.hasRoomFor({missing, 0}))
        return -1;
    beginResetModel();
    const qint64 added = list_.addRange(start, end);
    endResetModel();
    return added;
}

int SelectionListModel::addEntries(const QStringList& entries)
{
    std::vector<qint32> numbers;
    TextEntries texts;
    SelectionList::sortEntries(entries, numbers, texts);
    return static_cast<int>(addSorted(std::move(numbers), std::move(texts)));
}

qint64 SelectionListModel::addSorted(std::vector<qint32>&& numbers, TextEntries&& texts)
{
    return addSorted(std::move(numbers), std::move(texts), list_.growthOf(numbers, texts));
}

qint64 SelectionListModel::addSorted(std::vector<qint32>&& numbers, TextEntries&& texts, SelectionList::Growth growth)
{
    if (growth.entries == 0)
        return 0;
    if (!list_.hasRoomFor(growth))
        return -1;
    beginResetModel();
    const qint64 added = list_.addSorted(std::move(numbers), std::move(texts), growth);
    endResetModel();
    return added;
}

int SelectionListModel::removeEntries(const QStringList& entries)
{
    if (std::none_of(entries.begin(), entries.end(), [this](const QString& e) { return list_.contains(e); }))
        return 0;
    beginResetModel();
    const int removed = list_.removeEntries(entries);
    endResetModel();
    return removed;
}

std::vector<int> SelectionListModel::removeRowsAt(std::vector<int> rows)
{
    rows = list_.normalizedRows(std::move(rows));
    if (rows.empty())
        return rows;
    const bool oneRun = rows.back() - rows.front() + 1 == int(rows.size());
    if (oneRun)
        beginRemoveRows({}, rows.front(), rows.back());
    else
        beginResetModel();
    rows = list_.removeRowsAt(std::move(rows));
    if (oneRun)
        endRemoveRows();
    else
        endResetModel();
    return rows;
}

void SelectionListModel::clear()
{
    if (list_.isEmpty())
        return;
    beginResetModel();
    list_.clear();
    endResetModel();
    releaseFreedMemory();
}
