#include "numbers/SelectionList.h"

#include "numbers/EntryParsing.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>

namespace {

// Maps a UTF-16 unit so that unit order becomes code-point order: surrogates (U+D800-U+DFFF, which
// encode code points above U+FFFF) move above U+E000-U+FFFF. Within one string a surrogate pair
// compares by its lead first, which already orders code points correctly.
char16_t codePointKey(char16_t unit)
{
    if (unit < 0xD800)
        return unit;
    if (unit >= 0xE000)
        return static_cast<char16_t>(unit - 0x800);
    return static_cast<char16_t>(unit + 0x2000);
}

// Merges the sorted, duplicate-free values into the sorted, duplicate-free target; returns how many
// were new. Linear in the sizes of both; the values are left empty or moved from.
template <typename T, typename Less>
qint64 mergeSorted(std::vector<T>& target, std::vector<T>& values, Less less)
{
    if (values.empty())
        return 0;
    if (target.empty()) {
        target.swap(values);
        return qint64(target.size());
    }
    if (less(target.back(), values.front())) {
        target.insert(target.end(), std::make_move_iterator(values.begin()), std::make_move_iterator(values.end()));
        return qint64(values.size());
    }
    std::vector<T> merged;
    merged.reserve(target.size() + values.size());
    std::set_union(std::make_move_iterator(target.begin()), std::make_move_iterator(target.end()),
                   std::make_move_iterator(values.begin()), std::make_move_iterator(values.end()),
                   std::back_inserter(merged), less);
    const qint64 added = qint64(merged.size()) - qint64(target.size());
    target.swap(merged);
    return added;
}

// How many of the sorted, duplicate-free values the sorted target lacks.
template <typename T, typename Less>
qint64 countMissing(const std::vector<T>& target, const std::vector<T>& values, Less less)
{
    if (target.empty() || values.empty() || less(target.back(), values.front()) || less(values.back(), target.front()))
        return qint64(values.size());
    qint64 missing = 0;
    // A few values against a long list: a binary search each; otherwise one walk along both.
    if (values.size() < target.size() / 32) {
        for (const T& value : values) {
            if (!std::binary_search(target.begin(), target.end(), value, less))
                ++missing;
        }
        return missing;
    }
    auto have = target.begin();
    for (const T& value : values) {
        while (have != target.end() && less(*have, value))
            ++have;
        if (have == target.end() || less(value, *have))
            ++missing;
    }
    return missing;
}

// Erases from the sorted target every element of the sorted values in one pass; returns how many.
template <typename T, typename Less>
qint64 eraseSorted(std::vector<T>& target, const std::vector<T>& values, Less less)
{
    if (values.empty())
        return 0;
    auto probe = values.begin();
    const auto kept = std::remove_if(target.begin(), target.end(), [&](const T& element) {
        while (probe != values.end() && less(*probe, element))
            ++probe;
        return probe != values.end() && !less(element, *probe);
    });
    const qint64 removed = target.end() - kept;
    target.erase(kept, target.end());
    return removed;
}

template <typename T, typename Less>
void sortUnique(std::vector<T>& values, Less less)
{
    std::sort(values.begin(), values.end(), less);
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

// Splits entries into their sorted, duplicate-free numbers and texts.
void classifyAll(const QStringList& entries, std::vector<qint32>& numbers, std::vector<QString>& texts)
{
    for (const QString& entry : entries) {
        const EntryKind kind = classifyEntry(entry);
        if (kind.kind == EntryKind::Number)
            numbers.push_back(kind.value);
        else
            texts.push_back(entry);
    }
    sortUnique(numbers, std::less<qint32>());
    sortUnique(texts, CodePointLess());
}

} // namespace

int compareByCodePoint(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t ua = a[i].unicode();
        const char16_t ub = b[i].unicode();
        if (ua != ub)
            return codePointKey(ua) < codePointKey(ub) ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

SelectionList::Position SelectionList::locateNumber(qint32 value) const
{
    const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), value);
    const int row = textCount() + static_cast<int>(it - m_numbers.begin());
    return {row, it != m_numbers.end() && *it == value};
}

