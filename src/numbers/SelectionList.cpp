#include "numbers/SelectionList.h"

#include "numbers/EntryParsing.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

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

// Merges the sorted, duplicate-free texts into the sorted, duplicate-free target in one pass; returns
// how many were new. The texts are left empty.
qint64 mergeTexts(TextEntries& target, TextEntries& texts)
{
    if (texts.empty())
        return 0;
    const qsizetype count = texts.size();
    if (target.empty()) {
        std::swap(target, texts);
        return count;
    }
    if (compareUtf8(target.at(target.size() - 1), texts.at(0)) < 0) {
        target.appendRange(texts, 0, count);
        texts.clear();
        return count;
    }
    TextEntries merged;
    merged.reserve(target.size() + count, target.bytes() + texts.bytes());
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < target.size() && j < count) {
        const int order = compareUtf8(target.at(i), texts.at(j));
        if (order <= 0) {
            merged.append(target.at(i++));
            j += order == 0;
        } else {
            merged.append(texts.at(j++));
        }
    }
    merged.appendRange(target, i, target.size());
    merged.appendRange(texts, j, count);
    const qint64 added = merged.size() - target.size();
    std::swap(target, merged);
    texts.clear();
    return added;
}

// The texts of the sorted, duplicate-free values that the sorted target lacks: how many, and their bytes.
SelectionList::Growth missingTexts(const TextEntries& target, const TextEntries& texts)
{
    SelectionList::Growth missing;
    const auto count = [&](qsizetype j) {
        ++missing.entries;
        missing.textBytes += texts.at(j).size();
    };
    if (target.empty() || texts.empty() || compareUtf8(target.at(target.size() - 1), texts.at(0)) < 0
        || compareUtf8(texts.at(texts.size() - 1), target.at(0)) < 0) {
        return {texts.size(), texts.bytes()};
    }
    if (texts.size() < target.size() / 32) {
        for (qsizetype j = 0; j < texts.size(); ++j) {
            const qsizetype at = target.lowerBound(texts.at(j));
            if (at == target.size() || target.at(at) != texts.at(j))
                count(j);
        }
        return missing;
    }
    qsizetype have = 0;
    for (qsizetype j = 0; j < texts.size(); ++j) {
        int order = -1;
        while (have < target.size() && (order = compareUtf8(target.at(have), texts.at(j))) < 0)
            ++have;
        if (have == target.size() || order > 0)
            count(j);
    }
    return missing;
}

} // namespace

