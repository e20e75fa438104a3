#include "numbers/SelectionListModel.h"

#include "numbers/EntryParsing.h"

#include <algorithm>

SelectionListModel::SelectionListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int SelectionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.rowCount();
}

QVariant SelectionListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || index.parent().isValid() || index.row() < 0 || index.row() >= m_list.rowCount())
        return {};
    return m_list.rowText(index.row());
}

bool SelectionListModel::insertAt(SelectionList::Position pos, const std::function<bool()>& change)
{
    if (pos.present || !m_list.hasRoomFor({1, 0}))
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
    if (!m_list.hasRoomFor(m_list.growthOf(entry)))
        return false;
    return insertAt(m_list.locate(entry), [&] { return m_list.add(entry); });
}

bool SelectionListModel::remove(const QString& entry)
{
    return removeAt(m_list.locate(entry), [&] { return m_list.remove(entry); });
}

bool SelectionListModel::addNumber(qint32 value)
{
    return insertAt(m_list.locateNumber(value), [&] { return m_list.addNumber(value); });
}

bool SelectionListModel::removeNumber(qint32 value)
{
    return removeAt(m_list.locateNumber(value), [&] { return m_list.removeNumber(value); });
}

qint64 SelectionListModel::addRange(qint32 start, qint32 end)
{
    if (rangeSize(start, end) > kMaxRangeValues)
        return -1;
    const qint64 missing = m_list.missingInRange(start, end);
    if (missing == 0)
        return 0;
    if (!m_list.hasRoomFor({missing, 0}))
        return -1;
    beginResetModel();
    const qint64 added = m_list.addRange(start, end);
    endResetModel();
    return added;
}

int SelectionListModel::addEntries(const QStringList& entries)
{
    const SelectionList::Growth growth = m_list.growthOf(entries);
    if (growth.entries == 0)
        return 0;
    if (!m_list.hasRoomFor(growth))
        return -1;
    beginResetModel();
    const int added = m_list.addEntries(entries);
    endResetModel();
    return added;
}

qint64 SelectionListModel::addSorted(std::vector<qint32>&& numbers, TextEntries&& texts)
{
    return addSorted(std::move(numbers), std::move(texts), m_list.growthOf(numbers, texts));
}

qint64 SelectionListModel::addSorted(std::vector<qint32>&& numbers, TextEntries&& texts, SelectionList::Growth growth)
{
    if (growth.entries == 0)
        return 0;
    if (!m_list.hasRoomFor(growth))
        return -1;
    beginResetModel();
    const qint64 added = m_list.addSorted(std::move(numbers), std::move(texts), growth);
    endResetModel();
    return added;
}

int SelectionListModel::removeEntries(const QStringList& entries)
{
    if (std::none_of(entries.begin(), entries.end(), [this](const QString& e) { return m_list.contains(e); }))
        return 0;
    beginResetModel();
    const int removed = m_list.removeEntries(entries);
    endResetModel();
    return removed;
}

std::vector<int> SelectionListModel::removeRowsAt(std::vector<int> rows)
{
    rows = m_list.normalizedRows(std::move(rows));
    if (rows.empty())
        return rows;
    const bool oneRun = rows.back() - rows.front() + 1 == int(rows.size());
    if (oneRun)
        beginRemoveRows({}, rows.front(), rows.back());
    else
        beginResetModel();
    rows = m_list.removeRowsAt(std::move(rows));
    if (oneRun)
        endRemoveRows();
    else
        endResetModel();
    return rows;
}

void SelectionListModel::clear()
{
    if (m_list.isEmpty())
        return;
    beginResetModel();
    m_list.clear();
    endResetModel();
    releaseFreedMemory();
}