SelectionList::Position SelectionList::locateText(const QString& text) const
{
    const auto it = std::lower_bound(m_texts.begin(), m_texts.end(), text, CodePointLess());
    return {static_cast<int>(it - m_texts.begin()), it != m_texts.end() && *it == text};
}

SelectionList::Position SelectionList::locate(const QString& entry) const
{
    const EntryKind kind = classifyEntry(entry);
    return kind.kind == EntryKind::Number ? locateNumber(kind.value) : locateText(entry);
}

int SelectionList::rowOf(const QString& entry) const
{
    const Position pos = locate(entry);
    return pos.present ? pos.row : -1;
}

int SelectionList::rowOfNumber(qint32 value) const
{
    const Position pos = locateNumber(value);
    return pos.present ? pos.row : -1;
}

int SelectionList::rowOfText(const QString& text) const
{
    const Position pos = locateText(text);
    return pos.present ? pos.row : -1;
}

bool SelectionList::addNumber(qint32 value)
{
    const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), value);
    if (it != m_numbers.end() && *it == value)
        return false;
    m_numbers.insert(it, value);
    return true;
}

bool SelectionList::removeNumber(qint32 value)
{
    const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), value);
    if (it == m_numbers.end() || *it != value)
        return false;
    m_numbers.erase(it);
    return true;
}

bool SelectionList::add(const QString& entry)
{
    const EntryKind kind = classifyEntry(entry);
    if (kind.kind == EntryKind::Number)
        return addNumber(kind.value);
    const auto it = std::lower_bound(m_texts.begin(), m_texts.end(), entry, CodePointLess());
    if (it != m_texts.end() && *it == entry)
        return false;
    m_texts.insert(it, entry);
    return true;
}

bool SelectionList::remove(const QString& entry)
{
    const EntryKind kind = classifyEntry(entry);
    if (kind.kind == EntryKind::Number)
        return removeNumber(kind.value);
    const auto it = std::lower_bound(m_texts.begin(), m_texts.end(), entry, CodePointLess());
    if (it == m_texts.end() || *it != entry)
        return false;
    m_texts.erase(it);
    return true;
}

QString SelectionList::rowText(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    if (row < textCount())
        return m_texts[row];
    return QString::number(m_numbers[row - textCount()]);
}

qint64 SelectionList::missingInRange(qint32 start, qint32 end) const
{
    if (end < start)
        return 0;
    const auto lo = std::lower_bound(m_numbers.begin(), m_numbers.end(), start);
    const auto hi = std::upper_bound(lo, m_numbers.end(), end);
    return rangeSize(start, end) - (hi - lo);
}

qint64 SelectionList::addRange(qint32 start, qint32 end)
{
    if (end < start)
        return 0;
    const qint64 size = rangeSize(start, end);
    if (size > kMaxRangeValues)
        return -1;

    // Every present value inside start..end is one of the range's, so the result is: the values below
    // start, then the whole range, then the values above end - built in place.
    const auto lo = std::lower_bound(m_numbers.begin(), m_numbers.end(), start);
    const auto hi = std::upper_bound(lo, m_numbers.end(), end);
    const qint64 added = size - (hi - lo);
    if (added == 0)
        return 0;

    const qsizetype first = lo - m_numbers.begin();
    const qsizetype tailFrom = hi - m_numbers.begin();
    const qsizetype oldSize = qsizetype(m_numbers.size());
    m_numbers.resize(std::size_t(oldSize + added));
    std::move_backward(m_numbers.begin() + tailFrom, m_numbers.begin() + oldSize, m_numbers.end());
    qint32* out = m_numbers.data() + first;
    for (qint64 i = 0; i < size; ++i)
        out[i] = static_cast<qint32>(start + i); // 64-bit counter: end may be INT32_MAX
    return added;
}