void releaseFreedMemory()
{
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

void returnLargeBlocksAtOnce()
{
#ifdef __GLIBC__
    // A fixed threshold: the allocator's own one grows up to 32 MB, and the heap of another thread
    // (a long read) then keeps up to twice that once freed, which no trim hands back.
    static const bool set = ::mallopt(M_MMAP_THRESHOLD, 4 << 20) != 0;
    Q_UNUSED(set);
#endif
}

int compareUtf8(QByteArrayView a, QByteArrayView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    if (common > 0) {
        if (const int order = std::memcmp(a.data(), b.data(), std::size_t(common)))
            return order;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

qsizetype TextEntries::lowerBound(QByteArrayView text) const
{
    qsizetype low = 0;
    qsizetype count = size();
    while (count > 0) {
        const qsizetype half = count / 2;
        if (compareUtf8(at(low + half), text) < 0) {
            low += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return low;
}

void TextEntries::reserve(qsizetype count, qint64 bytes)
{
    ends_.reserve(std::size_t(count));
    bytes_.reserve(qsizetype(bytes));
}

void TextEntries::append(QByteArrayView text)
{
    bytes_.append(text);
    ends_.push_back(quint32(bytes_.size()));
}

void TextEntries::appendRange(const TextEntries& other, qsizetype from, qsizetype to)
{
    if (from >= to)
        return;
    const quint32 start = from == 0 ? 0 : other.ends_[std::size_t(from) - 1];
    const quint32 shift = quint32(bytes_.size()) - start;
    bytes_.append(other.bytes_.constData() + start, other.ends_[std::size_t(to) - 1] - start);
    ends_.reserve(ends_.size() + std::size_t(to - from));
    for (qsizetype i = from; i < to; ++i)
        ends_.push_back(other.ends_[std::size_t(i)] + shift);
}

void TextEntries::insert(qsizetype i, QByteArrayView text)
{
    const quint32 at = i == 0 ? 0 : ends_[std::size_t(i) - 1];
    const auto length = quint32(text.size());
    bytes_.insert(at, text);
    ends_.insert(ends_.begin() + i, at);
    for (auto it = ends_.begin() + i; it != ends_.end(); ++it)
        *it += length;
}

void TextEntries::erase(qsizetype i)
{
    const quint32 from = i == 0 ? 0 : ends_[std::size_t(i) - 1];
    const quint32 length = ends_[std::size_t(i)] - from;
    bytes_.remove(from, length);
    ends_.erase(ends_.begin() + i);
    for (auto it = ends_.begin() + i; it != ends_.end(); ++it)
        *it -= length;
}

void TextEntries::clear()
{
    bytes_ = QByteArray();
    ends_ = std::vector<quint32>();
}

void TextEntries::squeeze()
{
    bytes_.squeeze();
    ends_.shrink_to_fit();
}

std::vector<QString> TextEntries::toStrings() const
{
    std::vector<QString> out;
    out.reserve(std::size_t(size()));
    for (qsizetype i = 0; i < size(); ++i)
        out.push_back(text(i));
    return out;
}

SelectionList::Position SelectionList::locateNumber(qint32 value) const
{
    const auto it = std::lower_bound(numbers_.begin(), numbers_.end(), value);
    const int row = textCount() + static_cast<int>(it - numbers_.begin());
    return {row, it != numbers_.end() && *it == value};
}

SelectionList::Position SelectionList::locateText(const QString& text) const
{
    const QByteArray utf8 = text.toUtf8();
    const qsizetype at = texts_.lowerBound(utf8);
    return {static_cast<int>(at), at != texts_.size() && texts_.at(at) == utf8};
}

SelectionList::Growth SelectionList::growthOf(const QString& entry) const
{
    const EntryKind kind = classifyEntry(entry);
    if (kind.kind == EntryKind::Number)
        return {containsNumber(kind.value) ? 0 : 1, 0};
    return locateText(entry).present ? Growth() : Growth{1, entry.toUtf8().size()};
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
    const auto it = std::lower_bound(numbers_.begin(), numbers_.end(), value);
    if ((it != numbers_.end() && *it == value) || !hasRoomFor({1, 0}))
        return false;
    numbers_.insert(it, value);
    return true;
}

bool SelectionList::removeNumber(qint32 value)
{
    const auto it = std::lower_bound(numbers_.begin(), numbers_.end(), value);
    if (it == numbers_.end() || *it != value)
        return false;
    numbers_.erase(it);
    return true;
}

bool SelectionList::add(const QString& entry)
{
    const EntryKind kind = classifyEntry(entry);
    if (kind.kind == EntryKind::Number)
        return addNumber(kind.value);
    const QByteArray utf8 = entry.toUtf8();
    const qsizetype at = texts_.lowerBound(utf8);
    if ((at != texts_.size() && texts_.at(at) == utf8) || !hasRoomFor({1, utf8.size()}))
        return false;
    texts_.insert(at, utf8);
    return true;
}

bool SelectionList::remove(const QString& entry)
{
    const EntryKind kind = classifyEntry(entry);
    if (kind.kind == EntryKind::Number)
        return removeNumber(kind.value);
    const QByteArray utf8 = entry.toUtf8();
    const qsizetype at = texts_.lowerBound(utf8);
    if (at == texts_.size() || texts_.at(at) != utf8)
        return false;
    texts_.erase(at);
    return true;
}

QString SelectionList::rowText(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    if (row < textCount())
        return texts_.text(row);
    return QString::number(numbers_[row - textCount()]);
}

qint64 SelectionList::missingInRange(qint32 start, qint32 end) const
{
    if (end < start)
        return 0;
    const auto lo = std::lower_bound(numbers_.begin(), numbers_.end(), start);
    const auto hi = std::upper_bound(lo, numbers_.end(), end);
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
    const auto lo = std::lower_bound(numbers_.begin(), numbers_.end(), start);
    const auto hi = std::upper_bound(lo, numbers_.end(), end);
    const qint64 added = size - (hi - lo);
    if (added == 0)
        return 0;
    if (!hasRoomFor({added, 0}))
        return -1;

    const qsizetype first = lo - numbers_.begin();
    const qsizetype tailFrom = hi - numbers_.begin();
    const qsizetype oldSize = qsizetype(numbers_.size());
    numbers_.resize(std::size_t(oldSize + added));
    std::move_backward(numbers_.begin() + tailFrom, numbers_.begin() + oldSize, numbers_.end());
    qint32* out = numbers_.data() + first;
    for (qint64 i = 0; i < size; ++i)
        out[i] = static_cast<qint32>(start + i); // 64-bit counter: end may be INT32_MAX
    return added;
}

void SelectionList::sortEntries(const QStringList& entries, std::vector<qint32>& numbers, TextEntries& texts)
{
    std::vector<QByteArray> utf8;
    for (const QString& entry : entries) {
        const EntryKind kind = classifyEntry(entry);
        if (kind.kind == EntryKind::Number)
            numbers.push_back(kind.value);
        else
            utf8.push_back(entry.toUtf8());
    }
    sortUnique(numbers, std::less<qint32>());
    sortUnique(utf8, [](const QByteArray& a, const QByteArray& b) { return compareUtf8(a, b) < 0; });
    qint64 bytes = 0;
    for (const QByteArray& text : utf8)
        bytes += text.size();
    texts.reserve(qsizetype(utf8.size()), bytes);
    for (const QByteArray& text : utf8)
        texts.append(text);
}

int SelectionList::addEntries(const QStringList& entries)
{
    std::vector<qint32> numbers;
    TextEntries texts;
    sortEntries(entries, numbers, texts);
    return static_cast<int>(addSorted(std::move(numbers), std::move(texts)));
}

SelectionList::Growth SelectionList::growthOf(const QStringList& entries) const
{
    std::vector<qint32> numbers;
    TextEntries texts;
    sortEntries(entries, numbers, texts);
    return growthOf(numbers, texts);
}

qint64 SelectionList::addSorted(std::vector<qint32>&& numbers, TextEntries&& texts)
{
    const Growth growth = growthOf(numbers, texts);
    return addSorted(std::move(numbers), std::move(texts), growth);
}

qint64 SelectionList::addSorted(std::vector<qint32>&& numbers, TextEntries&& texts, Growth growth)
{
    if (!hasRoomFor(growth))
        return -1;
    return mergeSorted(numbers_, numbers, std::less<qint32>()) + mergeTexts(texts_, texts);
}

SelectionList::Growth SelectionList::growthOf(const std::vector<qint32>& numbers, const TextEntries& texts) const
{
    Growth growth = missingTexts(texts_, texts);
    growth.entries += countMissing(numbers_, numbers, std::less<qint32>());
    return growth;
}

int SelectionList::appendRowsUtf8(int row, QByteArray& out, QByteArrayView lineEnd, qsizetype until) const
{
    const int texts = textCount();
    const int rows = rowCount();
    row = std::max(row, 0);
    for (; row < texts && out.size() < until; ++row) {
        out += texts_.at(row);
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
    const qint32* value = numbers_.data() + (row - texts);
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
    TextEntries texts;
    sortEntries(entries, numbers, texts);
    qint64 removed = eraseSorted(numbers_, numbers, std::less<qint32>());
    if (!texts.empty()) {
        const qsizetype before = texts_.size();
        qsizetype probe = 0;
        texts_.keepIf([&](qsizetype, QByteArrayView text) {
            int order = 1;
            while (probe < texts.size() && (order = compareUtf8(texts.at(probe), text)) < 0)
                ++probe;
            return probe == texts.size() || order != 0;
        });
        removed += before - texts_.size();
    }
    return static_cast<int>(removed);
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

    // rows is ascending: its text rows come first, each equal to the index in texts_; the number rows
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
    if (rows.begin() != firstNumberRow) {
        auto next = rows.begin();
        texts_.keepIf([&](qsizetype i, QByteArrayView) {
            if (next != firstNumberRow && *next == i) {
                ++next;
                return false;
            }
            return true;
        });
    }
    compact(numbers_, firstNumberRow, rows.end(), texts);
    return rows;
}

void SelectionList::clear()
{
    numbers_.clear();
    numbers_.shrink_to_fit();
    texts_.clear();
}