int SelectionList::addEntries(const QStringList& entries)
{
    std::vector<qint32> numbers;
    std::vector<QString> texts;
    classifyAll(entries, numbers, texts);
    return static_cast<int>(mergeSorted(m_numbers, numbers, std::less<qint32>())
                            + mergeSorted(m_texts, texts, CodePointLess()));
}

qint64 SelectionList::addSorted(std::vector<qint32>&& numbers, std::vector<QString>&& texts)
{
    return mergeSorted(m_numbers, numbers, std::less<qint32>()) + mergeSorted(m_texts, texts, CodePointLess());
}

qint64 SelectionList::missingOf(const std::vector<qint32>& numbers, const std::vector<QString>& texts) const
{
    return countMissing(m_numbers, numbers, std::less<qint32>()) + countMissing(m_texts, texts, CodePointLess());
}

int SelectionList::appendRowsUtf8(int row, QByteArray& out, QByteArrayView lineEnd, qsizetype until) const
{
    const int texts = textCount();
    const int rows = rowCount();
    row = std::max(row, 0);
    for (; row < texts && out.size() < until; ++row) {
        out += m_texts[std::size_t(row)].toUtf8();
        out += lineEnd;
    }
    if (row < texts || row >= rows || out.size() >= until)
        return row;

    // Number rows straight into out: room for the longest ("-2147483648") is made first, the rest cut.
    constexpr qsizetype kLongestNumber = 11;
    const qsizetype perRow = kLongestNumber + lineEnd.size();
    const qint64 wanted = std::max<qint64>(1, (until - out.size() + perRow - 1) / perRow);
    const int count = int(std::min<qint64>(rows - row, wanted));
    const qsizetype from = out.size();
    out.resize(from + qsizetype(count) * perRow);
    char* at = out.data() + from;
    const qint32* value = m_numbers.data() + (row - texts);
    for (int i = 0; i < count; ++i) {
        at = std::to_chars(at, at + kLongestNumber, value[i]).ptr;
        std::memcpy(at, lineEnd.data(), std::size_t(lineEnd.size()));
        at += lineEnd.size();
    }
    out.truncate(at - out.constData());
    return row + count;
}

int SelectionList::removeEntries(const QStringList& entries)
{
    std::vector<qint32> numbers;
    std::vector<QString> texts;
    classifyAll(entries, numbers, texts);
    return static_cast<int>(eraseSorted(m_numbers, numbers, std::less<qint32>())
                            + eraseSorted(m_texts, texts, CodePointLess()));
}

std::vector<int> SelectionList::normalizedRows(std::vector<int> rows) const
{
    const int count = rowCount();
    std::erase_if(rows, [count](int row) { return row < 0 || row >= count; });
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<int> SelectionList::removeRowsAt(std::vector<int> rows)
{
    rows = normalizedRows(std::move(rows));
    if (rows.empty())
        return rows;

    // rows is ascending: its text rows come first, each equal to the index in m_texts; the number rows
    // follow, offset by the text count. Each collection is compacted in one pass.
    const int texts = textCount();
    const auto firstNumberRow = std::lower_bound(rows.begin(), rows.end(), texts);

    auto compact = [](auto& values, auto rowBegin, auto rowEnd, int offset) {
        if (rowBegin == rowEnd)
            return;
        std::size_t write = std::size_t(*rowBegin - offset);
        auto next = rowBegin;
        for (std::size_t read = write; read < values.size(); ++read) {
            if (next != rowEnd && std::size_t(*next - offset) == read) {
                ++next;
                continue;
            }
            values[write++] = std::move(values[read]);
        }
        values.erase(values.begin() + std::ptrdiff_t(write), values.end());
    };
    compact(m_texts, rows.begin(), firstNumberRow, 0);
    compact(m_numbers, firstNumberRow, rows.end(), texts);
    return rows;
}

void SelectionList::clear()
{
    m_numbers.clear();
    m_numbers.shrink_to_fit();
    m_texts.clear();
    m_texts.shrink_to_fit();
}
